#!/usr/bin/env python3
"""Writes the picture files that the end-to-end picture programs load
(tests/programs/graphics/) and the print test of pictures (tests/print/),
with ImageMagick's `convert`. Pure-colour blocks let a program check
interior pixels exactly; 96 dots per inch make the natural size on a
96-dpi display the pixel size.

  quad.png, quad.gif  32 x 16: red and green above, blue and yellow below
  corner.jpg          48 x 32 white with a black 16 x 16 square at the top
                      left (black and white survive JPEG unchanged)
  cut.png             the first 24 bytes of quad.png
  empty.gif           no byte at all
  text.jpg            a line of text
  tests/print/blue.bmp  20 x 10 blue, 24 bits; quad.png is copied there
"""
import os
import shutil
import subprocess

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
GRAPHICS = os.path.join(ROOT, 'tests', 'programs', 'graphics')
PRINT = os.path.join(ROOT, 'tests', 'print')
DENSITY = ['-density', '96', '-units', 'PixelsPerInch']


def convert(*args):
    subprocess.run(['convert', *args], check=True)


def main():
    quad = os.path.join(GRAPHICS, 'quad.png')
    convert('-size', '16x8', 'xc:red', '-size', '16x8', 'xc:lime', '+append',
            '(', '-size', '16x8', 'xc:blue', '-size', '16x8', 'xc:yellow', '+append', ')',
            '-append', '+repage', *DENSITY, '-define', 'png:exclude-chunk=date,time', quad)
    convert(quad, *DENSITY, os.path.join(GRAPHICS, 'quad.gif'))
    convert('-size', '48x32', 'xc:white', '-fill', 'black', '-draw', 'rectangle 0,0 15,15',
            '-type', 'TrueColor', *DENSITY, '-quality', '100', os.path.join(GRAPHICS, 'corner.jpg'))
    with open(quad, 'rb') as f:
        head = f.read(24)
    with open(os.path.join(GRAPHICS, 'cut.png'), 'wb') as f:
        f.write(head)
    open(os.path.join(GRAPHICS, 'empty.gif'), 'wb').close()
    with open(os.path.join(GRAPHICS, 'text.jpg'), 'wb') as f:
        f.write(b'kein Bild\r\n')
    convert('-size', '20x10', 'xc:blue', '-type', 'TrueColor', 'BMP3:' + os.path.join(PRINT, 'blue.bmp'))
    shutil.copy(quad, os.path.join(PRINT, 'quad.png'))


if __name__ == '__main__':
    main()

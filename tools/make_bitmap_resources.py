#!/usr/bin/env python3
"""Draws the icons that DRAWICON shows and the printer cursor, and writes
them into resources/:

  kreis.ico    32x32, 16 colours: a red disc with a black rim ("KREIS")
  quadrat.ico  32x32, 16 colours: a green square with a yellow centre (id 100)
  drucker.cur  32x32 monochrome: a printer with a sheet coming out of it,
               hot spot at the sheet's top-left corner ("DRUCKER")

The centre pixel (16, 16) of each icon has one pure colour, which the
end-to-end programs check."""
import os
import struct
import sys

W = H = 32
PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
           (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
           (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, RED, GREEN, YELLOW, WHITE = 0, 9, 10, 11, 15


def disc(x, y):
    d = (x - 15.5) ** 2 + (y - 15.5) ** 2
    if d > 14.5 ** 2:
        return None
    return BLACK if d > 12.5 ** 2 else RED


def square(x, y):
    if x < 3 or x > 28 or y < 3 or y > 28:
        return None
    if x in (3, 28) or y in (3, 28):
        return BLACK
    if 12 <= x <= 19 and 12 <= y <= 19:
        return YELLOW
    return GREEN


def mask_rows(pixel):
    """AND mask, bottom-up, 4 bytes a row: 1 where the picture is clear."""
    out = bytearray()
    for y in range(H - 1, -1, -1):
        bits = 0
        for x in range(W):
            bits = (bits << 1) | (1 if pixel(x, y) is None else 0)
            if x % 8 == 7:
                out.append(bits)
                bits = 0
    return out


def icon(pixel):
    xor = bytearray()
    for y in range(H - 1, -1, -1):  # bitmaps are stored bottom-up
        row = [pixel(x, y) or 0 for x in range(W)]
        for i in range(0, W, 2):
            xor.append((row[i] << 4) | row[i + 1])
    andm = mask_rows(pixel)
    header = struct.pack('<IiiHHIIiiII', 40, W, H * 2, 1, 4, 0, len(xor) + len(andm), 0, 0, 16, 0)
    pal = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    image = header + pal + bytes(xor) + bytes(andm)
    return struct.pack('<HHH', 0, 1, 1) + struct.pack('<BBBBHHII', W, H, 16, 0, 1, 4, len(image), 22) + image


# The printer cursor: 'B' black, 'W' white, '.' clear.
PRINTER = [
    "................................",
    "................................",
    "........BBBBBBBBBBBBBB..........",
    "........BWWWWWWWWWWWWB..........",
    "........BWBBBBBBBBBBWB..........",
    "........BWWWWWWWWWWWWB..........",
    "........BWBBBBBBBWWWWB..........",
    "........BWWWWWWWWWWWWB..........",
    "...BBBBBBBBBBBBBBBBBBBBBBBB.....",
    "..BWWWWWWWWWWWWWWWWWWWWWWWWB....",
    "..BWWWWWWWWWWWWWWWWWWWWWWWWB....",
    "..BWWWWWWWWWWWWWWWWWWWBBBWWB....",
    "..BWWWWWWWWWWWWWWWWWWWBBBWWB....",
    "..BWWWWWWWWWWWWWWWWWWWWWWWWB....",
    "..BBBBBBBBBBBBBBBBBBBBBBBBBB....",
    "..BWWWWWWWWWWWWWWWWWWWWWWWWB....",
    "..BWWWWBBBBBBBBBBBBBBBBWWWWB....",
    "..BWWWWBWWWWWWWWWWWWWWBWWWWB....",
    "..BBBBBBWWWWWWWWWWWWWWBBBBBB....",
    ".......BWBBBBBBBBBBBBWB.........",
    ".......BWWWWWWWWWWWWWWB.........",
    ".......BWBBBBBBBBBWWWWB.........",
    ".......BWWWWWWWWWWWWWWB.........",
    ".......BBBBBBBBBBBBBBBB.........",
] + ["." * 32] * 8
HOTSPOT = (8, 2)


def cursor():
    xor, andm = bytearray(), bytearray()
    for y in range(H - 1, -1, -1):
        xbits = abits = 0
        for x in range(W):
            c = PRINTER[y][x]
            xbits = (xbits << 1) | (1 if c == 'W' else 0)
            abits = (abits << 1) | (1 if c == '.' else 0)
            if x % 8 == 7:
                xor.append(xbits)
                andm.append(abits)
                xbits = abits = 0
    header = struct.pack('<IiiHHIIiiII', 40, W, H * 2, 1, 1, 0, len(xor) + len(andm), 0, 0, 2, 0)
    pal = struct.pack('<BBBBBBBB', 0, 0, 0, 0, 255, 255, 255, 0)
    image = header + pal + bytes(xor) + bytes(andm)
    return (struct.pack('<HHH', 0, 2, 1) +
            struct.pack('<BBBBHHII', W, H, 2, 0, HOTSPOT[0], HOTSPOT[1], len(image), 22) + image)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..', 'resources')
    for name, data in (('kreis.ico', icon(disc)), ('quadrat.ico', icon(square)), ('drucker.cur', cursor())):
        with open(os.path.join(out, name), 'wb') as f:
            f.write(data)


if __name__ == '__main__':
    main()

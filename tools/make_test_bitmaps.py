#!/usr/bin/env python3
"""Writes the small BMP files that the end-to-end graphics programs load
(tests/programs/graphics/) and the seed corpus of the bitmap-file fuzz
target (tests/fuzz/corpus/bmp_file/).

Each picture is 16 x 8 pixels made of pure-colour blocks, so that a program
can check interior pixels exactly:
  pal8.bmp       8 bits with a 4-entry colour table, bottom-up: top half red
                 (left) and blue (right), bottom half green
  rgb24.bmp      24 bits, bottom-up: top half yellow, bottom half magenta,
                 the top-left pixel (10, 20, 30)
  topdown24.bmp  24 bits, rows from the top down: top half cyan, bottom half
                 navy (0, 0, 128)
  key24.bmp      24 bits: white with a red 8 x 4 block at (4, 2), for the
                 transparent copies (white is the bottom-left key colour)
and damaged files that must be refused:
  bad_magic.bmp  rgb24.bmp with "XM" in place of "BM"
  cut.bmp        rgb24.bmp without its last 20 bytes
  core.bmp       a 12-byte (OS/2) info header
  huge.bmp       a header claiming 100000 x 100000 pixels
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
W, H = 16, 8
RED, GREEN, BLUE, YELLOW = (255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 0)
MAGENTA, CYAN, NAVY, WHITE = (255, 0, 255), (0, 255, 255), (0, 0, 128), (255, 255, 255)


def bmp(bits, rows_top_down, table=(), top_down=False, width=W):
    """rows_top_down: rows from the top, each a list of colours (24 bits)
    or colour indices (8 bits)."""
    stride = (width * bits + 31) // 32 * 4
    stored = rows_top_down if top_down else list(reversed(rows_top_down))
    data = bytearray()
    for row in stored:
        line = bytearray()
        for px in row:
            if bits == 24:
                r, g, b = px
                line += bytes((b, g, r))
            else:
                line.append(px)
        data += line + bytes(stride - len(line))
    tab = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in table)
    off = 14 + 40 + len(tab)
    height = -len(rows_top_down) if top_down else len(rows_top_down)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, bits, 0, len(data), 2835, 2835, len(table), 0)
    head = struct.pack('<2sIHHI', b'BM', off + len(data), 0, 0, off)
    return head + info + tab + bytes(data)


def halves(top, bottom, top_right=None):
    rows = []
    for y in range(H):
        if y < H // 2:
            rows.append([top if (top_right is None or x < W // 2) else top_right for x in range(W)])
        else:
            rows.append([bottom] * W)
    return rows


def files():
    out = {}
    out['pal8.bmp'] = bmp(8, halves(1, 3, 2), table=[(0, 0, 0), RED, BLUE, GREEN])
    rgb = halves(YELLOW, MAGENTA)
    rgb[0][0] = (10, 20, 30)
    out['rgb24.bmp'] = bmp(24, rgb)
    out['topdown24.bmp'] = bmp(24, halves(CYAN, NAVY), top_down=True)
    out['key24.bmp'] = bmp(24, [[RED if 4 <= x < 12 and 2 <= y < 6 else WHITE for x in range(W)]
                                for y in range(H)])
    good = out['rgb24.bmp']
    out['bad_magic.bmp'] = b'XM' + good[2:]
    out['cut.bmp'] = good[:-20]
    out['core.bmp'] = struct.pack('<2sIHHI', b'BM', 26 + 4, 0, 0, 26) + struct.pack('<IHHHH', 12, 1, 1, 1, 24) + b'\0' * 4
    out['huge.bmp'] = good[:18] + struct.pack('<ii', 100000, 100000) + good[26:]
    return out


def main():
    made = files()
    programs = os.path.join(ROOT, 'tests', 'programs', 'graphics')
    corpus = os.path.join(ROOT, 'tests', 'fuzz', 'corpus', 'bmp_file')
    os.makedirs(corpus, exist_ok=True)
    for name, data in made.items():
        for folder in (programs, corpus):
            with open(os.path.join(folder, name), 'wb') as f:
                f.write(data)


if __name__ == '__main__':
    main()

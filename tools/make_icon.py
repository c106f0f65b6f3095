#!/usr/bin/env python3
"""Draws the program icon (32x32, 16 colours): a blue page with a white
prompt bar and a yellow cursor block. Writes resources/korv.ico."""
import struct, sys

W = H = 32
PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
           (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
           (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]

def pixel(x, y):  # y from the top
    if x < 2 or x > 29 or y < 2 or y > 29:
        return None                      # transparent border
    if x in (2, 29) or y in (2, 29):
        return 0                         # black frame
    if 6 <= y <= 8:
        return 15                        # title bar
    if 14 <= y <= 16 and 6 <= x <= 8:
        return 11                        # prompt ">"-block
    if 14 <= y <= 16 and 11 <= x <= 22:
        return 15                        # text line
    if 20 <= y <= 22 and 6 <= x <= 16:
        return 15
    if 20 <= y <= 22 and 18 <= x <= 20:
        return 11                        # cursor
    return 4                             # blue page

xor = bytearray()
andm = bytearray()
for y in range(H - 1, -1, -1):          # bitmaps are stored bottom-up
    row = []
    for x in range(W):
        c = pixel(x, y)
        row.append(0 if c is None else c)
    for i in range(0, W, 2):
        xor.append((row[i] << 4) | row[i + 1])
    bits = 0
    mrow = bytearray()
    for x in range(W):
        bits = (bits << 1) | (1 if pixel(x, y) is None else 0)
        if x % 8 == 7:
            mrow.append(bits)
            bits = 0
    andm += mrow                          # 4 bytes per row, already aligned

header = struct.pack('<IiiHHIIiiII', 40, W, H * 2, 1, 4, 0, len(xor) + len(andm), 0, 0, 16, 0)
pal = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
image = header + pal + bytes(xor) + bytes(andm)
ico = struct.pack('<HHH', 0, 1, 1) + struct.pack('<BBBBHHII', W, H, 16, 0, 1, 4, len(image), 22) + image
out = sys.argv[1] if len(sys.argv) > 1 else 'resources/korv.ico'
open(out, 'wb').write(ico)

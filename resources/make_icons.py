#!/usr/bin/env python3
"""Draws the settings button's face (vko.bmp) and its mask (mask.bmp): a small answer sheet
with a title line, positioning marks and rows of answer bubbles, two of them filled.

Both are 16 x 16, 24-bit, uncompressed. In the mask, black is the button face and white is
transparent, as command-bar masks are read.

    python3 resources/make_icons.py [output-folder]
"""
import os
import struct
import sys

SIZE = 16
OUTSIDE = (255, 0, 255)  # hidden by the mask
EDGE = (70, 70, 70)
PAPER = (255, 255, 255)
TITLE = (30, 60, 150)
MARK = (0, 0, 0)
BUBBLE = (200, 40, 40)
FILLED = (20, 20, 20)


def face():
    px = [[OUTSIDE] * SIZE for _ in range(SIZE)]
    for y in range(SIZE):
        for x in range(2, 14):
            px[y][x] = EDGE if x in (2, 13) or y in (0, 15) else PAPER
    for x in range(5, 11):
        px[2][x] = TITLE
    for row, y in enumerate((5, 9, 13)):
        px[y][3] = px[y][4] = MARK  # positioning mark at the start of each item row
        for col, x in enumerate((6, 10)):
            filled = (row, col) in ((0, 1), (2, 0))
            for dy in (-1, 0, 1):
                for dx in (0, 1, 2):
                    ring = not (dy == 0 and dx == 1)  # an empty bubble keeps its paper centre
                    px[y + dy][x + dx] = FILLED if filled else (BUBBLE if ring else PAPER)
    return px


def mask():
    return [[(0, 0, 0) if 2 <= x <= 13 else (255, 255, 255) for x in range(SIZE)]
            for _ in range(SIZE)]


def bmp(pixels):
    height, width = len(pixels), len(pixels[0])
    stride = (width * 3 + 3) & ~3
    rows = b""
    for row in reversed(pixels):  # bottom-up
        line = b"".join(bytes((b, g, r)) for (r, g, b) in row)
        rows += line + b"\0" * (stride - len(line))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(rows), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(rows), 3780, 3780, 0, 0)
    return header + info + rows


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    for name, pixels in (("vko.bmp", face()), ("mask.bmp", mask())):
        with open(os.path.join(out, name), "wb") as f:
            f.write(bmp(pixels))


if __name__ == "__main__":
    main()

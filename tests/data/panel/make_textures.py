#!/usr/bin/env python3
"""Regenerates the panel scenes' textures: brick.bmp, a 16 x 8 24-bit BMP, and
grass.tga, an 8 x 8 24-bit uncompressed TGA. Both are bottom-up."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def brick(x, y):
    mortar = y % 4 == 0 or (x + (4 if (y // 4) % 2 else 0)) % 8 == 0
    return (200, 200, 190) if mortar else (170, 60 + 4 * y, 40 + 2 * x)


def grass(x, y):
    return (30 + 10 * x, 120 + 15 * y, 20 + 5 * ((x + y) % 4))


def bmp24(width, height, pixel):
    stride = (3 * width + 3) & ~3
    rows = b""
    for y in range(height):  # bottom row first
        row = b"".join(bytes((b, g, r)) for r, g, b in (pixel(x, y) for x in range(width)))
        rows += row + b"\0" * (stride - len(row))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(rows), 0, 0, 14 + len(info))
    return head + info + rows


def tga24(width, height, pixel):
    head = struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, width, height, 24, 0)
    rows = b"".join(bytes((b, g, r)) for y in range(height) for r, g, b in (pixel(x, y) for x in range(width)))
    return head + rows


for name, data in (("brick.bmp", bmp24(16, 8, brick)), ("grass.tga", tga24(8, 8, grass))):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)

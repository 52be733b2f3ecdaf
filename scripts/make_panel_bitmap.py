#!/usr/bin/env python3
"""Draws the panel picture (resource bitmap 107): 156 x 224 pixels, 256
colours, an emblem over the word VORN. Writes shell/resources/panel.bmp.

    python3 scripts/make_panel_bitmap.py [output.bmp]

Only the standard library; the output is the same on every run."""
import math
import struct
import sys

WIDTH, HEIGHT = 156, 224

# Palette: four ramps of 64 shades each.
def ramp(dark, light):
    return [tuple(round(d + (l - d) * i / 63) for d, l in zip(dark, light)) for i in range(64)]

NIGHT, GOLD, STEEL, EMBER = 0, 64, 128, 192
PALETTE = (ramp((6, 8, 20), (40, 58, 110)) + ramp((60, 36, 4), (255, 222, 120))
           + ramp((20, 22, 28), (210, 218, 230)) + ramp((40, 4, 4), (255, 120, 60)))

def shade(base, t):
    return base + max(0, min(63, int(t * 63 + 0.5)))

# 5 x 7 block letters.
GLYPHS = {
    "V": ["10001", "10001", "10001", "10001", "01010", "01010", "00100"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    "D": ["11100", "10010", "10001", "10001", "10001", "10010", "11100"],
    "2": ["01110", "10001", "00001", "00110", "01000", "10000", "11111"],
}

pixels = [[0] * WIDTH for _ in range(HEIGHT)]

# Night-sky gradient, lighter towards the emblem.
for y in range(HEIGHT):
    for x in range(WIDTH):
        d = math.hypot(x - 78, y - 82) / 150
        pixels[y][x] = shade(NIGHT, 0.75 - 0.75 * min(1.0, d) - 0.2 * y / HEIGHT)

def inside_diamond(x, y, cx, cy, r):
    return abs(x - cx) + abs(y - cy) <= r

# Emblem: a bevelled diamond with a chevron, as from above.
CX, CY = 78, 82
for y in range(HEIGHT):
    for x in range(WIDTH):
        dist = abs(x - CX) + abs(y - CY)
        if dist <= 62 and dist > 54:  # gold rim, lit from the upper left
            light = 0.55 + 0.45 * ((CX - x) + (CY - y)) / 62
            pixels[y][x] = shade(GOLD, light)
        elif dist <= 54 and dist > 51:
            pixels[y][x] = shade(NIGHT, 0.05)
        elif dist <= 51:
            pixels[y][x] = shade(STEEL, 0.25 + 0.35 * (CY + 51 - y) / 102)

# The chevron: a thick V from the diamond's upper edges to its lower point.
def near_segment(px, py, ax, ay, bx, by, half):
    vx, vy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * vx + (py - ay) * vy) / (vx * vx + vy * vy)))
    return math.hypot(px - (ax + t * vx), py - (ay + t * vy)) <= half

for y in range(HEIGHT):
    for x in range(WIDTH):
        if abs(x - CX) + abs(y - CY) > 48:
            continue
        left = near_segment(x, y, CX - 30, CY - 22, CX, CY + 34, 7)
        right = near_segment(x, y, CX + 30, CY - 22, CX, CY + 34, 7)
        if left or right:
            glow = 1.0 - math.hypot(x - CX, y - (CY + 10)) / 60
            pixels[y][x] = shade(EMBER, 0.45 + 0.55 * glow)

# A small gold spark above the chevron.
for y in range(CY - 40, CY - 24):
    for x in range(CX - 8, CX + 9):
        if abs(x - CX) * 2 + abs(y - (CY - 32)) <= 8:
            pixels[y][x] = shade(GOLD, 1.0)

def draw_text(text, top, scale, base, shadow=True):
    width = len(text) * 6 * scale - scale
    left = (WIDTH - width) // 2
    for i, ch in enumerate(text):
        rows = GLYPHS.get(ch)
        if rows is None:
            continue
        for gy, row in enumerate(rows):
            for gx, bit in enumerate(row):
                if bit != "1":
                    continue
                for sy in range(scale):
                    for sx in range(scale):
                        x = left + (i * 6 + gx) * scale + sx
                        y = top + gy * scale + sy
                        if shadow and y + 2 < HEIGHT and x + 2 < WIDTH:
                            pixels[y + 2][x + 2] = shade(NIGHT, 0.0)
                        light = 1.0 - 0.6 * (gy * scale + sy) / (7 * scale)
                        pixels[y][x] = shade(base, light)

draw_text("VORN", 156, 5, GOLD)
draw_text("MD2", 203, 2, STEEL, shadow=False)

def write_bmp(path):
    row_bytes = (WIDTH + 3) & ~3
    image_size = row_bytes * HEIGHT
    offset = 14 + 40 + 256 * 4
    out = bytearray()
    out += struct.pack("<2sIHHI", b"BM", offset + image_size, 0, 0, offset)
    out += struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 8, 0, image_size, 2835, 2835, 256, 0)
    for r, g, b in PALETTE:
        out += struct.pack("<BBBB", b, g, r, 0)
    for y in reversed(range(HEIGHT)):  # bottom-up rows
        out += bytes(pixels[y]) + bytes(row_bytes - WIDTH)
    with open(path, "wb") as f:
        f.write(out)

if __name__ == "__main__":
    write_bmp(sys.argv[1] if len(sys.argv) > 1 else "shell/resources/panel.bmp")

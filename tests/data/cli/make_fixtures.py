#!/usr/bin/env python3
"""Writes the binary fixtures of md2export's tests: checker.bmp, a 16 x 8
24-bit BMP, and frames.md2, a small valid model whose four frames are named
wave1, wave2, wave3 and wave2 again (for the first-entry rule of --start).
The scenes beside them are written by hand. Run: python3 make_fixtures.py"""
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))


def checker_bmp():
    width, height = 16, 8
    stride = (width * 3 + 3) & ~3
    rows = b""
    for y in range(height):  # bottom-up
        row = b""
        for x in range(width):
            light = ((x // 4) + (y // 4)) % 2
            row += bytes((40, 200, 240) if light else (120, 30, 20))  # blue, green, red
        rows += row + b"\0" * (stride - len(row))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    header = b"BM" + struct.pack("<IHHI", 14 + len(info) + len(rows), 0, 0, 14 + len(info))
    return header + info + rows


def frames_md2():
    names = [b"wave1", b"wave2", b"wave3", b"wave2"]
    xyz, tris, st = 3, 1, 3
    frame_size = 40 + 4 * xyz
    glcmds = [struct.pack("<i", -3)]
    for s, t, v in ((0.0, 0.0, 0), (1.0, 0.0, 2), (0.0, 1.0, 1)):
        glcmds.append(struct.pack("<ffi", s, t, v))
    glcmds.append(struct.pack("<i", 0))
    glcmd_bytes = b"".join(glcmds)
    ofs_st = 68
    ofs_tris = ofs_st + 4 * st
    ofs_frames = ofs_tris + 12 * tris
    ofs_glcmds = ofs_frames + len(names) * frame_size
    ofs_end = ofs_glcmds + len(glcmd_bytes)
    out = b"IDP2" + struct.pack("<16i", 8, 8, 8, frame_size, 0, xyz, st, tris, len(glcmd_bytes) // 4,
                                len(names), 68, ofs_st, ofs_tris, ofs_frames, ofs_glcmds, ofs_end)
    out += struct.pack("<6h", 0, 0, 7, 0, 0, 7)
    out += struct.pack("<6H", 0, 2, 1, 0, 2, 1)
    for i, name in enumerate(names):
        out += struct.pack("<6f", 0.04, 0.04, 0.04, 0.0, 0.0, float(i))
        out += name.ljust(16, b"\0")
        out += bytes((0, 0, 0, 0, 250, 0, 0, 0, 0, 250, 0, 0))
    return out + glcmd_bytes


for name, data in (("checker.bmp", checker_bmp()), ("frames.md2", frames_md2())):
    with open(os.path.join(here, name), "wb") as f:
        f.write(data)

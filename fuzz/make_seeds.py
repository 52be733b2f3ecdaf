#!/usr/bin/env python3
"""Writes the seed corpora under fuzz/corpus/ (run from anywhere; idempotent).

image_readers: the image fixtures and two TIM files, behind the target's three
control bytes (reader and format, then the two shifts).
model_update: models of the targets' quad scene (4 vertices, 2 faces) with 1 to
4 frames, behind the three control bytes (start, range, first frame).
json_scene: the test scenes. export: a few byte strings of the lengths the
target's scenes take; the fuzzer finds their structure quickly.
preview: the quad models behind their length (four bytes, high first), each
followed by a small PCX skin, and one by the 24-bit BMP fixture.
"""
import os
import random
import shutil
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
CORPUS = os.path.join(HERE, "corpus")


def put(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def tim(bits8, units, height, with_clut):
    out = struct.pack("<II", 0x10, (1 if bits8 else 0) | (8 if with_clut else 0))
    if with_clut:
        colours = 256 if bits8 else 16
        out += struct.pack("<IHHHH", 12 + 2 * colours, 0, 480, colours, 1)
        out += b"".join(struct.pack("<H", (i * 2111) & 0xFFFF) for i in range(colours))
    out += struct.pack("<IHHHH", 12 + 2 * units * height, 0, 0, units, height)
    out += bytes((i * 29 + 7) & 0xFF for i in range(2 * units * height))
    return out


def md2(frames):
    v, t = 4, 2
    frame_size = 40 + 4 * v
    ofs_frames = 68 + 24 * t
    ofs_gl = ofs_frames + frames * frame_size
    ofs_end = ofs_gl + 4 * (10 * t + 1)
    head = b"IDP2" + struct.pack("<16i", 8, 64, 32, frame_size, 0, v, 3 * t, t, 10 * t + 1, frames,
                                 68, 68, 68 + 12 * t, ofs_frames, ofs_gl, ofs_end)
    st = b"".join(struct.pack("<hh", s, tt) for s, tt in [(0, 0), (64, 32), (64, 0), (0, 0), (0, 32), (64, 32)])
    tris = struct.pack("<6H", 0, 2, 1, 0, 2, 1) + struct.pack("<6H", 0, 3, 2, 3, 5, 4)
    body = b""
    for f in range(frames):
        body += struct.pack("<6f", 0.08, 0.04, 0.2 * f, -20.0, 0.0, 5.0 * f)
        body += ("frame%d" % f).encode().ljust(16, b"\0")
        body += bytes([0, 0, 0, 0, 250, 0, 0, 0, 250, 250, 0, 0, 0, 250, 0, 0])
    gl = b""
    for face in [(0, 2, 1), (0, 3, 2)]:
        gl += struct.pack("<i", -3)
        for k in face:
            gl += struct.pack("<ffi", 0.5, 0.5, k)
    gl += struct.pack("<i", 0)
    return head + st + tris + body + gl + b"R\0'\0R" + b"seed"


def pcx(width, height):
    """An 8-bit run-length PCX of one plane with a grey-ramp palette."""
    head = struct.pack("<BBBBHHHHHH", 10, 5, 1, 8, 0, 0, width - 1, height - 1, 72, 72)
    head += bytes(48) + bytes([0, 1]) + struct.pack("<HH", width, 1) + bytes(58)
    pixels = b""
    for y in range(height):
        pixels += bytes([0xC0 | width, 16 * y + 1])  # one run a row
    return head + pixels + b"\x0c" + bytes(c for i in range(256) for c in (i, i, 255 - i))


def preview_seeds():
    for frames in range(1, 5):
        model = md2(frames)
        put("preview", "quad%d" % frames, len(model).to_bytes(4, "big") + model + pcx(8, 4))
    with open(os.path.join(ROOT, "tests", "data", "images", "bmp24.bmp"), "rb") as f:
        model = md2(2)
        put("preview", "quad2_bmp", len(model).to_bytes(4, "big") + model + f.read())


def main():
    shutil.rmtree(CORPUS, ignore_errors=True)
    images = os.path.join(ROOT, "tests", "data", "images")
    control = {".bmp": 0, ".tga": 1, ".tim": 2}
    for i, name in enumerate(sorted(os.listdir(images))):
        ext = os.path.splitext(name)[1]
        if ext not in control:
            continue
        with open(os.path.join(images, name), "rb") as f:
            data = f.read()
        # Formats BGR24, INDEX8 and INDEX4 in turn, shifts that wrap.
        put("image_readers", name, bytes([control[ext] | (((i % 3) * 8) ^ 8), 3 + i, 5]) + data)
    put("image_readers", "tim4.tim", bytes([2, 4, 3]) + tim(False, 2, 3, True))
    put("image_readers", "tim8.tim", bytes([2 | 16, 2, 6]) + tim(True, 3, 2, True))
    put("image_readers", "tim8_noclut.tim", bytes([5, 4, 4]) + tim(True, 1, 2, False))

    for frames in range(1, 5):
        put("model_update", "quad%d.md2" % frames, bytes([frames - 1, 2, frames]) + md2(frames))

    scenes = os.path.join(ROOT, "tests", "data", "scenes")
    for folder in (scenes, os.path.join(scenes, "bad")):
        for name in sorted(os.listdir(folder)):
            if name.endswith(".json"):
                with open(os.path.join(folder, name), "rb") as f:
                    put("json_scene", name, f.read())

    rng = random.Random(20240601)
    for i, length in enumerate([64, 128, 200, 300, 400, 600]):
        put("export", "bytes%d" % i, bytes(rng.randrange(256) for _ in range(length)))
    preview_seeds()


if __name__ == "__main__":
    main()

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
real_scene: small glTF and OBJ scenes (a textured, tiled, painted and skinned
triangle, an unnamed animation, Windows-style texture names) with a texture
file: the checker PNG, a 600 x 600 PNG, a run-length TGA claiming 20000 x 20000.
"""
import base64
import json
import os
import random
import shutil
import struct
import sys
import zlib

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


def real_scene(mode, scene, mtl, picture):
    """The real_scene target's input: mode, then the texts after big-endian two-byte lengths."""
    if isinstance(scene, str):
        scene = scene.encode()
    if isinstance(mtl, str):
        mtl = mtl.encode()
    return bytes([mode]) + struct.pack(">H", len(scene)) + scene + struct.pack(">H", len(mtl)) + mtl + picture


def gltf(material, colours=False, skinned=False, animated=False, uv_span=1.0):
    """One triangle, its buffer in a data URI."""
    pos = struct.pack("<9f", 0, 0, 0, 1, 0, 0, 0, 1, 0)
    uv = struct.pack("<6f", 0, 0, uv_span, 0, 0, uv_span)
    col = struct.pack("<12f", 1, 0, 0, 1, 0, 1, 0, 1, 0, 0, 1, 1)
    joints = struct.pack("<12B", *([0, 0, 0, 0] * 3))
    weights = struct.pack("<12f", *([0.5, 0, 0, 0] * 3))
    inverse = struct.pack("<16f", 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1)
    times = struct.pack("<2f", 0, 1)
    moves = struct.pack("<6f", 0, 0, 0, 0, 1, 0)
    parts = [pos, uv, col, joints, weights, inverse, times, moves]
    data = b"".join(parts)
    views, offset = [], 0
    for part in parts:
        views.append({"buffer": 0, "byteOffset": offset, "byteLength": len(part)})
        offset += len(part)
    accessors = [
        {"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3", "min": [0, 0, 0], "max": [1, 1, 0]},
        {"bufferView": 1, "componentType": 5126, "count": 3, "type": "VEC2"},
        {"bufferView": 2, "componentType": 5126, "count": 3, "type": "VEC4"},
        {"bufferView": 3, "componentType": 5121, "count": 3, "type": "VEC4"},
        {"bufferView": 4, "componentType": 5126, "count": 3, "type": "VEC4"},
        {"bufferView": 5, "componentType": 5126, "count": 1, "type": "MAT4"},
        {"bufferView": 6, "componentType": 5126, "count": 2, "type": "SCALAR", "min": [0], "max": [1]},
        {"bufferView": 7, "componentType": 5126, "count": 2, "type": "VEC3"},
    ]
    attributes = {"POSITION": 0, "TEXCOORD_0": 1}
    if colours:
        attributes["COLOR_0"] = 2
    nodes = [{"name": "Tri", "mesh": 0}]
    doc = {"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}],
           "buffers": [{"byteLength": len(data),
                        "uri": "data:application/octet-stream;base64," + base64.b64encode(data).decode()}],
           "bufferViews": views, "accessors": accessors,
           "meshes": [{"primitives": [{"attributes": attributes, "material": 0}]}],
           "materials": [material], "nodes": nodes}
    if "baseColorTexture" in material.get("pbrMetallicRoughness", {}):
        doc["images"] = [{"uri": "tex.png"}]
        doc["textures"] = [{"source": 0}]
    if skinned:
        attributes["JOINTS_0"] = 3
        attributes["WEIGHTS_0"] = 4
        nodes[0]["skin"] = 0
        nodes.append({"name": "Bone"})
        doc["scenes"][0]["nodes"].append(1)
        doc["skins"] = [{"joints": [1], "inverseBindMatrices": 5}]
    if animated:
        target = 1 if skinned else 0
        doc["animations"] = [{"channels": [{"sampler": 0, "target": {"node": target, "path": "translation"}}],
                              "samplers": [{"input": 6, "output": 7}]}]
    return json.dumps(doc)


def png_of(width, height, colour):
    raw = b"".join(b"\0" + bytes(colour) * width for _ in range(height))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def real_scene_seeds():
    with open(os.path.join(ROOT, "tests", "data", "real", "checker.png"), "rb") as f:
        checker = f.read()
    big = png_of(600, 600, (40, 90, 200))
    bomb = struct.pack("<BBBHHBHHHHBB", 0, 0, 10, 0, 0, 0, 0, 0, 20000, 20000, 24, 0) + b"\xff\0\0\0"
    textured = {"name": "Tex", "pbrMetallicRoughness": {"baseColorTexture": {"index": 0}}}
    plain = {"name": "Plain", "pbrMetallicRoughness": {"baseColorFactor": [0.2, 0.6, 0.9, 1]}}
    put("real_scene", "gltf_textured", real_scene(0, gltf(textured), "", checker))
    put("real_scene", "gltf_tiled_big", real_scene(0, gltf(textured, uv_span=3.0), "", big))
    put("real_scene", "gltf_colours_skinned", real_scene(8, gltf(plain, colours=True, skinned=True, animated=True), "", b""))
    put("real_scene", "gltf_animated_nofit", real_scene(16, gltf(textured, animated=True), "", checker))
    obj = "mtllib scene.mtl\no Quad\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0\nvt 3 0\nvt 3 3\nvt 0 3\n" \
          "usemtl Upper\nf 1/1 2/2 3/3\nusemtl Plain\nf 1 3 4\n"
    mtl = "newmtl Upper\nKd 1 1 1\nmap_Kd C:\\Art\\TEX.PNG\nnewmtl Plain\nKd 0.5 0.2 0.1\n"
    put("real_scene", "obj_windows_names", real_scene(1, obj, mtl, checker))
    put("real_scene", "obj_big", real_scene(1, obj, mtl, big))
    put("real_scene", "obj_bomb", real_scene(1 | 2, obj, mtl.replace("TEX.PNG", "tex.tga"), bomb))


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

    real_scene_seeds()


if __name__ == "__main__":
    main()

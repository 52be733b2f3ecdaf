#!/usr/bin/env python3
"""Writes the scene-file fixtures of the asset-import loader's tests.

Python 3 standard library only; the output is the same on every run:

    python3 tests/data/real/make_fixtures.py

rig.gltf      glTF 2.0 with an embedded base64 buffer: a two-material box whose
              vertices are split by texture coordinates (node animation), a strip
              skinned to two joints, a morphing triangle, a triangle without a
              material but with vertex colours, two animations ("Move", "Idle").
checker.png   2 x 2 RGB PNG (converted by the loader)
stripes.tga, wood.bmp, indexed.tga
              2 x 2 images the exporter reads as they are
rle.tga, topdown.tga, withid.tga, grey.tga, v5.bmp, rgba32.bmp, topdown.bmp
              the same picture in forms the exporter would misread
broken.gltf   not JSON at all (the library refuses it)

The OBJ/MTL and COLLADA fixtures beside this script are written by hand.
"""
import base64
import json
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def png(width, height, rows):
    """An 8-bit RGB PNG; rows top first, each a list of (r, g, b)."""
    raw = b"".join(b"\0" + bytes(c for px in row for c in px) for row in rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def tga(rows, image_type=2, descriptor=0, image_id=b"", top_down=False):
    """A 24-bit TGA of rows given top first: plain, run-length (type 10), top-down or with an ID."""
    height, width = len(rows), len(rows[0])
    order = rows if top_down else rows[::-1]
    head = struct.pack("<BBBHHBHHHHBB", len(image_id), 0, image_type, 0, 0, 0, 0, 0, width, height, 24,
                       descriptor | (0x20 if top_down else 0))
    if image_type == 10:  # every pixel its own raw packet of one
        body = b"".join(b"\0" + bytes((b, g, r)) for row in order for (r, g, b) in row)
    else:
        body = b"".join(bytes(c for (r, g, b) in row for c in (b, g, r)) for row in order)
    return head + image_id + body


def tga_indexed(rows):
    """An 8-bit TGA with a 24-bit colour map, bottom-up (what the readers take)."""
    colours = sorted({px for row in rows for px in row})
    height, width = len(rows), len(rows[0])
    head = struct.pack("<BBBHHBHHHHBB", 0, 1, 1, 0, len(colours), 24, 0, 0, width, height, 8, 0)
    cmap = b"".join(bytes((b, g, r)) for (r, g, b) in colours)
    return head + cmap + b"".join(bytes(colours.index(px) for px in row) for row in rows[::-1])


def tga_grey(rows):
    height, width = len(rows), len(rows[0])
    head = struct.pack("<BBBHHBHHHHBB", 0, 0, 3, 0, 0, 0, 0, 0, width, height, 8, 0)
    return head + b"".join(bytes(sum(px) // 3 for px in row) for row in rows[::-1])


def bmp(rows, bits=24, header_size=40, top_down=False):
    """An uncompressed BMP of rows given top first; 24 or 32 bits, any info-header size."""
    height, width = len(rows), len(rows[0])
    bpp = bits // 8
    stride = (width * bpp + 3) & ~3
    order = rows if top_down else rows[::-1]
    body = b"".join(bytes(c for (r, g, b) in row for c in ((b, g, r, 255) if bits == 32 else (b, g, r)))
                    .ljust(stride, b"\0") for row in order)
    info = struct.pack("<IiiHHIIiiII", header_size, width, -height if top_down else height, 1, bits, 0,
                       len(body), 2835, 2835, 0, 0).ljust(header_size, b"\0")
    offset = 14 + header_size
    return b"BM" + struct.pack("<IHHI", offset + len(body), 0, 0, offset) + info + body


# Top row red, green; bottom row blue, white.
CHECKER = [[(255, 0, 0), (0, 255, 0)], [(0, 0, 255), (255, 255, 255)]]
# A second picture for the embedded image: top yellow, magenta; bottom cyan, black.
EMBEDDED = [[(255, 255, 0), (255, 0, 255)], [(0, 255, 255), (0, 0, 0)]]


class Buffer:
    def __init__(self):
        self.data = bytearray()
        self.views = []
        self.accessors = []

    def view(self, blob):
        while len(self.data) % 4:
            self.data.append(0)
        self.views.append({"buffer": 0, "byteOffset": len(self.data), "byteLength": len(blob)})
        self.data += blob
        return len(self.views) - 1

    def accessor(self, kind, values, component=5126):
        width = {"SCALAR": 1, "VEC2": 2, "VEC3": 3, "VEC4": 4, "MAT4": 16}[kind]
        flat = [x for v in values for x in (v if isinstance(v, (list, tuple)) else [v])]
        fmt = {5126: "f", 5125: "I", 5123: "H", 5121: "B"}[component]
        acc = {"bufferView": self.view(struct.pack("<%d%s" % (len(flat), fmt), *flat)),
               "componentType": component, "count": len(values), "type": kind}
        if kind == "VEC3" and component == 5126 and values:
            acc["min"] = [min(v[i] for v in values) for i in range(3)]
            acc["max"] = [max(v[i] for v in values) for i in range(3)]
        self.accessors.append(acc)
        return len(self.accessors) - 1


def quat_y(deg):
    h = math.radians(deg) / 2
    return [0.0, math.sin(h), 0.0, math.cos(h)]


def quat_z(deg):
    h = math.radians(deg) / 2
    return [0.0, 0.0, math.sin(h), math.cos(h)]


def rig():
    buf = Buffer()
    # Box: two primitives. The first splits corner 0 by its texture coordinate,
    # the second shares the positions (1,0,0) and (1,1,0) with the first.
    a_pos = [[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0], [0, 0, 0]]
    a_uv = [[0, 0], [1, 0], [1, 1], [0, 1], [0.5, 0.5]]
    a_idx = [0, 1, 2, 4, 2, 3]
    b_pos = [[1, 0, 0], [2, 0, 0], [2, 1, 0], [1, 1, 0]]
    b_uv = [[0, 0], [0.25, 0], [0.25, 0.75], [0, 0.75]]
    b_idx = [0, 1, 2, 0, 2, 3]
    box = {"name": "BoxMesh", "primitives": [
        {"attributes": {"POSITION": buf.accessor("VEC3", a_pos), "TEXCOORD_0": buf.accessor("VEC2", a_uv)},
         "indices": buf.accessor("SCALAR", a_idx, 5125), "material": 0},
        {"attributes": {"POSITION": buf.accessor("VEC3", b_pos), "TEXCOORD_0": buf.accessor("VEC2", b_uv)},
         "indices": buf.accessor("SCALAR", b_idx, 5125), "material": 1}]}

    # Skinned strip along +y: rows at y = 0 (Hips), 1 (half each), 2 (Spine).
    s_pos = [[0, 0, 0], [1, 0, 0], [0, 1, 0], [1, 1, 0], [0, 2, 0], [1, 2, 0]]
    s_joints = [[0, 0, 0, 0], [0, 0, 0, 0], [0, 1, 0, 0], [0, 1, 0, 0], [1, 0, 0, 0], [1, 0, 0, 0]]
    s_weights = [[1, 0, 0, 0], [1, 0, 0, 0], [0.5, 0.5, 0, 0], [0.5, 0.5, 0, 0], [1, 0, 0, 0], [1, 0, 0, 0]]
    s_idx = [0, 1, 3, 0, 3, 2, 2, 3, 5, 2, 5, 4]
    strip = {"name": "StripMesh", "primitives": [
        {"attributes": {"POSITION": buf.accessor("VEC3", s_pos),
                        "TEXCOORD_0": buf.accessor("VEC2", [[p[0], p[1] / 2] for p in s_pos]),
                        "JOINTS_0": buf.accessor("VEC4", s_joints, 5121),
                        "WEIGHTS_0": buf.accessor("VEC4", s_weights)},
         "indices": buf.accessor("SCALAR", s_idx, 5125), "material": 2}]}
    # Inverse bind matrices (column-major): Hips at the origin, Spine at y = 1.
    identity = [1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1]
    spine_ibm = [1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, -1, 0, 1]
    ibm = buf.accessor("MAT4", [identity, spine_ibm])

    # Morphing triangle: target 0 lifts corner 2 by 1 in z, target 1 moves corner 1 by 1 in x.
    m_pos = [[0, 0, 0], [1, 0, 0], [0, 1, 0]]
    blob = {"name": "BlobMesh", "weights": [0.25, 0.0], "primitives": [
        {"attributes": {"POSITION": buf.accessor("VEC3", m_pos),
                        "TEXCOORD_0": buf.accessor("VEC2", [[0, 0], [1, 0], [0, 1]])},
         "targets": [{"POSITION": buf.accessor("VEC3", [[0, 0, 0], [0, 0, 0], [0, 0, 1]])},
                     {"POSITION": buf.accessor("VEC3", [[0, 0, 0], [1, 0, 0], [0, 0, 0]])}],
         "material": 3}]}

    plain = {"name": "PlainMesh", "primitives": [
        {"attributes": {"POSITION": buf.accessor("VEC3", [[0, 0, 0], [1, 0, 0], [0, 0, 1]]),
                        "COLOR_0": buf.accessor("VEC3", [[1, 0, 0], [0, 1, 0], [0, 0, 1]])}}]}

    # Animation "Move": keys at 1, 2 and 3 seconds (frame 0 is the first key, not the rest pose).
    times = buf.accessor("SCALAR", [1.0, 2.0, 3.0])
    samplers = [
        (buf.accessor("VEC3", [[0, 0, 0], [2, 0, 0], [2, 4, 0]]), "LINEAR"),
        (buf.accessor("VEC4", [quat_y(0), quat_y(90), quat_y(180)]), "LINEAR"),
        (buf.accessor("VEC3", [[1, 1, 1], [2, 2, 2], [1, 1, 1]]), "LINEAR"),
        (buf.accessor("VEC4", [quat_z(0), quat_z(90), quat_z(90)]), "LINEAR"),
        (buf.accessor("VEC3", [[0, 0, 0], [0, 0, 3], [0, 0, 3]]), "LINEAR"),
        (buf.accessor("SCALAR", [0, 0, 1, 0, 0.5, 0.5]), "LINEAR"),
    ]
    move = {"name": "Move",
            "samplers": [{"input": times, "output": out, "interpolation": i} for out, i in samplers],
            "channels": [
                {"sampler": 0, "target": {"node": 0, "path": "translation"}},
                {"sampler": 1, "target": {"node": 0, "path": "rotation"}},
                {"sampler": 2, "target": {"node": 0, "path": "scale"}},
                {"sampler": 3, "target": {"node": 3, "path": "rotation"}},
                {"sampler": 4, "target": {"node": 2, "path": "translation"}},
                {"sampler": 5, "target": {"node": 4, "path": "weights"}}]}
    idle_t = buf.accessor("SCALAR", [0.0, 1.0])
    idle = {"name": "Idle",
            "samplers": [{"input": idle_t, "output": buf.accessor("VEC3", [[0, 0, 7], [0, 0, 9]]),
                          "interpolation": "LINEAR"}],
            "channels": [{"sampler": 0, "target": {"node": 0, "path": "translation"}}]}

    embedded_png = png(2, 2, EMBEDDED)
    embedded_view = buf.view(embedded_png)

    doc = {
        "asset": {"version": "2.0", "generator": "make_fixtures.py"},
        "scene": 0,
        "scenes": [{"nodes": [0, 1, 2, 4, 5]}],
        "nodes": [
            {"name": "Box", "mesh": 0, "translation": [5, 5, 5]},
            {"name": "Strip", "mesh": 1, "skin": 0, "translation": [10, 0, 0]},
            {"name": "Hips", "children": [3]},
            {"name": "Spine", "translation": [0, 1, 0]},
            {"name": "Blob", "mesh": 2},
            {"name": "Plain", "mesh": 3, "translation": [0, 0, -2]},
        ],
        "skins": [{"joints": [2, 3], "inverseBindMatrices": ibm, "skeleton": 2}],
        "meshes": [box, strip, blob, plain],
        "materials": [
            {"name": "Red", "pbrMetallicRoughness": {"baseColorTexture": {"index": 0}}},
            {"name": "Blue", "pbrMetallicRoughness": {"baseColorTexture": {"index": 1}}},
            {"name": "Skin", "pbrMetallicRoughness": {"baseColorTexture": {"index": 2}}},
            {"name": "Ghost", "pbrMetallicRoughness": {"baseColorTexture": {"index": 3}}},
        ],
        "textures": [{"source": 0}, {"source": 1}, {"source": 2}, {"source": 3}],
        "images": [{"uri": "checker.png"}, {"uri": "stripes.tga"},
                   {"bufferView": embedded_view, "mimeType": "image/png"}, {"uri": "missing.png"}],
        "animations": [move, idle],
        "accessors": buf.accessors,
        "bufferViews": buf.views,
        "buffers": [{"byteLength": len(buf.data),
                     "uri": "data:application/octet-stream;base64," + base64.b64encode(bytes(buf.data)).decode()}],
    }
    return json.dumps(doc, indent=1, sort_keys=True) + "\n"


def write(name, data):
    mode = "w" if isinstance(data, str) else "wb"
    with open(os.path.join(HERE, name), mode) as f:
        f.write(data)


def main():
    write("rig.gltf", rig())
    write("checker.png", png(2, 2, CHECKER))
    write("stripes.tga", tga(CHECKER))
    # Texture files in the forms the exporter's readers take as they are ...
    write("wood.bmp", bmp(CHECKER))
    write("indexed.tga", tga_indexed(CHECKER))
    # ... and in forms they would read wrongly, which the loader converts.
    write("rle.tga", tga(CHECKER, image_type=10))
    write("topdown.tga", tga(CHECKER, top_down=True))
    write("withid.tga", tga(CHECKER, image_id=b"vorn!"))
    write("grey.tga", tga_grey(CHECKER))
    write("v5.bmp", bmp(CHECKER, header_size=124))
    write("rgba32.bmp", bmp(CHECKER, bits=32))
    write("topdown.bmp", bmp(CHECKER, top_down=True))
    write("broken.gltf", "this is not a scene\n")


if __name__ == "__main__":
    main()

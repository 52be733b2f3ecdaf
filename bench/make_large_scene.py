#!/usr/bin/env python3
"""Writes the large scene the whole-export benchmarks run on.

    python3 bench/make_large_scene.py [OUTPUT_FOLDER]    (default: build/bench-scene)

Only the Python 3 standard library is used, and every number comes out the
same on every run. The scene: eight tori of 16 x 16 vertices (256 vertices and
512 triangles each, 2,048 vertices and 4,096 triangles in all), each with its
own material and 128 x 128 texture, tumbling and bobbing over the 198 frames of
the default frame list. Files written:

    large.json          the scene in the stand-in host's JSON format, animated
                        by node transform keys (a key every other frame, so that
                        half the samples are interpolated)
    large_tex0.tga ..   the eight textures, 24-bit uncompressed bottom-up TGA
    large_tex7.tga
    large.gltf          the same shapes as one skinned mesh: a root joint and
    large.bin           one joint per torus, keyed over the same 198 frames at
    large_tex0.png ..   30 frames a second; the textures as PNG, as glTF wants
    large_tex7.png

The textures look like real texture content rather than flat fills: smooth
gradients, fine noise and photo-like blocks of mottled colour, so that the
palette matching of the PCX skin meets tens of thousands of distinct colours.
"""

import base64
import json
import math
import os
import random
import struct
import sys
import zlib

PIECES = 8
RING = 16        # vertices around the tube
SEGMENTS = 16    # vertices along the ring
TEXTURE_SIZE = 128
FRAMES = 198
KEY_STEP = 2
FPS = 30.0
MAJOR = 10.0     # ring radius
MINOR = 3.5      # tube radius


# ---------------------------------------------------------------------------
# Geometry

def piece_centre(i):
    # Two rows of four, 30 units apart, in the host's x-y plane (z up).
    return (-45.0 + 30.0 * (i % 4), -15.0 + 30.0 * (i // 4), 0.0)


def torus_points():
    """Vertices of one torus about its own centre, ring in the x-y plane."""
    points = []
    for s in range(SEGMENTS):
        a = 2.0 * math.pi * s / SEGMENTS
        for r in range(RING):
            b = 2.0 * math.pi * r / RING
            d = MAJOR + MINOR * math.cos(b)
            points.append((d * math.cos(a), d * math.sin(a), MINOR * math.sin(b)))
    return points


def torus_faces():
    """Two triangles per quad; vertex and texture-vertex indices of each corner."""
    faces = []
    for s in range(SEGMENTS):
        for r in range(RING):
            v00 = s * RING + r
            v10 = ((s + 1) % SEGMENTS) * RING + r
            v01 = s * RING + (r + 1) % RING
            v11 = ((s + 1) % SEGMENTS) * RING + (r + 1) % RING
            # Texture vertices live on a (SEGMENTS + 1) x (RING + 1) grid so the seams get their own.
            t00 = s * (RING + 1) + r
            t10 = (s + 1) * (RING + 1) + r
            t01 = s * (RING + 1) + r + 1
            t11 = (s + 1) * (RING + 1) + r + 1
            faces.append(((v00, v10, v11), (t00, t10, t11)))
            faces.append(((v00, v11, v01), (t00, t11, t01)))
    return faces


def torus_tverts():
    # Multiples of 1/16: exact in binary, so each texture is used whole.
    return [(s / SEGMENTS, r / RING) for s in range(SEGMENTS + 1) for r in range(RING + 1)]


def motion(i, frame):
    """Piece i at a frame: spin about z, tilt about x, and a bob, as (3x3 rotation, translation)."""
    t = frame / FRAMES
    spin = 2.0 * math.pi * (t * (1 + i % 3)) + 0.4 * i
    tilt = 0.6 * math.sin(2.0 * math.pi * (2 * t + i / PIECES))
    cs, ss = math.cos(spin), math.sin(spin)
    ct, st = math.cos(tilt), math.sin(tilt)
    rz = [[cs, -ss, 0.0], [ss, cs, 0.0], [0.0, 0.0, 1.0]]
    rx = [[1.0, 0.0, 0.0], [0.0, ct, -st], [0.0, st, ct]]
    r = [[sum(rx[a][k] * rz[k][b] for k in range(3)) for b in range(3)] for a in range(3)]
    cx, cy, cz = piece_centre(i)
    bob = 8.0 * math.sin(2.0 * math.pi * (3 * t + i / PIECES))
    return r, (cx, cy, cz + bob)


def rows_of(r, translation):
    # The host takes p to p.x * r0 + p.y * r1 + p.z * r2 + r3: row k is column k of the rotation.
    return [[round(r[0][k], 6), round(r[1][k], 6), round(r[2][k], 6)] for k in range(3)] + [
        [round(c, 6) for c in translation]]


# ---------------------------------------------------------------------------
# Textures

def texture_pixels(i):
    """Rows top first of (r, g, b): gradients, noise and mottled blocks."""
    rng = random.Random(1000 + i)
    n = TEXTURE_SIZE
    base = [rng.randrange(40, 220) for _ in range(3)]
    blocks = []
    for _ in range(10):
        x0, y0 = rng.randrange(n), rng.randrange(n)
        blocks.append((x0, y0, x0 + rng.randrange(12, 48), y0 + rng.randrange(12, 48),
                       [rng.randrange(256) for _ in range(3)], rng.random() * 0.5))
    rows = []
    for y in range(n):
        row = []
        for x in range(n):
            # Smooth gradients over the whole texture, each channel its own direction.
            c = [base[0] + 60.0 * math.sin(x / 23.0 + i),
                 base[1] + 50.0 * math.cos(y / 17.0 + 0.5 * i),
                 base[2] + 40.0 * math.sin((x + y) / 31.0)]
            for (x0, y0, x1, y1, colour, shade) in blocks:
                if x0 <= x < x1 and y0 <= y < y1:
                    # A photo-like patch: its own colour, lit across, mottled.
                    light = 0.75 + shade * (x - x0) / max(1, x1 - x0)
                    mottle = 12.0 * math.sin(x * 0.9 + y * 1.3)
                    c = [colour[k] * light + mottle for k in range(3)]
            noise = rng.gauss(0.0, 9.0)
            row.append(tuple(max(0, min(255, int(c[k] + noise + rng.uniform(-4.0, 4.0)))) for k in range(3)))
        rows.append(row)
    return rows


def write_tga(path, rows):
    n_rows, n_cols = len(rows), len(rows[0])
    header = struct.pack('<BBBHHBHHHHBB', 0, 0, 2, 0, 0, 0, 0, 0, n_cols, n_rows, 24, 0)
    body = bytearray()
    for row in reversed(rows):  # bottom-up
        for r, g, b in row:
            body += bytes((b, g, r))
    with open(path, 'wb') as f:
        f.write(header + bytes(body))


def write_png(path, rows):
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF)
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for pixel in row:
            raw += bytes(pixel)
    png = b'\x89PNG\r\n\x1a\n'
    png += chunk(b'IHDR', struct.pack('>IIBBBBB', len(rows[0]), len(rows), 8, 2, 0, 0, 0))
    png += chunk(b'IDAT', zlib.compress(bytes(raw), 9))
    png += chunk(b'IEND', b'')
    with open(path, 'wb') as f:
        f.write(png)


# ---------------------------------------------------------------------------
# The JSON scene

def json_scene():
    points = torus_points()
    faces = torus_faces()
    tverts = torus_tverts()
    materials = []
    children = []
    for i in range(PIECES):
        materials.append({'name': 'Piece%d' % i, 'diffuse': {'bitmap': 'large_tex%d.tga' % i}})
        keys = []
        for frame in list(range(0, FRAMES, KEY_STEP)) + [FRAMES - 1]:
            r, tr = motion(i, frame)
            keys.append({'frame': frame, 'rows': rows_of(r, tr)})
        children.append({
            'name': 'Torus%d' % i,
            'selected': True,
            'material': i,
            'mesh': {
                'vertices': [[round(c, 5) for c in p] for p in points],
                'faces': [{'v': list(v), 'smooth': 1} for v, _ in faces],
                'tverts': [list(t) for t in tverts],
                'tfaces': [list(t) for _, t in faces],
            },
            'transformKeys': keys,
        })
    return {'format': 'md2-scene', 'version': 1, 'ticksPerFrame': 160, 'materials': materials,
            'root': {'name': 'Scene Root', 'children': children}}


# ---------------------------------------------------------------------------
# The glTF scene: one skinned mesh, a joint per torus

def to_gltf(p):
    # Host z-up to glTF y-up; a host unit is a metre, as the scene loader reads glTF.
    return (p[0], p[2], -p[1])


def quaternion(r):
    """Rotation matrix (column convention) to (x, y, z, w)."""
    trace = r[0][0] + r[1][1] + r[2][2]
    if trace > 0.0:
        s = 2.0 * math.sqrt(trace + 1.0)
        return ((r[2][1] - r[1][2]) / s, (r[0][2] - r[2][0]) / s, (r[1][0] - r[0][1]) / s, 0.25 * s)
    if r[0][0] > r[1][1] and r[0][0] > r[2][2]:
        s = 2.0 * math.sqrt(1.0 + r[0][0] - r[1][1] - r[2][2])
        return (0.25 * s, (r[0][1] + r[1][0]) / s, (r[0][2] + r[2][0]) / s, (r[2][1] - r[1][2]) / s)
    if r[1][1] > r[2][2]:
        s = 2.0 * math.sqrt(1.0 + r[1][1] - r[0][0] - r[2][2])
        return ((r[0][1] + r[1][0]) / s, 0.25 * s, (r[1][2] + r[2][1]) / s, (r[0][2] - r[2][0]) / s)
    s = 2.0 * math.sqrt(1.0 + r[2][2] - r[0][0] - r[1][1])
    return ((r[0][2] + r[2][0]) / s, (r[1][2] + r[2][1]) / s, 0.25 * s, (r[1][0] - r[0][1]) / s)


def host_rotation_to_gltf(r):
    # Conjugate by the axis change A: (x, y, z) -> (x, z, -y).
    a = [[1, 0, 0], [0, 0, 1], [0, -1, 0]]
    at = [[a[j][i] for j in range(3)] for i in range(3)]
    ar = [[sum(a[i][k] * r[k][j] for k in range(3)) for j in range(3)] for i in range(3)]
    return [[sum(ar[i][k] * at[k][j] for k in range(3)) for j in range(3)] for i in range(3)]


class Buffer:
    def __init__(self):
        self.data = bytearray()
        self.views = []
        self.accessors = []

    def add(self, fmt, values, component, kind, count, target=None, minmax=False):
        while len(self.data) % 4:
            self.data.append(0)
        offset = len(self.data)
        self.data += struct.pack('<%d%s' % (len(values), fmt), *values)
        view = {'buffer': 0, 'byteOffset': offset, 'byteLength': len(self.data) - offset}
        if target:
            view['target'] = target
        self.views.append(view)
        accessor = {'bufferView': len(self.views) - 1, 'componentType': component, 'count': count, 'type': kind}
        if minmax:
            width = len(values) // count
            accessor['min'] = [min(values[k::width]) for k in range(width)]
            accessor['max'] = [max(values[k::width]) for k in range(width)]
        self.accessors.append(accessor)
        return len(self.accessors) - 1


def gltf_scene():
    FLOAT, USHORT, UINT, UBYTE = 5126, 5123, 5125, 5121
    ARRAY, ELEMENTS = 34962, 34963
    buf = Buffer()
    points = torus_points()
    faces = torus_faces()
    tverts = torus_tverts()
    # One primitive per torus; vertices are split where the texture seams need it.
    primitives = []
    for i in range(PIECES):
        centre = piece_centre(i)
        r0, t0 = motion(i, 0)
        corner_index = {}
        positions, uvs, joints, weights, indices = [], [], [], [], []
        for v, t in faces:
            for k in range(3):
                key = (v[k], t[k])
                if key not in corner_index:
                    corner_index[key] = len(corner_index)
                    p = points[v[k]]
                    # The bind pose is the scene at frame 0.
                    world = [sum(r0[a][b] * p[b] for b in range(3)) + t0[a] for a in range(3)]
                    positions.extend(to_gltf(world))
                    u, w = tverts[t[k]]
                    uvs.extend((u, 1.0 - w))  # glTF's v runs down from the top row
                    joints.extend((i + 1, 0, 0, 0))
                    weights.extend((0.8, 0.2, 0.0, 0.0))
                indices.append(corner_index[key])
        count = len(corner_index)
        primitives.append({
            'attributes': {
                'POSITION': buf.add('f', positions, FLOAT, 'VEC3', count, ARRAY, minmax=True),
                'TEXCOORD_0': buf.add('f', uvs, FLOAT, 'VEC2', count, ARRAY),
                'JOINTS_0': buf.add('B', joints, UBYTE, 'VEC4', count, ARRAY),
                'WEIGHTS_0': buf.add('f', weights, FLOAT, 'VEC4', count, ARRAY),
            },
            'indices': buf.add('H', indices, USHORT, 'SCALAR', len(indices), ELEMENTS),
            'material': i,
        })

    # Joint 0 is the root at the origin; joint i + 1 sits at torus i's frame-0 pose.
    def bind_pose(i):
        r, t = motion(i, 0)
        return host_rotation_to_gltf(r), to_gltf(t)

    inverse_binds = [1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1]
    for i in range(PIECES):
        r, t = bind_pose(i)
        rt = [[r[j][k] for j in range(3)] for k in range(3)]  # inverse rotation
        tt = [-sum(rt[a][b] * t[b] for b in range(3)) for a in range(3)]
        # Column-major 4 x 4.
        inverse_binds += [rt[0][0], rt[1][0], rt[2][0], 0, rt[0][1], rt[1][1], rt[2][1], 0,
                          rt[0][2], rt[1][2], rt[2][2], 0, tt[0], tt[1], tt[2], 1]
    ibm = buf.add('f', inverse_binds, FLOAT, 'MAT4', PIECES + 1)

    times = [f / FPS for f in range(FRAMES)]
    time_accessor = buf.add('f', times, FLOAT, 'SCALAR', FRAMES, minmax=True)
    samplers, channels = [], []
    for i in range(PIECES):
        rotations, translations = [], []
        previous = None
        for f in range(FRAMES):
            r, t = motion(i, f)
            q = quaternion(host_rotation_to_gltf(r))
            if previous and sum(a * b for a, b in zip(q, previous)) < 0.0:
                q = tuple(-c for c in q)  # the short way round between keys
            previous = q
            rotations.extend(q)
            translations.extend(to_gltf(t))
        for path, values, kind in (('rotation', rotations, 'VEC4'), ('translation', translations, 'VEC3')):
            samplers.append({'input': time_accessor, 'interpolation': 'LINEAR',
                             'output': buf.add('f', values, FLOAT, kind, FRAMES)})
            channels.append({'sampler': len(samplers) - 1, 'target': {'node': 2 + i, 'path': path}})
    # The root sways a little, so every vertex also follows a second joint.
    sway = []
    for f in range(FRAMES):
        sway.extend((0.0, 2.0 * math.sin(2.0 * math.pi * f / FRAMES), 0.0))
    samplers.append({'input': time_accessor, 'interpolation': 'LINEAR',
                     'output': buf.add('f', sway, FLOAT, 'VEC3', FRAMES)})
    channels.append({'sampler': len(samplers) - 1, 'target': {'node': 1, 'path': 'translation'}})

    nodes = [{'name': 'Tori', 'mesh': 0, 'skin': 0},
             {'name': 'Root', 'children': [2 + i for i in range(PIECES)]}]
    for i in range(PIECES):
        r, t = bind_pose(i)
        nodes.append({'name': 'Joint%d' % i, 'rotation': list(quaternion(r)), 'translation': list(t)})

    return {
        'asset': {'version': '2.0', 'generator': 'make_large_scene.py'},
        'scene': 0,
        'scenes': [{'nodes': [0, 1]}],
        'nodes': nodes,
        'meshes': [{'name': 'Tori', 'primitives': primitives}],
        'skins': [{'joints': list(range(1, PIECES + 2)), 'skeleton': 1, 'inverseBindMatrices': ibm}],
        'animations': [{'name': 'Tumble', 'samplers': samplers, 'channels': channels}],
        'materials': [{'name': 'Piece%d' % i, 'pbrMetallicRoughness': {'baseColorTexture': {'index': i},
                       'metallicFactor': 0.0}} for i in range(PIECES)],
        'textures': [{'source': i} for i in range(PIECES)],
        'images': [{'uri': 'large_tex%d.png' % i} for i in range(PIECES)],
        'buffers': [{'uri': 'large.bin', 'byteLength': len(buf.data)}],
        'bufferViews': buf.views,
        'accessors': buf.accessors,
    }, buf.data


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join('build', 'bench-scene')
    os.makedirs(folder, exist_ok=True)
    for i in range(PIECES):
        rows = texture_pixels(i)
        write_tga(os.path.join(folder, 'large_tex%d.tga' % i), rows)
        write_png(os.path.join(folder, 'large_tex%d.png' % i), rows)
    with open(os.path.join(folder, 'large.json'), 'w') as f:
        json.dump(json_scene(), f, separators=(',', ':'))
    gltf, data = gltf_scene()
    with open(os.path.join(folder, 'large.bin'), 'wb') as f:
        f.write(data)
    with open(os.path.join(folder, 'large.gltf'), 'w') as f:
        json.dump(gltf, f, indent=1)
    print('wrote %s: large.json, large.gltf + large.bin, %d textures' % (folder, PIECES))


if __name__ == '__main__':
    main()

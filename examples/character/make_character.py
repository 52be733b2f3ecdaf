#!/usr/bin/env python3
"""Writes the bundled example character: a low-poly figure skinned to a small
skeleton, as glTF 2.0 (character.gltf, its buffer embedded) with two TGA
textures (body.tga, head.tga). Python 3 standard library only; the output is
the same on every run:

    python3 examples/character/make_character.py

The figure stands 1.8 m tall on the origin and faces front (+Z in glTF, which
the scene loader turns into the host's -Y, so the written model faces +X).
It is made of boxes, each held by one joint of a seven-joint skeleton
(Hips > Spine > Head, Spine > ArmL / ArmR, Hips > LegL / LegR). Materials:
"Body" (torso, arms, legs; body.tga) and "Head" (head.tga, a face on the front).

armed.gltf is the same figure holding a gun: a mesh node "Gun", a child of the
right arm's joint ArmR (so it follows the hand without skin weights), on its own
material "Gun" (gun.tga). Its top back corner is the right hand's front inner
corner, a point both meshes share. The plain figure stays gun-free, since a
Quake II player model carries its weapon as a separate model.

Animations, one key per Quake II player frame at 30 frames a second, named
after the standard frame-name runs they fill:
    stand   40 frames  (stand01 .. stand40)   breathing, arms swaying
    run      6 frames  (run1 .. run6)         a running cycle
    jump     6 frames  (jump1 .. jump6)       crouch, leap, land
    death1   6 frames  (death101 .. death106) falls over backwards
    player 198 frames  the whole standard frame list in order, the runs above
                       at their places and the rest pose elsewhere, so one
                       export of frames 0..197 fills every named frame.
"""
import base64
import json
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
FPS = 30

# The standard player frame list: (prefix, count) in order.
FRAME_RUNS = [("stand", 40), ("run", 6), ("attack", 8), ("pain1", 4), ("pain2", 4), ("pain3", 4),
              ("jump", 6), ("flip", 12), ("salute", 11), ("taunt", 17), ("wave", 11), ("point", 12),
              ("crstnd", 19), ("crwalk", 6), ("crattak", 9), ("crpain", 4), ("crdeath", 5),
              ("death1", 6), ("death2", 6), ("death3", 8)]

# Joints: name, parent, position in the bind pose (metres, glTF Y-up).
JOINTS = [("Hips", None, (0.0, 0.95, 0.0)), ("Spine", "Hips", (0.0, 1.05, 0.0)),
          ("Head", "Spine", (0.0, 1.5, 0.0)), ("ArmL", "Spine", (0.25, 1.45, 0.0)),
          ("ArmR", "Spine", (-0.25, 1.45, 0.0)), ("LegL", "Hips", (0.1, 0.9, 0.0)),
          ("LegR", "Hips", (-0.1, 0.9, 0.0))]
JOINT_INDEX = {name: i for i, (name, _, _) in enumerate(JOINTS)}

# Boxes: joint, material, (min corner), (max corner), texture rectangle (u0, v0, u1, v1).
BOXES = [("Hips", "Body", (-0.17, 0.85, -0.1), (0.17, 1.05, 0.1), (0.0, 0.5, 0.5, 0.625)),
         ("Spine", "Body", (-0.2, 1.05, -0.11), (0.2, 1.5, 0.11), (0.0, 0.625, 0.5, 1.0)),
         ("ArmL", "Body", (0.2, 0.85, -0.06), (0.3, 1.48, 0.06), (0.5, 0.5, 0.75, 1.0)),
         ("ArmR", "Body", (-0.3, 0.85, -0.06), (-0.2, 1.48, 0.06), (0.75, 0.5, 1.0, 1.0)),
         ("LegL", "Body", (0.02, 0.0, -0.08), (0.18, 0.9, 0.08), (0.0, 0.0, 0.5, 0.5)),
         ("LegR", "Body", (-0.18, 0.0, -0.08), (-0.02, 0.9, 0.08), (0.5, 0.0, 1.0, 0.5)),
         ("Head", "Head", (-0.12, 1.52, -0.12), (0.12, 1.8, 0.12), (0.0, 0.0, 1.0, 1.0))]

# The gun, in the figure's frame: under the right hand, its barrel forward (+z).
# Its corner (-0.2, 0.85, 0.06) is the ArmR box's.
GUN = ((-0.28, 0.75, 0.06), (-0.2, 0.85, 0.36), (0.0, 0.0, 1.0, 1.0))


# --- Textures ----------------------------------------------------------------

def tga(width, height, pixel):
    """An uncompressed bottom-up 24-bit TGA without image ID; pixel(x, y) -> (r, g, b), y = 0 at the top."""
    head = struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, width, height, 24, 0)
    rows = []
    for y in range(height - 1, -1, -1):
        rows.append(bytes(c for x in range(width) for (r, g, b) in [pixel(x, y)] for c in (b, g, r)))
    return head + b"".join(rows)


def body_pixel(x, y):
    # 64 x 64, v up: legs (bottom half) dark trousers, torso a tunic with a belt, arms sleeves.
    if y >= 32:  # bottom half of the picture: legs
        return (40, 40, 90) if (x // 4 + y // 4) % 2 else (50, 50, 110)
    if x >= 32:  # sleeves
        return (150, 30, 30) if y % 8 else (110, 20, 20)
    if 20 <= y < 24:  # belt between tunic (above) and hips (below)
        return (90, 60, 20)
    return (170, 40, 40) if (x + y) % 16 else (200, 70, 70)


def head_pixel(x, y):
    # 32 x 32: skin with two eyes and a mouth, on every side; hair on top rows.
    if y < 6:
        return (60, 40, 20)
    if y in (12, 13) and x in (9, 10, 21, 22):
        return (20, 20, 60)
    if y == 22 and 11 <= x <= 20:
        return (120, 30, 30)
    return (225, 180, 140)


def gun_pixel(x, y):
    # 16 x 16: gunmetal with a lighter stripe.
    return (150, 150, 160) if 6 <= y < 9 else (70, 70, 80)


# --- Geometry ------------------------------------------------------------------

def box(lo, hi, rect):
    """24 corners (4 per side, split by texture coordinates) and 12 triangles."""
    (x0, y0, z0), (x1, y1, z1) = lo, hi
    u0, v0, u1, v1 = rect
    # Sides: four corners counter-clockwise seen from outside, with texture (s, t) in 0..1.
    sides = [
        [(x0, y0, z1), (x1, y0, z1), (x1, y1, z1), (x0, y1, z1)],  # front (+z)
        [(x1, y0, z0), (x0, y0, z0), (x0, y1, z0), (x1, y1, z0)],  # back
        [(x1, y0, z1), (x1, y0, z0), (x1, y1, z0), (x1, y1, z1)],  # +x
        [(x0, y0, z0), (x0, y0, z1), (x0, y1, z1), (x0, y1, z0)],  # -x
        [(x0, y1, z1), (x1, y1, z1), (x1, y1, z0), (x0, y1, z0)],  # top
        [(x0, y0, z0), (x1, y0, z0), (x1, y0, z1), (x0, y0, z1)],  # bottom
    ]
    st = [(0, 1), (1, 1), (1, 0), (0, 0)]  # glTF: t = 0 at the image's top row
    positions, uvs, indices = [], [], []
    for side in sides:
        base = len(positions)
        for corner, (s, t) in zip(side, st):
            positions.append(corner)
            # glTF t runs down the image; the rectangle's v runs up.
            uvs.append((u0 + (u1 - u0) * s, 1.0 - (v0 + (v1 - v0) * (1 - t))))
        indices += [base, base + 1, base + 2, base, base + 2, base + 3]
    return positions, uvs, indices


# --- Poses -----------------------------------------------------------------------

def quat_axis(axis, degrees):
    h = math.radians(degrees) / 2
    s = math.sin(h)
    return (axis[0] * s, axis[1] * s, axis[2] * s, math.cos(h))


X = (1, 0, 0)
Z = (0, 0, 1)


def rest_pose():
    return {"hips": (0.0, 0.0, 0.0), "Hips": quat_axis(X, 0), "Spine": quat_axis(X, 0),
            "Head": quat_axis(X, 0), "ArmL": quat_axis(X, 0), "ArmR": quat_axis(X, 0),
            "LegL": quat_axis(X, 0), "LegR": quat_axis(X, 0)}


def stand_pose(i, n):
    p = rest_pose()
    a = 2 * math.pi * i / n
    p["Spine"] = quat_axis(X, 3 * math.sin(a))
    p["ArmL"] = quat_axis(Z, 4 + 2 * math.sin(a))
    p["ArmR"] = quat_axis(Z, -4 - 2 * math.sin(a))
    return p


def run_pose(i, n):
    p = rest_pose()
    a = 2 * math.pi * i / n
    swing = 35 * math.sin(a)
    p["hips"] = (0.0, 0.04 * abs(math.sin(a)), 0.0)
    p["Spine"] = quat_axis(X, 12)
    p["LegL"] = quat_axis(X, -swing)
    p["LegR"] = quat_axis(X, swing)
    p["ArmL"] = quat_axis(X, swing * 0.8)
    p["ArmR"] = quat_axis(X, -swing * 0.8)
    return p


def jump_pose(i, n):
    p = rest_pose()
    height = [0.0, -0.15, 0.25, 0.4, 0.2, -0.05][i]
    bend = [0, 30, 5, 0, 10, 25][i]
    p["hips"] = (0.0, height, 0.0)
    p["LegL"] = quat_axis(X, -bend)
    p["LegR"] = quat_axis(X, -bend)
    p["Spine"] = quat_axis(X, bend / 2)
    arms = [0, -20, 150, 160, 90, 10][i]
    p["ArmL"] = quat_axis(X, -arms)
    p["ArmR"] = quat_axis(X, -arms)
    return p


def death_pose(i, n):
    p = rest_pose()
    k = i / (n - 1)
    p["Hips"] = quat_axis(X, -90 * k * k)
    p["hips"] = (0.0, -0.8 * k * k, -0.4 * k)
    p["ArmL"] = quat_axis(Z, 60 * k)
    p["ArmR"] = quat_axis(Z, -60 * k)
    p["Head"] = quat_axis(X, -20 * k)
    return p


ANIMATIONS = [("stand", 40, stand_pose), ("run", 6, run_pose), ("jump", 6, jump_pose), ("death1", 6, death_pose)]


# --- glTF ----------------------------------------------------------------------------

class Buffer:
    def __init__(self):
        self.data = bytearray()
        self.views, self.accessors = [], []

    def accessor(self, kind, values, component=5126, with_bounds=False):
        width = {"SCALAR": 1, "VEC2": 2, "VEC3": 3, "VEC4": 4, "MAT4": 16}[kind]
        flat = [x for v in values for x in (v if isinstance(v, (list, tuple)) else [v])]
        assert len(flat) == width * len(values)
        fmt = {5126: "f", 5125: "I", 5121: "B"}[component]
        while len(self.data) % 4:
            self.data.append(0)
        blob = struct.pack("<%d%s" % (len(flat), fmt), *flat)
        self.views.append({"buffer": 0, "byteOffset": len(self.data), "byteLength": len(blob)})
        self.data += blob
        acc = {"bufferView": len(self.views) - 1, "componentType": component, "count": len(values), "type": kind}
        if with_bounds:
            rows = [v if isinstance(v, (list, tuple)) else [v] for v in values]
            acc["min"] = [min(v[i] for v in rows) for i in range(width)]
            acc["max"] = [max(v[i] for v in rows) for i in range(width)]
        self.accessors.append(acc)
        return len(self.accessors) - 1


def r6(v):
    """Rounded to 6 decimals so the file does not depend on the last bits of math.sin."""
    return tuple(round(x, 6) for x in v) if isinstance(v, tuple) else round(v, 6)


def character(armed=False):
    buf = Buffer()
    primitives = []
    for material in ("Body", "Head"):
        positions, uvs, indices, joints, weights = [], [], [], [], []
        for joint, mat, lo, hi, rect in BOXES:
            if mat != material:
                continue
            p, t, i = box(lo, hi, rect)
            base = len(positions)
            positions += p
            uvs += t
            indices += [base + k for k in i]
            joints += [(JOINT_INDEX[joint], 0, 0, 0)] * len(p)
            weights += [(1.0, 0.0, 0.0, 0.0)] * len(p)
        primitives.append({
            "attributes": {"POSITION": buf.accessor("VEC3", positions, with_bounds=True),
                           "TEXCOORD_0": buf.accessor("VEC2", uvs),
                           "JOINTS_0": buf.accessor("VEC4", joints, 5121),
                           "WEIGHTS_0": buf.accessor("VEC4", weights)},
            "indices": buf.accessor("SCALAR", indices, 5125),
            "material": 0 if material == "Body" else 1})

    meshes = [{"name": "FigureMesh", "primitives": primitives}]
    nodes = [{"name": "Figure", "mesh": 0, "skin": 0}]
    joint_node = {}
    for name, parent, pos in JOINTS:
        joint_node[name] = len(nodes)
        ppos = dict((n, p) for n, _, p in JOINTS)[parent] if parent else (0.0, 0.0, 0.0)
        nodes.append({"name": name, "translation": [r6(pos[k] - ppos[k]) for k in range(3)]})
    for name, parent, _ in JOINTS:
        if parent:
            nodes[joint_node[parent]].setdefault("children", []).append(joint_node[name])
    if armed:
        # In the arm joint's own frame, which moves it as the arm moves.
        hand = JOINTS[JOINT_INDEX["ArmR"]][2]
        lo, hi, rect = GUN
        p, t, i = box(tuple(r6(lo[k] - hand[k]) for k in range(3)), tuple(r6(hi[k] - hand[k]) for k in range(3)), rect)
        meshes.append({"name": "GunMesh", "primitives": [{
            "attributes": {"POSITION": buf.accessor("VEC3", p, with_bounds=True),
                           "TEXCOORD_0": buf.accessor("VEC2", t)},
            "indices": buf.accessor("SCALAR", i, 5125), "material": 2}]})
        nodes[joint_node["ArmR"]].setdefault("children", []).append(len(nodes))
        nodes.append({"name": "Gun", "mesh": 1})
    ibms = [[1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -pos[0], -pos[1], -pos[2], 1] for _, _, pos in JOINTS]

    def animation(name, poses):
        """One key per pose, a frame apart."""
        times = [i / FPS for i in range(len(poses))]
        t = buf.accessor("SCALAR", [r6(x) for x in times], with_bounds=True)
        samplers, channels = [], []
        samplers.append({"input": t, "interpolation": "LINEAR",
                         "output": buf.accessor("VEC3", [r6(tuple(JOINTS[0][2][k] + p["hips"][k] for k in range(3)))
                                                         for p in poses])})
        channels.append({"sampler": 0, "target": {"node": joint_node["Hips"], "path": "translation"}})
        for joint, _, _ in JOINTS:
            samplers.append({"input": t, "interpolation": "LINEAR",
                             "output": buf.accessor("VEC4", [r6(p[joint]) for p in poses])})
            channels.append({"sampler": len(samplers) - 1, "target": {"node": joint_node[joint], "path": "rotation"}})
        return {"name": name, "samplers": samplers, "channels": channels}

    animations = [animation(name, [pose(i, n) for i in range(n)]) for name, n, pose in ANIMATIONS]
    # "player": every standard frame in order, the runs above at their places.
    starts, at = {}, 0
    for prefix, count in FRAME_RUNS:
        starts[prefix] = at
        at += count
    poses = [rest_pose() for _ in range(at)]
    for name, n, pose in ANIMATIONS:
        poses[starts[name]:starts[name] + n] = [pose(i, n) for i in range(n)]
    animations.append(animation("player", poses))

    doc = {
        "asset": {"version": "2.0", "generator": "make_character.py"},
        "scene": 0,
        "scenes": [{"name": "Character", "nodes": [0, joint_node["Hips"]]}],
        "nodes": nodes,
        "meshes": meshes,
        "skins": [{"name": "Skeleton", "joints": [joint_node[n] for n, _, _ in JOINTS],
                   "skeleton": joint_node["Hips"], "inverseBindMatrices": buf.accessor("MAT4", [tuple(m) for m in ibms])}],
        "materials": [{"name": "Body", "pbrMetallicRoughness": {"baseColorTexture": {"index": 0}}},
                      {"name": "Head", "pbrMetallicRoughness": {"baseColorTexture": {"index": 1}}}],
        "textures": [{"source": 0}, {"source": 1}],
        "images": [{"uri": "body.tga"}, {"uri": "head.tga"}],
        "animations": animations,
        "accessors": buf.accessors,
        "bufferViews": buf.views,
        "buffers": [{"byteLength": len(buf.data),
                     "uri": "data:application/octet-stream;base64," + base64.b64encode(bytes(buf.data)).decode()}],
    }
    if armed:
        doc["materials"].append({"name": "Gun", "pbrMetallicRoughness": {"baseColorTexture": {"index": 2}}})
        doc["textures"].append({"source": 2})
        doc["images"].append({"uri": "gun.tga"})
    return json.dumps(doc, indent=1, sort_keys=True) + "\n"


def main():
    with open(os.path.join(HERE, "character.gltf"), "w") as f:
        f.write(character())
    with open(os.path.join(HERE, "armed.gltf"), "w") as f:
        f.write(character(armed=True))
    with open(os.path.join(HERE, "body.tga"), "wb") as f:
        f.write(tga(64, 64, body_pixel))
    with open(os.path.join(HERE, "head.tga"), "wb") as f:
        f.write(tga(32, 32, head_pixel))
    with open(os.path.join(HERE, "gun.tga"), "wb") as f:
        f.write(tga(16, 16, gun_pixel))


if __name__ == "__main__":
    main()

# Writes the fixtures that Blender's own exporters make, so the loader and the
# whole export are checked against files of an independent tool. Run from this
# folder (Blender 3.4 with its bundled Python; not needed by the build, and the
# tests only read what it wrote):
#
#     blender -b --factory-startup --python make_blender_fixtures.py [-- NAME...]
#
# (NAME: figure, motion or clips; without names all three.)
#
# figure.gltf
#     A small figure on checker.png, by the glTF exporter, which embeds the
#     picture and names it after its file.
#
# motion.gltf, motion.fbx, motion.dae, motion.obj (+ motion.mtl),
# paint.png, grain.png, motion_reference.json
#     One scene with each kind of animation, at 30 frames a second over frames
#     1..13:
#     - object animation: "Crate", a box on grain.png, child of the empty
#       "Cart"; both are keyed (the cart moves and turns, the crate tilts and
#       stretches);
#     - skeletal animation: "Body", skinned to the armature "Skeleton" of
#       bones "Hips" and "Chest" (the waist ring shared half and half); the
#       skeleton walks, the hips turn and the chest bends forward. It faces
#       front (-Y) with a nose;
#     - morph animation: "Blob", a low sphere with shape keys "Squash" and
#       "Bulge" whose weights are keyed.
#     Body and Blob share the material "Skin" on paint.png. Both pictures give
#     every texel its own colour (red from the column, green from the row
#     counted from the bottom, blue per picture), and every texture
#     coordinate lies on a texel corner of its picture, so a coordinate names
#     one texel exactly, whatever the file format's precision.
#
# clips.gltf, clips_reference.json
#     A character with three clips for md2export --map: "Body" (rings up a
#     column, nose at the front) on paint.png, skinned to "Skeleton" (Hips,
#     Chest), whose actions are separate animations of the file: "idle" over
#     frames 1..21 (the chest sways; shorter than stand01..stand40), "run" over
#     1..9 (it leans, the hips turn, it moves forward; longer than run1..run6)
#     and "jump" over 1..4 (it crouches and rises; shorter than jump1..jump6).
#     clips_reference.json holds Blender's evaluation of each clip at each of
#     its frames, as motion_reference.json does.
#     COLLADA holds the crate and the body only (Blender's COLLADA exporter
#     does not animate shape keys); OBJ holds the three meshes as they stand
#     at frame 1 (OBJ has no animation).
#     motion_reference.json is what Blender itself evaluates: per object, its
#     world-space vertex positions at every frame (depsgraph-evaluated mesh,
#     metres, Blender axes) and its polygons with per-corner vertex and UV;
#     and which objects and frames each fixture file holds.
#
# tiled.gltf, tiles.png, colours.gltf, weights.fbx, windows.fbx,
# windows/box.obj (+ box.mtl, Maps/Grain.png), realfiles_reference.json
#     Files as they come from other people's hands:
#     - "Wall" on tiles.png (1024 x 1024, 8 x 8 blocks of one colour each),
#       its texture coordinates spanning 3 tiles each way: far more than the
#       skin page;
#     - "Swatch", a material of a colour alone, moving in an animation whose
#       name is taken out of the file afterwards; "Patch", a mesh whose
#       corners carry colours (one colour a face) on a colour-only white
#       material;
#     - "Body", skinned to two bones with weights that add up to 0.5 on every
#       vertex (Blender takes them as shares of their sum), in FBX, which keeps
#       weights as they are;
#     - a box on grain.png whose texture is named as Windows programs name
#       theirs: OBJ whose MTL says "maps\GRAIN.PNG" (the picture is
#       windows/Maps/Grain.png) and FBX naming "C:\Art\Textures\GRAIN.PNG".
#     realfiles_reference.json holds Blender's evaluated positions as above,
#     and for colour-only objects the colour of every polygon (0 .. 255, from
#     the material's base colour times the corner colours).
import json
import math
import os
import sys

import bpy

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from make_fixtures import png as png_of_rows  # noqa: E402 (the stdlib fixtures' writer)


def linear_keys(action):
    for curve in action.fcurves:
        for key in curve.keyframe_points:
            key.interpolation = 'LINEAR'


def figure():
    bpy.ops.wm.read_factory_settings(use_empty=True)
    scene = bpy.context.scene
    verts = [(-0.2, -0.1, 0.0), (0.2, -0.1, 0.0), (0.2, 0.1, 0.0), (-0.2, 0.1, 0.0),
             (0.0, 0.0, 1.8), (0.0, -0.3, 1.6)]
    faces = [(0, 1, 4), (1, 2, 4), (2, 3, 4), (3, 0, 4), (3, 2, 1, 0), (0, 5, 1)]
    mesh = bpy.data.meshes.new("FigureMesh")
    mesh.from_pydata(verts, [], faces)
    mesh.update()
    uv = mesh.uv_layers.new(name="UVMap")
    for poly in mesh.polygons:
        for li in poly.loop_indices:
            x, y, z = verts[mesh.loops[li].vertex_index]
            uv.data[li].uv = (0.5 + x, z / 1.8)
    scene.collection.objects.link(bpy.data.objects.new("Figure", mesh))
    mesh.materials.append(textured_material("Paint", "checker.png"))
    bpy.ops.export_scene.gltf(filepath=os.path.join(HERE, "figure.gltf"), export_format='GLTF_EMBEDDED')


# --- The motion scene ------------------------------------------------------------

FIRST_FRAME, LAST_FRAME = 1, 13


def png(width, height, pixel):
    """An 8-bit RGB PNG; pixel(column, row from the bottom) gives (r, g, b)."""
    return png_of_rows(width, height, [[pixel(x, height - 1 - y) for x in range(width)] for y in range(height)])


# Each texel its own colour, so a colour on the skin names the texel it came from.
PICTURES = {
    "paint.png": (64, lambda x, y: (4 * x + 2, 4 * y + 2, 90)),
    "grain.png": (32, lambda x, y: (8 * x + 4, 8 * y + 4, 200)),
}


def textured_material(name, picture):
    material = bpy.data.materials.new(name)
    material.use_nodes = True
    tree = material.node_tree
    image_node = tree.nodes.new("ShaderNodeTexImage")
    image_node.image = bpy.data.images.load(os.path.join(HERE, picture))
    tree.links.new(image_node.outputs["Color"], tree.nodes["Principled BSDF"].inputs["Base Color"])
    return material


def add_mesh(scene, name, verts, faces, material, picture, uv_of):
    """A mesh object whose corner (polygon, vertex) gets uv_of(x, y, z, polygon normal),
    snapped to the texel corners of its picture."""
    size = PICTURES[picture][0]
    mesh = bpy.data.meshes.new(name + "Mesh")
    mesh.from_pydata(verts, [], faces)
    mesh.update()
    layer = mesh.uv_layers.new(name="UVMap")
    for poly in mesh.polygons:
        for li in poly.loop_indices:
            x, y, z = verts[mesh.loops[li].vertex_index]
            u, v = uv_of(x, y, z, poly.normal)
            layer.data[li].uv = (round(u * size) / size, round(v * size) / size)
    mesh.materials.append(material)
    obj = bpy.data.objects.new(name, mesh)
    scene.collection.objects.link(obj)
    return obj


def box_uv(x, y, z, normal):
    """A projection along the face's main axis, onto the middle of the picture."""
    axis = max(range(3), key=lambda i: abs(normal[i]))
    a, b = [(y, z), (x, z), (x, y)][axis]
    return 0.5 + 0.7 * a, 0.5 + 0.7 * b


def build_motion(scene):
    skin = textured_material("Skin", "paint.png")
    wood = textured_material("Wood", "grain.png")

    # Object animation: a crate on a moving, turning cart.
    cart = bpy.data.objects.new("Cart", None)
    scene.collection.objects.link(cart)
    h = 0.25
    crate_verts = [(-h, -h, -h), (h, -h, -h), (h, h, -h), (-h, h, -h),
                   (-h, -h, h), (h, -h, h), (h, h, h), (-h, h, h)]
    crate_faces = [(0, 3, 2, 1), (4, 5, 6, 7), (0, 1, 5, 4), (1, 2, 6, 5), (2, 3, 7, 6), (3, 0, 4, 7)]
    crate = add_mesh(scene, "Crate", crate_verts, crate_faces, wood, "grain.png", box_uv)
    crate.parent = cart
    crate.location = (0.2, 0, 0.4)
    for frame, place, turn in ((FIRST_FRAME, (1.4, 0.3, 0), 0), (LAST_FRAME, (1.8, -0.2, 0.1), 50)):
        cart.location = place
        cart.keyframe_insert("location", frame=frame)
        cart.rotation_euler = (0, 0, math.radians(turn))
        cart.keyframe_insert("rotation_euler", frame=frame)
    for frame, tilt, stretch in ((FIRST_FRAME, 0, (1, 1, 1)), (7, 20, (1.4, 1, 0.8)), (LAST_FRAME, 35, (1.2, 0.9, 1.3))):
        crate.rotation_euler = (math.radians(tilt), 0, 0)
        crate.keyframe_insert("rotation_euler", frame=frame)
        crate.scale = stretch
        crate.keyframe_insert("scale", frame=frame)

    # Skeletal animation: a body of rings up a column, with a nose at the front (-Y).
    rings = [(0.0, 0.16, 0.1), (0.45, 0.18, 0.11), (0.9, 0.2, 0.12), (1.2, 0.22, 0.13), (1.45, 0.14, 0.1)]
    body_verts = []
    for z, half_x, half_y in rings:
        body_verts += [(-half_x, -half_y, z), (half_x, -half_y, z), (half_x, half_y, z), (-half_x, half_y, z)]
    top, nose = len(body_verts), len(body_verts) + 1
    body_verts += [(0.0, 0.0, 1.7), (0.0, -0.25, 1.55)]
    body_faces = [(3, 2, 1, 0)]
    for r in range(len(rings) - 1):
        a, b = 4 * r, 4 * (r + 1)
        body_faces += [(a + i, a + (i + 1) % 4, b + (i + 1) % 4, b + i) for i in range(4)]
    crown = 4 * (len(rings) - 1)
    body_faces += [(crown + i, crown + (i + 1) % 4, top) for i in range(1, 4)]
    body_faces += [(crown, crown + 1, nose), (crown, nose, top), (nose, crown + 1, top)]
    body = add_mesh(scene, "Body", body_verts, body_faces, skin, "paint.png",
                    lambda x, y, z, n: (0.5 + 0.8 * x + (0.3 * y if abs(n[0]) > 0.5 else 0), 0.05 + 0.5 * z))

    armature = bpy.data.armatures.new("SkeletonData")
    skeleton = bpy.data.objects.new("Skeleton", armature)
    scene.collection.objects.link(skeleton)
    bpy.context.view_layer.objects.active = skeleton
    bpy.ops.object.mode_set(mode='EDIT')
    hips = armature.edit_bones.new("Hips")
    hips.head, hips.tail = (0, 0, 0.0), (0, 0, 0.9)
    chest = armature.edit_bones.new("Chest")
    chest.head, chest.tail = (0, 0, 0.9), (0, 0, 1.7)
    chest.parent = hips
    bpy.ops.object.mode_set(mode='OBJECT')

    body.parent = skeleton
    modifier = body.modifiers.new("Armature", 'ARMATURE')
    modifier.object = skeleton
    low = body.vertex_groups.new(name="Hips")
    high = body.vertex_groups.new(name="Chest")
    low.add([0, 1, 2, 3, 4, 5, 6, 7], 1.0, 'REPLACE')
    low.add([8, 9, 10, 11], 0.5, 'REPLACE')
    high.add([8, 9, 10, 11], 0.5, 'REPLACE')
    high.add(list(range(12, len(body_verts))), 1.0, 'REPLACE')

    for frame, x in ((FIRST_FRAME, 0.0), (LAST_FRAME, -0.4)):
        skeleton.location = (x, 0, 0)
        skeleton.keyframe_insert("location", frame=frame)
    pose_hips, pose_chest = skeleton.pose.bones["Hips"], skeleton.pose.bones["Chest"]
    for bone in (pose_hips, pose_chest):
        bone.rotation_mode = 'XYZ'
    # A bone's own y axis runs along it: up here. Its x axis points to the right (+X).
    for frame, turn, bend in ((FIRST_FRAME, 0, 0), (7, 25, 35), (LAST_FRAME, -15, 50)):
        pose_hips.rotation_euler = (0, math.radians(turn), 0)
        pose_hips.keyframe_insert("rotation_euler", frame=frame)
        pose_chest.rotation_euler = (math.radians(-bend), 0, 0)
        pose_chest.keyframe_insert("rotation_euler", frame=frame)

    # Morph animation: a low sphere squashed and bulged by its shape keys.
    segments, radius, centre = 8, 0.35, (-1.2, 0.6, 0.6)
    blob_verts = [(centre[0], centre[1], centre[2] - radius)]
    for ring in (1, 2, 3):
        polar = math.pi * ring / 4
        for s in range(segments):
            azimuth = 2 * math.pi * s / segments
            blob_verts.append((centre[0] + radius * math.sin(polar) * math.cos(azimuth),
                               centre[1] + radius * math.sin(polar) * math.sin(azimuth),
                               centre[2] - radius * math.cos(polar)))
    blob_verts.append((centre[0], centre[1], centre[2] + radius))
    last = len(blob_verts) - 1
    blob_faces = [(0, 1 + (s + 1) % segments, 1 + s) for s in range(segments)]
    for ring in (0, 1):
        a, b = 1 + ring * segments, 1 + (ring + 1) * segments
        blob_faces += [(a + s, a + (s + 1) % segments, b + (s + 1) % segments, b + s) for s in range(segments)]
    a = 1 + 2 * segments
    blob_faces += [(a + s, a + (s + 1) % segments, last) for s in range(segments)]
    blob = add_mesh(scene, "Blob", blob_verts, blob_faces, skin, "paint.png",
                    lambda x, y, z, n: (0.2 + 0.6 * (x - centre[0]), 0.7 + 0.4 * (z - centre[2]) + 0.2 * (y - centre[1])))
    blob.location = (0, 0, 0)
    blob.shape_key_add(name="Basis")
    squash = blob.shape_key_add(name="Squash")
    bulge = blob.shape_key_add(name="Bulge")
    for i, (x, y, z) in enumerate(blob_verts):
        squash.data[i].co = (centre[0] + 1.3 * (x - centre[0]), centre[1] + 1.3 * (y - centre[1]),
                             centre[2] + 0.5 * (z - centre[2]))
        bulge.data[i].co = (x, y - (0.3 if y < centre[1] - 0.1 else 0.0), z + (0.25 if z > centre[2] + 0.1 else 0.0))
    for frame, s, b in ((FIRST_FRAME, 0.0, 0.0), (5, 0.3, 0.9), (9, 0.8, 0.4), (LAST_FRAME, 1.0, 0.0)):
        squash.value, bulge.value = s, b
        squash.keyframe_insert("value", frame=frame)
        bulge.keyframe_insert("value", frame=frame)

    for obj in (cart, crate, skeleton):
        linear_keys(obj.animation_data.action)
    linear_keys(blob.data.shape_keys.animation_data.action)
    return {"crate": crate, "cart": cart, "body": body, "skeleton": skeleton, "blob": blob}


def evaluated_reference(scene, meshes):
    """Blender's own answer: world positions of the evaluated meshes at every frame."""
    objects = []
    for obj in meshes:
        polygons = []
        layer = obj.data.uv_layers.active.data
        for poly in obj.data.polygons:
            polygons.append([[obj.data.loops[li].vertex_index, layer[li].uv[0], layer[li].uv[1]]
                             for li in poly.loop_indices])
        node = obj.active_material.node_tree.nodes["Image Texture"]
        objects.append({"name": obj.name, "picture": os.path.basename(node.image.filepath),
                        "polygons": polygons, "positions": []})
    for frame in range(FIRST_FRAME, LAST_FRAME + 1):
        scene.frame_set(frame)
        depsgraph = bpy.context.evaluated_depsgraph_get()
        for obj, entry in zip(meshes, objects):
            evaluated = obj.evaluated_get(depsgraph)
            mesh = evaluated.to_mesh()
            world = evaluated.matrix_world
            entry["positions"].append([round(c, 6) for v in mesh.vertices for c in world @ v.co])
            evaluated.to_mesh_clear()
    scene.frame_set(FIRST_FRAME)
    return objects


def select_only(objects):
    for obj in bpy.context.scene.objects:
        obj.select_set(obj in objects)


def motion():
    bpy.ops.wm.read_factory_settings(use_empty=True)
    for name, (size, pixel) in PICTURES.items():
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(png(size, size, pixel))
    scene = bpy.context.scene
    scene.render.fps = 30
    scene.frame_start = FIRST_FRAME
    scene.frame_end = LAST_FRAME
    scene.unit_settings.system = 'METRIC'
    scene.unit_settings.scale_length = 1.0
    o = build_motion(scene)
    meshes = [o["crate"], o["body"], o["blob"]]
    reference = {
        "frames_per_second": 30,
        "first_frame": FIRST_FRAME,
        "objects": evaluated_reference(scene, meshes),
        "fixtures": {
            "motion.gltf": {"objects": ["Crate", "Body", "Blob"], "animated": True},
            "motion.fbx": {"objects": ["Crate", "Body", "Blob"], "animated": True},
            "motion.dae": {"objects": ["Crate", "Body"], "animated": True},
            "motion.obj": {"objects": ["Crate", "Body", "Blob"], "animated": False},
        },
    }

    scene.frame_set(FIRST_FRAME)
    bpy.ops.export_scene.gltf(filepath=os.path.join(HERE, "motion.gltf"), export_format='GLTF_EMBEDDED',
                              export_animations=True, export_force_sampling=True, export_nla_strips=False,
                              export_nla_strips_merged_animation_name="Motion")
    bpy.ops.export_scene.fbx(filepath=os.path.join(HERE, "motion.fbx"), path_mode='RELATIVE',
                             add_leaf_bones=False, bake_anim=True, bake_anim_use_all_actions=False,
                             bake_anim_use_nla_strips=False, bake_anim_simplify_factor=0.0)
    select_only([o["cart"], o["crate"], o["skeleton"], o["body"]])
    bpy.ops.wm.collada_export(filepath=os.path.join(HERE, "motion.dae"), selected=True,
                              include_children=False, include_armatures=True, include_animations=True,
                              export_animation_type_selection='sample', sampling_rate=1,
                              use_texture_copies=False, triangulate=False)
    select_only([])
    scene.frame_set(FIRST_FRAME)
    bpy.ops.wm.obj_export(filepath=os.path.join(HERE, "motion.obj"), export_animation=False,
                          apply_modifiers=True, export_selected_objects=False, export_normals=False,
                          path_mode='RELATIVE')
    with open(os.path.join(HERE, "motion_reference.json"), "w") as f:
        json.dump(reference, f, separators=(",", ":"))
        f.write("\n")


# --- The character with three clips ---------------------------------------------------

CLIPS = {
    # name: [(frame, hips (turn about z, location), chest bend), ...]
    "idle": [(1, 0, (0, 0, 0), 0), (11, 0, (0, 0, 0), 12), (21, 0, (0, 0, 0), -6)],
    "run": [(1, 0, (0, 0, 0), 20), (5, 20, (0, -0.4, 0.05), 30), (9, -20, (0, -0.8, 0), 20)],
    "jump": [(1, 0, (0, 0, 0), 0), (2, 0, (0, 0, -0.2), 25), (4, 0, (0, 0, 0.5), -10)],
}


def clips():
    bpy.ops.wm.read_factory_settings(use_empty=True)
    scene = bpy.context.scene
    scene.render.fps = 30
    skin = textured_material("Skin", "paint.png")
    rings = [(0.0, 0.16, 0.1), (0.9, 0.2, 0.12), (1.45, 0.14, 0.1)]
    verts = []
    for z, half_x, half_y in rings:
        verts += [(-half_x, -half_y, z), (half_x, -half_y, z), (half_x, half_y, z), (-half_x, half_y, z)]
    top, nose = len(verts), len(verts) + 1
    verts += [(0.0, 0.0, 1.7), (0.0, -0.25, 1.55)]
    faces = [(3, 2, 1, 0)]
    for r in range(len(rings) - 1):
        a, b = 4 * r, 4 * (r + 1)
        faces += [(a + i, a + (i + 1) % 4, b + (i + 1) % 4, b + i) for i in range(4)]
    crown = 4 * (len(rings) - 1)
    faces += [(crown + i, crown + (i + 1) % 4, top) for i in range(1, 4)]
    faces += [(crown, crown + 1, nose), (crown, nose, top), (nose, crown + 1, top)]
    body = add_mesh(scene, "Body", verts, faces, skin, "paint.png",
                    lambda x, y, z, n: (0.5 + 0.8 * x + (0.3 * y if abs(n[0]) > 0.5 else 0), 0.05 + 0.5 * z))

    armature = bpy.data.armatures.new("SkeletonData")
    skeleton = bpy.data.objects.new("Skeleton", armature)
    scene.collection.objects.link(skeleton)
    bpy.context.view_layer.objects.active = skeleton
    bpy.ops.object.mode_set(mode='EDIT')
    hips = armature.edit_bones.new("Hips")
    hips.head, hips.tail = (0, 0, 0.0), (0, 0, 0.9)
    chest = armature.edit_bones.new("Chest")
    chest.head, chest.tail = (0, 0, 0.9), (0, 0, 1.7)
    chest.parent = hips
    bpy.ops.object.mode_set(mode='OBJECT')
    body.parent = skeleton
    modifier = body.modifiers.new("Armature", 'ARMATURE')
    modifier.object = skeleton
    body.vertex_groups.new(name="Hips").add([0, 1, 2, 3], 1.0, 'REPLACE')
    body.vertex_groups["Hips"].add([4, 5, 6, 7], 0.5, 'REPLACE')
    body.vertex_groups.new(name="Chest").add([4, 5, 6, 7], 0.5, 'REPLACE')
    body.vertex_groups["Chest"].add(list(range(8, len(verts))), 1.0, 'REPLACE')

    pose_hips, pose_chest = skeleton.pose.bones["Hips"], skeleton.pose.bones["Chest"]
    for bone in (pose_hips, pose_chest):
        bone.rotation_mode = 'XYZ'
    skeleton.animation_data_create()
    actions = {}
    for name, keys in CLIPS.items():
        action = bpy.data.actions.new(name)
        skeleton.animation_data.action = action
        for frame, turn, place, bend in keys:
            # A bone's own y axis runs along it (up); turning about it turns the hips about z.
            pose_hips.location = place
            pose_hips.keyframe_insert("location", frame=frame)
            pose_hips.rotation_euler = (0, math.radians(turn), 0)
            pose_hips.keyframe_insert("rotation_euler", frame=frame)
            pose_chest.rotation_euler = (math.radians(-bend), 0, 0)
            pose_chest.keyframe_insert("rotation_euler", frame=frame)
        linear_keys(action)
        actions[name] = action

    # Blender's own answer, clip by clip: the world positions at each frame.
    reference = {"frames_per_second": 30, "clips": {}}
    for name, action in actions.items():
        skeleton.animation_data.action = action
        first, last = (int(f) for f in action.frame_range)
        positions = []
        for frame in range(first, last + 1):
            scene.frame_set(frame)
            evaluated = body.evaluated_get(bpy.context.evaluated_depsgraph_get())
            mesh = evaluated.to_mesh()
            positions.append([round(c, 6) for v in mesh.vertices for c in evaluated.matrix_world @ v.co])
            evaluated.to_mesh_clear()
        reference["clips"][name] = positions

    # Each action a strip of its own track, so that the exporter writes each as an animation.
    skeleton.animation_data.action = None
    for name, action in actions.items():
        track = skeleton.animation_data.nla_tracks.new()
        track.name = name
        track.strips.new(name, int(action.frame_range[0]), action)
    scene.frame_set(1)
    bpy.ops.export_scene.gltf(filepath=os.path.join(HERE, "clips.gltf"), export_format='GLTF_EMBEDDED',
                              export_animations=True, export_force_sampling=True, export_nla_strips=True)
    with open(os.path.join(HERE, "clips_reference.json"), "w") as f:
        json.dump(reference, f, separators=(",", ":"))
        f.write("\n")


# --- Files as they come ------------------------------------------------------------

TILE_COLOURS = [((37 * i) % 256, (91 * i + 40) % 256, (53 * i + 120) % 256) for i in range(64)]


def tiles_pixel(x, y):
    return TILE_COLOURS[(y // 128) * 8 + x // 128]


def polygons_of(obj, uv=True):
    layer = obj.data.uv_layers.active.data if uv else None
    return [[[obj.data.loops[li].vertex_index, layer[li].uv[0] if uv else 0, layer[li].uv[1] if uv else 0]
             for li in poly.loop_indices] for poly in obj.data.polygons]


def evaluate(scene, objects, entries, frames):
    for frame in frames:
        scene.frame_set(frame)
        depsgraph = bpy.context.evaluated_depsgraph_get()
        for obj, entry in zip(objects, entries):
            evaluated = obj.evaluated_get(depsgraph)
            mesh = evaluated.to_mesh()
            entry["positions"].append([round(c, 6) for v in mesh.vertices for c in evaluated.matrix_world @ v.co])
            evaluated.to_mesh_clear()
    scene.frame_set(frames[0])


def colour_material(name, rgb):
    material = bpy.data.materials.new(name)
    material.use_nodes = True
    material.node_tree.nodes["Principled BSDF"].inputs["Base Color"].default_value = (*rgb, 1.0)
    return material


def fresh_scene():
    bpy.ops.wm.read_factory_settings(use_empty=True)
    scene = bpy.context.scene
    scene.render.fps = 30
    scene.frame_start, scene.frame_end = FIRST_FRAME, LAST_FRAME
    return scene


def tiled():
    with open(os.path.join(HERE, "tiles.png"), "wb") as f:
        f.write(png(1024, 1024, tiles_pixel))
    scene = fresh_scene()
    verts = [(0, 0, 0), (2, 0, 0), (2, 0, 2), (0, 0, 2)]
    mesh = bpy.data.meshes.new("WallMesh")
    mesh.from_pydata(verts, [], [(0, 1, 2, 3)])
    mesh.update()
    layer = mesh.uv_layers.new(name="UVMap")
    # Off the block edges by 0.3 of a tile, so that each triangle's middle lies inside a block.
    for li, uv in zip(mesh.polygons[0].loop_indices, [(0.3, 0.3), (3.3, 0.3), (3.3, 3.3), (0.3, 3.3)]):
        layer.data[li].uv = uv
    mesh.materials.append(textured_material("Tiles", "tiles.png"))
    wall = bpy.data.objects.new("Wall", mesh)
    scene.collection.objects.link(wall)
    entry = {"name": "Wall", "picture": "tiles.png", "polygons": polygons_of(wall), "positions": []}
    evaluate(scene, [wall], [entry], [FIRST_FRAME])
    bpy.ops.export_scene.gltf(filepath=os.path.join(HERE, "tiled.gltf"), export_format='GLTF_EMBEDDED',
                              export_animations=False)
    return [entry]


def colours():
    scene = fresh_scene()
    swatch_mesh = bpy.data.meshes.new("SwatchMesh")
    swatch_mesh.from_pydata([(0, 0, 0), (0.5, 0, 0), (0.5, 0, 0.5), (0, 0, 0.5)], [], [(0, 1, 2, 3)])
    teal = (0.1, 0.5, 0.6)
    swatch_mesh.materials.append(colour_material("Teal", teal))
    swatch = bpy.data.objects.new("Swatch", swatch_mesh)
    scene.collection.objects.link(swatch)
    for frame, x in ((FIRST_FRAME, 0.0), (LAST_FRAME, 0.6)):
        swatch.location = (x, 0, 0)
        swatch.keyframe_insert("location", frame=frame)
    linear_keys(swatch.animation_data.action)

    patch_mesh = bpy.data.meshes.new("PatchMesh")
    # Triangles apart, since the glTF exporter keeps one colour a vertex.
    patch_mesh.from_pydata([(1, 0, 0), (1.5, 0, 0), (1.5, 0, 0.5), (1.6, 0, 0), (2.1, 0, 0), (2.1, 0, 0.5),
                            (1, 0, 0.7), (1.5, 0, 0.7), (1.25, 0, 1.0)], [], [(0, 1, 2), (3, 4, 5), (6, 7, 8)])
    # Corner colours of bytes (the kind the glTF exporter splits vertices for),
    # each channel 0 or 1, which every colour space maps to itself.
    face_colours = [(1.0, 0.0, 0.0), (0.0, 1.0, 0.0), (0.0, 0.0, 1.0)]
    attribute = patch_mesh.color_attributes.new("Col", 'BYTE_COLOR', 'CORNER')
    for poly, rgb in zip(patch_mesh.polygons, face_colours):
        for li in poly.loop_indices:
            attribute.data[li].color = (*rgb, 1.0)
    patch_mesh.materials.append(colour_material("White", (1.0, 1.0, 1.0)))
    patch = bpy.data.objects.new("Patch", patch_mesh)
    scene.collection.objects.link(patch)

    def byte(c):
        return round(max(0.0, min(1.0, c)) * 255)

    entries = [
        {"name": "Swatch", "picture": "", "polygons": polygons_of(swatch, uv=False), "positions": [],
         "colours": [[byte(c) for c in teal]]},
        {"name": "Patch", "picture": "", "polygons": polygons_of(patch, uv=False), "positions": [],
         "colours": [[byte(c) for c in rgb] for rgb in face_colours]},
    ]
    evaluate(scene, [swatch, patch], entries, list(range(FIRST_FRAME, LAST_FRAME + 1)))
    path = os.path.join(HERE, "colours.gltf")
    bpy.ops.export_scene.gltf(filepath=path, export_format='GLTF_EMBEDDED', export_animations=True,
                              export_force_sampling=True, export_colors=True)
    # Many writers leave animations unnamed.
    with open(path) as f:
        doc = json.load(f)
    for animation in doc.get("animations", []):
        animation.pop("name", None)
    with open(path, "w") as f:
        json.dump(doc, f, indent=1)
    return entries


def weights():
    scene = fresh_scene()
    build = build_motion(scene)
    body = build["body"]
    # Halve every weight: each vertex's weights now add up to 0.5.
    for group in body.vertex_groups:
        for v in body.data.vertices:
            for g in v.groups:
                if g.group == group.index:
                    group.add([v.index], g.weight * 0.5, 'REPLACE')
    for name in ("crate", "cart", "blob"):
        bpy.data.objects.remove(build[name])
    entry = {"name": "HalfBody", "picture": "paint.png", "polygons": polygons_of(body), "positions": []}
    evaluate(scene, [body], [entry], list(range(FIRST_FRAME, LAST_FRAME + 1)))
    bpy.ops.export_scene.fbx(filepath=os.path.join(HERE, "weights.fbx"), path_mode='RELATIVE',
                             add_leaf_bones=False, bake_anim=True, bake_anim_use_all_actions=False,
                             bake_anim_use_nla_strips=False, bake_anim_simplify_factor=0.0)
    return [entry]


def windows():
    scene = fresh_scene()
    h = 0.25
    verts = [(-h, -h, -h), (h, -h, -h), (h, h, -h), (-h, h, -h), (-h, -h, h), (h, -h, h), (h, h, h), (-h, h, h)]
    faces = [(0, 3, 2, 1), (4, 5, 6, 7), (0, 1, 5, 4), (1, 2, 6, 5), (2, 3, 7, 6), (3, 0, 4, 7)]
    wood = textured_material("Wood", "grain.png")
    box = add_mesh(scene, "Box", verts, faces, wood, "grain.png", box_uv)
    entry = {"name": "Box", "picture": "grain.png", "polygons": polygons_of(box), "positions": []}
    evaluate(scene, [box], [entry], [FIRST_FRAME])
    folder = os.path.join(HERE, "windows")
    os.makedirs(os.path.join(folder, "Maps"), exist_ok=True)
    with open(os.path.join(HERE, "grain.png"), "rb") as f, open(os.path.join(folder, "Maps", "Grain.png"), "wb") as g:
        g.write(f.read())
    bpy.ops.wm.obj_export(filepath=os.path.join(folder, "box.obj"), export_animation=False,
                          export_normals=False, path_mode='STRIP')
    mtl = os.path.join(folder, "box.mtl")
    with open(mtl) as f:
        text = f.read()
    with open(mtl, "w") as f:
        f.write(text.replace("map_Kd grain.png", "map_Kd maps\\GRAIN.PNG"))
    wood.node_tree.nodes["Image Texture"].image.filepath = "C:\\Art\\Textures\\GRAIN.PNG"
    bpy.ops.export_scene.fbx(filepath=os.path.join(HERE, "windows.fbx"), path_mode='ABSOLUTE')
    return [entry]


def realfiles():
    objects = tiled() + colours() + weights() + windows()
    reference = {
        "frames_per_second": 30,
        "first_frame": FIRST_FRAME,
        "objects": objects,
        "fixtures": {
            "tiled.gltf": {"objects": ["Wall"], "animated": False, "scaled": True},
            "colours.gltf": {"objects": ["Swatch", "Patch"], "animated": True},
            "weights.fbx": {"objects": ["HalfBody"], "animated": True},
            "windows/box.obj": {"objects": ["Box"], "animated": False},
            "windows.fbx": {"objects": ["Box"], "animated": False},
        },
    }
    with open(os.path.join(HERE, "realfiles_reference.json"), "w") as f:
        json.dump(reference, f, separators=(",", ":"))
        f.write("\n")


# Which fixtures to make: names after "--" (figure, motion, clips, realfiles,
# a leading "--" allowed); without them the first three.
chosen = [a.lstrip("-") for a in sys.argv[sys.argv.index("--") + 1:]] if "--" in sys.argv else ["figure", "motion", "clips"]
for name in chosen:
    {"figure": figure, "motion": motion, "clips": clips, "realfiles": realfiles}[name]()

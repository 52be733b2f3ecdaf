# Writes figure.fbx and figure.gltf, the same small animated figure exported by
# Blender's own FBX and glTF exporters, so the loader's axis, unit and time
# handling can be compared across formats. Run from this folder (Debian's
# blender package, not needed by the build):
#
#     blender -b --factory-startup --python make_blender_fixtures.py
#
# The figure stands 1.8 m tall on the origin (Blender is Z-up, metres) and
# faces front (-Y in Blender) with a nose at (0, -0.3, 1.6). It is skinned to
# an armature "Rig" of two bones: "Spine" (vertices low down) and "Head"
# (the top and the nose). Scene at 30 frames a second; frames 1..11:
# the armature moves from x = 0 to x = 1 and the head bone turns 90 degrees
# about its own (vertical) axis.
import math
import os

import bpy

HERE = os.path.dirname(os.path.abspath(__file__))

bpy.ops.wm.read_factory_settings(use_empty=True)
scene = bpy.context.scene
scene.render.fps = 30
scene.frame_start = 1
scene.frame_end = 11
scene.unit_settings.system = 'METRIC'
scene.unit_settings.scale_length = 1.0

verts = [(-0.2, -0.1, 0.0), (0.2, -0.1, 0.0), (0.2, 0.1, 0.0), (-0.2, 0.1, 0.0),
         (0.0, 0.0, 1.8), (0.0, -0.3, 1.6)]
faces = [(0, 1, 4), (1, 2, 4), (2, 3, 4), (3, 0, 4), (3, 2, 1, 0), (0, 5, 1)]
mesh = bpy.data.meshes.new("FigureMesh")
mesh.from_pydata(verts, [], faces)
mesh.update()
uv = mesh.uv_layers.new(name="UVMap")
for poly in mesh.polygons:
    for k, li in enumerate(poly.loop_indices):
        x, y, z = verts[mesh.loops[li].vertex_index]
        uv.data[li].uv = (0.5 + x, z / 1.8)
figure = bpy.data.objects.new("Figure", mesh)
scene.collection.objects.link(figure)

material = bpy.data.materials.new("Paint")
material.use_nodes = True
tree = material.node_tree
image_node = tree.nodes.new("ShaderNodeTexImage")
image_node.image = bpy.data.images.load(os.path.join(HERE, "checker.png"))
tree.links.new(image_node.outputs["Color"], tree.nodes["Principled BSDF"].inputs["Base Color"])
mesh.materials.append(material)

armature = bpy.data.armatures.new("RigData")
rig = bpy.data.objects.new("Rig", armature)
scene.collection.objects.link(rig)
bpy.context.view_layer.objects.active = rig
bpy.ops.object.mode_set(mode='EDIT')
spine = armature.edit_bones.new("Spine")
spine.head, spine.tail = (0, 0, 0), (0, 0, 1.2)
head = armature.edit_bones.new("Head")
head.head, head.tail = (0, 0, 1.2), (0, 0, 1.8)
head.parent = spine
bpy.ops.object.mode_set(mode='OBJECT')

figure.parent = rig
modifier = figure.modifiers.new("Armature", 'ARMATURE')
modifier.object = rig
low = figure.vertex_groups.new(name="Spine")
high = figure.vertex_groups.new(name="Head")
low.add([0, 1, 2, 3], 1.0, 'REPLACE')
high.add([4, 5], 1.0, 'REPLACE')

rig.location = (0, 0, 0)
rig.keyframe_insert("location", frame=1)
rig.location = (1, 0, 0)
rig.keyframe_insert("location", frame=11)
pose_head = rig.pose.bones["Head"]
pose_head.rotation_mode = 'XYZ'
pose_head.rotation_euler = (0, 0, 0)
pose_head.keyframe_insert("rotation_euler", frame=1)
pose_head.rotation_euler = (0, math.radians(90), 0)  # the bone's own y axis is its length: vertical
pose_head.keyframe_insert("rotation_euler", frame=11)
for curve in rig.animation_data.action.fcurves:
    for key in curve.keyframe_points:
        key.interpolation = 'LINEAR'
rig.animation_data.action.name = "Turn"

bpy.ops.export_scene.fbx(filepath=os.path.join(HERE, "figure.fbx"), path_mode='RELATIVE',
                         add_leaf_bones=True, bake_anim=True, bake_anim_use_all_actions=False,
                         bake_anim_use_nla_strips=False)
bpy.ops.export_scene.gltf(filepath=os.path.join(HERE, "figure.gltf"), export_format='GLTF_EMBEDDED',
                          export_animations=True, export_force_sampling=True)

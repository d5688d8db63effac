# Blender script (run by scripts/make-fixtures.sh) that builds the small test
# scenes for the model importer and writes them with Blender's own exporters.
#
#   blender --background --factory-startup --python make-fixtures.py -- OUT_DIR
#
# Every export keeps Blender's coordinates as they are (OBJ forward Y, up Z;
# glTF without the +Y-up conversion), so the files hold the numbers set here.
#
# What it writes into OUT_DIR:
#   cornell.obj/.mtl, cornell.gltf/.bin  the Cornell room of scenes/cornell.mdl,
#       one object per run of triangles with the same colours, every face
#       counter-clockwise seen from its lit side (the formats' front)
#   textured_quad.gltf/.bin/.obj/.mtl, textured_quad.glb, quad_texture.png
#       a unit quad whose base colour is a 4 x 4 sRGB texture
#   transform.glb, transform.obj/.mtl, .ply, .stl, .fbx, .dae  a single quad
#       face in a child object (rotated, scaled, moved) under a moved parent;
#       its material emits with Emission strength 15
#   table.glb, table.mdl  a room in metres: a white floor, a white table top
#       0.75 above it (with its underside) and a ceiling light; the .mdl is
#       the same triangles as a text model
#   room.glb  a furnished room as a user exports it (Blender's defaults, +Y
#       up, with its lamp): a checkered floor texture, walls of three
#       colours, a ceiling light, a block with a smooth-shaded ball on it (a
#       child object, turning in an animation), two stools sharing one mesh,
#       and a point lamp (a light object, which the solver does not read)

import math
import os
import sys

import bmesh
import bpy

OUT = sys.argv[sys.argv.index("--") + 1]
HERE = os.path.dirname(os.path.abspath(__file__))


def clear():
    bpy.ops.wm.read_factory_settings(use_empty=True)


def material(name, base, emission=(0.0, 0.0, 0.0), strength=0.0):
    m = bpy.data.materials.new(name)
    m.use_nodes = True
    bsdf = m.node_tree.nodes["Principled BSDF"]
    bsdf.inputs["Base Color"].default_value = (base[0], base[1], base[2], 1.0)
    bsdf.inputs["Roughness"].default_value = 1.0
    bsdf.inputs["Specular"].default_value = 0.0
    bsdf.inputs["Emission"].default_value = (emission[0], emission[1], emission[2], 1.0)
    bsdf.inputs["Emission Strength"].default_value = strength
    return m


def mesh_object(name, verts, faces, mat, parent=None):
    mesh = bpy.data.meshes.new(name + "Mesh")
    mesh.from_pydata(verts, [], faces)
    mesh.update()
    mesh.materials.append(mat)
    obj = bpy.data.objects.new(name, mesh)
    bpy.context.scene.collection.objects.link(obj)
    if parent is not None:
        obj.parent = parent
    return obj


def export_obj(name):
    bpy.ops.wm.obj_export(filepath=os.path.join(OUT, name + ".obj"), forward_axis="Y", up_axis="Z",
                          export_uv=True, export_normals=False, export_materials=True,
                          export_pbr_extensions=False, path_mode="RELATIVE")


def export_gltf(name, fmt):
    ext = ".glb" if fmt == "GLB" else ".gltf"
    bpy.ops.export_scene.gltf(filepath=os.path.join(OUT, name + ext), export_format=fmt, export_yup=False,
                              export_normals=False, export_image_format="AUTO", export_cameras=False,
                              export_lights=False, export_extras=False)


def read_text_model(path):
    words = open(path).read().split()
    count = int(words[0])
    numbers = [float(w) for w in words[1:1 + 15 * count]]
    return [numbers[15 * i:15 * i + 15] for i in range(count)]


# The Cornell room. A text-model triangle v0 v1 v2 is lit on the side from
# which it runs clockwise, so the face written is v0 v2 v1. The light emits
# (8, 7.5, 6.5): colour (1, 0.9375, 0.8125) at strength 8, exact in binary.
def cornell():
    clear()
    tris = read_text_model(os.path.join(HERE, "..", "scenes", "cornell.mdl"))
    names = {(0.75, 0.75, 0.75): "White", (0.7, 0.1, 0.08): "Red", (0.15, 0.6, 0.12): "Green"}
    mats = {}
    runs = []
    for t in tris:
        key = tuple(t[9:15])
        if not runs or runs[-1][0] != key:
            runs.append((key, []))
        runs[-1][1].append(t)
    for i, (key, run) in enumerate(runs):
        if key not in mats:
            refl, emit = key[:3], key[3:]
            if max(emit) > 0:
                s = max(emit)
                mats[key] = material("Light", refl, tuple(e / s for e in emit), s)
            else:
                mats[key] = material(names[tuple(refl)], refl)
        verts, faces = [], []
        for t in run:
            base = len(verts)
            verts += [tuple(t[0:3]), tuple(t[3:6]), tuple(t[6:9])]
            faces.append((base, base + 2, base + 1))
        mesh_object("Part%02d" % i, verts, faces, mats[key])
    export_obj("cornell")
    export_gltf("cornell", "GLTF_SEPARATE")


# Texel values 0..255 of the 4 x 4 texture, red, green, blue per texel.
def texture_bytes():
    out = []
    for y in range(4):
        for x in range(4):
            out.append(((x * 85) % 256, (y * 85) % 256, ((x + y) * 40) % 256))
    return out


def textured_quad():
    clear()
    img = bpy.data.images.new("QuadTexture", 4, 4, alpha=False)
    img.colorspace_settings.name = "sRGB"
    px = []
    for r, g, b in texture_bytes():
        px += [r / 255.0, g / 255.0, b / 255.0, 1.0]
    img.pixels = px
    img.filepath_raw = os.path.join(OUT, "quad_texture.png")
    img.file_format = "PNG"
    img.save()

    m = material("Textured", (1.0, 1.0, 1.0))
    tex = m.node_tree.nodes.new("ShaderNodeTexImage")
    tex.image = img
    m.node_tree.links.new(tex.outputs["Color"], m.node_tree.nodes["Principled BSDF"].inputs["Base Color"])
    obj = mesh_object("Quad", [(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0)], [(0, 1, 2, 3)], m)
    uv = obj.data.uv_layers.new(name="UVMap")
    for loop, coord in zip(obj.data.loops, [(0, 0), (1, 0), (1, 1), (0, 1)]):
        uv.data[loop.index].uv = coord
    export_obj("textured_quad")
    export_gltf("textured_quad", "GLTF_SEPARATE")
    export_gltf("textured_quad", "GLB")


# A quad (0,0,0) (1,0,0) (1,1,0) (0,1,0), counter-clockwise seen from +z, in
# an object turned 90 degrees about z, scaled by 2 and moved by (1, 2, 3),
# whose parent is moved by (0, 0, 5).
def transform():
    clear()
    parent = bpy.data.objects.new("Parent", None)
    bpy.context.scene.collection.objects.link(parent)
    parent.location = (0.0, 0.0, 5.0)
    lamp = material("Lamp", (0.5, 0.5, 0.5), (1.0, 1.0, 1.0), 15.0)
    child = mesh_object("Moved", [(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0)], [(0, 1, 2, 3)], lamp, parent)
    child.location = (1.0, 2.0, 3.0)
    child.rotation_euler = (0.0, 0.0, math.pi / 2)
    child.scale = (2.0, 2.0, 2.0)
    export_obj("transform")
    export_gltf("transform", "GLB")
    # The other formats, each with the axes it has in Blender: PLY and STL
    # (geometry only), FBX (in its own unit, centimetres: Blender puts a
    # scale of 100 on the parent) and COLLADA (Z up, emission without its
    # strength).
    bpy.ops.export_mesh.ply(filepath=os.path.join(OUT, "transform.ply"), use_normals=False, use_uv_coords=False,
                            use_colors=False)
    bpy.ops.export_mesh.stl(filepath=os.path.join(OUT, "transform.stl"), ascii=True)
    bpy.ops.export_scene.fbx(filepath=os.path.join(OUT, "transform.fbx"), axis_forward="Y", axis_up="Z",
                             bake_anim=False)
    bpy.ops.wm.collada_export(filepath=os.path.join(OUT, "transform.dae"))


# A 4 m room without walls, z up: the floor, a 1.2 x 0.8 table top at 0.75
# (its underside facing down) and a 1 x 1 ceiling light at 2.5 facing down.
# Floor and table top have the same colour and face the same way.
def table():
    clear()
    white = material("White", (0.75, 0.75, 0.75))
    light = material("Light", (0.75, 0.75, 0.75), (1.0, 1.0, 1.0), 10.0)

    def rect(x0, y0, x1, y1, z, up):
        quad = [(x0, y0, z), (x1, y0, z), (x1, y1, z), (x0, y1, z)]
        return quad if up else list(reversed(quad))

    parts = [
        ("Floor", rect(-2, -2, 2, 2, 0.0, True), white),
        ("TableTop", rect(-0.6, -0.4, 0.6, 0.4, 0.75, True), white),
        ("TableUnderside", rect(-0.6, -0.4, 0.6, 0.4, 0.75, False), white),
        ("Light", rect(-0.5, -0.5, 0.5, 0.5, 2.5, False), light),
    ]
    tris = []
    for name, quad, mat in parts:
        mesh_object(name, quad, [(0, 1, 2, 3)], mat)
        emit = (10.0, 10.0, 10.0) if mat is light else (0.0, 0.0, 0.0)
        # The text model: each quad as (0 1 2) and (0 2 3), lit side clockwise.
        for a, b, c in ((0, 1, 2), (0, 2, 3)):
            tris.append((quad[a], quad[c], quad[b], (0.75, 0.75, 0.75), emit))
    export_gltf("table", "GLB")
    with open(os.path.join(OUT, "table.mdl"), "w") as f:
        f.write("%d\n" % len(tris))
        for v0, v1, v2, refl, emit in tris:
            nums = list(v0) + list(v1) + list(v2) + list(refl) + list(emit)
            f.write(" ".join("%g" % n for n in nums) + "\n")



# A 4 x 4 x 3 m room, z up in Blender, every wall facing into the room. The
# floor's texture is an 8 x 8 checker of 8-texel squares over the floor.
def room():
    clear()
    size = 64
    img = bpy.data.images.new("Checker", size, size, alpha=False)
    img.colorspace_settings.name = "sRGB"
    px = []
    for y in range(size):
        for x in range(size):
            v = 0.85 if ((x // 8) + (y // 8)) % 2 == 0 else 0.15
            px += [v, v, v, 1.0]
    img.pixels = px
    img.pack()

    floor_mat = material("CheckerFloor", (1.0, 1.0, 1.0))
    tex = floor_mat.node_tree.nodes.new("ShaderNodeTexImage")
    tex.image = img
    floor_mat.node_tree.links.new(tex.outputs["Color"], floor_mat.node_tree.nodes["Principled BSDF"].inputs["Base Color"])
    white = material("WhiteWall", (0.75, 0.75, 0.75))
    red = material("RedWall", (0.7, 0.12, 0.1))
    green = material("GreenWall", (0.15, 0.55, 0.12))
    light = material("CeilingLight", (0.75, 0.75, 0.75), (1.0, 0.95, 0.85), 12.0)
    wood = material("Wood", (0.5, 0.32, 0.18))
    ball_mat = material("BallPaint", (0.8, 0.7, 0.2))

    floor = mesh_object("Floor", [(-2, -2, 0), (2, -2, 0), (2, 2, 0), (-2, 2, 0)], [(0, 1, 2, 3)], floor_mat)
    uv = floor.data.uv_layers.new(name="UVMap")
    for loop, coord in zip(floor.data.loops, [(0, 0), (1, 0), (1, 1), (0, 1)]):
        uv.data[loop.index].uv = coord
    mesh_object("Ceiling", [(-2, -2, 3), (-2, 2, 3), (2, 2, 3), (2, -2, 3)], [(0, 1, 2, 3)], white)
    mesh_object("BackWall", [(-2, 2, 0), (2, 2, 0), (2, 2, 3), (-2, 2, 3)], [(0, 1, 2, 3)], white)
    mesh_object("FrontWall", [(2, -2, 0), (-2, -2, 0), (-2, -2, 3), (2, -2, 3)], [(0, 1, 2, 3)], white)
    mesh_object("LeftWall", [(-2, -2, 0), (-2, 2, 0), (-2, 2, 3), (-2, -2, 3)], [(0, 1, 2, 3)], red)
    mesh_object("RightWall", [(2, 2, 0), (2, -2, 0), (2, -2, 3), (2, 2, 3)], [(0, 1, 2, 3)], green)
    mesh_object("Light", [(-0.5, -0.5, 2.98), (-0.5, 0.5, 2.98), (0.5, 0.5, 2.98), (0.5, -0.5, 2.98)],
                [(0, 1, 2, 3)], light)

    def box_mesh(name, sx, sy, sz):
        mesh = bpy.data.meshes.new(name)
        bm = bmesh.new()
        bmesh.ops.create_cube(bm, size=1.0)
        bmesh.ops.scale(bm, vec=(sx, sy, sz), verts=bm.verts)
        bmesh.ops.translate(bm, vec=(0, 0, sz / 2), verts=bm.verts)
        bm.to_mesh(mesh)
        bm.free()
        return mesh

    block_mesh = box_mesh("BlockMesh", 0.8, 0.8, 0.8)
    block_mesh.materials.append(wood)
    block = bpy.data.objects.new("Block", block_mesh)
    bpy.context.scene.collection.objects.link(block)
    block.location = (0.6, 0.5, 0.0)
    block.rotation_euler = (0.0, 0.0, 0.3)

    ball_mesh = bpy.data.meshes.new("BallMesh")
    bm = bmesh.new()
    bmesh.ops.create_uvsphere(bm, u_segments=12, v_segments=6, radius=0.35, calc_uvs=True)
    bm.to_mesh(ball_mesh)
    bm.free()
    for poly in ball_mesh.polygons:
        poly.use_smooth = True
    ball_mesh.materials.append(ball_mat)
    ball = bpy.data.objects.new("Ball", ball_mesh)
    bpy.context.scene.collection.objects.link(ball)
    ball.parent = block
    ball.location = (0.0, 0.0, 0.8 + 0.35)
    ball.rotation_euler = (0.0, 0.0, 0.0)
    ball.keyframe_insert(data_path="rotation_euler", frame=1)
    ball.rotation_euler = (0.0, 0.0, math.pi / 2)
    ball.keyframe_insert(data_path="rotation_euler", frame=48)

    stool_mesh = box_mesh("StoolMesh", 0.4, 0.4, 0.45)
    stool_mesh.materials.append(wood)
    for name, where in (("StoolA", (-1.0, -0.6, 0.0)), ("StoolB", (-0.9, 0.7, 0.0))):
        stool = bpy.data.objects.new(name, stool_mesh)
        bpy.context.scene.collection.objects.link(stool)
        stool.location = where

    lamp = bpy.data.objects.new("Lamp", bpy.data.lights.new("LampLight", type="POINT"))
    lamp.data.energy = 40.0
    bpy.context.scene.collection.objects.link(lamp)
    lamp.location = (-1.0, 1.0, 2.2)

    bpy.ops.export_scene.gltf(filepath=os.path.join(OUT, "room.glb"), export_format="GLB",
                              export_image_format="AUTO", export_cameras=False, export_lights=True)


cornell()
textured_quad()
transform()
table()
room()

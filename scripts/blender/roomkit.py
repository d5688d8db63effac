# Helpers shared by the Blender scripts of scripts/blender/ (imported by
# them; not run on its own): building simple geometry, the materials as they
# are exported, lamps, the Lambertian materials the Cycles references are
# rendered with, Cycles settings, baking and the emission check.

import json
import math
import os
import struct
import tempfile

import bpy
import numpy as np
from mathutils import Vector


def clear():
    bpy.ops.wm.read_factory_settings(use_empty=True)


# ------------------------------------------------------------ materials
def principled(name, base, emission=(0.0, 0.0, 0.0), strength=0.0):
    """The material as exported: Principled BSDF, roughness 1, specular 0,
    emission colour and strength (the exporter writes emissiveFactor and,
    when a component of colour x strength exceeds 1,
    KHR_materials_emissive_strength)."""
    m = bpy.data.materials.new(name)
    m.use_nodes = True
    m.use_backface_culling = True   # single-sided: the exporter writes doubleSided false
    bsdf = m.node_tree.nodes["Principled BSDF"]
    bsdf.inputs["Base Color"].default_value = (base[0], base[1], base[2], 1.0)
    bsdf.inputs["Roughness"].default_value = 1.0
    bsdf.inputs["Specular"].default_value = 0.0
    bsdf.inputs["Emission"].default_value = (emission[0], emission[1], emission[2], 1.0)
    bsdf.inputs["Emission Strength"].default_value = strength
    m["glowbake_base"] = list(base)
    m["glowbake_emission"] = list(emission)
    m["glowbake_strength"] = strength
    return m


def principled_textured(name, image):
    m = principled(name, (1.0, 1.0, 1.0))
    tex = m.node_tree.nodes.new("ShaderNodeTexImage")
    tex.name = "BaseTexture"
    tex.image = image
    tex.interpolation = "Closest"
    uvmap = m.node_tree.nodes.new("ShaderNodeUVMap")
    uvmap.uv_map = "UVMap"
    m.node_tree.links.new(uvmap.outputs["UV"], tex.inputs["Vector"])
    m.node_tree.links.new(tex.outputs["Color"], m.node_tree.nodes["Principled BSDF"].inputs["Base Color"])
    return m


def srgb_to_linear(byte):
    c = byte / 255.0
    return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4


def checker_image(name, size, check, light, dark, path):
    """A size x size sRGB checker of check x check texel tiles, saved as PNG
    to path, reloaded and packed into the .blend (the exporter copies the
    packed PNG into the .glb as it is)."""
    px = np.zeros((size, size, 4), dtype=np.float32)
    for y in range(size):
        for x in range(size):
            c = light if ((x // check) + (y // check)) % 2 == 0 else dark
            px[y, x] = (c[0] / 255.0, c[1] / 255.0, c[2] / 255.0, 1.0)
    img = bpy.data.images.new(name + "Tmp", size, size, alpha=False)
    img.colorspace_settings.name = "sRGB"
    img.pixels.foreach_set(px.ravel())
    img.filepath_raw = path
    img.file_format = "PNG"
    img.save()
    bpy.data.images.remove(img)
    img = bpy.data.images.load(path)
    img.name = name
    img.colorspace_settings.name = "sRGB"
    img.pack()
    # The bytes must have survived the round trip.
    back = np.empty(size * size * 4, dtype=np.float32)
    img.pixels.foreach_get(back)
    assert np.allclose(np.round(back.reshape(size, size, 4) * 255.0), np.round(px * 255.0)), "checker bytes"
    img.filepath_raw = "//" + name + ".png"
    return img


def checker_stats(light, dark, check, size, repeat_m):
    lin_light = [srgb_to_linear(b) for b in light]
    lin_dark = [srgb_to_linear(b) for b in dark]
    return {
        "image": "%d x %d PNG (sRGB), tiles of %d x %d texels, light and dark alternating; sampler nearest, "
                 "repeat; the image covers %g x %g m of floor (tiles %g m)" % (size, size, check, check, repeat_m,
                                                                                repeat_m, repeat_m * check / size),
        "light_srgb_bytes": list(light), "dark_srgb_bytes": list(dark),
        "light_linear": [round(v, 6) for v in lin_light], "dark_linear": [round(v, 6) for v in lin_dark],
        "mean_linear_albedo": [round((a + b) / 2, 6) for a, b in zip(lin_light, lin_dark)],
        "note": "sRGB bytes decoded with the sRGB transfer function; the floor holds a whole number of tile pairs, "
                "so its area mean equals the image mean",
    }


# ------------------------------------------------------------ geometry
def _oriented(corners, normal):
    a, b, c = (Vector(corners[i]) for i in range(3))
    n = (b - a).cross(c - a)
    if n.dot(Vector(normal)) < 0:
        return list(reversed(corners))
    return list(corners)


def mesh_object(name, verts, faces, mat):
    mesh = bpy.data.meshes.new(name)
    mesh.from_pydata(verts, [], faces)
    mesh.update()
    mesh.materials.append(mat)
    obj = bpy.data.objects.new(name, mesh)
    bpy.context.scene.collection.objects.link(obj)
    return obj


def quad_object(name, corners, normal, mat):
    """One quad, its front (counter-clockwise side) facing `normal`."""
    return mesh_object(name, _oriented(corners, normal), [(0, 1, 2, 3)], mat)


def box_faces(xr, yr, zr, skip=()):
    (x0, x1), (y0, y1), (z0, z1) = xr, yr, zr
    faces = {
        "-x": ([(x0, y0, z0), (x0, y1, z0), (x0, y1, z1), (x0, y0, z1)], (-1, 0, 0)),
        "+x": ([(x1, y0, z0), (x1, y1, z0), (x1, y1, z1), (x1, y0, z1)], (1, 0, 0)),
        "-y": ([(x0, y0, z0), (x1, y0, z0), (x1, y0, z1), (x0, y0, z1)], (0, -1, 0)),
        "+y": ([(x0, y1, z0), (x1, y1, z0), (x1, y1, z1), (x0, y1, z1)], (0, 1, 0)),
        "-z": ([(x0, y0, z0), (x1, y0, z0), (x1, y1, z0), (x0, y1, z0)], (0, 0, -1)),
        "+z": ([(x0, y0, z1), (x1, y0, z1), (x1, y1, z1), (x0, y1, z1)], (0, 0, 1)),
    }
    return [(_oriented(c, n)) for k, (c, n) in faces.items() if k not in skip]


def box_object(name, xr, yr, zr, mat, skip=()):
    """An axis-aligned box, faces outwards, without the faces named in skip."""
    verts, faces = [], []
    for quad in box_faces(xr, yr, zr, skip):
        base = len(verts)
        verts += quad
        faces.append(tuple(range(base, base + 4)))
    obj = mesh_object(name, verts, faces, mat)
    merge_by_distance(obj)
    return obj


def merge_by_distance(obj):
    import bmesh
    bm = bmesh.new()
    bm.from_mesh(obj.data)
    bmesh.ops.remove_doubles(bm, verts=bm.verts, dist=1e-6)
    bm.to_mesh(obj.data)
    bm.free()


def _select_only(obj):
    for o in bpy.context.scene.objects:
        o.select_set(False)
    obj.select_set(True)
    bpy.context.view_layer.objects.active = obj


def uv_sphere(name, centre, radius, segments, rings, mat, smooth=True):
    bpy.ops.mesh.primitive_uv_sphere_add(segments=segments, ring_count=rings, radius=radius, location=centre)
    obj = bpy.context.active_object
    obj.name = name
    obj.data.name = name
    obj.data.materials.append(mat)
    if smooth:
        bpy.ops.object.shade_smooth()
    return obj


def monkey(name, at_xy, rest_z, size, mat):
    """Suzanne (facing -y) resting on the plane z = rest_z: its lowest vertex
    touches it."""
    bpy.ops.mesh.primitive_monkey_add(size=size, location=(at_xy[0], at_xy[1], 0.0))
    obj = bpy.context.active_object
    obj.name = name
    obj.data.name = name
    obj.data.materials.append(mat)
    bpy.context.view_layer.update()
    lo, _hi = world_bounds(obj)
    obj.location.z = rest_z - lo[2]
    bpy.context.view_layer.update()
    return obj


def world_bounds(obj):
    pts = np.array([tuple(obj.matrix_world @ v.co) for v in obj.data.vertices])
    return pts.min(axis=0), pts.max(axis=0)


# ------------------------------------------------------------ Cycles
def cycles_settings(samples):
    scene = bpy.context.scene
    scene.render.engine = "CYCLES"
    c = scene.cycles
    c.device = "CPU"
    c.samples = samples
    c.preview_samples = samples
    c.use_adaptive_sampling = False
    c.use_denoising = False
    c.max_bounces = 64
    c.diffuse_bounces = 64
    c.glossy_bounces = 0
    c.transmission_bounces = 0
    c.volume_bounces = 0
    c.transparent_max_bounces = 8
    c.min_light_bounces = 0
    c.sample_clamp_direct = 0.0
    c.sample_clamp_indirect = 0.0
    c.light_sampling_threshold = 0.0
    c.caustics_reflective = False
    c.caustics_refractive = False
    c.blur_glossy = 0.0
    c.use_animated_seed = False
    scene.render.threads_mode = "FIXED"
    scene.render.threads = 2
    scene.view_settings.view_transform = "Standard"
    scene.view_settings.look = "None"
    scene.view_settings.exposure = 0.0
    scene.view_settings.gamma = 1.0
    world = bpy.data.worlds.new("Black")
    world.use_nodes = False
    world.color = (0.0, 0.0, 0.0)
    scene.world = world


def cycles_meta(samples, seeds):
    c = bpy.context.scene.cycles
    return {
        "blender": bpy.app.version_string,
        "device": "CPU",
        "samples_per_texel": samples,
        "seeds": list(seeds),
        "sampling_pattern": c.sampling_pattern,
        "adaptive_sampling": False,
        "denoising": False,
        "max_bounces": 64,
        "diffuse_bounces": 64,
        "clamping": "none (direct and indirect sample clamp 0)",
        "light_sampling_threshold": 0.0,
        "world": "black",
        "materials": "rendered with Lambertian materials (Diffuse BSDF, roughness 0) of the exported base colours "
                     "(the floor its checker texture, nearest sampling) plus Emission of the exported colour and "
                     "strength on the emitters; every back face is black and non-emitting (single-sided surfaces). "
                     "Cycles' Principled diffuse is not Lambertian, so it is not used for the numbers.",
        "method": "Cycles bake, type DIFFUSE, pass filter DIRECT + INDIRECT without COLOR, margin 0, one texel "
                  "per bake_texel_m; a region's value is the mean of the texels whose centres lie inside it. "
                  "'mean' is the mean of the two seeds' values (each in 'seeds'); 'noise' is its standard error, "
                  "std(seed1 - seed2) / (2 sqrt(n)) over the region's n texels (the texel-by-texel difference of "
                  "the seeds removes the lighting's own variation); a ratio's noise combines its two regions'.",
    }


def reference_materials(emitters):
    """Turn every Principled material into Lambertian diffuse (+ emission for
    the emitters), black and non-emitting on back faces."""
    for m in bpy.data.materials:
        if not m.use_nodes or "glowbake_base" not in m:
            continue
        nt = m.node_tree
        old = nt.nodes["Principled BSDF"]
        base_link = [l for l in nt.links if l.to_socket == old.inputs["Base Color"]]
        base_from = base_link[0].from_socket if base_link else None
        out = nt.nodes["Material Output"]
        diffuse = nt.nodes.new("ShaderNodeBsdfDiffuse")
        diffuse.inputs["Roughness"].default_value = 0.0
        base = m["glowbake_base"]
        diffuse.inputs["Color"].default_value = (base[0], base[1], base[2], 1.0)
        if base_from is not None:
            nt.links.new(base_from, diffuse.inputs["Color"])
        front = diffuse.outputs["BSDF"]
        if m["glowbake_strength"] > 0:
            emit = nt.nodes.new("ShaderNodeEmission")
            e = m["glowbake_emission"]
            emit.inputs["Color"].default_value = (e[0], e[1], e[2], 1.0)
            emit.inputs["Strength"].default_value = m["glowbake_strength"]
            add = nt.nodes.new("ShaderNodeAddShader")
            nt.links.new(diffuse.outputs["BSDF"], add.inputs[0])
            nt.links.new(emit.outputs["Emission"], add.inputs[1])
            front = add.outputs["Shader"]
        black = nt.nodes.new("ShaderNodeBsdfDiffuse")
        black.inputs["Color"].default_value = (0.0, 0.0, 0.0, 1.0)
        geo = nt.nodes.new("ShaderNodeNewGeometry")
        mix = nt.nodes.new("ShaderNodeMixShader")
        nt.links.new(geo.outputs["Backfacing"], mix.inputs["Fac"])
        nt.links.new(front, mix.inputs[1])
        nt.links.new(black.outputs["BSDF"], mix.inputs[2])
        nt.links.new(mix.outputs["Shader"], out.inputs["Surface"])
        nt.nodes.remove(old)


def add_bake_uv(obj, xr, yr, axes=(0, 1)):
    """A UV map 'BakeUV' that maps the object's world x, y range to [0, 1]^2
    (for flat horizontal objects); axes = (0, 2) or (1, 2) map x, z or y, z
    instead (walls)."""
    uv = obj.data.uv_layers.new(name="BakeUV")
    mw = obj.matrix_world
    a, b = axes
    for loop in obj.data.loops:
        co = mw @ obj.data.vertices[loop.vertex_index].co
        uv.data[loop.index].uv = ((co[a] - xr[0]) / (xr[1] - xr[0]), (co[b] - yr[0]) / (yr[1] - yr[0]))


def bake_diffuse(obj, res, pass_filter):
    """Bakes Cycles' diffuse light (no colour) of obj into a float image of
    res = (w, h) texels over its BakeUV map; returns an (h, w, 3) array, row 0
    at v = 0."""
    w, h = res
    img = bpy.data.images.new("Bake", w, h, alpha=False, float_buffer=True)
    nodes = []
    for slot in obj.material_slots:
        nt = slot.material.node_tree
        node = nt.nodes.new("ShaderNodeTexImage")
        node.image = img
        nt.nodes.active = node
        nodes.append((nt, node))
    _select_only(obj)
    bpy.ops.object.bake(type="DIFFUSE", pass_filter=set(pass_filter), margin=0, use_clear=True,
                        uv_layer="BakeUV", target="IMAGE_TEXTURES", save_mode="INTERNAL")
    px = np.empty(w * h * 4, dtype=np.float32)
    img.pixels.foreach_get(px)
    for nt, node in nodes:
        nt.nodes.remove(node)
    bpy.data.images.remove(img)
    return px.reshape(h, w, 4)[:, :, :3].astype(np.float64)


def render_passes(camera_at, rotation, ortho_scale, res, samples, passes):
    """Renders an orthographic view with Cycles and returns {pass: (h, w, 3)}
    for the named render passes ('Image' is Combined, 'Emit' the Emission
    pass), read from EXR files written by the compositor."""
    scene = bpy.context.scene
    cam_data = bpy.data.cameras.new("CheckCamera")
    cam_data.type = "ORTHO"
    cam_data.ortho_scale = ortho_scale
    cam_data.clip_start = 0.001
    cam = bpy.data.objects.new("CheckCamera", cam_data)
    scene.collection.objects.link(cam)
    cam.location = camera_at
    cam.rotation_euler = rotation
    scene.camera = cam
    scene.render.resolution_x, scene.render.resolution_y = res
    scene.render.resolution_percentage = 100
    old_samples = scene.cycles.samples
    scene.cycles.samples = samples
    vl = bpy.context.view_layer
    vl.use_pass_emit = True
    scene.use_nodes = True
    scene.render.use_compositing = True
    nt = scene.node_tree
    for n in list(nt.nodes):
        nt.nodes.remove(n)
    rl = nt.nodes.new("CompositorNodeRLayers")
    fo = nt.nodes.new("CompositorNodeOutputFile")
    tmp = tempfile.mkdtemp(prefix="glowbake-check-")
    fo.base_path = tmp
    fo.format.file_format = "OPEN_EXR"
    fo.format.color_depth = "32"
    fo.format.exr_codec = "ZIP"
    fo.file_slots.clear()
    for p in passes:
        fo.file_slots.new(p)
        nt.links.new(rl.outputs[p], fo.inputs[p])
    scene.render.filepath = os.path.join(tmp, "render")
    scene.frame_current = 1
    bpy.ops.render.render(write_still=False)
    out = {}
    for p in passes:
        path = os.path.join(tmp, "%s%04d.exr" % (p, 1))
        img = bpy.data.images.load(path)
        px = np.empty(res[0] * res[1] * 4, dtype=np.float32)
        img.pixels.foreach_get(px)
        out[p] = px.reshape(res[1], res[0], 4)[:, :, :3].astype(np.float64)
        bpy.data.images.remove(img)
        os.remove(path)
    os.rmdir(tmp)
    scene.cycles.samples = old_samples
    bpy.data.objects.remove(cam)
    bpy.data.cameras.remove(cam_data)
    scene.use_nodes = False
    return out


def emission_check(panel, camera_at, ortho_scale, colour_strength, label):
    """Renders the panel face-on from below (it faces -z) and compares the
    Emission pass and Combined with colour x strength."""
    colour, strength = colour_strength
    res = (8, 8)
    samples = 64
    out = render_passes(camera_at, (math.pi, 0.0, 0.0), ortho_scale, res, samples, ("Image", "Emit"))
    emit = out["Emit"].reshape(-1, 3).mean(axis=0)
    comb = out["Image"].reshape(-1, 3).mean(axis=0)
    expected = [c * strength for c in colour]
    return {
        "materials": label,
        "camera": "orthographic, %d x %d pixels, %d samples, %g m across, at glTF (%g, %g, %g) looking up (+y) at "
                  "the panel's lit side" % (res[0], res[1], samples, ortho_scale, camera_at[0], camera_at[2],
                                            -camera_at[1]),
        "colour_times_strength": [round(v, 6) for v in expected],
        "emission_pass": [round(float(v), 6) for v in emit],
        "emission_pass_spread": [round(float(v), 6) for v in np.ptp(out["Emit"].reshape(-1, 3), axis=0)],
        "combined": [round(float(v), 5) for v in comb],
        "note": "Combined is the emission plus the light the panel's own base colour reflects",
    }


# ------------------------------------------------------------ lamps
def lamp(name, kind, location, power, direction=None, radius=0.0, spot_size=None, spot_blend=None, angle=0.0,
         colour=(1.0, 1.0, 1.0), area=None, rotation=None, scale=None):
    """area = (shape, size, size_y) for an AREA lamp; rotation (Euler XYZ,
    radians) and scale place it instead of direction."""
    data = bpy.data.lights.new(name, kind)
    data.energy = power
    data.color = colour
    if kind == "AREA":
        data.shape, data.size, data.size_y = area
    if kind in ("POINT", "SPOT"):
        data.shadow_soft_size = radius
    if kind == "SPOT":
        data.spot_size = spot_size
        data.spot_blend = spot_blend
        data.show_cone = True
    if kind == "SUN":
        data.angle = angle
    obj = bpy.data.objects.new(name, data)
    bpy.context.scene.collection.objects.link(obj)
    obj.location = location
    if direction is not None:
        obj.rotation_euler = Vector(direction).to_track_quat("-Z", "Y").to_euler()
    if rotation is not None:
        obj.rotation_euler = rotation
    if scale is not None:
        obj.scale = scale
    return obj


def area_corners(obj):
    """An area lamp's four corners in the world, Blender coordinates."""
    d = obj.data
    sy = d.size if d.shape == "SQUARE" else d.size_y
    return [obj.matrix_world @ Vector((u * d.size / 2, v * sy / 2, 0.0)) for u, v in ((-1, -1), (1, -1), (1, 1), (-1, 1))]


def lamp_meta(obj):
    d = obj.data
    m = {"name": obj.name, "blender_type": d.type, "colour": list(d.color),
         "blender_location": [round(v, 6) for v in obj.location],
         "gltf_position": [round(obj.location.x, 6), round(obj.location.z, 6), round(-obj.location.y, 6)]}
    direction = obj.matrix_world.to_quaternion() @ Vector((0, 0, -1))
    if d.type != "POINT":
        m["gltf_direction"] = [round(direction.x, 6), round(direction.z, 6), round(-direction.y, 6)]
    if d.type in ("POINT", "SPOT"):
        m["power_W"] = d.energy
        m["radius_m"] = d.shadow_soft_size
        m["intensity_W_per_sr_if_P_over_4pi"] = round(d.energy / (4 * math.pi), 6)
    if d.type == "SPOT":
        m["spot_size_rad"] = round(d.spot_size, 6)
        m["spot_size_deg"] = round(math.degrees(d.spot_size), 4)
        m["spot_blend"] = round(d.spot_blend, 6)
    if d.type == "SUN":
        m["strength_W_per_m2"] = d.energy
        m["angle_rad"] = d.angle
    if d.type == "AREA":
        corners = area_corners(obj)
        a = (corners[1] - corners[0]).cross(corners[3] - corners[0]).length
        m["power_W"] = d.energy
        m["shape"] = d.shape
        m["size"] = [d.size, d.size if d.shape == "SQUARE" else d.size_y]
        m["scale"] = [round(v, 6) for v in obj.scale]
        m["gltf_corners"] = [[round(c.x, 6), round(c.z, 6), round(-c.y, 6)] for c in corners]
        m["area_m2"] = round(a, 6)
        m["radiance_if_P_over_4A"] = [round(c * d.energy / (4 * a), 6) for c in d.color]
    return m


def gltf_lights(path):
    doc = glb_json(path)
    lights = doc.get("extensions", {}).get("KHR_lights_punctual", {}).get("lights", [])
    out = []
    for node in doc["nodes"]:
        ext = node.get("extensions", {}).get("KHR_lights_punctual")
        if ext is not None:
            out.append({"node": node.get("name"), "translation": node.get("translation"),
                        "rotation": node.get("rotation"), "light": lights[ext["light"]]})
    return out


def gltf_region(xr, yr):
    return {"x": [xr[0], xr[1]], "z": [round(-yr[1], 4), round(-yr[0], 4)]}


def glb_json(path):
    data = open(path, "rb").read()
    magic, _version, _length = struct.unpack_from("<III", data, 0)
    assert magic == 0x46546C67
    n, kind = struct.unpack_from("<II", data, 12)
    assert kind == 0x4E4F534A
    return json.loads(data[20:20 + n])


def glb_triangles(path):
    doc = glb_json(path)
    count = 0
    for mesh in doc["meshes"]:
        for prim in mesh["primitives"]:
            count += doc["accessors"][prim["indices"]]["count"] // 3
    return count


def glb_emitters(path):
    doc = glb_json(path)
    out = {}
    for m in doc["materials"]:
        if "emissiveFactor" in m:
            s = m.get("extensions", {}).get("KHR_materials_emissive_strength", {}).get("emissiveStrength", 1.0)
            out[m["name"]] = {"emissiveFactor": m["emissiveFactor"], "emissiveStrength": s,
                              "radiance": [f * s for f in m["emissiveFactor"]]}
    return out


def triangle_count():
    deps = bpy.context.evaluated_depsgraph_get()
    n = 0
    for obj in bpy.context.scene.objects:
        if obj.type == "MESH":
            mesh = obj.evaluated_get(deps).to_mesh()
            mesh.calc_loop_triangles()
            n += len(mesh.loop_triangles)
            obj.evaluated_get(deps).to_mesh_clear()
    return n


def region_means(img_array, bounds_x, bounds_y, regions):
    """img_array: (h, w, 3), row 0 at bounds_y[0]. For each region, the
    texels whose centres lie inside it, as an (n, 3) array."""
    h, w, _ = img_array.shape
    out = {}
    cx = bounds_x[0] + (np.arange(w) + 0.5) * (bounds_x[1] - bounds_x[0]) / w
    cy = bounds_y[0] + (np.arange(h) + 0.5) * (bounds_y[1] - bounds_y[0]) / h
    for name, (x0, x1), (y0, y1) in regions:
        mx = (cx > x0) & (cx < x1)
        my = (cy > y0) & (cy < y1)
        block = img_array[np.ix_(my, mx)].reshape(-1, 3)
        assert block.shape[0] > 0, name
        out[name] = block.copy()
    return out


def two_seed_stats(block1, block2):
    """Mean of two seeds' texels of one region and its standard error: the
    texel-by-texel difference of the seeds removes the lighting's own
    variation, leaving 2 x the texels' noise variance, so the standard error
    of the two-seed mean is std(difference) / (2 sqrt(n)). Per channel and
    for the luminance."""
    n = block1.shape[0]
    d = block1 - block2
    mean = (block1.mean(axis=0) + block2.mean(axis=0)) / 2.0
    noise = d.std(axis=0, ddof=1) / (2.0 * math.sqrt(n))
    w = np.array(LUMA)
    lum_noise = float((d @ w).std(ddof=1) / (2.0 * math.sqrt(n)))
    return mean, noise, lum_noise


LUMA = (0.2126, 0.7152, 0.0722)


def luminance(c):
    return float(LUMA[0] * c[0] + LUMA[1] * c[1] + LUMA[2] * c[2])


def rnd(v, digits=5):
    return [float("%.*g" % (digits, x)) for x in v] if hasattr(v, "__len__") else float("%.*g" % (digits, v))


def summarise(per_seed, regions):
    """per_seed: the two seeds' region_means -> one dict a region: its
    glTF bounds, texel count, mean of the seeds, the seeds' own means and
    the standard error of the mean (two_seed_stats)."""
    assert len(per_seed) == 2
    out = []
    for name, xr, yr in regions:
        b1, b2 = per_seed[0][name], per_seed[1][name]
        mean, noise, lum_noise = two_seed_stats(b1, b2)
        d = {"name": name}
        d.update(gltf_region(xr, yr))
        d["texels"] = int(b1.shape[0])
        d["mean"] = rnd(mean)
        d["noise"] = rnd(noise, 2)
        d["luminance"] = rnd(luminance(mean))
        d["luminance_noise"] = rnd(lum_noise, 2)
        d["seeds"] = [rnd(b1.mean(axis=0)), rnd(b2.mean(axis=0))]
        out.append(d)
    return out


def ratio_entry(a, b):
    """Ratio of two summarised regions (independent noise), per channel and
    in luminance, with its standard error."""
    ma, mb = np.array(a["mean"]), np.array(b["mean"])
    na, nb = np.array(a["noise"]), np.array(b["noise"])
    r = ma / mb
    rn = r * np.sqrt((na / ma) ** 2 + (nb / mb) ** 2)
    lr = a["luminance"] / b["luminance"]
    lrn = lr * math.sqrt((a["luminance_noise"] / a["luminance"]) ** 2 + (b["luminance_noise"] / b["luminance"]) ** 2)
    return {"ratio": rnd(r, 4), "ratio_noise": rnd(rn, 2), "luminance_ratio": rnd(lr, 4),
            "luminance_ratio_noise": rnd(lrn, 2)}


def pairs(summary, matches, labels=("shadowed", "open")):
    """Ratios a / b of region means for the (a, b) name pairs in matches."""
    by = {d["name"]: d for d in summary}
    out = []
    for a, b in matches:
        e = {labels[0]: a, labels[1]: b}
        e.update(ratio_entry(by[a], by[b]))
        out.append(e)
    return out

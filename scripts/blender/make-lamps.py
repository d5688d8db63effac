# Blender script (run by scripts/make-room.sh) that builds four small scenes
# lit by Blender lamps, exports them with Blender's glTF exporter in its
# default ("Standard") lighting mode, which writes KHR_lights_punctual, and
# measures Cycles reference numbers on their floors. A development tool
# only: the build and the tests use the committed files and never need
# Blender.
#
#   blender --background --factory-startup --python-exit-code 1 \
#       --python scripts/blender/make-lamps.py -- SCENE_DIR FIXTURE_DIR [--no-cycles]
#
# Writes SCENE_DIR/point-box.glb, spot-box.glb, sun-window.glb,
# split-room.glb, area-lights.blend and FIXTURE_DIR/lamps.json (see the
# README.md there). `--only NAME` builds and measures that one scene and
# replaces its entry in the lamps.json already there, keeping the others.
#
# area-lights.blend is Blender's own file, written with the lights alone:
# Assimp reads a .blend's area lamps with their size, but not the meshes of
# a file saved by Blender 3.1 or later, so the floor Cycles lights is added
# after the file is written, and the test adds the same floor (its corners
# are in lamps.json). Cycles gives an area lamp of power P watts and area A
# the radiance P / (4 A) per unit of colour; the direct check measures it.
#
# The exporter's Standard mode turns a point or spot lamp of power P watts
# into intensity P / (4 pi) x 683 candela and a sun of strength S W/m^2 into
# S x 683 lux; a spot's outerConeAngle is spot_size / 2 and its
# innerConeAngle spot_size / 2 x (1 - spot_blend).
#
# Coordinates here are Blender's (metres, Z up); room.json-style regions in
# lamps.json are in the glTF frame, (x, y, z) = Blender (x, z, -y).
#
# GLOWBAKE_LAMPS_SAMPLES overrides the bake sample count (for a quick trial
# only: the committed numbers use the default below).

import json
import math
import os
import sys
import time

import bpy
import numpy as np
from mathutils import Vector

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import roomkit as rk  # noqa: E402

args = sys.argv[sys.argv.index("--") + 1:]
SCENE_DIR, FIXTURE_DIR = args[0], args[1]
RUN_CYCLES = "--no-cycles" not in args
ONLY = args[args.index("--only") + 1] if "--only" in args else None

SAMPLES = int(os.environ.get("GLOWBAKE_LAMPS_SAMPLES", "1024"))
DIRECT_SAMPLES = max(SAMPLES // 4, 1)
SEEDS = (1, 2)
TEXEL = 0.02

COLOURS = {
    "Floor": (0.5, 0.5, 0.5),
    "Wall": (0.7, 0.7, 0.7),
    "Ceiling": (0.75, 0.75, 0.75),
    "Block": (0.6, 0.45, 0.3),
    "PanelLight": (0.8, 0.8, 0.8),
}


def sq(name, cx, cy, half=0.1):
    return (name, (round(cx - half, 4), round(cx + half, 4)), (round(cy - half, 4), round(cy + half, 4)))


def materials(emitters):
    mats = {}
    for name, base in COLOURS.items():
        colour, strength = emitters.get(name, ((0.0, 0.0, 0.0), 0.0))
        mats[name] = rk.principled(name, base, colour, strength)
    return mats


def room(xr, yr, h, mats, hole=None):
    """Floor, ceiling and four walls facing in; hole = (x0, x1, z0, z1), an
    opening in the front wall (y = yr[0])."""
    (x0, x1), (y0, y1) = xr, yr
    rk.quad_object("Floor", [(x0, y0, 0), (x1, y0, 0), (x1, y1, 0), (x0, y1, 0)], (0, 0, 1), mats["Floor"])
    rk.quad_object("Ceiling", [(x0, y0, h), (x1, y0, h), (x1, y1, h), (x0, y1, h)], (0, 0, -1), mats["Ceiling"])
    rk.quad_object("WallBack", [(x0, y1, 0), (x1, y1, 0), (x1, y1, h), (x0, y1, h)], (0, -1, 0), mats["Wall"])
    rk.quad_object("WallLeft", [(x0, y0, 0), (x0, y1, 0), (x0, y1, h), (x0, y0, h)], (1, 0, 0), mats["Wall"])
    rk.quad_object("WallRight", [(x1, y0, 0), (x1, y1, 0), (x1, y1, h), (x1, y0, h)], (-1, 0, 0), mats["Wall"])
    if hole is None:
        rk.quad_object("WallFront", [(x0, y0, 0), (x1, y0, 0), (x1, y0, h), (x0, y0, h)], (0, 1, 0), mats["Wall"])
        return
    hx0, hx1, hz0, hz1 = hole
    parts = [(x0, hx0, 0, h), (hx1, x1, 0, h), (hx0, hx1, 0, hz0), (hx0, hx1, hz1, h)]
    for i, (a0, a1, b0, b1) in enumerate(parts):
        rk.quad_object("WallFront%d" % i, [(a0, y0, b0), (a1, y0, b0), (a1, y0, b1), (a0, y0, b1)], (0, 1, 0),
                       mats["Wall"])


# ---------------------------------------------------------------- scenes
# Each returns (floor x range, floor y range, regions, pairs, direct-check
# regions with their analytic direct value function, notes).
def point_box():
    mats = materials({})
    room((-2.0, 2.0), (-2.0, 2.0), 3.0, mats)
    # A block 0.5 x 0.5 x 0.8 m beside the lamp: its hard shadow covers x
    # 1.25-1.84 along the x axis; the region block_shadow lies inside it.
    rk.box_object("Block", (0.75, 1.25), (-0.25, 0.25), (0.0, 0.8), mats["Block"], skip=("-z",))
    lp = rk.lamp("PointLamp", "POINT", (0.0, 0.0, 2.5), 200.0, radius=0.0)
    regions = [sq("below_lamp", 0.0, 0.0), sq("block_shadow", 1.5, 0.0), sq("open_mirror_of_shadow", -1.5, 0.0),
               sq("open_side", 0.0, 1.5), sq("corner", 1.7, 1.7), sq("corner_mirror", -1.7, 1.7)]
    pairs = [("block_shadow", "open_mirror_of_shadow"), ("corner", "corner_mirror")]
    direct = {"below_lamp": ("point", lp), "open_mirror_of_shadow": ("point", lp), "open_side": ("point", lp)}
    note = ("Closed 4 x 4 x 3 m box (glTF x -2..2, z -2..2, y 0..3), a block glTF x 0.75-1.25, z -0.25..0.25, "
            "y 0-0.8, and one point lamp 2.5 m above the floor's centre.")
    return (-2.0, 2.0), (-2.0, 2.0), regions, pairs, direct, note


def spot_box():
    mats = materials({})
    room((-2.0, 2.0), (-2.0, 2.0), 3.0, mats)
    lp = rk.lamp("SpotLamp", "SPOT", (0.0, 0.0, 2.9), 500.0, direction=(0, 0, -1), radius=0.0,
              spot_size=math.radians(60.0), spot_blend=0.2)
    # On the floor the cone's edge (30 degrees) is at r = 1.674 m and the
    # blend starts at 24 degrees (r = 1.291 m).
    regions = [sq("centre", 0.0, 0.0), sq("inside_r0.6", 0.6, 0.0), sq("inside_r1.0", 0.0, 1.0),
               sq("blend_r1.5", 1.5, 0.0), sq("outside_r1.9", -1.9, 0.0), sq("corner", 1.7, 1.7)]
    pairs = [("blend_r1.5", "centre"), ("outside_r1.9", "centre")]
    direct = {"centre": ("spot", lp), "inside_r0.6": ("spot", lp), "inside_r1.0": ("spot", lp)}
    note = ("Closed 4 x 4 x 3 m box, one spot lamp 2.9 m above the floor's centre pointing straight down "
            "(spot size 60 degrees, blend 0.2).")
    return (-2.0, 2.0), (-2.0, 2.0), regions, pairs, direct, note


SUN_ELEVATION = math.radians(35.0)


def sun_window():
    mats = materials({})
    hole = (-0.8, 0.8, 0.9, 2.1)
    room((-2.5, 2.5), (-2.0, 2.0), 2.7, mats, hole=hole)
    d = (0.0, math.cos(SUN_ELEVATION), -math.sin(SUN_ELEVATION))
    lp = rk.lamp("Sun", "SUN", (0.0, -4.0, 4.0), 3.0, direction=d, angle=0.0)
    # The sun patch on the floor: x -0.8..0.8, y from -2 + 0.9 / tan(35) =
    # -0.715 to -2 + 2.1 / tan(35) = 0.999 (Blender y).
    regions = [sq("sun_patch_centre", 0.0, 0.15), sq("sun_patch_near", 0.0, -0.45),
               sq("beside_patch_right", 1.5, 0.15), sq("beside_patch_left", -1.5, 0.15),
               sq("below_window", 0.0, -1.6), sq("back_corner", 2.2, 1.7)]
    pairs = [("beside_patch_right", "sun_patch_centre"), ("below_window", "sun_patch_centre")]
    direct = {"sun_patch_centre": ("sun", lp), "sun_patch_near": ("sun", lp)}
    note = ("Closed 5 x 4 x 2.7 m room with an opening glTF x -0.8..0.8, y 0.9-2.1 in the wall z = +2; a sun "
            "lamp (angle 0) at elevation 35 degrees shining in through it along glTF (0, -sin 35, -cos 35). The "
            "sunlit patch on the floor is x -0.8..0.8, z -0.999..0.715. Back faces (the outside of the walls and "
            "ceiling) are black in the Cycles runs.")
    return (-2.5, 2.5), (-2.0, 2.0), regions, pairs, direct, note


PANEL_D = ((1.0, 1.0, 1.0), 10.0)


def split_room():
    mats = materials({"PanelLight": PANEL_D})
    room((-3.0, 3.0), (-2.0, 2.0), 2.7, mats)
    # The partition: 10 cm thick, floor to ceiling, wall to wall.
    rk.quad_object("PartitionLeft", [(-0.05, -2, 0), (-0.05, 2, 0), (-0.05, 2, 2.7), (-0.05, -2, 2.7)], (-1, 0, 0),
                   mats["Wall"])
    rk.quad_object("PartitionRight", [(0.05, -2, 0), (0.05, 2, 0), (0.05, 2, 2.7), (0.05, -2, 2.7)], (1, 0, 0),
                   mats["Wall"])
    lp = rk.lamp("PointLamp", "POINT", (-1.5, 0.0, 2.3), 100.0, radius=0.0)
    rk.quad_object("CeilingPanel", [(1.0, -0.5, 2.69), (2.0, -0.5, 2.69), (2.0, 0.5, 2.69), (1.0, 0.5, 2.69)],
                   (0, 0, -1), mats["PanelLight"])
    regions = [sq("lamp_half_below_light", -1.5, 0.0), sq("panel_half_below_light", 1.5, 0.0),
               sq("lamp_half_corner", -2.7, 1.7), sq("panel_half_corner", 2.7, 1.7),
               sq("lamp_half_near_partition", -0.3, 0.0), sq("panel_half_near_partition", 0.3, 0.0),
               ("lamp_half_whole_floor", (-3.0, -0.1), (-2.0, 2.0)), ("panel_half_whole_floor", (0.1, 3.0), (-2.0, 2.0))]
    pairs = [("lamp_half_below_light", "panel_half_below_light"), ("lamp_half_corner", "panel_half_corner"),
             ("lamp_half_near_partition", "panel_half_near_partition"),
             ("lamp_half_whole_floor", "panel_half_whole_floor")]
    direct = {"lamp_half_below_light": ("point", lp),
              "panel_half_below_light": ("rect", ((1.0, 2.0), (-0.5, 0.5), 2.69, PANEL_D))}
    note = ("Closed 6 x 4 x 2.7 m room split at x = 0 by a 10 cm partition (floor to ceiling, wall to wall) "
            "into two closed halves. The half x < 0 has a point lamp 2.3 m above (x, z) = (-1.5, 0); the half "
            "x > 0 has an emissive 1 x 1 m ceiling panel at y = 2.69, x 1..2, z -0.5..0.5, facing down, colour "
            "(1, 1, 1) x strength 10. Whole-floor regions stop 5 cm short of the partition.")
    return (-3.0, 3.0), (-2.0, 2.0), regions, pairs, direct, note


def area_lights():
    # Two area lamps over a floor, written to a .blend with nothing else.
    # The long one is tilted, so the floor sees its long and short sides
    # differently; the square one is scaled to 1 x 0.3 m and turned to face
    # +x and down, so part of the floor lies behind it.
    strip = rk.lamp("AreaStrip", "AREA", (-0.6, 0.3, 1.0), 60.0, colour=(1.0, 0.8, 0.6),
                 area=("RECTANGLE", 0.25, 1.6), rotation=(math.radians(35.0), 0.0, math.radians(40.0)))
    wall = rk.lamp("AreaScaled", "AREA", (1.0, -0.9, 0.7), 30.0, area=("SQUARE", 0.5, 0.5),
                rotation=(0.0, math.radians(-70.0), 0.0), scale=(2.0, 0.6, 1.0))
    bpy.context.view_layer.update()
    bpy.data.libraries.write(os.path.join(SCENE_DIR, "area-lights.blend"), {bpy.context.scene}, compress=False)
    mats = materials({})
    rk.quad_object("Floor", [(-2, -2, 0), (2, -2, 0), (2, 2, 0), (-2, 2, 0)], (0, 0, 1), mats["Floor"])
    # In Blender's frame: the strip's long axis runs along (-sin 40, cos 40)
    # on the floor, its short one along (cos 40, sin 40).
    c, s = math.cos(math.radians(40.0)), math.sin(math.radians(40.0))
    regions = [sq("below_strip", -0.6, 0.3), sq("strip_long_axis", -0.6 - 0.9 * s, 0.3 + 0.9 * c),
               sq("strip_short_axis", -0.6 + 0.9 * c, 0.3 + 0.9 * s), sq("in_front_of_scaled", 1.7, -0.9),
               sq("behind_scaled", 0.3, -0.3), sq("corner", -1.8, -1.8)]
    pairs = [("strip_long_axis", "strip_short_axis"), ("behind_scaled", "in_front_of_scaled")]
    direct = {r[0]: ("area", [strip, wall]) for r in regions}
    note = ("Blender's own .blend with two area lamps and nothing else: AreaStrip (0.25 x 1.6 m, 60 W, colour "
            "(1, 0.8, 0.6)) tilted above the floor and AreaScaled (a 0.5 m square scaled to 1 x 0.3 m, 30 W) facing "
            "+x and down. Cycles lit them over a floor the file does not hold: glTF y = 0, x -2..2, z -2..2, "
            "reflectance 0.5, lit side +y ('added_floor'); the file's coordinates are Blender's, Z up.")
    return (-2.0, 2.0), (-2.0, 2.0), regions, pairs, direct, note


SCENES = [("point-box", point_box), ("spot-box", spot_box), ("sun-window", sun_window), ("split-room", split_room),
          ("area-lights", area_lights)]


# ---------------------------------------------------------------- direct light
def direct_value(kind, source, region, floor_z=0.0, axis_cosine=False):
    """Unoccluded direct irradiance / pi, averaged over 20 x 20 points of the
    region, for the lamp units Blender documents: a point or spot lamp of
    power P has radiant intensity P / (4 pi) W/sr (a spot: inside its cone,
    with no further angular factor), a sun of strength S gives S W/m^2 at
    normal incidence; an area lamp of power P and area A, radiance
    P / (4 A) on the side it faces (the sum over the lamps in `source`)."""
    _name, (x0, x1), (y0, y1) = region
    xs = x0 + (np.arange(20) + 0.5) * (x1 - x0) / 20
    ys = y0 + (np.arange(20) + 0.5) * (y1 - y0) / 20
    P = np.array([(x, y, floor_z) for x in xs for y in ys])
    if kind in ("point", "spot"):
        obj = source
        L = np.array(obj.location)
        d = L[None, :] - P
        r2 = (d * d).sum(axis=1)
        cos_r = d[:, 2] / np.sqrt(r2)
        e = obj.data.energy / (4 * math.pi) * cos_r / r2 / math.pi
        if axis_cosine:   # times the cosine of the angle between the spot's axis and the direction to the point
            axis = np.array(obj.matrix_world.to_quaternion() @ Vector((0, 0, -1)))
            e = e * ((-d) @ axis) / np.sqrt(r2)
        return np.array([e.mean()] * 3)
    if kind == "sun":
        obj = source
        direction = obj.matrix_world.to_quaternion() @ Vector((0, 0, -1))
        return np.array([obj.data.energy * max(0.0, -direction.z) / math.pi] * 3)
    if kind == "rect":
        (ax0, ax1), (ay0, ay1), z, (colour, strength) = source
        nu, nv = 200, 200
        us = ax0 + (np.arange(nu) + 0.5) * (ax1 - ax0) / nu
        vs = ay0 + (np.arange(nv) + 0.5) * (ay1 - ay0) / nv
        pts = np.array([(u, v, z) for u in us for v in vs])
        da = (ax1 - ax0) * (ay1 - ay0) / (nu * nv)
        d = pts[None, :, :] - P[:, None, :]
        r2 = (d * d).sum(axis=2)
        cos_r = d[:, :, 2] / np.sqrt(r2)
        cos_e = d[:, :, 2] / np.sqrt(r2)   # emitter faces -z
        g = (cos_r * cos_e / r2).sum(axis=1).mean() * da / math.pi
        return g * strength * np.array(colour)
    if kind == "area":
        e = np.zeros(3)
        n = 100
        for obj in source:
            corners = [np.array(c) for c in rk.area_corners(obj)]
            u, v = corners[1] - corners[0], corners[3] - corners[0]
            area = np.linalg.norm(np.cross(u, v))
            facing = np.array(obj.matrix_world.to_quaternion() @ Vector((0, 0, -1)))
            facing /= np.linalg.norm(facing)
            t = (np.arange(n) + 0.5) / n
            pts = np.array([corners[0] + a * u + b * v for a in t for b in t])
            d = pts[None, :, :] - P[:, None, :]
            r = np.sqrt((d * d).sum(axis=2))
            cos_r = np.clip(d[:, :, 2] / r, 0.0, None)
            cos_e = np.clip(-(d @ facing) / r, 0.0, None)   # one-sided: only the side it faces
            g = (cos_r * cos_e / (r * r)).sum(axis=1).mean() * area / (n * n) / math.pi
            e += g * np.array(obj.data.color) * obj.data.energy / (4.0 * area)
        return e
    raise ValueError(kind)


def main():
    os.makedirs(SCENE_DIR, exist_ok=True)
    os.makedirs(FIXTURE_DIR, exist_ok=True)
    out = {
        "about": "Cycles reference numbers for the lamp scenes of scenes/lamps/; see README.md beside this file.",
        "frame": "glTF coordinates as in the files: metres, +y up; glTF (x, y, z) = Blender (x, z, -y)",
        "unit": "irradiance / pi of the floor, RGB: the outgoing radiance a white (albedo 1) Lambertian floor "
                "would have, in Blender's radiometric units (W / (m^2 sr)); the emissive panel's radiance is "
                "its colour x strength in the same unit, a point lamp of P W has intensity P / (4 pi) W/sr, which "
                "the exporter writes as P / (4 pi) x 683 cd",
        "reflectances": {k: list(v) for k, v in COLOURS.items()},
        "scenes": {},
    }
    if RUN_CYCLES:
        out["cycles"] = rk.cycles_meta(SAMPLES, SEEDS)
        out["cycles"]["materials"] = ("Lambertian (Diffuse BSDF, roughness 0) of the exported base colours, "
                                      "Emission of the exported colour and strength on the panel; back faces black "
                                      "and non-emitting. Lamps as in Blender (radius 0, sun angle 0).")
        out["cycles"]["method"] = out["cycles"]["method"].replace("bake_texel_m", "0.02 m")
    for name, build in SCENES:
        if ONLY is not None and name != ONLY:
            continue
        rk.clear()
        xr, yr, regions, pairs, direct, note = build()
        lamps = [o for o in bpy.context.scene.objects if o.type == "LIGHT"]
        if name == "area-lights":   # the builder wrote the .blend itself
            entry = {"file": "scenes/lamps/%s.blend" % name, "about": note, "triangles": 0,
                     "lamps": [rk.lamp_meta(o) for o in lamps],
                     "added_floor": dict(rk.gltf_region(xr, yr), y=0.0, reflectance=list(COLOURS["Floor"]))}
        else:
            path = os.path.join(SCENE_DIR, name + ".glb")
            bpy.ops.export_scene.gltf(filepath=path, export_format="GLB", export_yup=True, export_apply=True,
                                      export_materials="EXPORT", export_normals=True, export_cameras=False,
                                      export_lights=True, export_extras=False)   # default lighting mode: Standard
            assert os.path.getsize(path) < 2 * 1024 * 1024
            entry = {"file": "scenes/lamps/%s.glb" % name, "about": note, "triangles": rk.glb_triangles(path),
                     "lamps": [rk.lamp_meta(o) for o in lamps], "exported_lights": rk.gltf_lights(path),
                     "exported_emitters": rk.glb_emitters(path)}
        out["scenes"][name] = entry
        if not RUN_CYCLES:
            continue
        rk.cycles_settings(SAMPLES)
        rk.reference_materials({})
        floor = bpy.data.objects["Floor"]
        rk.add_bake_uv(floor, xr, yr)
        res = (int(round((xr[1] - xr[0]) / TEXEL)), int(round((yr[1] - yr[0]) / TEXEL)))
        per_seed, direct_seeds, timings = [], [], {}
        dregions = [r for r in regions if r[0] in direct]
        for seed in SEEDS:
            bpy.context.scene.cycles.seed = seed
            bpy.context.scene.cycles.samples = SAMPLES
            t = time.time()
            a = rk.bake_diffuse(floor, res, ("DIRECT", "INDIRECT"))
            timings["floor_seed%d" % seed] = round(time.time() - t, 1)
            per_seed.append(rk.region_means(a, xr, yr, regions))
            bpy.context.scene.cycles.samples = DIRECT_SAMPLES
            t = time.time()
            c = rk.bake_diffuse(floor, res, ("DIRECT",))
            timings["floor_direct_seed%d" % seed] = round(time.time() - t, 1)
            direct_seeds.append(rk.region_means(c, xr, yr, dregions))
        summary = rk.summarise(per_seed, regions)
        entry["floor"] = {"surface": "floor, y = 0, lit side +y", "bake_texel_m": TEXEL, "regions": summary,
                          "pairs": rk.pairs(summary, pairs, ("a", "b"))}
        checks = []
        for r in dregions:
            kind, source = direct[r[0]]
            mean, noise, _ = rk.two_seed_stats(direct_seeds[0][r[0]], direct_seeds[1][r[0]])
            expect = direct_value(kind, source, r)
            d = {"name": r[0], "emitter": kind}
            d.update(rk.gltf_region(r[1], r[2]))
            d["cycles_direct"] = rk.rnd(mean)
            d["cycles_direct_noise"] = rk.rnd(noise, 2)
            d["integrated"] = rk.rnd(expect)
            d["cycles_over_integrated"] = rk.rnd(mean / expect, 4)
            d["cycles_over_integrated_noise"] = rk.rnd(noise / expect, 2)
            if kind == "spot":
                expect2 = direct_value(kind, source, r, axis_cosine=True)
                d["integrated_times_axis_cosine"] = rk.rnd(expect2)
                d["cycles_over_integrated_times_axis_cosine"] = rk.rnd(mean / expect2, 4)
            checks.append(d)
        entry["direct_only_check"] = {
            "about": "Diffuse Direct bake alone (%d samples per texel, same seeds) against the unoccluded direct "
                     "irradiance / pi computed from the lamp's Blender values (point and spot: intensity P / (4 pi) "
                     "W/sr times cos / r^2 with no angular factor of the spot, and for the spot also times the "
                     "cosine of the angle from its axis; sun: S cos; panel: numerical integration of "
                     "L cos cos' / r^2; area lamps: the same with L = P / (4 A) on the side each faces), over "
                     "20 x 20 points of the region." % DIRECT_SAMPLES,
            "regions": checks}
        entry["timings_s"] = timings
        print("make-lamps: %s done" % name, timings)
    target = os.path.join(FIXTURE_DIR, "lamps.json")
    if not RUN_CYCLES:
        print("make-lamps: exported; --no-cycles given, no reference numbers")
        return
    if ONLY is not None:   # this scene's entry replaced, the others kept as they were
        with open(target) as f:
            kept = json.load(f)
        kept["scenes"][ONLY] = out["scenes"][ONLY]
        out = kept
    with open(target, "w") as f:
        json.dump(out, f, indent=1)
        f.write("\n")
    print("make-lamps: wrote", target)


main()

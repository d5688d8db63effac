# Blender script (run by scripts/make-room.sh) that builds the furnished test
# room, exports it with Blender's own glTF exporter and measures Cycles
# reference numbers on it. A development tool only: the build and the tests
# use the committed files and never need Blender.
#
#   blender --background --factory-startup --python-exit-code 1 \
#       --python scripts/blender/make-room.py -- SCENE_DIR FIXTURE_DIR \
#       [--no-cycles] [--lamp-room-only | --no-lamp-room]
#
# Writes:
#   SCENE_DIR/room.glb       the room, about 2,000 triangles
#   SCENE_DIR/room-17k.glb   the same with the monkey head subdivided (level 2)
#   SCENE_DIR/room.blend     the Blender file the exports were made from
#                            (only when it is under 2 MB)
#   SCENE_DIR/room-lamps.glb the room lit only by lamps (build_lamp_room)
#   FIXTURE_DIR/room.json    Cycles reference numbers (see the README.md there)
#   FIXTURE_DIR/room-lamps.json  the same for room-lamps.glb
#
# Coordinates here are Blender's (metres, Z up). The exporter writes glTF
# (x, y, z) = Blender (x, z, -y); every region in room.json is given in the
# glTF frame.
#
# GLOWBAKE_ROOM_SAMPLES and GLOWBAKE_LAMP_ROOM_SAMPLES override the bake
# sample counts (for a quick trial only: the committed numbers use the
# defaults below).

import json
import math
import os
import struct
import sys
import time

import bpy
import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import roomkit as rk  # noqa: E402

args = sys.argv[sys.argv.index("--") + 1:]
SCENE_DIR, FIXTURE_DIR = args[0], args[1]
RUN_CYCLES = "--no-cycles" not in args

SAMPLES = int(os.environ.get("GLOWBAKE_ROOM_SAMPLES", "2048"))
DIRECT_SAMPLES = max(SAMPLES // 4, 1)   # the direct-only units check
SEEDS = (1, 2)
DEBUG_DUMPS = bool(os.environ.get("GLOWBAKE_ROOM_DUMPS"))   # also save the seed-1 bakes as .npy in SCENE_DIR

# ---------------------------------------------------------------- the room
ROOM_X = (-2.5, 2.5)
ROOM_Y = (-2.0, 2.0)
ROOM_H = 2.7

# Floor checker: sRGB bytes of the two tiles (the PNG holds exactly these).
CHECK_LIGHT = (224, 214, 198)
CHECK_DARK = (140, 130, 126)
CHECK_TEXELS = 8          # a tile is 8 x 8 texels of the 64 x 64 image
CHECK_REPEAT_M = 2.0      # the image repeats every 2 m in x and y (tiles 0.25 m)

TABLE_X = (0.4, 1.6)      # table top 1.2 x 0.8 m, top surface at 0.75 m
TABLE_Y = (-0.4, 0.4)
TABLE_H = 0.75
TABLE_T = 0.04            # top thickness
LEG = 0.05                # legs 5 x 5 cm, 5 cm in from the top's edges
LEG_INSET = 0.05

MONKEY_AT = (0.95, 0.0)   # Suzanne's centre over the table (x, y); faces -y
MONKEY_SIZE = 0.4         # primitive_monkey_add size: about 0.55 m wide, 0.39 m high

BALL_AT = (-1.9, -1.2)
BALL_R = 0.25

PANEL_X = (-0.5, 0.5)     # ceiling panel 1 x 0.6 m, 1 cm below the ceiling, facing down
PANEL_Y = (-0.3, 0.3)
PANEL_Z = 2.69
WINDOW_X = (-0.8, 0.8)    # window 1.6 x 1.2 m on the wall y = -2, 1 cm in front of it
WINDOW_Z = (0.9, 2.1)
WINDOW_Y = -1.99

COLOURS = {
    "Wall": (0.70, 0.68, 0.62),
    "BackWall": (0.62, 0.38, 0.30),
    "Ceiling": (0.80, 0.80, 0.80),
    "Wood": (0.50, 0.33, 0.20),
    "Sofa": (0.25, 0.35, 0.55),
    "Ball": (0.70, 0.25, 0.20),
    "Monkey": (0.70, 0.55, 0.25),
    "PanelLight": (0.80, 0.80, 0.80),
    "WindowLight": (0.80, 0.80, 0.80),
}
EMITTERS = {
    "PanelLight": ((1.0, 0.93, 0.8), 10.0),
    "WindowLight": ((0.7, 0.85, 1.0), 3.0),
}


def build_room(lamp_room=False):
    """The room; with lamp_room, the lamp-lit variant's geometry: an opening
    where the window quad was, and the ceiling panel black and emitting the
    area lamp's radiance (see build_lamp_room)."""
    rk.clear()
    mats = {}
    for name, base in COLOURS.items():
        colour, strength = EMITTERS.get(name, ((0.0, 0.0, 0.0), 0.0))
        if lamp_room and name == "PanelLight":
            base, (colour, strength) = (0.0, 0.0, 0.0), AREA_AS_PANEL
        mats[name] = rk.principled(name, base, colour, strength)
    floor_png = os.path.join(SCENE_DIR, ".floor-checker.png")
    img = rk.checker_image("FloorChecker", 64, CHECK_TEXELS, CHECK_LIGHT, CHECK_DARK, floor_png)
    mats["Floor"] = rk.principled_textured("Floor", img)

    x0, x1 = ROOM_X
    y0, y1 = ROOM_Y
    h = ROOM_H
    floor = rk.quad_object("Floor", [(x0, y0, 0), (x1, y0, 0), (x1, y1, 0), (x0, y1, 0)], (0, 0, 1), mats["Floor"])
    uv = floor.data.uv_layers.new(name="UVMap")
    for loop in floor.data.loops:
        co = floor.data.vertices[loop.vertex_index].co
        uv.data[loop.index].uv = ((co.x - x0) / CHECK_REPEAT_M, (co.y - y0) / CHECK_REPEAT_M)
    rk.quad_object("Ceiling", [(x0, y0, h), (x1, y0, h), (x1, y1, h), (x0, y1, h)], (0, 0, -1), mats["Ceiling"])
    if not lamp_room:
        rk.quad_object("WallFront", [(x0, y0, 0), (x1, y0, 0), (x1, y0, h), (x0, y0, h)], (0, 1, 0), mats["Wall"])
    else:   # the wall around an opening where the window is
        (wx0, wx1), (wz0, wz1) = WINDOW_X, WINDOW_Z
        for name, (a0, a1, b0, b1) in (("WallFrontLeft", (x0, wx0, 0, h)), ("WallFrontRight", (wx1, x1, 0, h)),
                                       ("WallFrontBelow", (wx0, wx1, 0, wz0)), ("WallFrontAbove", (wx0, wx1, wz1, h))):
            rk.quad_object(name, [(a0, y0, b0), (a1, y0, b0), (a1, y0, b1), (a0, y0, b1)], (0, 1, 0), mats["Wall"])
    rk.quad_object("WallBack", [(x0, y1, 0), (x1, y1, 0), (x1, y1, h), (x0, y1, h)], (0, -1, 0), mats["BackWall"])
    rk.quad_object("WallLeft", [(x0, y0, 0), (x0, y1, 0), (x0, y1, h), (x0, y0, h)], (1, 0, 0), mats["Wall"])
    rk.quad_object("WallRight", [(x1, y0, 0), (x1, y1, 0), (x1, y1, h), (x1, y0, h)], (-1, 0, 0), mats["Wall"])

    px0, px1 = PANEL_X
    py0, py1 = PANEL_Y
    rk.quad_object("CeilingPanel", [(px0, py0, PANEL_Z), (px1, py0, PANEL_Z), (px1, py1, PANEL_Z), (px0, py1, PANEL_Z)],
                   (0, 0, -1), mats["PanelLight"])
    wx0, wx1 = WINDOW_X
    wz0, wz1 = WINDOW_Z
    if not lamp_room:
        rk.quad_object("Window", [(wx0, WINDOW_Y, wz0), (wx1, WINDOW_Y, wz0), (wx1, WINDOW_Y, wz1),
                                  (wx0, WINDOW_Y, wz1)], (0, 1, 0), mats["WindowLight"])

    # Sofa against the back wall, 5 cm from it: seat, back rest, two arms.
    # Boxes standing on the floor have no bottom face.
    rk.box_object("SofaSeat", (-0.9, 0.9), (1.15, 1.95), (0.0, 0.42), mats["Sofa"], skip=("-z",))
    rk.box_object("SofaBack", (-0.9, 0.9), (1.75, 1.95), (0.42, 0.85), mats["Sofa"])
    rk.box_object("SofaArmLeft", (-1.1, -0.9), (1.15, 1.95), (0.0, 0.62), mats["Sofa"], skip=("-z",))
    rk.box_object("SofaArmRight", (0.9, 1.1), (1.15, 1.95), (0.0, 0.62), mats["Sofa"], skip=("-z",))

    # Table: the top surface is an object of its own (so that it can be baked
    # alone); the slab's sides and underside are another; four legs (no top or
    # bottom faces: they touch the slab and the floor).
    tx0, tx1 = TABLE_X
    ty0, ty1 = TABLE_Y
    rk.quad_object("TableTop", [(tx0, ty0, TABLE_H), (tx1, ty0, TABLE_H), (tx1, ty1, TABLE_H), (tx0, ty1, TABLE_H)],
                   (0, 0, 1), mats["Wood"])
    rk.box_object("TableSlab", TABLE_X, TABLE_Y, (TABLE_H - TABLE_T, TABLE_H), mats["Wood"], skip=("+z",))
    for i, (lx, ly) in enumerate(leg_positions()):
        rk.box_object("TableLeg%d" % i, (lx, lx + LEG), (ly, ly + LEG), (0.0, TABLE_H - TABLE_T), mats["Wood"],
                      skip=("-z", "+z"))

    ball = rk.uv_sphere("Ball", (BALL_AT[0], BALL_AT[1], BALL_R), BALL_R, 32, 16, mats["Ball"])
    assert ball is not None
    rk.monkey("Monkey", MONKEY_AT, TABLE_H, MONKEY_SIZE, mats["Monkey"])
    return floor_png


def leg_positions():
    tx0, tx1 = TABLE_X
    ty0, ty1 = TABLE_Y
    return [(x, y) for x in (tx0 + LEG_INSET, tx1 - LEG_INSET - LEG) for y in (ty0 + LEG_INSET, ty1 - LEG_INSET - LEG)]


# ---------------------------------------------------------------- regions
# Regions are (name, (x0, x1), (y0, y1)) in Blender coordinates; room.json
# gives them in glTF coordinates.
def sq(name, cx, cy, half):
    return (name, (round(cx - half, 4), round(cx + half, 4)), (round(cy - half, 4), round(cy + half, 4)))


# Under the table (legs at x 0.45-0.50 and 1.50-1.55, y -0.35..-0.30 and
# 0.30..0.35) and their mirror images x -> -x, which are open floor at the
# same distances from the panel (the room is symmetric in x apart from the
# table, the monkey and the ball).
UNDER_TABLE = [
    sq("under_table_centre", 1.0, 0.0, 0.1),
    sq("under_table_inner", 0.7, 0.0, 0.1),
    sq("under_table_outer", 1.3, 0.0, 0.1),
    sq("under_table_front", 1.0, -0.2, 0.1),
    sq("under_table_back", 1.0, 0.2, 0.1),
]
OPEN_FLOOR = [(n.replace("under_table", "open_floor"), (-x1, -x0), y) for n, (x0, x1), y in UNDER_TABLE]
OTHER_FLOOR = [
    sq("below_panel", 0.0, 0.0, 0.1),
    sq("near_window", 0.0, -1.6, 0.1),
    sq("corner_front_left", -2.2, -1.7, 0.1),
    sq("corner_front_right", 2.2, -1.7, 0.1),
    sq("beside_ball", -1.4, -1.2, 0.1),
    sq("before_sofa", 0.0, 0.9, 0.1),
]
# Table top (top surface at 0.75 m): the monkey's bounds are about x
# 0.68-1.22, y -0.17..0.17 (room.json "monkey_bounds"); its chin touches the
# top near (0.93, -0.09). The panel is towards -x, so the head's shadow
# reaches past it towards +x. Each region is also baked with the monkey
# hidden, which gives the head's shadow factor region by region.
TABLE_TOP = [
    sq("under_head_centre", 0.95, 0.0, 0.05),
    sq("under_head_panel_side", 0.8, 0.0, 0.05),
    sq("under_head_far_side", 1.1, 0.0, 0.05),
    sq("head_shadow_beyond", 1.3, 0.0, 0.05),
    sq("behind_head", 0.95, 0.25, 0.05),
    sq("before_head", 0.95, -0.3, 0.05),
    sq("open_top_panel_side", 0.5, 0.0, 0.05),
    sq("open_top_corner_front", 1.5, -0.3, 0.05),
    sq("open_top_corner_back", 1.5, 0.3, 0.05),
]


# ---------------------------------------------------------------- exports
def export_glb(path, lights=False):
    # Lamps in the exporter's default (Standard) lighting mode.
    bpy.ops.export_scene.gltf(filepath=path, export_format="GLB", export_yup=True, export_apply=True,
                              export_materials="EXPORT", export_image_format="AUTO", export_normals=True,
                              export_texcoords=True, export_cameras=False, export_lights=lights,
                              export_extras=False, use_selection=False)


def check_glb_texture(path):
    """The PNG inside the .glb must hold the checker's bytes exactly."""
    data = open(path, "rb").read()
    doc = rk.glb_json(path)
    n = struct.unpack_from("<I", data, 12)[0]
    off = 20 + n
    bn, kind = struct.unpack_from("<II", data, off)
    assert kind == 0x004E4942
    binary = data[off + 8:off + 8 + bn]
    (image,) = doc["images"]
    view = doc["bufferViews"][image["bufferView"]]
    png = binary[view.get("byteOffset", 0):view.get("byteOffset", 0) + view["byteLength"]]
    tmp = os.path.join(SCENE_DIR, ".glb-texture.png")
    open(tmp, "wb").write(png)
    img = bpy.data.images.load(tmp)
    px = np.empty(64 * 64 * 4, dtype=np.float32)
    img.pixels.foreach_get(px)
    got = set(tuple(int(round(v * 255)) for v in p[:3]) for p in px.reshape(-1, 4))
    bpy.data.images.remove(img)
    os.remove(tmp)
    assert got == {CHECK_LIGHT, CHECK_DARK}, got


# ---------------------------------------------------------------- Cycles
def direct_reference(regions, emitters):
    """Direct irradiance/pi from the two rectangular emitters, unoccluded,
    by numerical integration over each region and each emitter: {region:
    {"both": rgb, "PanelLight": rgb, "WindowLight": rgb}}."""
    out = {}
    panel = rect_points((PANEL_X, PANEL_Y), PANEL_Z, "z", 400, 240)
    window = rect_points((WINDOW_X, WINDOW_Z), WINDOW_Y, "y", 320, 240)
    for name, (x0, x1), (y0, y1) in regions:
        xs = x0 + (np.arange(20) + 0.5) * (x1 - x0) / 20
        ys = y0 + (np.arange(20) + 0.5) * (y1 - y0) / 20
        P = np.array([(x, y, 0.0) for x in xs for y in ys])
        out[name] = {}
        total = np.zeros(3)
        for (pts, normal, da), key in ((panel, "PanelLight"), (window, "WindowLight")):
            colour, strength = emitters[key]
            d = pts[None, :, :] - P[:, None, :]
            r2 = (d * d).sum(axis=2)
            cos_r = d[:, :, 2] / np.sqrt(r2)                       # floor normal +z
            cos_e = -(d @ np.array(normal)) / np.sqrt(r2)         # emitter normal
            g = np.clip(cos_r, 0, None) * np.clip(cos_e, 0, None) / r2
            e_over_pi = g.sum(axis=1).mean() * da / math.pi
            out[name][key] = e_over_pi * strength * np.array(colour)
            total += out[name][key]
        out[name]["both"] = total
    return out


def rect_points(ranges, at, axis, nu, nv):
    (a0, a1), (b0, b1) = ranges
    us = a0 + (np.arange(nu) + 0.5) * (a1 - a0) / nu
    vs = b0 + (np.arange(nv) + 0.5) * (b1 - b0) / nv
    da = (a1 - a0) * (b1 - b0) / (nu * nv)
    if axis == "z":   # ceiling panel facing -z
        pts = np.array([(u, v, at) for u in us for v in vs])
        return pts, (0.0, 0.0, -1.0), da
    pts = np.array([(u, at, v) for u in us for v in vs])   # window facing +y
    return pts, (0.0, 1.0, 0.0), da


def run_cycles(meta):
    rk.cycles_settings(SAMPLES)
    bpy.context.scene.cycles.seed = SEEDS[0]
    panel = bpy.data.objects["CeilingPanel"]
    t = time.time()
    emission = [rk.emission_check(panel, (0.0, 0.0, 2.3), 0.4, EMITTERS["PanelLight"],
                                  "as exported (Principled BSDF, roughness 1, specular 0)")]
    rk.reference_materials(EMITTERS)
    emission.append(rk.emission_check(panel, (0.0, 0.0, 2.3), 0.4, EMITTERS["PanelLight"],
                                      "the Lambertian reference materials"))
    timings = {"emission_renders": round(time.time() - t, 1)}

    floor = bpy.data.objects["Floor"]
    top = bpy.data.objects["TableTop"]
    floor_res = (250, 200)      # 2 cm texels
    top_res = (120, 80)         # 1 cm texels
    rk.add_bake_uv(floor, ROOM_X, ROOM_Y)
    rk.add_bake_uv(top, TABLE_X, TABLE_Y)

    monkey = bpy.data.objects["Monkey"]
    floor_seeds, top_seeds, top_bare_seeds, grids, direct_seeds = [], [], [], [], []
    floor_regions = UNDER_TABLE + OPEN_FLOOR + OTHER_FLOOR
    for seed in SEEDS:
        bpy.context.scene.cycles.seed = seed
        t = time.time()
        a = rk.bake_diffuse(floor, floor_res, ("DIRECT", "INDIRECT"))
        timings["floor_seed%d" % seed] = round(time.time() - t, 1)
        floor_seeds.append(rk.region_means(a, ROOM_X, ROOM_Y, floor_regions))
        grids.append(a)
        if seed == SEEDS[0] and DEBUG_DUMPS:
            np.save(os.path.join(SCENE_DIR, ".floor-bake-seed%d.npy" % seed), a)
        t = time.time()
        b = rk.bake_diffuse(top, top_res, ("DIRECT", "INDIRECT"))
        timings["table_top_seed%d" % seed] = round(time.time() - t, 1)
        top_seeds.append(rk.region_means(b, TABLE_X, TABLE_Y, TABLE_TOP))
        monkey.hide_render = True
        t = time.time()
        b0 = rk.bake_diffuse(top, top_res, ("DIRECT", "INDIRECT"))
        timings["table_top_no_monkey_seed%d" % seed] = round(time.time() - t, 1)
        monkey.hide_render = False
        top_bare_seeds.append(rk.region_means(b0, TABLE_X, TABLE_Y, TABLE_TOP))
        if seed == SEEDS[0] and DEBUG_DUMPS:
            np.save(os.path.join(SCENE_DIR, ".top-bake-seed%d.npy" % seed), b)
            np.save(os.path.join(SCENE_DIR, ".top-bare-bake-seed%d.npy" % seed), b0)
        t = time.time()
        bpy.context.scene.cycles.samples = DIRECT_SAMPLES
        c = rk.bake_diffuse(floor, floor_res, ("DIRECT",))
        bpy.context.scene.cycles.samples = SAMPLES
        timings["floor_direct_seed%d" % seed] = round(time.time() - t, 1)
        direct_seeds.append({"both": rk.region_means(c, ROOM_X, ROOM_Y, DIRECT_REGIONS)})
        # Each emitter alone (the other hidden).
        for key, other in (("PanelLight", "Window"), ("WindowLight", "CeilingPanel")):
            bpy.data.objects[other].hide_render = True
            t = time.time()
            c = rk.bake_diffuse(floor, floor_res, ("DIRECT",))
            timings["floor_direct_%s_seed%d" % (key, seed)] = round(time.time() - t, 1)
            bpy.data.objects[other].hide_render = False
            direct_seeds[-1][key] = rk.region_means(c, ROOM_X, ROOM_Y, DIRECT_REGIONS)

    floor_summary = rk.summarise(floor_seeds, floor_regions)
    top_summary = rk.summarise(top_seeds, TABLE_TOP)
    floor_pairs = rk.pairs(floor_summary, [(u[0], o[0]) for u, o in zip(UNDER_TABLE, OPEN_FLOOR)])
    top_bare = rk.summarise(top_bare_seeds, TABLE_TOP)
    top_pairs = []
    for with_m, without in zip(top_summary, top_bare):
        e = {"region": with_m["name"]}
        e.update(rk.ratio_entry(with_m, without))
        top_pairs.append(e)

    # Direct light only, against numerical integration over the emitters, on
    # regions that see both emitters unoccluded: checks the units.
    analytic = direct_reference(DIRECT_REGIONS, EMITTERS)
    direct = []
    for name, xr, yr in DIRECT_REGIONS:
        d = {"name": name}
        d.update(rk.gltf_region(xr, yr))
        for key, label in (("both", ""), ("PanelLight", "panel_only_"), ("WindowLight", "window_only_")):
            mean, noise, _ = rk.two_seed_stats(direct_seeds[0][key][name], direct_seeds[1][key][name])
            ref = analytic[name][key]
            d[label + "cycles_direct"] = rk.rnd(mean)
            d[label + "cycles_direct_noise"] = rk.rnd(noise, 2)
            d[label + "integrated"] = rk.rnd(ref)
            d[label + "cycles_over_integrated"] = rk.rnd(mean / ref, 4)
            d[label + "cycles_over_integrated_noise"] = rk.rnd(noise / ref, 2)
        direct.append(d)

    # 0.2 m cells: 10 x 10 texels each; noise as in rk.two_seed_stats.
    cells = [g.reshape(20, 10, 25, 10, 3) for g in grids]
    grid = (cells[0].mean(axis=(1, 3)) + cells[1].mean(axis=(1, 3))) / 2.0
    grid_noise = (cells[0] - cells[1]).std(axis=(1, 3), ddof=1) / (2.0 * 10.0)

    meta["floor"] = {"surface": "floor, y = 0, lit side +y", "bake_texel_m": 0.02, "regions": floor_summary,
                     "pairs_under_table_vs_open": floor_pairs}
    meta["table_top"] = {"surface": "table top, y = %g, lit side +y" % TABLE_H, "bake_texel_m": 0.01,
                         "regions": top_summary,
                         "without_monkey": {"about": "the same bakes with the monkey head hidden (removed from the "
                                                     "scene); everything else unchanged", "regions": top_bare},
                         "ratio_with_vs_without_monkey": top_pairs}
    meta["floor_grid"] = {
        "about": "mean over 0.2 x 0.2 m cells of the whole floor, row-major: rows from glTF z = +2 (Blender y = -2, "
                 "the window wall) towards z = -2, columns from x = -2.5 to 2.5; 20 rows x 25 columns x RGB. Cells "
                 "under the sofa, the ball or a table leg hold the floor hidden by them (near 0 under the sofa).",
        "x": [ROOM_X[0], ROOM_X[1]], "z": [-ROOM_Y[0], -ROOM_Y[1]], "cell_m": 0.2, "rows": 20, "columns": 25,
        "values": [[rk.rnd(grid[r, c], 4) for c in range(25)] for r in range(20)],
        "noise_rms_relative": rk.rnd(float(np.sqrt(np.mean((grid_noise / np.maximum(grid, 1e-6))[grid > 0.05] ** 2))),
                                     2),
        "noise_max_relative": rk.rnd(float(np.max((grid_noise / np.maximum(grid, 1e-6))[grid > 0.05])), 2),
    }
    meta["direct_only_check"] = {
        "about": "Diffuse Direct bake alone (%d samples per texel, same seeds) on open-floor regions that see both emitters "
                 "unoccluded, against the direct irradiance/pi from numerical integration of L cos cos' / (pi r^2) "
                 "over the two emitter rectangles (20 x 20 points in the region, 400 x 240 on the panel, "
                 "320 x 240 on the window). A ratio of 1 confirms the unit of the baked numbers. The panel_only_ and "
                 "window_only_ entries are the same with the other emitter hidden." % DIRECT_SAMPLES,
        "regions": direct}
    meta["emission_check"] = emission
    meta["timings_s"] = timings


# ---------------------------------------------------------------- the lamp-lit room
# The same room lit only by Blender lamps: a point lamp (a floor lamp in the
# corner by the sofa), a spot on the ceiling above the table, the sun through
# an opening where the window quad was, and a rectangular Area lamp where the
# ceiling panel is. glTF has no area lights, so the exported file has the
# panel instead: black (an area lamp reflects nothing) and emitting the area
# lamp's radiance. Cycles' numbers are of the lamps themselves, the area
# lamp included, so they also check that replacement.
POINT_LAMP = ((-2.1, 1.0, 1.7), 60.0)
SPOT_LAMP = ((1.0, 0.0, 2.65), 150.0, math.radians(50.0), 0.15)   # pointing down
SUN_ELEVATION = math.radians(45.0)
SUN_AZIMUTH = math.radians(20.0)     # from straight in (+y) towards -x
SUN_STRENGTH = 3.0
AREA_POWER = 24.0                    # W; the lamp is the panel's rectangle, facing down
AREA_COLOUR = EMITTERS["PanelLight"][0]
# Cycles' rectangular area lamp of power P and area A has radiance P / (4 A)
# (area_lamp_check in room-lamps.json measures it): the panel's strength.
AREA_AS_PANEL = (AREA_COLOUR, AREA_POWER / (4.0 * (PANEL_X[1] - PANEL_X[0]) * (PANEL_Y[1] - PANEL_Y[0])))
LAMP_ROOM_SAMPLES = int(os.environ.get("GLOWBAKE_LAMP_ROOM_SAMPLES", "256"))

# Surfaces baked: object, the two world axes of its bake (Blender 0 = x, 1 =
# y, 2 = z) and their ranges, texel size, the plane (axis, value) and the
# lit side's normal (Blender frame).
LAMP_ROOM_SURFACES = {
    "floor": ("Floor", (0, 1), ROOM_X, ROOM_Y, 0.02, (2, 0.0), (0, 0, 1)),
    "table_top": ("TableTop", (0, 1), TABLE_X, TABLE_Y, 0.01, (2, TABLE_H), (0, 0, 1)),
    "wall_left": ("WallLeft", (1, 2), ROOM_Y, (0.0, ROOM_H), 0.02, (0, ROOM_X[0]), (1, 0, 0)),
    "wall_right": ("WallRight", (1, 2), ROOM_Y, (0.0, ROOM_H), 0.02, (0, ROOM_X[1]), (-1, 0, 0)),
    "wall_back": ("WallBack", (0, 2), ROOM_X, (0.0, ROOM_H), 0.02, (1, ROOM_Y[1]), (0, -1, 0)),
    "wall_front": ("WallFrontLeft", (0, 2), (ROOM_X[0], WINDOW_X[0]), (0.0, ROOM_H), 0.02, (1, ROOM_Y[0]),
                   (0, 1, 0)),
}
# The sunlit patch on the floor is the window seen along the sun: y from
# -2 + cos(20) 0.9 / tan(45) = -1.15 to -0.03, x from -0.8..0.8 at the wall
# shifting by -0.364 per metre of y. The spot's cone is 25 degrees (its blend
# from 21 degrees); every region inside it lies within 19 degrees of its axis.
LAMP_ROOM_REGIONS = [   # (surface, name, centre in the bake's two axes), 0.2 x 0.2 m (0.1 on the table)
    ("floor", "under_table", (1.0, 0.2)),          # the table shades it from the spot
    ("floor", "open_floor_mirror", (-1.0, 0.2)),   # its mirror image x -> -x, out of the sun and the spot
    ("floor", "sun_patch", (-0.5, -0.6)),
    ("floor", "spot_beside_table", (1.0, -0.75)),
    ("floor", "below_point_lamp", (-2.1, 1.0)),
    ("floor", "near_window", (0.0, -1.6)),
    ("floor", "corner_front_right", (2.2, -1.7)),
    ("floor", "before_sofa", (0.0, 1.0)),
    ("table_top", "under_head", (0.95, 0.0)),
    ("table_top", "open_top_panel_side", (0.5, 0.0)),
    ("table_top", "open_top_corner_front", (1.5, -0.3)),
    ("wall_left", "wall_left", (-1.0, 1.3)),
    ("wall_right", "wall_right", (0.0, 1.3)),
    ("wall_back", "wall_back", (1.8, 1.5)),
    ("wall_front", "wall_front", (-1.8, 1.5)),
]
AREA_CHECK = ("open_floor_mirror", "before_sofa", "near_window")


def lamp_room_region(surface, name, centre):
    half = 0.05 if surface == "table_top" else 0.1
    return (name, (round(centre[0] - half, 4), round(centre[0] + half, 4)),
            (round(centre[1] - half, 4), round(centre[1] + half, 4)))


def gltf_box(surface, region):
    """A region of a surface as glTF x, y, z ranges (the plane's axis holds
    one value) and the glTF normal."""
    _obj, axes, _ra, _rb, _texel, (plane_axis, plane_at), normal = LAMP_ROOM_SURFACES[surface]
    lo, hi = [0.0] * 3, [0.0] * 3
    for axis, (r0, r1) in zip(axes, region[1:]):
        lo[axis], hi[axis] = r0, r1
    lo[plane_axis] = hi[plane_axis] = plane_at
    return ({"x": [lo[0], hi[0]], "y": [lo[2], hi[2]], "z": [round(-hi[1], 4), round(-lo[1], 4)]},
            [normal[0], normal[2], -normal[1] if normal[1] else 0])


def add_lamps():
    (p_at, p_power) = POINT_LAMP
    (s_at, s_power, s_size, s_blend) = SPOT_LAMP
    sun_dir = (-math.sin(SUN_AZIMUTH) * math.cos(SUN_ELEVATION), math.cos(SUN_AZIMUTH) * math.cos(SUN_ELEVATION),
               -math.sin(SUN_ELEVATION))
    return [rk.lamp("FloorLamp", "POINT", p_at, p_power, radius=0.0),
            rk.lamp("CeilingSpot", "SPOT", s_at, s_power, direction=(0, 0, -1), radius=0.0, spot_size=s_size,
                    spot_blend=s_blend),
            rk.lamp("Sun", "SUN", (0.0, -4.0, 4.0), SUN_STRENGTH, direction=sun_dir, angle=0.0)]


def area_lamp():
    at = ((PANEL_X[0] + PANEL_X[1]) / 2, (PANEL_Y[0] + PANEL_Y[1]) / 2, PANEL_Z)
    return rk.lamp("CeilingArea", "AREA", at, AREA_POWER, colour=AREA_COLOUR,
                   area=("RECTANGLE", PANEL_X[1] - PANEL_X[0], PANEL_Y[1] - PANEL_Y[0]))   # faces down (-z) unturned


def build_lamp_room():
    """Builds and exports the lamp-lit room; returns the fixture's
    description of it (no Cycles numbers yet)."""
    floor_png = build_room(lamp_room=True)
    lamps = add_lamps()
    glb = os.path.join(SCENE_DIR, "room-lamps.glb")
    export_glb(glb, lights=True)
    os.remove(floor_png)
    lamps.append(area_lamp())   # after the export: for Cycles only
    assert os.path.getsize(glb) < 2 * 1024 * 1024
    colour, strength = AREA_AS_PANEL
    return {
        "about": "Cycles reference numbers for scenes/room/room-lamps.glb; see README.md beside this file.",
        "frame": "glTF coordinates as in the file: metres, +y up; glTF (x, y, z) = Blender (x, z, -y)",
        "unit": "irradiance / pi in Blender's radiometric units (W / (m^2 sr)), RGB per channel, as room.json",
        "reflectances": {k: list(v) for k, v in COLOURS.items() if k != "WindowLight"},
        "panel": {"about": "the ceiling panel of room.glb, here black, its emission the area lamp's radiance "
                           "(colour x strength = the lamp's colour x P / (4 A))",
                  "x": list(PANEL_X), "z": [-PANEL_Y[1], -PANEL_Y[0]], "y": PANEL_Z, "faces": "-y",
                  "base_colour": [0.0, 0.0, 0.0], "colour": list(colour), "strength": round(strength, 6),
                  "exported": rk.glb_emitters(glb)},
        "opening": {"about": "the window quad of room.glb is an opening in the wall z = +2 here",
                    "x": list(WINDOW_X), "y": list(WINDOW_Z), "z": -ROOM_Y[0]},
        "scenes": {"room-lamps": {
            "file": "scenes/room/room-lamps.glb",
            "about": "The furnished room of room.glb lit only by lamps: a point lamp by the sofa, a spot above the "
                     "table pointing down, the sun through an opening where the window was, and a rectangular area "
                     "lamp in the ceiling panel's place (exported as the emissive panel). Every lamp radius 0, "
                     "sun angle 0.",
            "triangles": rk.glb_triangles(glb),
            "lamps": [rk.lamp_meta(o) for o in lamps],
            "exported_lights": rk.gltf_lights(glb)}},
    }


def run_lamp_room_cycles(meta):
    """Bakes the lamp-lit room (built by build_lamp_room, the area lamp added
    there last) with the panel hidden: the lamps alone light it."""
    entry = meta["scenes"]["room-lamps"]
    rk.cycles_settings(LAMP_ROOM_SAMPLES)
    rk.reference_materials({})
    bpy.data.objects["CeilingPanel"].hide_render = True
    bakes = {}
    for surface, (obj, axes, ra, rb, texel, _plane, _n) in LAMP_ROOM_SURFACES.items():
        regions = [lamp_room_region(s, n, c) for s, n, c in LAMP_ROOM_REGIONS if s == surface]
        if regions:
            rk.add_bake_uv(bpy.data.objects[obj], ra, rb, axes)
            res = (int(round((ra[1] - ra[0]) / texel)), int(round((rb[1] - rb[0]) / texel)))
            bakes[surface] = (bpy.data.objects[obj], res, ra, rb, regions)
    per_seed, area_seeds, timings = [], [], {}
    area_regions = [lamp_room_region(s, n, c) for s, n, c in LAMP_ROOM_REGIONS if n in AREA_CHECK]
    for seed in SEEDS:
        bpy.context.scene.cycles.seed = seed
        bpy.context.scene.cycles.samples = LAMP_ROOM_SAMPLES
        blocks = {}
        for surface, (obj, res, ra, rb, regions) in bakes.items():
            t = time.time()
            a = rk.bake_diffuse(obj, res, ("DIRECT", "INDIRECT"))
            timings["%s_seed%d" % (surface, seed)] = round(time.time() - t, 1)
            blocks.update(rk.region_means(a, ra, rb, regions))
        per_seed.append(blocks)
        # The area lamp's direct light alone.
        others = [o for o in bpy.context.scene.objects if o.type == "LIGHT" and o.data.type != "AREA"]
        for o in others:
            o.hide_render = True
        bpy.context.scene.cycles.samples = max(LAMP_ROOM_SAMPLES // 4, 1)
        obj, res, ra, rb, _regions = bakes["floor"]
        t = time.time()
        c = rk.bake_diffuse(obj, res, ("DIRECT",))
        timings["floor_direct_area_lamp_seed%d" % seed] = round(time.time() - t, 1)
        area_seeds.append(rk.region_means(c, ra, rb, area_regions))
        for o in others:
            o.hide_render = False
    order = [lamp_room_region(s, n, c) for s, n, c in LAMP_ROOM_REGIONS]
    summary = rk.summarise(per_seed, order)
    regions = []
    for (surface, name, _c), region, s in zip(LAMP_ROOM_REGIONS, order, summary):
        box, normal = gltf_box(surface, region)
        d = {"name": name, "surface": surface, "normal": normal}
        d.update(box)
        d.update({k: s[k] for k in ("texels", "mean", "noise", "luminance", "luminance_noise", "seeds")})
        regions.append(d)
    entry["regions"] = regions
    colour, strength = AREA_AS_PANEL
    checks = []
    for r in area_regions:
        mean, noise, _ = rk.two_seed_stats(area_seeds[0][r[0]], area_seeds[1][r[0]])
        expect = panel_direct(r, colour, strength)
        d = {"name": r[0], "cycles_direct": rk.rnd(mean), "cycles_direct_noise": rk.rnd(noise, 2),
             "integrated_panel": rk.rnd(expect), "cycles_over_integrated": rk.rnd(mean / expect, 4)}
        checks.append(d)
    meta["area_lamp_check"] = {
        "about": "Diffuse Direct bake of the floor with the area lamp alone (%d samples per texel, same seeds) "
                 "against the direct irradiance / pi of the exported panel, integrated numerically "
                 "(L cos cos' / (pi r^2) over its rectangle, L = the lamp's colour x P / (4 A)): a ratio of 1 says "
                 "the panel stands for the lamp." % max(LAMP_ROOM_SAMPLES // 4, 1),
        "power_W": AREA_POWER, "size_m": [PANEL_X[1] - PANEL_X[0], PANEL_Y[1] - PANEL_Y[0]],
        "regions": checks}
    meta["cycles"] = rk.cycles_meta(LAMP_ROOM_SAMPLES, SEEDS)
    meta["cycles"]["materials"] = ("Lambertian (Diffuse BSDF, roughness 0) of the exported base colours (the floor "
                                   "its checker texture), back faces black; the exported panel hidden and the area "
                                   "lamp lighting instead. Lamps as in Blender (radius 0, sun angle 0).")
    meta["cycles"]["method"] = meta["cycles"]["method"].replace(
        "bake_texel_m", "0.02 m (the table top 0.01 m)")
    entry["timings_s"] = timings


def panel_direct(region, colour, strength):
    pts, normal, da = rect_points((PANEL_X, PANEL_Y), PANEL_Z, "z", 400, 240)
    _name, (x0, x1), (y0, y1) = region
    xs = x0 + (np.arange(20) + 0.5) * (x1 - x0) / 20
    ys = y0 + (np.arange(20) + 0.5) * (y1 - y0) / 20
    P = np.array([(x, y, 0.0) for x in xs for y in ys])
    d = pts[None, :, :] - P[:, None, :]
    r2 = (d * d).sum(axis=2)
    g = (d[:, :, 2] / np.sqrt(r2)) ** 2 / r2   # both cosines: the panel faces straight down
    return g.sum(axis=1).mean() * da / math.pi * strength * np.array(colour)


DIRECT_CHECK = ("open_floor_centre", "open_floor_inner", "open_floor_outer", "below_panel", "near_window")
DIRECT_REGIONS = [r for r in OPEN_FLOOR + OTHER_FLOOR if r[0] in DIRECT_CHECK]


def make_room():
    floor_png = build_room()
    monkey = bpy.data.objects["Monkey"]
    mb = rk.world_bounds(monkey)

    room_glb = os.path.join(SCENE_DIR, "room.glb")
    export_glb(room_glb)
    tris = rk.triangle_count()
    blend = os.path.join(SCENE_DIR, "room.blend")
    bpy.ops.wm.save_as_mainfile(filepath=blend, compress=True, copy=True)
    if os.path.getsize(blend) >= 2 * 1024 * 1024:
        os.remove(blend)
    for f in (blend + "1",):
        if os.path.exists(f):
            os.remove(f)

    check_glb_texture(room_glb)

    # The 17k variant: the head subdivided (level 2) and smooth shaded (which
    # also keeps the file small: shared vertices).
    sub = monkey.modifiers.new("Subdivision", "SUBSURF")
    sub.levels = 2
    sub.render_levels = 2
    for p in monkey.data.polygons:
        p.use_smooth = True
    room17 = os.path.join(SCENE_DIR, "room-17k.glb")
    export_glb(room17)
    tris17 = rk.triangle_count()
    monkey.modifiers.remove(sub)
    for p in monkey.data.polygons:
        p.use_smooth = False
    os.remove(floor_png)

    for path, n in ((room_glb, tris), (room17, tris17)):
        assert rk.glb_triangles(path) == n, (path, rk.glb_triangles(path), n)
        assert os.path.getsize(path) < 2 * 1024 * 1024, path

    meta = {
        "about": "Cycles reference numbers for scenes/room/room.glb; see README.md beside this file.",
        "scene": "scenes/room/room.glb",
        "triangles": tris,
        "frame": "glTF coordinates as in the file: metres, +y up; glTF (x, y, z) = Blender (x, z, -y)",
        "unit": "irradiance / pi in the emission's units: the outgoing radiance a white (albedo 1) Lambertian "
                "surface would have there, = (B - E) / reflectance; RGB per channel",
        "room": {"x": list(ROOM_X), "y": [0.0, ROOM_H], "z": [-ROOM_Y[1], -ROOM_Y[0]]},
        "table": {"top": {"x": list(TABLE_X), "z": [-TABLE_Y[1], -TABLE_Y[0]], "y": TABLE_H,
                          "thickness": TABLE_T},
                  "legs": [{"x": [lx, round(lx + LEG, 4)], "z": [round(-(ly + LEG), 4), round(-ly, 4)]}
                           for lx, ly in leg_positions()]},
        "monkey_bounds": {"x": rk.rnd([mb[0][0], mb[1][0]], 4), "y": rk.rnd([mb[0][2], mb[1][2]], 4),
                          "z": rk.rnd([-mb[1][1], -mb[0][1]], 4)},
        "ball": {"centre": [BALL_AT[0], BALL_R, -BALL_AT[1]], "radius": BALL_R},
        "sofa": {"x": [-1.1, 1.1], "z": [-1.95, -1.15], "y": [0.0, 0.85]},
        "emitters": {
            "CeilingPanel": {"x": list(PANEL_X), "z": [-PANEL_Y[1], -PANEL_Y[0]], "y": PANEL_Z, "faces": "-y",
                             "colour": list(EMITTERS["PanelLight"][0]), "strength": EMITTERS["PanelLight"][1]},
            "Window": {"x": list(WINDOW_X), "y": list(WINDOW_Z), "z": -WINDOW_Y, "faces": "-z",
                       "colour": list(EMITTERS["WindowLight"][0]), "strength": EMITTERS["WindowLight"][1]},
            "exported": rk.glb_emitters(room_glb),
        },
        "reflectances": {k: list(v) for k, v in COLOURS.items()},
        "floor_texture": rk.checker_stats(CHECK_LIGHT, CHECK_DARK, CHECK_TEXELS, 64, CHECK_REPEAT_M),
    }
    if not RUN_CYCLES:
        print("make-room: exported; --no-cycles given, no reference numbers")
        return
    meta["cycles"] = rk.cycles_meta(SAMPLES, SEEDS)
    run_cycles(meta)
    with open(os.path.join(FIXTURE_DIR, "room.json"), "w") as f:
        json.dump(meta, f, indent=1)
        f.write("\n")
    print("make-room: wrote", os.path.join(FIXTURE_DIR, "room.json"))


def make_lamp_room():
    meta = build_lamp_room()
    if not RUN_CYCLES:
        print("make-room: exported the lamp-lit room; --no-cycles given, no reference numbers")
        return
    run_lamp_room_cycles(meta)
    target = os.path.join(FIXTURE_DIR, "room-lamps.json")
    with open(target, "w") as f:
        json.dump(meta, f, indent=1)
        f.write("\n")
    print("make-room: wrote", target, meta["scenes"]["room-lamps"]["timings_s"])


def main():
    os.makedirs(SCENE_DIR, exist_ok=True)
    os.makedirs(FIXTURE_DIR, exist_ok=True)
    if "--lamp-room-only" not in args:
        make_room()
    if "--no-lamp-room" not in args:
        make_lamp_room()


main()

# Blender script (run by scripts/make-room.sh) that checks how an
# equirectangular world image lights a scene: it writes a small Radiance
# .hdr whose quarters (of the width) and halves (top, bottom) differ, makes
# it the world of a scene of six small cards facing the six glTF axis
# directions, exports the cards with Blender's glTF exporter and bakes
# Cycles' light on each card. A development tool only: the build and the
# tests use the committed files and never need Blender.
#
#   blender --background --factory-startup --python-exit-code 1 \
#       --python scripts/blender/make-sky.py -- SCENE_DIR FIXTURE_DIR [--no-cycles]
#
# Writes SCENE_DIR/quarters.hdr, SCENE_DIR/cards.glb and FIXTURE_DIR/sky.json
# (see the README.md there).
#
# The world is Blender's default: an Environment Texture node with no vector
# input (its default mapping) into the Background, strength 1. Coordinates
# here are Blender's (metres, Z up); sky.json gives everything in the glTF
# frame, (x, y, z) = Blender (x, z, -y).
#
# GLOWBAKE_SKY_SAMPLES overrides the bake sample count (for a quick trial).

import json
import math
import os
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

SAMPLES = int(os.environ.get("GLOWBAKE_SKY_SAMPLES", "128"))
SEEDS = (1, 2)

# The image: 64 x 32 texels, the width in four quarters of one colour each,
# the bottom half a quarter as bright as the top. Every value is a power of
# two, exact in the file's shared-exponent encoding.
WIDE, HIGH = 64, 32
QUARTERS = [(4.0, 1.0, 1.0), (1.0, 4.0, 1.0), (1.0, 1.0, 4.0), (2.0, 2.0, 2.0)]   # left to right
BOTTOM = 0.25

CARD_HALF = 0.25   # cards 0.5 x 0.5 m
CARD_DIST = 3.0    # each card 3 m from the origin along its own normal: no card sees another
# glTF normal -> Blender normal.
CARDS = [("card_+x", (1, 0, 0)), ("card_-x", (-1, 0, 0)), ("card_+z", (0, 0, 1)), ("card_-z", (0, 0, -1)),
         ("card_up", (0, 1, 0)), ("card_down", (0, -1, 0))]
BAKE_RES = 16


def blender_of(g):
    return (g[0], -g[2], g[1])


def sky_texels():
    """(HIGH, WIDE, 3), row 0 the top row of the file."""
    img = np.zeros((HIGH, WIDE, 3))
    for row in range(HIGH):
        for col in range(WIDE):
            c = np.array(QUARTERS[col * 4 // WIDE])
            img[row, col] = c if row < HIGH // 2 else c * BOTTOM
    return img


def rgbe(c):
    m = max(c)
    if m < 1e-32:
        return bytes(4)
    mant, e = math.frexp(m)
    scale = mant * 256.0 / m
    out = [int(v * scale) for v in c] + [e + 128]
    # The values are powers of two: they must round-trip exactly.
    for v, b in zip(c, out):
        assert abs(b * 2.0 ** (e - 8) - v) < 1e-12, (c, out)
    return bytes(out)


def write_hdr(path, img):
    """An uncompressed Radiance .hdr (flat RGBE scanlines, top row first)."""
    with open(path, "wb") as f:
        f.write(b"#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y %d +X %d\n" % (HIGH, WIDE))
        for row in range(HIGH):
            f.write(b"".join(rgbe(img[row, col]) for col in range(WIDE)))


# ---------------------------------------------------------------- mappings
def mapping_blender(d):
    """The hypothesis Glowbake implements: in Blender's frame, u = 0.5 -
    atan2(y, x) / 2 pi (the middle column along +x), v = 0.5 + asin(z) / pi
    (1 straight up, the top row)."""
    bx, by, bz = d
    return 0.5 - np.arctan2(by, bx) / (2 * math.pi), 0.5 + np.arcsin(np.clip(bz, -1, 1)) / math.pi


def mapping_left_edge_minus_z(d):
    """The alternative: the left edge along glTF -Z (Blender +y), a quarter
    across along glTF +X; a quarter turn from the one above."""
    u, v = mapping_blender(d)
    return np.mod(u + 0.25, 1.0), v


def card_integral(normal_gltf, img, mapping, n=400):
    """Cosine-weighted mean radiance over the card's hemisphere (its
    irradiance / pi) for an image mapping, by a midpoint rule on n x n
    cosine-distributed directions; nearest texel."""
    n_b = np.array(blender_of(normal_gltf), dtype=float)
    a = np.array((0.0, 0.0, 1.0)) if abs(n_b[2]) < 0.5 else np.array((1.0, 0.0, 0.0))
    t = np.cross(n_b, a)
    t /= np.linalg.norm(t)
    b = np.cross(n_b, t)
    i = (np.arange(n) + 0.5) / n
    u1, u2 = np.meshgrid(i, i)
    r = np.sqrt(u1.ravel())
    phi = 2 * math.pi * u2.ravel()
    x, y = r * np.cos(phi), r * np.sin(phi)
    z = np.sqrt(np.maximum(0.0, 1 - r * r))
    d = x[:, None] * t + y[:, None] * b + z[:, None] * n_b
    u, v = mapping(d.T)
    col = np.clip((u * WIDE).astype(int), 0, WIDE - 1)
    row = np.clip(((1 - v) * HIGH).astype(int), 0, HIGH - 1)
    return img[row, col].mean(axis=0)


# ---------------------------------------------------------------- scene
def build(hdr_path):
    rk.clear()
    mat = rk.principled("Card", (0.8, 0.8, 0.8))
    for name, n in CARDS:
        nb = np.array(blender_of(n), dtype=float)
        centre = nb * CARD_DIST
        a = np.array((0.0, 0.0, 1.0)) if abs(nb[2]) < 0.5 else np.array((1.0, 0.0, 0.0))
        t = np.cross(nb, a)
        b = np.cross(nb, t)
        corners = [tuple(centre + CARD_HALF * (s * t + q * b)) for s, q in ((-1, -1), (1, -1), (1, 1), (-1, 1))]
        obj = rk.quad_object(name, corners, tuple(nb), mat)
        uv = obj.data.uv_layers.new(name="BakeUV")
        for loop in obj.data.loops:
            co = np.array(obj.data.vertices[loop.vertex_index].co) - centre
            uv.data[loop.index].uv = (0.5 + co @ t / (2 * CARD_HALF), 0.5 + co @ b / (2 * CARD_HALF))


def set_world(hdr_path):
    world = bpy.data.worlds.new("Quarters")
    world.use_nodes = True
    nt = world.node_tree
    env = nt.nodes.new("ShaderNodeTexEnvironment")
    env.image = bpy.data.images.load(hdr_path)
    bg = nt.nodes["Background"]
    bg.inputs["Strength"].default_value = 1.0
    nt.links.new(env.outputs["Color"], bg.inputs["Color"])
    bpy.context.scene.world = world
    return env


def main():
    os.makedirs(SCENE_DIR, exist_ok=True)
    os.makedirs(FIXTURE_DIR, exist_ok=True)
    img = sky_texels()
    hdr = os.path.join(SCENE_DIR, "quarters.hdr")
    write_hdr(hdr, img)
    build(hdr)
    glb = os.path.join(SCENE_DIR, "cards.glb")
    bpy.ops.export_scene.gltf(filepath=glb, export_format="GLB", export_yup=True, export_apply=True,
                              export_materials="EXPORT", export_normals=True, export_cameras=False,
                              export_lights=False, export_extras=False)

    out = {
        "about": "Cycles reference numbers for scenes/sky/cards.glb lit by the world image scenes/sky/quarters.hdr; "
                 "see README.md beside this file.",
        "frame": "glTF coordinates as in the file: metres, +y up; glTF (x, y, z) = Blender (x, z, -y)",
        "unit": "irradiance / pi of each card's lit side, RGB, in the image's radiance units",
        "image": {"file": "scenes/sky/quarters.hdr", "wide": WIDE, "high": HIGH,
                  "quarters_left_to_right": [list(q) for q in QUARTERS], "bottom_half_factor": BOTTOM,
                  "note": "uncompressed RGBE, top row first; every value a power of two (exact in RGBE)"},
        "world": "Environment Texture (equirectangular, default mapping: no vector input, linear interpolation) into "
                 "the Background shader, strength 1",
        "scenes": {},
    }
    # Each card as a region of its plane: the axis of its normal holds one value.
    regions = []
    for name, n in CARDS:
        r = {"name": name, "normal": list(n)}
        for k, axis in enumerate("xyz"):
            c = n[k] * CARD_DIST
            r[axis] = [c, c] if n[k] != 0 else [-CARD_HALF, CARD_HALF]
        regions.append(r)
    entry = {"file": "scenes/sky/cards.glb", "sky": "scenes/sky/quarters.hdr",
             "about": "Six 0.5 x 0.5 m single-sided cards, each 3 m from the origin along its normal (+x, -x, +z, "
                      "-z, +y, -y), facing away from the origin, so no card sees another: only the world lights "
                      "them. Grey (0.8) Principled material as exported.",
             "triangles": rk.glb_triangles(glb), "regions": regions}
    out["scenes"]["sky-cards"] = entry

    # What each mapping predicts, from the image's exact values.
    pred = {}
    for label, mapping in (("middle_column_along_+x", mapping_blender),
                           ("left_edge_along_-z", mapping_left_edge_minus_z)):
        pred[label] = {name: rk.rnd(card_integral(n, img, mapping)) for name, n in CARDS}
    out["predicted_by_mapping"] = {
        "about": "each card's cosine-weighted mean of the image's radiance over its hemisphere, for two candidate "
                 "mappings (glTF axes): 'middle_column_along_+x' is u = 0.5 - atan2(-z, x) / 2 pi, v = 0.5 + "
                 "asin(y) / pi (v = 1 the top row); 'left_edge_along_-z' the same turned a quarter",
        "values": pred}

    if not RUN_CYCLES:
        print("make-sky: exported; --no-cycles given, no reference numbers")
        return
    rk.cycles_settings(SAMPLES)
    set_world(hdr)
    rk.reference_materials({})
    out["cycles"] = rk.cycles_meta(SAMPLES, SEEDS)
    out["cycles"]["world"] = out["world"]
    out["cycles"]["method"] = out["cycles"]["method"].replace("bake_texel_m", "card / %d" % BAKE_RES)
    per_seed, timings = [], {}
    full = [(r["name"], (0.0, 1.0), (0.0, 1.0)) for r in regions]
    for seed in SEEDS:
        bpy.context.scene.cycles.seed = seed
        blocks = {}
        t = time.time()
        for name, _n in CARDS:
            a = rk.bake_diffuse(bpy.data.objects[name], (BAKE_RES, BAKE_RES), ("DIRECT", "INDIRECT"))
            blocks.update(rk.region_means(a, (0.0, 1.0), (0.0, 1.0), [(name, (0.0, 1.0), (0.0, 1.0))]))
        timings["cards_seed%d" % seed] = round(time.time() - t, 1)
        per_seed.append(blocks)
    summary = rk.summarise(per_seed, full)
    for r, s in zip(regions, summary):
        for k in ("texels", "mean", "noise", "luminance", "luminance_noise", "seeds"):
            r[k] = s[k]
        for label in pred:
            r["cycles_over_" + label] = rk.rnd(np.array(s["mean"]) / np.array(pred[label][r["name"]]), 4)
    entry["timings_s"] = timings
    target = os.path.join(FIXTURE_DIR, "sky.json")
    with open(target, "w") as f:
        json.dump(out, f, indent=1)
        f.write("\n")
    print("make-sky: wrote", target, timings)


main()

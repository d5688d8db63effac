#!/usr/bin/env python3
"""Compares a Glowbake run with the Cycles numbers of tests/fixtures/cycles/,
region by region, from the run's --gltf file and its --irradiance .hdr atlas
(the same atlas: the glTF's TEXCOORD_0 are its coordinates).

    python3 scripts/check-regions.py FIXTURE.json SCENE LIT.glb IRRADIANCE.hdr

SCENE names the scene in the fixture's "scenes" (room.json has none: give
"-" for its floor and table-top regions). A region's value is the mean
irradiance of the atlas texels under 10 x 10 points spread over it (nearest
texel), the unit of the fixture's numbers; the table shows it beside Cycles'
luminance and their ratio. Plain Python 3, no other package.
"""

import json
import math
import struct
import sys

LUMA = (0.2126, 0.7152, 0.0722)


def read_hdr(path):
    """A Radiance .hdr (flat or run-length scanlines, -Y H +X W) ->
    (wide, high, rows of [r, g, b] floats, top row first)."""
    data = open(path, "rb").read()
    pos = 0
    while True:
        end = data.index(b"\n", pos)
        line = data[pos:end]
        pos = end + 1
        if line.startswith(b"-Y "):
            _, h, _, w = line.split()
            high, wide = int(h), int(w)
            break
    rows = []
    for _ in range(high):
        if wide >= 8 and data[pos] == 2 and data[pos + 1] == 2 and not data[pos + 2] & 0x80:
            pos += 4
            chans = []
            for _c in range(4):
                out = bytearray()
                while len(out) < wide:
                    n = data[pos]
                    pos += 1
                    if n > 128:
                        out += bytes([data[pos]]) * (n - 128)
                        pos += 1
                    else:
                        out += data[pos:pos + n]
                        pos += n
                chans.append(out)
            px = list(zip(*chans))
        else:
            px = [tuple(data[pos + 4 * i:pos + 4 * i + 4]) for i in range(wide)]
            pos += 4 * wide
        row = []
        for r, g, b, e in px:
            f = math.ldexp(1.0, e - 136) if e else 0.0
            row.append((r * f, g * f, b * f))
        rows.append(row)
    return wide, high, rows


def read_glb(path):
    """Every triangle of the file as (corners, texcoords): corners are
    three (x, y, z), texcoords three (u, v) of TEXCOORD_0."""
    data = open(path, "rb").read()
    n = struct.unpack_from("<I", data, 12)[0]
    doc = json.loads(data[20:20 + n])
    off = 20 + n
    bn = struct.unpack_from("<I", data, off)[0]
    binary = data[off + 8:off + 8 + bn]

    def accessor(i):
        a = doc["accessors"][i]
        view = doc["bufferViews"][a["bufferView"]]
        width = {"SCALAR": 1, "VEC2": 2, "VEC3": 3}[a["type"]]
        fmt = {5126: "f", 5125: "I", 5123: "H"}[a["componentType"]]
        size = struct.calcsize(fmt)
        stride = view.get("byteStride", width * size)
        base = view.get("byteOffset", 0) + a.get("byteOffset", 0)
        return [struct.unpack_from("<%d%s" % (width, fmt), binary, base + k * stride) for k in range(a["count"])]

    for node in doc["nodes"]:
        assert not any(k in node for k in ("matrix", "translation", "rotation", "scale")), "node transforms"
    tris = []
    for mesh in doc["meshes"]:
        for prim in mesh["primitives"]:
            pos = accessor(prim["attributes"]["POSITION"])
            uv = accessor(prim["attributes"]["TEXCOORD_0"])
            idx = [i[0] for i in accessor(prim["indices"])] if "indices" in prim else list(range(len(pos)))
            for k in range(0, len(idx), 3):
                c = idx[k:k + 3]
                tris.append(([pos[i] for i in c], [uv[i] for i in c]))
    return tris


def regions_of(fixture, scene):
    """(name, lo, hi, normal, cycles RGB) for every region, in glTF axes."""
    if scene == "-":
        lists = [(fixture["floor"]["regions"], 0.0), (fixture["table_top"]["regions"], fixture["table"]["top"]["y"])]
    else:
        s = fixture["scenes"][scene]
        lists = [(s["regions"], None)] if "regions" in s else [(s["floor"]["regions"], 0.0)]
    out = []
    for regions, y in lists:
        for r in regions:
            ys = r["y"] if "y" in r else [y, y]
            lo = [r["x"][0], ys[0], r["z"][0]]
            hi = [r["x"][1], ys[1], r["z"][1]]
            out.append((r["name"], lo, hi, r.get("normal", [0, 1, 0]), r["mean"]))
    return out


def sub(a, b):
    return [a[0] - b[0], a[1] - b[1], a[2] - b[2]]


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    fixture = json.load(open(sys.argv[1]))
    tris = read_glb(sys.argv[3])
    wide, high, rows = read_hdr(sys.argv[4])
    faces = []
    for corners, uvs in tris:
        e1, e2 = sub(corners[1], corners[0]), sub(corners[2], corners[0])
        n = [e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]]
        length = math.sqrt(sum(v * v for v in n))
        if length > 0:
            faces.append((corners, uvs, [v / length for v in n]))
    print("%-24s %-28s %8s %8s %7s" % ("region", "Glowbake RGB", "lum", "Cycles", "ratio"))
    for name, lo, hi, normal, cycles in regions_of(fixture, sys.argv[2]):
        axis = [abs(v) for v in normal].index(1)
        a, b = [k for k in range(3) if k != axis]
        cand = [f for f in faces if sum(f[2][k] * normal[k] for k in range(3)) > 0.99
                and all(abs(c[axis] - lo[axis]) < 0.01 for c in f[0])]
        total, count = [0.0, 0.0, 0.0], 0
        for i in range(10):
            for j in range(10):
                p = {a: lo[a] + (i + 0.5) / 10 * (hi[a] - lo[a]), b: lo[b] + (j + 0.5) / 10 * (hi[b] - lo[b])}
                for corners, uvs, _n in cand:
                    (x0, y0), (x1, y1), (x2, y2) = [(c[a], c[b]) for c in corners]
                    den = (y1 - y2) * (x0 - x2) + (x2 - x1) * (y0 - y2)
                    if den == 0:
                        continue
                    w0 = ((y1 - y2) * (p[a] - x2) + (x2 - x1) * (p[b] - y2)) / den
                    w1 = ((y2 - y0) * (p[a] - x2) + (x0 - x2) * (p[b] - y2)) / den
                    w2 = 1 - w0 - w1
                    if min(w0, w1, w2) < -1e-6:
                        continue
                    u = w0 * uvs[0][0] + w1 * uvs[1][0] + w2 * uvs[2][0]
                    v = w0 * uvs[0][1] + w1 * uvs[1][1] + w2 * uvs[2][1]
                    texel = rows[min(int(v * high), high - 1)][min(int(u * wide), wide - 1)]
                    total = [t + c for t, c in zip(total, texel)]
                    count += 1
                    break
        if count < 100:
            print("%-24s only %d of 100 points on a surface" % (name, count))
            if count == 0:
                continue
        ours = [t / count for t in total]
        lum = sum(w * c for w, c in zip(LUMA, ours))
        clum = sum(w * c for w, c in zip(LUMA, cycles))
        print("%-24s %8.4f %8.4f %8.4f  %8.4f %8.4f %7.3f" % (name, ours[0], ours[1], ours[2], lum, clum, lum / clum))


main()

#!/usr/bin/env bash
# Writes the sample models of scenes/ (scenes/*.mdl) from the descriptions
# below. Run it after changing a description: bash scripts/make-scenes.sh
#
# Every model is laid out for the viewer's start camera: the viewer draws a
# model point P at P + (-15, 10, 5) and its eye starts at (0, 25, 0) looking
# along +z, so in model coordinates the eye is at (15, 15, -5), looking along
# +z, with +x to the left of the picture and -x to the right. Each room either
# has its open side towards the eye or surrounds it.
#
# Surfaces are given as quads (corners in order around the edge) or boxes, each
# with the direction its lit side must face; the generator splits quads into two
# triangles and orders every triangle's corners so that its normal,
# normalise((v2 - v0) x (v1 - v0)), points that way.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="${1:-$here/scenes}"
mkdir -p "$out"

# Shared awk functions. Points and directions are strings "x y z".
read -r -d '' LIB <<'AWK' || true
function P(x, y, z) { return x " " y " " z }
function num(v) { v = sprintf("%.4f", v); sub(/0+$/, "", v); sub(/\.$/, "", v); return v == "-0" ? "0" : v }
function pt(p,   c) { split(p, c, " "); return num(c[1]) " " num(c[2]) " " num(c[3]) }
function material(name, reflect, emit) { MAT[name] = reflect "   " emit }
# One triangle facing `dir`.
function tri(a, b, c, dir, mat,   A, B, C, D, v, w, n, t) {
    split(a, A, " "); split(b, B, " "); split(c, C, " "); split(dir, D, " ")
    v[1] = C[1] - A[1]; v[2] = C[2] - A[2]; v[3] = C[3] - A[3]
    w[1] = B[1] - A[1]; w[2] = B[2] - A[2]; w[3] = B[3] - A[3]
    n[1] = v[2] * w[3] - v[3] * w[2]
    n[2] = v[3] * w[1] - v[1] * w[3]
    n[3] = v[1] * w[2] - v[2] * w[1]
    if (n[1] * D[1] + n[2] * D[2] + n[3] * D[3] < 0) { t = b; b = c; c = t }
    if (!(mat in MAT)) { print "unknown material " mat > "/dev/stderr"; exit 1 }
    LINES[++COUNT] = pt(a) "   " pt(b) "   " pt(c) "   " MAT[mat]
}
# A quad a-b-c-d (corners in order around it) as the triangles a b c and a c d.
function quad(a, b, c, d, dir, mat) { tri(a, b, c, dir, mat); tri(a, c, d, dir, mat) }
# An axis-aligned rectangle in the plane y = h, from (x0, z0) to (x1, z1).
function rectY(x0, z0, x1, z1, h, dir, mat) { quad(P(x0, h, z0), P(x1, h, z0), P(x1, h, z1), P(x0, h, z1), dir, mat) }
function rectX(y0, z0, y1, z1, h, dir, mat) { quad(P(h, y0, z0), P(h, y1, z0), P(h, y1, z1), P(h, y0, z1), dir, mat) }
function rectZ(x0, y0, x1, y1, h, dir, mat) { quad(P(x0, y0, h), P(x1, y0, h), P(x1, y1, h), P(x0, y1, h), dir, mat) }
# A box standing on y = y0, centred on (cx, cz), sx by sz wide, h high, turned
# by deg degrees about the vertical; four sides and the top (and the bottom
# when withBottom), every face lit on the outside.
function box(cx, cz, sx, sz, y0, h, deg, mat, withBottom,   a, c, s, i, px, pz, hx, hz, j, mx, mz) {
    a = deg * 3.14159265358979 / 180; c = cos(a); s = sin(a)
    hx[1] = -sx / 2; hz[1] = -sz / 2; hx[2] = sx / 2; hz[2] = -sz / 2
    hx[3] = sx / 2; hz[3] = sz / 2; hx[4] = -sx / 2; hz[4] = sz / 2
    for (i = 1; i <= 4; i++) { px[i] = cx + c * hx[i] - s * hz[i]; pz[i] = cz + s * hx[i] + c * hz[i] }
    for (i = 1; i <= 4; i++) {
        j = i % 4 + 1
        mx = (px[i] + px[j]) / 2 - cx; mz = (pz[i] + pz[j]) / 2 - cz
        quad(P(px[i], y0, pz[i]), P(px[j], y0, pz[j]), P(px[j], y0 + h, pz[j]), P(px[i], y0 + h, pz[i]), P(mx, 0, mz), mat)
    }
    quad(P(px[1], y0 + h, pz[1]), P(px[2], y0 + h, pz[2]), P(px[3], y0 + h, pz[3]), P(px[4], y0 + h, pz[4]), P(0, 1, 0), mat)
    if (withBottom)
        quad(P(px[1], y0, pz[1]), P(px[2], y0, pz[2]), P(px[3], y0, pz[3]), P(px[4], y0, pz[4]), P(0, -1, 0), mat)
}
function finish() { print COUNT; for (i = 1; i <= COUNT; i++) print LINES[i] }
AWK

scene() {  # scene NAME AWK-BODY
    awk "$LIB BEGIN { $2; finish() }" >"$out/$1.mdl"
    echo "wrote $out/$1.mdl ($(head -n1 "$out/$1.mdl") triangles)"
}

# Cornell room: a 30-unit cube, x 0..30, y 0..30, z 10..40, open towards the
# eye at z = 10. Red wall on the picture's left (x = 30), green on its right
# (x = 0), a square light in the middle of the ceiling, a short and a tall
# block.
scene cornell '
    material("white", "0.75 0.75 0.75", "0 0 0")
    material("red",   "0.70 0.10 0.08", "0 0 0")
    material("green", "0.15 0.60 0.12", "0 0 0")
    material("light", "0.75 0.75 0.75", "8 7.5 6.5")
    rectY(0, 10, 30, 40, 0, P(0, 1, 0), "white")       # floor
    rectZ(0, 0, 30, 30, 40, P(0, 0, -1), "white")      # back wall
    rectX(0, 10, 30, 40, 30, P(-1, 0, 0), "red")       # left wall
    rectX(0, 10, 30, 40, 0, P(1, 0, 0), "green")       # right wall
    # ceiling: a 3 x 3 grid of rectangles whose middle one is the light
    split("0 11 19 30", gx, " "); split("10 21 29 40", gz, " ")
    for (i = 1; i <= 3; i++) for (k = 1; k <= 3; k++)
        rectY(gx[i], gz[k], gx[i + 1], gz[k + 1], 30, P(0, -1, 0), (i == 2 && k == 2) ? "light" : "white")
    box(9.5, 20, 9, 9, 0, 9, -17, "white", 0)          # short block, front right
    box(20.5, 30, 9, 9, 0, 18, 17, "white", 0)         # tall block, back left
'

# Window room: a closed room around the eye (x 0..30, y 0..30, z -10..30)
# whose only light comes from an emitting panel outside a window in the left
# wall. The panel is larger than the window and fills it as seen from the eye;
# its light falls across the floor and onto the right and back walls.
scene window '
    material("white", "0.75 0.75 0.75", "0 0 0")
    material("floor", "0.60 0.45 0.30", "0 0 0")
    material("blue",  "0.35 0.45 0.70", "0 0 0")
    material("sky",   "0 0 0", "6 5.5 4.5")
    rectY(0, -10, 30, 30, 0, P(0, 1, 0), "floor")      # floor
    rectY(0, -10, 30, 30, 30, P(0, -1, 0), "white")    # ceiling
    rectZ(0, 0, 30, 30, 30, P(0, 0, -1), "blue")       # back wall
    rectZ(0, 0, 30, 30, -10, P(0, 0, 1), "white")      # front wall, behind the eye
    rectX(0, -10, 30, 30, 0, P(1, 0, 0), "white")      # right wall
    # left wall around a window from y 10 to 22 and z 8 to 22
    rectX(0, -10, 10, 30, 30, P(-1, 0, 0), "white")    # below the window
    rectX(22, -10, 30, 30, 30, P(-1, 0, 0), "white")   # above it
    rectX(10, -10, 22, 8, 30, P(-1, 0, 0), "white")    # in front of it
    rectX(10, 22, 22, 30, 30, P(-1, 0, 0), "white")    # behind it
    rectX(6, 14, 30, 42, 40, P(-1, 0, 0), "sky")       # the lit panel outside
'

# Table room: an open room like the Cornell room (open towards the eye at
# z = 10) with a ceiling light over an orange table on four legs; the table
# shades the floor beneath it and tints the ceiling and walls.
scene table '
    material("white",  "0.75 0.75 0.75", "0 0 0")
    material("orange", "0.85 0.45 0.12", "0 0 0")
    material("leg",    "0.40 0.30 0.22", "0 0 0")
    material("light",  "0.75 0.75 0.75", "8 8 8")
    rectY(0, 10, 30, 40, 0, P(0, 1, 0), "white")       # floor
    rectZ(0, 0, 30, 30, 40, P(0, 0, -1), "white")      # back wall
    rectX(0, 10, 30, 40, 30, P(-1, 0, 0), "white")     # left wall
    rectX(0, 10, 30, 40, 0, P(1, 0, 0), "white")       # right wall
    split("0 11 19 30", gx, " "); split("10 21 29 40", gz, " ")
    for (i = 1; i <= 3; i++) for (k = 1; k <= 3; k++)
        rectY(gx[i], gz[k], gx[i + 1], gz[k + 1], 30, P(0, -1, 0), (i == 2 && k == 2) ? "light" : "white")
    box(15, 26, 16, 10, 10, 1.2, 0, "orange", 1)       # table top
    split("8 22 22 8", lx, " "); split("22 22 30 30", lz, " ")
    for (i = 1; i <= 4; i++) {                         # legs, standing on the floor
        x0 = lx[i] - 0.5; x1 = lx[i] + 0.5; z0 = lz[i] - 0.5; z1 = lz[i] + 0.5
        rectZ(x0, 0, x1, 10, z0, P(0, 0, -1), "leg"); rectZ(x0, 0, x1, 10, z1, P(0, 0, 1), "leg")
        rectX(0, z0, 10, z1, x0, P(-1, 0, 0), "leg"); rectX(0, z0, 10, z1, x1, P(1, 0, 0), "leg")
    }
'

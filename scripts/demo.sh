#!/usr/bin/env bash
# scripts/demo.sh BUILD_DIR — the demo behind `make demo`: solves the Cornell
# room (scenes/cornell.mdl) into demo-out/cornell.out, exports it as
# demo-out/cornell.glb with its lightmap atlas as demo-out/cornell-lightmap.exr
# (linear) and demo-out/cornell-lightmap.png (the picture), writes
# demo-out/GlowbakeView.ini for the viewer and renders demo-out/cornell.png.
#
# The settings below take about a minute on a 2-core machine. For a quicker,
# coarser run they can be overridden from the environment:
#   DEMO_HEMICUBE  hemicube resolution (512; the error on small or distant
#                  sources such as the ceiling light falls as 1/N, the time
#                  grows as N^2)
#   DEMO_AREA      -a, maximum patch area before solving (4)
#   DEMO_SUBDIVIDE -s, subdivision threshold (0.05; larger splits less)
#   DEMO_TEXTURE   -t, texture size of the largest triangle (256)
#   DEMO_GAMMA     -g (0.3: the light is normalised to 1, this lifts the walls)
#   DEMO_OUT       output folder (demo-out in the current folder)
#   DEMO_GATHER    --gather, rays per texel of the final gather (0: none)
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "$1" && pwd)"
solver="$build/solver/Glowbake"
hemicubeTool="$build/tools/GlowbakeHemicube"
viewer="$build/viewer/GlowbakeViewer"
model="$here/scenes/cornell.mdl"

resolution="${DEMO_HEMICUBE:-512}"
area="${DEMO_AREA:-4}"
subdivide="${DEMO_SUBDIVIDE:-0.05}"
texture="${DEMO_TEXTURE:-256}"
gamma="${DEMO_GAMMA:-0.3}"
out="${DEMO_OUT:-demo-out}"
gather="${DEMO_GATHER:-0}"

for program in "$solver" "$hemicubeTool" "$viewer"; do
  if [ ! -x "$program" ]; then
    echo "demo: $program is missing; build first (make build)" >&2
    exit 1
  fi
done
mkdir -p "$out"
out="$(cd "$out" && pwd)"
hemicube="$out/hemicube$resolution.hc"
scene="$out/cornell.out"
picture="$out/cornell.png"
gltf="$out/cornell.glb"
atlasHdr="$out/cornell-lightmap.exr"
atlasPng="$out/cornell-lightmap.png"
solveLog="$out/cornell.log"

echo "== demo: hemicube $resolution x $resolution"
"$hemicubeTool" "$resolution" "$hemicube"

echo "== demo: solving $model (progress in $solveLog)"
command=("$solver" -m "$model" -h "$hemicube" -o "$scene" -w 1 -a "$area" -i 0.005 -s "$subdivide" -g "$gamma"
         -t "$texture" --gltf "$gltf" --lightmap "$atlasHdr" --lightmap "$atlasPng")
if [ "$gather" != 0 ]; then
  command+=(--gather "$gather")
fi
echo "   ${command[*]}"
start=$SECONDS
# The solver prints a line per projection and sweep; show the passes only.
"${command[@]}" | tee "$solveLog" | grep --line-buffered -E 'patch groups|^Subdivision restart|groups$|Outputing|^exposure|seconds elapsed' \
  | sed -u 's/^/   /' || true
if ! grep -q 'seconds elapsed' "$solveLog" || [ ! -s "$scene" ] || [ ! -s "$gltf" ]; then
  echo "demo: the solver did not finish; see $solveLog" >&2
  exit 1
fi
echo "   solved in $((SECONDS - start)) s"

# The viewer reads its settings from the current folder: window width and
# height, scene file, mouse Y flag (0: pointer up tilts the view down).
printf 'width 800\nheight 600\nscene cornell.out\nmouseY 0\n' >"$out/GlowbakeView.ini"

echo "== demo: rendering $picture"
snapshot() { (cd "$out" && LIBGL_ALWAYS_SOFTWARE=1 "$viewer" --snapshot "$picture"); }
rm -f "$picture"
if [ -n "${DISPLAY:-}" ] && snapshot; then
  :
elif command -v Xvfb >/dev/null; then
  # A private X server on a display number it picks itself.
  displayFile="$(mktemp)"
  Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp >"$displayFile" 2>/dev/null &
  xvfb=$!
  trap 'kill "$xvfb" 2>/dev/null || true; rm -f "$displayFile"' EXIT
  for _ in $(seq 100); do
    [ -s "$displayFile" ] && break
    sleep 0.1
  done
  if [ ! -s "$displayFile" ]; then
    echo "demo: Xvfb did not start" >&2
    exit 1
  fi
  DISPLAY=":$(head -n1 "$displayFile")" snapshot
else
  echo "demo: no display and no Xvfb (install xvfb); skipping the picture" >&2
fi
if [ ! -s "$picture" ]; then
  echo "demo: no picture was written; see $out/GlowbakeView.log" >&2
  exit 1
fi

cat <<EOF

Done.
  scene file: $scene
  picture:    $picture
  settings:   $out/GlowbakeView.ini
  glTF:       $gltf
  lightmap:   $atlasHdr (linear HDR), $atlasPng (as shown)

Open the glTF in any glTF viewer, or in Blender with File > Import > glTF 2.0
(the lighting is in the unlit base colour, so it shows as baked in any view
mode that draws textures).

Walk through the lit room:
  cd $out && $viewer
  E / D  forward / back          mouse  look around
  A / S  faster / slower         Z / X  more / less mouse sensitivity
  M      mouse look on / off     Q      quit
EOF

#!/usr/bin/env bash
# Builds the furnished test room (lit by emitters, and by lamps), the lamp
# scenes and the sky cards with Blender (scenes/room/room.glb, room-17k.glb,
# room.blend, room-lamps.glb; scenes/lamps/*.glb; scenes/sky/cards.glb,
# quarters.hdr) and measures their Cycles reference numbers
# (tests/fixtures/cycles/room.json, room-lamps.json, lamps.json, sky.json;
# see the README.md there). A development tool only: the build and the
# tests use the committed files and never need Blender.
#
#   bash scripts/make-room.sh                  # everything (35 to 45 minutes on 2 cores)
#   bash scripts/make-room.sh --no-cycles      # only the exports, no numbers
#   bash scripts/make-room.sh --room-only      # or --lamp-room-only, --lamps-only,
#                                              # --sky-only: one part
#   bash scripts/make-room.sh --lamps-scene=area-lights   # one lamp scene, its entry of lamps.json replaced
#
# Installs blender and python3-numpy (the glTF exporter needs it) when they
# are missing, then runs scripts/blender/make-room.py, make-lamps.py and
# make-sky.py in background mode, under nice.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/.." && pwd)"

. "$here/blender-deps.sh"
blender_deps make-room

room=1 lamp_room=1 lamps=1 sky=1 pass=()
for a in "$@"; do
  case "$a" in
    --room-only) lamp_room=0 lamps=0 sky=0 ;;
    --lamp-room-only) room=0 lamps=0 sky=0 ;;
    --lamps-only) room=0 lamp_room=0 sky=0 ;;
    --sky-only) room=0 lamp_room=0 lamps=0 ;;
    --no-cycles) pass+=("$a") ;;
    --lamps-scene=*) room=0 lamp_room=0 sky=0; pass+=(--only "${a#--lamps-scene=}") ;;
    *) echo "make-room: unknown option $a" >&2; exit 2 ;;
  esac
done

run() {  # run SCRIPT OUT_DIR [OPTION...]
  local script="$1" out="$2"
  shift 2
  mkdir -p "$out" "$root/tests/fixtures/cycles"
  nice -n 10 blender --background --factory-startup --python-exit-code 1 \
    --python "$here/blender/$script" -- "$out" "$root/tests/fixtures/cycles" "${pass[@]}" "$@"
}
if [ "$room" = 1 ] && [ "$lamp_room" = 1 ]; then
  run make-room.py "$root/scenes/room"
  echo "make-room: wrote $root/scenes/room"
elif [ "$room" = 1 ]; then
  run make-room.py "$root/scenes/room" --no-lamp-room
  echo "make-room: wrote $root/scenes/room"
elif [ "$lamp_room" = 1 ]; then
  run make-room.py "$root/scenes/room" --lamp-room-only
  echo "make-room: wrote $root/scenes/room/room-lamps.glb"
fi
if [ "$lamps" = 1 ]; then
  run make-lamps.py "$root/scenes/lamps"
  echo "make-room: wrote $root/scenes/lamps"
fi
if [ "$sky" = 1 ]; then
  run make-sky.py "$root/scenes/sky"
  echo "make-room: wrote $root/scenes/sky"
fi
[[ " ${pass[*]} " == *" --no-cycles "* ]] || echo "make-room: wrote the numbers in $root/tests/fixtures/cycles"

#!/usr/bin/env bash
# Writes the imported-scene test fixtures in tests/fixtures/ with Blender's
# own exporters (OBJ+MTL, .glb, .gltf). A development tool only: the build
# and the tests use the committed files and never need Blender.
#
# Installs blender and python3-numpy (the glTF exporter needs it) when they
# are missing, then runs scripts/make-fixtures.py in background mode.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
out="${1:-$here/../tests/fixtures}"

. "$here/blender-deps.sh"
blender_deps make-fixtures

mkdir -p "$out"
blender --background --factory-startup --python-exit-code 1 \
  --python "$here/make-fixtures.py" -- "$(cd "$out" && pwd)"
echo "make-fixtures: wrote $(cd "$out" && pwd)"

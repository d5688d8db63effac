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

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

missing=()
for p in blender python3-numpy; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -ne 0 ]; then
  echo "make-fixtures: installing ${missing[*]}"
  $SUDO apt-get update
  if ! $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"; then
    echo "make-fixtures: FAILED to install: ${missing[*]}" >&2
    exit 1
  fi
fi

mkdir -p "$out"
blender --background --factory-startup --python-exit-code 1 \
  --python "$here/make-fixtures.py" -- "$(cd "$out" && pwd)"
echo "make-fixtures: wrote $(cd "$out" && pwd)"

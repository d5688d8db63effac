#!/usr/bin/env bash
# Installs everything Glowbake needs to build, test and run, from Debian,
# the Khronos glTF validator from npm into tools/gltf-validator/, and
# three.js and puppeteer-core (which drives Debian's chromium in the page's
# test) from npm into web/.
# clang with its runtimes (libFuzzer, the sanitizers) and OpenMP builds the
# fuzz targets in tests/fuzz.
# Idempotent: when everything is already present it changes nothing.
set -euo pipefail

PACKAGES=(
  g++ cmake ninja-build make pkg-config
  libgtest-dev googletest libbenchmark-dev
  libtriangle-dev
  freeglut3-dev libglu1-mesa-dev libpng-dev
  libtinygltf-dev chromium
  xvfb xauth xdotool imagemagick
  libassimp-dev libstb-dev nlohmann-json3-dev
  libtinyexr-dev libopenexr-dev
  clang libclang-rt-dev libomp-dev
  libembree-dev
  libopenmpi-dev openmpi-bin
)
# Node.js runs the glTF validator in the tests. A machine may already have a
# node with its own npm (from another repository); Debian's packages are
# installed only when either command is missing.
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  PACKAGES+=(nodejs npm)
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# The npm packages' versions are pinned by each folder's package-lock.json;
# `npm ci` installs exactly those, and only when an installed one differs.
# install_npm FOLDER PACKAGE...
install_npm() {
  local dir="$1" pkg want have stale=""
  shift
  for pkg in "$@"; do
    want="$(node -e 'console.log(require(process.argv[1]).packages["node_modules/" + process.argv[2]].version)' \
              "$dir/package-lock.json" "$pkg")"
    have="$(node -e 'try { console.log(require(process.argv[1]).version) } catch (e) { console.log("") }' \
              "$dir/node_modules/$pkg/package.json")"
    if [ "$want" != "$have" ]; then
      stale="$stale $pkg@$want"
    fi
  done
  if [ -z "$stale" ]; then
    return 0
  fi
  echo "install-deps: installing$stale into $dir"
  if ! (cd "$dir" && npm ci --no-audit --no-fund --loglevel=error); then
    echo "install-deps: FAILED to install$stale with npm into $dir" >&2
    exit 1
  fi
}

install_node_packages() {
  install_npm "$here/tools/gltf-validator" gltf-validator
  install_npm "$here/web" three puppeteer-core
}

if [ ${#missing[@]} -eq 0 ]; then
  install_node_packages
  echo "install-deps: all dependencies present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
$SUDO apt-get update

# libtriangle-dev lives in Debian's non-free section; enable it for the
# running release only when the package has no install candidate.
candidate="$(apt-cache policy libtriangle-dev 2>/dev/null | awk '/Candidate:/ {print $2}')"
if [ -z "$candidate" ] || [ "$candidate" = "(none)" ]; then
  codename="$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")"
  list=/etc/apt/sources.list.d/glowbake-non-free.list
  echo "install-deps: libtriangle-dev has no candidate; enabling Debian non-free for $codename in $list"
  # apt refuses two entries for one archive with differing keyrings, so the
  # new entry reuses whatever Signed-By the existing Debian entry declares.
  keyring="$(grep -rhis '^ *Signed-By:' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n1 | awk '{print $2}')"
  if [ -z "$keyring" ]; then
    keyring="$(grep -rhos 'signed-by=[^] ]*' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null | head -n1 | cut -d= -f2)"
  fi
  opts=""
  if [ -n "$keyring" ]; then
    opts="[signed-by=$keyring] "
  fi
  echo "deb ${opts}http://deb.debian.org/debian $codename non-free" | $SUDO tee "$list" >/dev/null
  $SUDO apt-get update
fi

if ! $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"; then
  echo "install-deps: FAILED to install: ${missing[*]}" >&2
  exit 1
fi
install_node_packages
echo "install-deps: done"

#!/usr/bin/env bash
# Installs everything Glowbake needs to build, test and run, from Debian,
# and the Khronos glTF validator from npm into tools/gltf-validator/.
# clang with its runtimes (libFuzzer, the sanitizers) and OpenMP builds the
# fuzz targets in tests/fuzz.
# Idempotent: when everything is already present it changes nothing.
set -euo pipefail

PACKAGES=(
  g++ cmake ninja-build make pkg-config
  libgtest-dev googletest libbenchmark-dev
  libtriangle-dev
  freeglut3-dev libglu1-mesa-dev libpng-dev
  xvfb xauth xdotool imagemagick
  libassimp-dev libstb-dev nlohmann-json3-dev
  libtinyexr-dev libopenexr-dev
  clang libclang-rt-dev libomp-dev
  libembree-dev
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
validatorDir="$here/tools/gltf-validator"

# The validator's version is pinned by package-lock.json; `npm ci` installs
# exactly that, and only when the installed one differs.
install_validator() {
  local want have
  want="$(node -e 'console.log(require(process.argv[1]).packages["node_modules/gltf-validator"].version)' \
            "$validatorDir/package-lock.json")"
  have="$(node -e 'try { console.log(require(process.argv[1]).version) } catch (e) { console.log("") }' \
            "$validatorDir/node_modules/gltf-validator/package.json")"
  if [ "$want" = "$have" ]; then
    return 0
  fi
  echo "install-deps: installing gltf-validator $want into $validatorDir"
  if ! (cd "$validatorDir" && npm ci --no-audit --no-fund --loglevel=error); then
    echo "install-deps: FAILED to install gltf-validator with npm" >&2
    exit 1
  fi
}

if [ ${#missing[@]} -eq 0 ]; then
  install_validator
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
install_validator
echo "install-deps: done"

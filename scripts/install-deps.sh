#!/usr/bin/env bash
# Installs everything Glowbake needs to build, test and run, from Debian.
# Idempotent: when every package is already present it changes nothing.
set -euo pipefail

PACKAGES=(
  g++ cmake ninja-build make pkg-config
  libgtest-dev googletest libbenchmark-dev
  libtriangle-dev
  freeglut3-dev libglu1-mesa-dev libpng-dev
  xvfb xauth xdotool imagemagick
  libassimp-dev libstb-dev nlohmann-json3-dev
)

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

if [ ${#missing[@]} -eq 0 ]; then
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
echo "install-deps: done"

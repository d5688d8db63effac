# Sourced by the fixture scripts: installs Blender and numpy (development
# only; the build and the tests never need them) when either is missing.
# blender_deps NAME: NAME starts the script's messages.
blender_deps() {
  local name="$1" sudo="" p
  local missing=()
  if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
  fi
  for p in blender python3-numpy; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  if [ ${#missing[@]} -ne 0 ]; then
    echo "$name: installing ${missing[*]}"
    $sudo apt-get update
    if ! $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"; then
      echo "$name: FAILED to install: ${missing[*]}" >&2
      exit 1
    fi
  fi
}

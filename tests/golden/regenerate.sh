#!/usr/bin/env bash
# Reruns every golden scene with the current build and overwrites its scene
# file (NAME.out) and progress text (NAME.stdout, without the elapsed-seconds
# line). Only for a deliberate change of output: commit the new files with a
# message that says why they changed.
#
#   tests/golden/regenerate.sh [BUILD_DIR]     (default: build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
for cmd in "$here"/*.cmd; do
    name=$(basename "$cmd" .cmd)
    work=$(mktemp -d)
    cp "$here/$name.mdl" "$work/"
    while read -r program args; do
        case "$program" in
            GlowbakeHemicube) (cd "$work" && "$build/tools/GlowbakeHemicube" $args >/dev/null) ;;
            Glowbake) (cd "$work" && "$build/solver/Glowbake" $args) | grep -Ev '^[0-9]+ seconds elapsed\.$' >"$here/$name.stdout" ;;
            "") ;;
            *) echo "$cmd: unknown program $program" >&2; exit 1 ;;
        esac
    done <"$cmd"
    cp "$work/$name.out" "$here/$name.out"
    rm -rf "$work"
    echo "regenerated $name"
done

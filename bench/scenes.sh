#!/usr/bin/env bash
# Writes the scenes (and console output) of every real model under several option sets into a
# directory, dates removed, so that two builds can be compared with diff -r:
#   bench/scenes.sh build/tqr /tmp/after && diff -r /tmp/before /tmp/after
set -euo pipefail
tqr=$(realpath "$1")
out=$2
shared=$(realpath "$(dirname "$0")/../../shared")
mkdir -p "$out"
cd "$out"
options=("" "-ee -sw0 -sc -l -v" "-d -q4 -cg20,-60,-10 -b" "-p -studs0 -enp -scm -c4")
for i in "${!options[@]}"; do
    for model in "$shared"/models/*.ldr "$shared"/models/*.mpd; do
        name="$(basename "$model").$i"
        # shellcheck disable=SC2086
        (exec -a tqr "$tqr" -stdout -ldd"$shared/ldraw" -o ${options[$i]} "$model" "$name.pov") > "$name.out" 2>&1 || true
        sed -i -e 's|^// Date: .*$|// Date: -|' -e 's|^// WorkDir: .*$|// WorkDir: -|' "$name.pov"
    done
done

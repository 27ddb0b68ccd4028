#!/usr/bin/env bash
# A town far larger than any shared model: the shared Datsville placed N times on a grid (4 copies
# hold about 155,000 parts), converted with -mesh and rendered at 800x600 in the studio look. It
# prints the conversion time, the scene size and POV-Ray's time and peak memory: the check that
# such a picture is made on one machine.
#   bench/town.sh [build-dir] [copies] [extra tqr-render options...]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
copies=${2:-4}
shift $(($# > 2 ? 2 : $#))
shared=$(realpath ../shared)
town=$shared/models/datsville_rev002.013_inlined_n_boxed_n.mpd
[[ -f $town ]] || { echo "the shared Datsville is absent" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ln -s "$town" "$work/datsville.mpd"
# Datsville measures 23040 x 16660 LDU; the copies stand on a grid with room between them.
columns=$(awk -v n="$copies" 'BEGIN { c = int(sqrt(n)); if (c * c < n) c++; print c }')
{
    echo "0 Town of $copies Datsvilles"
    for ((i = 0; i < copies; i++)); do
        x=$(((i % columns) * 25000)) z=$(((i / columns) * 19000))
        echo "1 16 $x 0 $z 1 0 0 0 1 0 0 0 1 datsville.mpd"
    done
} >"$work/town.ldr"
echo "copies: $copies"
start=$(date +%s.%N)
"$build/tqr" -ldd"$shared/ldraw" -mesh "$work/town.ldr" "$work/town.pov" | grep 'Model has' || true
echo "convert: $(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN { printf "%.2f", e - s }') s, scene $(du -m "$work/town.pov" | cut -f1) MB"
/usr/bin/time -f "povray: %e s, peak %M KB" \
    "$build/tqr-render" --force --size 800x600 "$@" "$work/town.ldr" "$work/town.png" \
    -- -ldd"$shared/ldraw" 2>&1 | grep -E 'povray:|wrote|error|Error' || true
cp "$work/town.png" "$build/town.png" 2>/dev/null && echo "picture: $build/town.png"

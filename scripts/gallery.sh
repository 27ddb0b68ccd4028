#!/usr/bin/env bash
# Renders every model of ../shared/models in the studio look (or another) at 800x600 into build/gallery/,
# prints each model's convert and render time, and joins the pictures into a contact sheet
# (build/gallery/contact-sheet.png) with a small POV-Ray scene that tiles them.
# Usage: scripts/gallery.sh [--look LOOK] [--before BUILD_DIR] [model...]
#   (default: every .ldr and .mpd of ../shared/models)
#   --look LOOK         the look of tqr-render (studio, instructions, plain) instead of the studio;
#                       the pictures go to build/gallery-LOOK/
#   --before BUILD_DIR  also renders with the tqr-render of an older build (tqr beside it, its own
#                       look) into build/gallery/before/, and shows each model before and after
#                       side by side in build/gallery/before-after.png
set -euo pipefail
cd "$(dirname "$0")/.."

models_dir=../shared/models
ldraw=$(cd ../shared/ldraw && pwd)
out=build/gallery
size=800x600
before=
look=studio
if [[ ${1:-} == --look ]]; then
    look=${2:?--look needs a look}
    [[ $look == studio ]] || out=build/gallery-$look
    shift 2
fi
if [[ ${1:-} == --before ]]; then
    before=$(cd "${2:?--before needs a build directory}" && pwd)
    shift 2
    [[ -x $before/tqr-render ]] || { echo "no tqr-render in $before" >&2; exit 2; }
fi
mkdir -p "$out"

cmake -S . -B build-gallery -DTQR_TESTS=OFF -DTQR_BENCH=OFF >/dev/null
cmake --build build-gallery -j "$(nproc)" --target tqr tqr-render >/dev/null

if [[ $# -gt 0 ]]; then
    models=("$@")
else
    models=()
    for m in "$models_dir"/*.ldr "$models_dir"/*.mpd; do models+=("$m"); done
fi

failed=0
# render PROGRAM DIR: every model into DIR/<name>.png with a timing table; the names of the
# pictures written go to the array pictures.
render() {
    local program=$1 dir=$2 model name log times convert time
    pictures=()
    mkdir -p "$dir"
    printf '%-48s %10s %10s\n' "model ($dir)" convert render
    for model in "${models[@]}"; do
        name=$(basename "${model%.*}")
        log="$dir/$name.log"
        if "$program" --force --size "$size" --look "$look" "$model" "$dir/$name.png" -- "-ldd$ldraw" \
            >/dev/null 2>"$log"; then
            # tqr-render's last line: "wrote PATH (convert X s, render Y s)"
            times=$(sed -n 's/.*(convert \([0-9.]*\) s, render \([0-9.]*\) s)$/\1 \2/p' "$log" | tail -1)
            read -r convert time <<<"$times"
            printf '%-48s %8s s %8s s\n' "$name" "$convert" "$time"
            pictures+=("$name")
        else
            printf '%-48s %21s\n' "$name" "FAILED (see $log)"
            failed=1
        fi
    done
}

# sheet OUT COLUMNS TILE_W TILE_H PICTURE CAPTION [PICTURE CAPTION...]: one orthographic scene,
# each picture (a path relative to $out) on a tile with its caption below it.
sheet() {
    local name=$1 columns=$2 tile_w=$3 tile_h=$4 caption=28 gap=8
    shift 4
    local count=$(($# / 2))
    [[ $count -gt 0 ]] || return 0
    local rows=$(((count + columns - 1) / columns))
    local width=$((columns * (tile_w + gap) - gap)) height=$((rows * (tile_h + caption)))
    local scene="$out/$name.pov" i=0 x top text
    {
        echo '#version 3.7;'
        echo 'global_settings { assumed_gamma 1.0 }'
        echo 'background { rgb 1 }'
        echo "camera { orthographic location <$((width / 2)), $((-height / 2)), -10>"
        echo "    right $width*x up $height*y look_at <$((width / 2)), $((-height / 2)), 0> }"
        echo '#declare Flat = finish { emission 1 diffuse 0 }'
        while [[ $# -gt 0 ]]; do
            x=$(((i % columns) * (tile_w + gap))) top=$((-(i / columns) * (tile_h + caption)))
            text=${2//\\/\\\\}
            text=${text//\"/\\\"}
            echo "box { 0, <1, 1, 0.01> pigment { image_map { png \"$1\" once interpolate 2 } }"
            echo "    finish { Flat } scale <$tile_w, $tile_h, 1> translate <$x, $((top - tile_h)), 0> }"
            echo "text { ttf \"timrom.ttf\" \"$text\" 0.01, 0 pigment { rgb 0.1 } finish { Flat }"
            echo "    scale 14 translate <$((x + 6)), $((top - tile_h - 19)), -0.1> }"
            i=$((i + 1))
            shift 2
        done
    } >"$scene"
    if (cd "$out" && povray "+I$name.pov" "+O$name.png" "+W$width" "+H$height" +A0.1 \
        -D -P -V -GS -GR 2>"$name.log"); then
        echo "Contact sheet: $out/$name.png"
    else
        echo "contact sheet failed (see $out/$name.log)"
        failed=1
    fi
}

render build-gallery/tqr-render "$out"
after=("${pictures[@]}")
tiles=()
for name in "${after[@]}"; do tiles+=("$name.png" "$name"); done
sheet contact-sheet 3 320 240 "${tiles[@]}"

if [[ -n $before ]]; then
    render "$before/tqr-render" "$out/before"
    # Models that rendered both times, before on the left.
    tiles=()
    for name in "${after[@]}"; do
        for old in "${pictures[@]}"; do
            [[ $old == "$name" ]] && tiles+=("before/$name.png" "$name: before" "$name.png" "$name: after")
        done
    done
    sheet before-after 2 400 300 "${tiles[@]}"
fi
exit $failed

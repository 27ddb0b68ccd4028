#!/usr/bin/env bash
# Renders every model of ../shared/models in the studio look at 640x480 into build/gallery/,
# prints each model's convert and render time, and joins the pictures into a contact sheet
# (build/gallery/contact-sheet.png) with a small POV-Ray scene that tiles them.
# Usage: scripts/gallery.sh [model...]   (default: every .ldr and .mpd of ../shared/models)
set -euo pipefail
cd "$(dirname "$0")/.."

models_dir=../shared/models
ldraw=$(cd ../shared/ldraw && pwd)
out=build/gallery
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
pictures=()
printf '%-48s %10s %10s\n' model convert render
for model in "${models[@]}"; do
    name=$(basename "${model%.*}")
    log="$out/$name.log"
    if build-gallery/tqr-render --force --size 640x480 "$model" "$out/$name.png" \
        -- "-ldd$ldraw" >/dev/null 2>"$log"; then
        # tqr-render's last line: "wrote PATH (convert X s, render Y s)"
        times=$(sed -n 's/.*(convert \([0-9.]*\) s, render \([0-9.]*\) s)$/\1 \2/p' "$log" | tail -1)
        read -r convert render <<<"$times"
        printf '%-48s %8s s %8s s\n' "$name" "$convert" "$render"
        pictures+=("$name")
    else
        printf '%-48s %21s\n' "$name" "FAILED (see $log)"
        failed=1
    fi
done

# The contact sheet: one orthographic scene, each picture on a tile with its name below it.
columns=3 tile_w=320 tile_h=240 caption=28 gap=8
count=${#pictures[@]}
if [[ $count -gt 0 ]]; then
    rows=$(((count + columns - 1) / columns))
    width=$((columns * (tile_w + gap) - gap)) height=$((rows * (tile_h + caption)))
    sheet="$out/contact-sheet.pov"
    {
        echo '#version 3.7;'
        echo 'global_settings { assumed_gamma 1.0 }'
        echo 'background { rgb 1 }'
        echo "camera { orthographic location <$((width / 2)), $((-height / 2)), -10>"
        echo "    right $width*x up $height*y look_at <$((width / 2)), $((-height / 2)), 0> }"
        echo '#declare Flat = finish { emission 1 diffuse 0 }'
        i=0
        for name in "${pictures[@]}"; do
            x=$(((i % columns) * (tile_w + gap))) top=$((-(i / columns) * (tile_h + caption)))
            text=${name//\\/\\\\}
            text=${text//\"/\\\"}
            echo "box { 0, <1, 1, 0.01> pigment { image_map { png \"$name.png\" once interpolate 2 } }"
            echo "    finish { Flat } scale <$tile_w, $tile_h, 1> translate <$x, $((top - tile_h)), 0> }"
            echo "text { ttf \"timrom.ttf\" \"$text\" 0.01, 0 pigment { rgb 0.1 } finish { Flat }"
            echo "    scale 14 translate <$((x + 6)), $((top - tile_h - 19)), -0.1> }"
            i=$((i + 1))
        done
    } >"$sheet"
    (cd "$out" && povray +Icontact-sheet.pov +Ocontact-sheet.png "+W$width" "+H$height" +A0.1 \
        -D -P -V -GS -GR 2>contact-sheet.log) || {
        echo "contact sheet failed (see $out/contact-sheet.log)"
        failed=1
    }
    [[ -f "$out/contact-sheet.png" ]] && echo "Contact sheet: $out/contact-sheet.png"
fi
exit $failed

#!/usr/bin/env bash
# Builds tqr, converts the sample model against the sample library, and renders it to PNG when
# POV-Ray is installed. Output goes to build/sample/ (the binary to build-sample/).
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v cmake >/dev/null || ! command -v g++ >/dev/null; then
    apt-get update && apt-get install -y --no-install-recommends cmake g++ make
fi
cmake -S . -B build-sample -DTQR_TESTS=OFF -DTQR_BENCH=OFF >/dev/null
cmake --build build-sample -j "$(nproc)" --target tqr

mkdir -p build/sample
build-sample/tqr -lddsamples/ldraw -o samples/tower.ldr build/sample/tower.pov
if command -v povray >/dev/null; then
    povray +Ibuild/sample/tower.pov +Obuild/sample/tower.png +W640 +H480 +A0.3 -D -V >/dev/null 2>&1
    echo "Rendered build/sample/tower.png"
else
    echo "POV-Ray not installed: scene written to build/sample/tower.pov (apt-get install povray to render)"
fi

#!/usr/bin/env bash
# Builds tqr and tqr-render, converts the sample model against the sample library, and renders it
# in the studio look with tqr-render. Installs the compiler and POV-Ray with apt-get when they
# are missing. Output goes to build/sample/ (the binaries to build-sample/).
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v cmake >/dev/null || ! command -v g++ >/dev/null; then
    apt-get update && apt-get install -y --no-install-recommends cmake g++ make
fi
if ! command -v povray >/dev/null; then
    apt-get update && apt-get install -y --no-install-recommends povray
fi
cmake -S . -B build-sample -DTQR_TESTS=OFF -DTQR_BENCH=OFF >/dev/null
cmake --build build-sample -j "$(nproc)" --target tqr tqr-render

mkdir -p build/sample
build-sample/tqr -lddsamples/ldraw -o samples/tower.ldr build/sample/tower.pov
build-sample/tqr-render --force --size 640x480 samples/tower.ldr build/sample/tower.png \
    -- -lddsamples/ldraw
echo "Rendered build/sample/tower.png"

#!/usr/bin/env bash
# Builds tqr and tqr-render, converts the sample model against the sample library, and renders it
# in the studio look with tqr-render. Installs the compiler, libpng and POV-Ray with apt-get when they
# are missing. The programs go to build/ (where scripts/test.sh builds too), the picture and the
# scene to build/sample/.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v cmake >/dev/null || ! command -v g++ >/dev/null || [ ! -e /usr/include/png.h ]; then
    apt-get update && apt-get install -y --no-install-recommends cmake g++ make libpng-dev
fi
if ! command -v povray >/dev/null; then
    apt-get update && apt-get install -y --no-install-recommends povray
fi
cmake -S . -B build >/dev/null
cmake --build build -j "$(nproc)" --target tqr tqr-render

mkdir -p build/sample
build/tqr -lddsamples/ldraw -o samples/tower.ldr build/sample/tower.pov
build/tqr-render --force --size 640x480 samples/tower.ldr build/sample/tower.png \
    -- -lddsamples/ldraw
echo "Rendered build/sample/tower.png"

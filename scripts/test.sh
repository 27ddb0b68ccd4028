#!/usr/bin/env bash
# Configures, builds and runs every test, with warnings as errors. Without an argument in the
# default build (build/), with --release in an optimised build (build-release/), with --sanitize
# under AddressSanitizer and UndefinedBehaviorSanitizer (build-sanitize/). Installs the compiler,
# libpng, GoogleTest and POV-Ray with apt-get when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."

missing=()
command -v cmake >/dev/null || missing+=(cmake)
command -v g++ >/dev/null || missing+=(g++ make)
[ -e /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
[ -e /usr/include/png.h ] || missing+=(libpng-dev)
command -v povray >/dev/null || missing+=(povray)
# POV-Ray's own include files (colors.inc, which LGEO's colour file includes) are only a
# recommendation of the povray package.
[ -e /usr/share/povray-3.7/include/colors.inc ] || missing+=(povray-includes)
if [ ${#missing[@]} -gt 0 ]; then
    apt-get update && apt-get install -y --no-install-recommends "${missing[@]}"
fi

build=build
flags=(-DTQR_TESTS=ON -DTQR_WERROR=ON)
case "${1:-}" in
    --release) build=build-release flags+=(-DCMAKE_BUILD_TYPE=Release) ;;
    --sanitize) build=build-sanitize flags+=(-DTQR_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug) ;;
    "") ;;
    *) echo "usage: scripts/test.sh [--release|--sanitize]" >&2; exit 2 ;;
esac

cmake -S . -B "$build" "${flags[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)"
[ -x "$build/tqr_tests" ] || { echo "the test binary was not built (GoogleTest missing?)" >&2; exit 1; }
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"

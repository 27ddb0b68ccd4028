#!/usr/bin/env bash
# Configures, builds and runs every test. With --sanitize the same tests run in a build with
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
flags=(-DTQR_TESTS=ON -DTQR_WERROR=ON)
if [[ "${1:-}" == "--sanitize" ]]; then
    build=build-sanitize
    flags=(-DTQR_TESTS=ON -DTQR_WERROR=ON -DTQR_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
fi

cmake -S . -B "$build" "${flags[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"

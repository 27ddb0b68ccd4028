#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given number of seconds
# (default 60), starting from seed corpora made of the test data. Findings land in
# build-fuzz/findings/<target>/; turn each into a file under tests/hostile/ and fix it.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTQR_FUZZ=ON -DTQR_TESTS=OFF -DTQR_BENCH=OFF >/dev/null
cmake --build build-fuzz -j "$(nproc)"

seed() {  # target, then files and directories to copy into its corpus
    local dir=build-fuzz/corpus/$1
    mkdir -p "$dir"
    shift
    for source in "$@"; do
        [ -e "$source" ] && find "$source" -type f -size -64k -exec cp -n {} "$dir/" \; 2>/dev/null || true
    done
}
seed FuzzDatReader tests/golden tests/hostile samples ../shared/models/car.ldr ../shared/ldraw/parts/3001.dat
seed FuzzColourFile samples/ldraw/ldconfig.ldr ../shared/ldraw/LDConfig.ldr
seed FuzzIniFile tests/data/ini
seed FuzzLgeoLists tests/golden/lgeo_example/lgeo

for target in FuzzDatReader FuzzColourFile FuzzIniFile FuzzLgeoLists; do
    mkdir -p "build-fuzz/findings/$target"
    echo "== $target for ${seconds}s"
    build-fuzz/fuzz/$target "build-fuzz/corpus/$target" -max_total_time="$seconds" -max_len=65536 \
        -artifact_prefix="build-fuzz/findings/$target/" -print_final_stats=1 2>&1 |
        grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::average_exec_per_sec|==[0-9]+==ERROR|SUMMARY)|cov:' | tail -4
done

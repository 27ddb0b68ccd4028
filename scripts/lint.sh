#!/usr/bin/env bash
# Checks formatting against .clang-format and trailing whitespace.
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
files=$(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'fuzz/*.cpp' 'doc/*.cpp' 'doc/*.h')
if command -v clang-format >/dev/null; then
    for f in $files; do
        if ! clang-format --dry-run -Werror "$f" 2>/dev/null; then
            echo "needs clang-format: $f"
            status=1
        fi
    done
fi
if git grep -n -I -E '[[:space:]]+$' -- $files scripts .ci README.md; then
    echo "trailing whitespace found"
    status=1
fi
exit $status

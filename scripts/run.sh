#!/usr/bin/env bash
# Builds the program and starts it in examples/, beside the sample report
# and the two bitmaps it prints.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build/release

if [ ! -x build/release/bin/pelmdemo ]; then
    echo "Built the libraries; the program itself is not there yet."
    exit 0
fi
cd examples
exec ../build/release/bin/pelmdemo "$@"

#!/usr/bin/env bash
# Builds everything with warnings as errors and runs the whole test suite.
# Usage: scripts/test.sh [build-folder] [extra cmake arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."

build="${1:-build/test}"
shift || true

scripts/setup.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWARNINGS_AS_ERRORS=ON "$@"
cmake --build "$build"

# Qt wants a private runtime folder, and the tests never need a display.
runtime_dir="$(mktemp -d)"
chmod 700 "$runtime_dir"
trap 'rm -rf "$runtime_dir"' EXIT
export XDG_RUNTIME_DIR="$runtime_dir"
export QT_QPA_PLATFORM=offscreen

ctest --test-dir "$build" --output-on-failure -j 2

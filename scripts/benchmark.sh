#!/usr/bin/env bash
# Builds the benchmark programs (Release) and prints their figures:
# line reading against a plain getline loop, then whole reports printed
# through the program's engine, the report layer alone (an engine that does
# nothing), and two text-to-PDF pipelines.
# Usage: scripts/benchmark.sh [LINES ...]   (default 10000 100000 1000000)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build/release --target read_line_benchmark print_benchmark

runtime_dir="$(mktemp -d)"
chmod 700 "$runtime_dir"
trap 'rm -rf "$runtime_dir"' EXIT
export XDG_RUNTIME_DIR="$runtime_dir"

build/release/bin/read_line_benchmark
cd examples
../build/release/bin/print_benchmark "$@"

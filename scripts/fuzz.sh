#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for SECONDS (default 60).
# A finding stops the run with the fuzzer's report and a non-zero status;
# the input that found it is left in build/fuzz/findings/. Each target's
# output goes to build/fuzz/logs/; its runs and executions per second are shown.
# Usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
scripts/setup.sh
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFUZZ=ON
targets=(line_reader_fuzz number_text_fuzz text_operations_fuzz report_fuzz engine_fuzz)
cmake --build build/fuzz --target "${targets[@]}"

runtime_dir="$(mktemp -d)"
chmod 700 "$runtime_dir"
trap 'rm -rf "$runtime_dir"' EXIT
export XDG_RUNTIME_DIR="$runtime_dir"
export QT_QPA_PLATFORM=offscreen
export PELM32_EXAMPLES_DIR="$PWD/examples"
# Qt and fontconfig keep caches alive until exit; leaks are not what this hunts.
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

mkdir -p build/fuzz/findings build/fuzz/logs
for target in "${targets[@]}"; do
    # Absolute paths: a target may change its working folder.
    corpus="$PWD/build/fuzz/corpus/$target"
    mkdir -p "$corpus"
    seeds=()
    [ -d "tests/fuzz/seeds/$target" ] && seeds=("$PWD/tests/fuzz/seeds/$target")
    options=()
    [ -f "tests/fuzz/$target.dict" ] && options=("-dict=$PWD/tests/fuzz/$target.dict")
    # The engine says a line for every PDF: the log keeps that out of sight.
    log="$PWD/build/fuzz/logs/$target.log"
    echo "== $target for $seconds s"
    if ! build/fuzz/bin/"$target" -max_total_time="$seconds" -print_final_stats=1 "${options[@]}" \
        -artifact_prefix="$PWD/build/fuzz/findings/" "$corpus" "${seeds[@]}" >"$log" 2>&1; then
        tail -n 200 "$log"
        echo "== $target found a fault: its input is in build/fuzz/findings/, the whole log in $log"
        exit 1
    fi
    grep -E '^(Done|stat::)' "$log"
done

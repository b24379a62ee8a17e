#!/usr/bin/env bash
# The Windows engine under Wine against the Linux engine on the same machine,
# in one run: a report of LINES lines (about 70 characters each, as
# scripts/benchmark.sh prints) through pelmprint and pelmprint.exe, and
# through report_floor (the report layer alone: an engine that does
# nothing), each the best of two runs. Prints seconds (pelmprint's own, and
# from start to end with Wine's start), the engine's share (the whole less
# the floor), the PDFs' sizes, and Wine's figures as multiples of Linux's.
# Usage: scripts/windows-benchmark.sh [LINES]   (default 1000000)
# Builds build/release (Linux) and build/win (as scripts/windows.sh does).
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"

lines="${1:-1000000}"
scripts/setup.sh mingw-w64 g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64 dpkg-dev
deps="$(scripts/windows-deps.sh)"
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release --target pelmprint report_floor >/dev/null
cmake -S . -B build/win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$deps" >/dev/null
cmake --build build/win --target pelmprint report_floor >/dev/null

# shellcheck source=tests/windows/wine_prefix.sh
source tests/windows/wine_prefix.sh
work="$(mktemp -d)"
trap 'wine_prefix_stop; rm -rf "$work"' EXIT
wine_prefix_make "$PWD/build/win/wine"
# One Wine server for every run, its services started before the first
# (and holding none of the runs' pipes), so that each start costs the same.
wineserver -p
wine cmd /c exit </dev/null >/dev/null 2>&1

awk -v n="$lines" 'BEGIN {
    for (i = 1; i <= n; i++)
        printf "%08d  Invoice %06d  Customer account %05d  Amount %10.2f EUR\r\n",
            i, i * 7 % 1000000, i % 99991, (i % 100000) * 1.37
}' >"$work/report.txt"
cp examples/Logo.bmp examples/watermark.bmp "$work/"

# The seconds a command takes from start to end, best of two.
wall() {
    local best="" start seconds
    for run in 1 2; do
        start=$(date +%s.%N)
        "$@" >/dev/null 2>&1
        seconds=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')
        if [ -z "$best" ] || awk -v a="$seconds" -v b="$best" 'BEGIN { exit !(a < b) }'; then
            best="$seconds"
        fi
    done
    echo "$best"
}

# Runs a pelmprint twice on the report; prints the best run's seconds to
# print, its seconds from start to end, and the PDF's bytes.
measure() { # output-folder-as-the-program-names-it output-folder program...
    local best="" wall pdf start line seconds
    for run in 1 2; do
        rm -rf "$2" && mkdir -p "$2"
        start=$(date +%s.%N)
        line=$(cd "$work" && "${@:3}" -o "$1" report.txt 2>/dev/null)
        wall=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')
        pdf=$(find "$2" -name '*.pdf' -printf '%s')
        seconds=$(cut -f4 <<<"$line" | tr -d '\r')
        if [ -z "$best" ] || awk -v a="$seconds" -v b="${best%% *}" 'BEGIN { exit !(a < b) }'; then
            best="$seconds $wall $pdf"
        fi
    done
    echo "$best"
}

read -r linux linux_wall linux_pdf < <(measure "$work/linux" "$work/linux" \
    "$PWD/build/release/bin/pelmprint")
read -r wine wine_wall wine_pdf < <(measure 'C:\pelmbench' "$WINEPREFIX/drive_c/pelmbench" \
    wine "$PWD/build/win/bin/pelmprint.exe")
linux_floor=$(cd "$work" && wall "$root/build/release/bin/report_floor" report.txt)
wine_floor=$(cd "$work" && wall wine "$root/build/win/bin/report_floor.exe" report.txt)

awk -v lines="$lines" -v l="$linux" -v w="$wine" -v lw="$linux_wall" -v ww="$wine_wall" \
    -v lf="$linux_floor" -v wf="$wine_floor" -v lp="$linux_pdf" -v wp="$wine_pdf" 'BEGIN {
    printf "%d lines                          Linux   Wine   Wine/Linux\n", lines
    printf "print (pelmprint'"'"'s seconds)        %6.2f %6.2f   %5.2fx\n", l, w, w / l
    printf "start to end                      %6.2f %6.2f   %5.2fx\n", lw, ww, ww / lw
    printf "report layer alone (report_floor) %6.2f %6.2f   %5.2fx\n", lf, wf, wf / lf
    printf "engine (start to end less floor)  %6.2f %6.2f   %5.2fx\n", lw - lf, ww - wf, (ww - wf) / (lw - lf)
    printf "PDF bytes                       %8d %8d\n", lp, wp
}'

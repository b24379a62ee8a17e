#!/usr/bin/env bash
# Builds the program and starts it in examples/, beside the sample report
# and the two bitmaps it prints, so that Browse opens there.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build/release

program="$PWD/build/release/bin/pelmdemo"
if [ ! -x "$program" ]; then
    echo "run.sh: the build did not make $program" >&2
    exit 1
fi

# Without a display the window would open nowhere and wait for ever.
# QT_QPA_PLATFORM set by hand is taken as knowing what one does.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    cat >&2 <<'MESSAGE'
run.sh: the program is built, but there is no display to show its window on
(neither DISPLAY nor WAYLAND_DISPLAY is set). Run this from a desktop
session, or over ssh -X, or on a virtual X server: xvfb-run -a scripts/run.sh
MESSAGE
    exit 1
fi

cd examples
exec "$program" "$@"

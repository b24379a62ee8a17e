#!/usr/bin/env bash
# Builds the Windows program (pelmdemo.exe) and engine (pelm32.dll) with
# mingw-w64 and runs the Windows tests under Wine: the run-time and report
# tests, and the program on an X server of its own beside the Linux build's.
# Then the 32-bit build (in the Windows build folder's name with -i686),
# compiled and linked only: this machine runs no 32-bit code.
# Usage: scripts/windows.sh [windows-build-folder] [linux-build-folder]
set -euo pipefail
cd "$(dirname "$0")/.."

build="${1:-build/win}"
linux="${2:-build/win-host}"

scripts/setup.sh mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix libz-mingw-w64-dev \
    wine wine64 fonts-wine dpkg-dev icoutils wixl xclip

# HarfBuzz, FriBidi and libdeflate for Windows, built from Debian's sources once per version.
deps="$(scripts/windows-deps.sh)"

# The Linux program, whose PDF the Windows one's must match.
cmake -S . -B "$linux" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWARNINGS_AS_ERRORS=ON >/dev/null
cmake --build "$linux" --target pelmdemo

cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DWARNINGS_AS_ERRORS=ON -DCMAKE_PREFIX_PATH="$deps" \
    -DLINUX_PELMDEMO="$PWD/$linux/bin/pelmdemo" -DWINDOWS_SCREENSHOTS="${WINDOWS_SCREENSHOTS:-}"
cmake --build "$build"

# The test programs run in a prefix of this build's; the smoke test makes its own.
# shellcheck source=tests/windows/wine_prefix.sh
source tests/windows/wine_prefix.sh
trap wine_prefix_stop EXIT
wine_prefix_make "$PWD/$build/wine"

ctest --test-dir "$build" --output-on-failure -j 2

# The 32-bit engine and programs: built with warnings as errors, not run.
deps32="$(scripts/windows-deps.sh i686)"
cmake -S . -B "$build-i686" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake \
    -DCMAKE_BUILD_TYPE=Release -DWARNINGS_AS_ERRORS=ON -DCMAKE_PREFIX_PATH="$deps32"
cmake --build "$build-i686" --target pelm32 pelmdemo pelmprint c_caller

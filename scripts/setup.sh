#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need,
# and any named as arguments, but only when one of them is missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    googletest libgtest-dev
    qt6-base-dev libgl-dev qt6-wayland libqt6svg6
    zlib1g-dev libdeflate-dev libfontconfig-dev libfreetype-dev
    libharfbuzz-dev libfribidi-dev libharfbuzz-bin
    fonts-liberation2 fonts-dejavu-core fonts-droid-fallback fonts-symbola fontconfig
    fonts-urw-base35 fonts-noto-core fonts-noto-cjk
    poppler-utils qpdf
    clang libclang-rt-14-dev
    xvfb xdotool x11-utils procps locales weston desktop-file-utils
    enscript a2ps ghostscript
    cups libcups2-dev
    "$@"
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep "install ok installed" >/dev/null; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

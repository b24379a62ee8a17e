#!/usr/bin/env bash
# The Debian package of a build: made with CPack, its contents listed with
# dpkg-deb, its desktop entry validated, then unpacked into a scratch root
# where the command-line front end prints the sample report headless,
# finding the engine through its run path.
# Usage: package_test.sh BUILD_FOLDER
set -euo pipefail

build="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*"
    exit 1
}

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/package" >"$work/cpack.log" 2>&1 ||
    fail "cpack: $(tail -n 20 "$work/cpack.log")"
deb=$(find "$work/package" -maxdepth 1 -name '*.deb' | head -n1)
[ -n "$deb" ] || fail "no package made"

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for path in ./usr/bin/pelmdemo ./usr/bin/pelmprint ./usr/lib/pelmdemo/libpelm32.so \
    ./usr/share/applications/pelmdemo.desktop \
    ./usr/share/icons/hicolor/scalable/apps/pelmdemo.svg \
    ./usr/share/icons/hicolor/48x48/apps/pelmdemo.png \
    ./usr/share/pelmdemo/examples/sample-report.txt; do
    grep -qx -- "$path" <<<"$contents" || fail "$path is not in the package"
done
depends=$(dpkg-deb -f "$deb" Depends)
for package in libqt6widgets6 fonts-liberation2; do
    grep -q "$package" <<<"$depends" || fail "the package does not depend on $package: $depends"
done

root="$work/root"
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/pelmdemo.desktop" ||
    fail "the desktop entry is not valid"
for program in pelmdemo pelmprint; do
    engine=$(ldd "$root/usr/bin/$program" | awk '/libpelm32/ {print $3}')
    [ "$engine" = "$root/usr/bin/../lib/pelmdemo/libpelm32.so" ] ||
        fail "$program finds the engine at '$engine', not in its own tree"
done

cp -r "$root/usr/share/pelmdemo/examples" "$work/examples"
mkdir "$work/out"
line=$(cd "$work/examples" && env -u DISPLAY -u WAYLAND_DISPLAY \
    XDG_RUNTIME_DIR="$work" "$root/usr/bin/pelmprint" -o "$work/out" sample-report.txt) ||
    fail "pelmprint from the package: $line"
pages=$(cut -f3 <<<"$line")
[ "$pages" = 3 ] || fail "pelmprint from the package: $line"
[ "$(pdfinfo "$(cut -f2 <<<"$line")" | awk '/^Pages:/ {print $2}')" = 3 ] ||
    fail "the PDF from the package's front end has not 3 pages"
echo "PASS: $(basename "$deb"), $(wc -l <<<"$contents") entries, prints from its own tree"

#!/usr/bin/env bash
# Builds the Windows build's static HarfBuzz, FriBidi and libdeflate with
# mingw-w64 from Debian's source packages: the versions this Debian release
# has, with Debian's patches, so that both builds shape and order text and
# compress alike. Each goes to a cache folder of its package version:
#   ${PELMDEMO_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/pelmdemo}/mingw/<package>-<version>/
# (mingw-i686/ for the 32-bit build) with include/, lib/ and lib/pkgconfig/.
# A version already there is not built again. Prints the folders, separated
# by ';', for CMAKE_PREFIX_PATH; all else goes to standard error.
# Usage: scripts/windows-deps.sh [x86_64|i686]
set -euo pipefail

arch="${1:-x86_64}"
case "$arch" in
x86_64) cache_name=mingw ;;
i686) cache_name=mingw-i686 ;;
*)
    echo "windows-deps: the architecture is x86_64 or i686, not \"$arch\"" >&2
    exit 1
    ;;
esac
cache="${PELMDEMO_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/pelmdemo}/$cache_name"
# Bump when a build below changes, so that cached builds are made again.
recipe=1

cc=$arch-w64-mingw32-gcc-posix
cxx=$arch-w64-mingw32-g++-posix
ar=$arch-w64-mingw32-ar

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

log() { echo "windows-deps: $*" >&2; }

# apt-get source needs deb-src entries: the machine's own Debian archive's.
add_deb_src() {
    # shellcheck disable=SC2016 # apt's format, not the shell's
    if apt-get indextargets --format '$(CREATED_BY)' | grep -qx Sources; then
        return 0
    fi
    local own=/etc/apt/sources.list.d/debian.sources
    if [ ! -f "$own" ]; then
        log "no deb-src entry, and no $own to make one from"
        exit 1
    fi
    log "adding deb-src entries for the archive of $own"
    sed 's/^Types:.*/Types: deb-src/' "$own" | $sudo tee /etc/apt/sources.list.d/debian-src.sources >/dev/null
}

apt_update() {
    $sudo apt-get -o DPkg::Lock::Timeout=600 update >&2
}

# The newest version of a source package, the one apt-get source fetches.
version_of() {
    local newest="" v
    for v in $(apt-cache showsrc --only-source "$1" 2>/dev/null | sed -n 's/^Version: //p'); do
        if [ -z "$newest" ] || dpkg --compare-versions "$v" gt "$newest"; then
            newest="$v"
        fi
    done
    echo "$newest"
}

versions() {
    hb_version="$(version_of harfbuzz)"
    fb_version="$(version_of fribidi)"
    ld_version="$(version_of libdeflate)"
}

versions
if [ -z "$hb_version" ] || [ -z "$fb_version" ] || [ -z "$ld_version" ]; then
    add_deb_src
    apt_update
    versions
fi
if [ -z "$hb_version" ] || [ -z "$fb_version" ] || [ -z "$ld_version" ]; then
    log "apt knows no source package harfbuzz, fribidi or libdeflate"
    exit 1
fi

hb_prefix="$cache/harfbuzz-${hb_version#*:}"
fb_prefix="$cache/fribidi-${fb_version#*:}"
ld_prefix="$cache/libdeflate-${ld_version#*:}"

built() { [ "$(cat "$1/.built" 2>/dev/null)" = "recipe $recipe" ]; }

work=""
cleanup() { [ -z "$work" ] || rm -rf "$work"; }
trap cleanup EXIT

# Fetches and unpacks (Debian's patches applied) a source package into $work/src.
fetch() { # package version
    local options=(--only-source -q)
    # As root apt would download as _apt, which may not reach this folder.
    [ -n "$sudo" ] || options+=(-o APT::Sandbox::User=root)
    log "fetching $1 $2"
    mkdir -p "$work/src"
    (cd "$work/src" && apt-get source "${options[@]}" "$1=$2" >&2)
}

# Moves a finished build into place; a concurrent run that got there first wins.
install_prefix() { # stage prefix
    echo "recipe $recipe" >"$1/.built"
    built "$2" && return 0
    rm -rf "$2" # an older recipe's
    mv -T "$1" "$2" 2>/dev/null || built "$2"
}

# Writes a pkg-config file whose prefix is the folder it lies in, two up.
pc_file() { # folder name description version libs cflags
    mkdir -p "$1/lib/pkgconfig"
    cat >"$1/lib/pkgconfig/$2.pc" <<EOF
prefix=\${pcfiledir}/../..
includedir=\${prefix}/include
libdir=\${prefix}/lib

Name: $2
Description: $3
Version: $4
Libs: $5
Cflags: $6
EOF
}

build_harfbuzz() {
    local src stage upstream
    src="$(echo "$work"/src/harfbuzz-*/)"
    stage="$work/stage"
    upstream="$(sed -n 's/^#define HB_VERSION_STRING "\(.*\)"/\1/p' "$src/src/hb-version.h")"
    mkdir -p "$stage/include/harfbuzz" "$stage/lib" "$work/obj"
    log "building harfbuzz $hb_version"
    # The single amalgamated source, with the flags of HarfBuzz's own build;
    # no FreeType, GLib, ICU, Graphite or Windows shapers: fonts are handed
    # over as bytes and shaped by HarfBuzz's own OpenType code. Big objects:
    # the amalgamation has more sections than PE/COFF's default allows.
    "$cxx" -O2 -w -fno-exceptions -fno-rtti -fno-threadsafe-statics -fvisibility-inlines-hidden \
        -Wa,-mbig-obj -c "$src/src/harfbuzz.cc" -o "$work/obj/harfbuzz.o"
    "$ar" rcs "$stage/lib/libharfbuzz.a" "$work/obj/harfbuzz.o"
    # The headers of Debian's libharfbuzz-dev, less those of the integrations left out.
    local h
    for h in hb.h hb-aat.h hb-aat-layout.h hb-blob.h hb-buffer.h hb-common.h hb-cplusplus.hh \
        hb-deprecated.h hb-draw.h hb-face.h hb-font.h hb-map.h hb-ot.h hb-ot-color.h \
        hb-ot-deprecated.h hb-ot-font.h hb-ot-layout.h hb-ot-math.h hb-ot-meta.h hb-ot-metrics.h \
        hb-ot-name.h hb-ot-shape.h hb-ot-var.h hb-set.h hb-shape.h hb-shape-plan.h hb-style.h \
        hb-unicode.h hb-version.h; do
        cp "$src/src/$h" "$stage/include/harfbuzz/"
    done
    sed 's|^#mesondefine \(.*\)|/* #undef \1 */|' "$src/src/hb-features.h.in" \
        >"$stage/include/harfbuzz/hb-features.h"
    cp "$src/COPYING" "$stage/COPYING"
    pc_file "$stage" harfbuzz "HarfBuzz text shaping library, static, OpenType only" "$upstream" \
        "-L\${libdir} -lharfbuzz" "-I\${includedir}/harfbuzz"
    install_prefix "$stage" "$hb_prefix"
}

build_fribidi() {
    local src stage upstream major minor micro interface
    src="$(echo "$work"/src/fribidi-*/)"
    stage="$work/stage"
    upstream="$(sed -n "s/^project('fribidi', 'c', version: '\([0-9.]*\)'.*/\1/p" "$src/meson.build")"
    interface="$(sed -n 's/^interface_version = \([0-9]*\)/\1/p' "$src/meson.build")"
    IFS=. read -r major minor micro <<<"$upstream"
    mkdir -p "$stage/include/fribidi" "$stage/lib" "$work/obj" "$work/gen"
    log "building fribidi $fb_version"
    # What FriBidi's own build would find on mingw-w64; its Unicode tables
    # come generated in the source package.
    cat >"$work/gen/config.h" <<EOF
#define HAVE_MEMMOVE 1
#define HAVE_MEMSET 1
#define HAVE_STRDUP 1
#define HAVE_STDLIB_H 1
#define HAVE_STRING_H 1
#define HAVE_MEMORY_H 1
#define HAVE_STRINGS_H 1
#define STDC_HEADERS 1
#define HAVE_STRINGIZE 1
EOF
    sed -e "s|@configure_input@|Made by scripts/windows-deps.sh|" \
        -e "s|@PACKAGE@|fribidi|" -e "s|@PACKAGE_NAME@|GNU FriBidi|" \
        -e "s|@PACKAGE_BUGREPORT@||" -e "s|@FRIBIDI_VERSION@|$upstream|" \
        -e "s|@FRIBIDI_MAJOR_VERSION@|$major|" -e "s|@FRIBIDI_MINOR_VERSION@|$minor|" \
        -e "s|@FRIBIDI_MICRO_VERSION@|$micro|" -e "s|@FRIBIDI_INTERFACE_VERSION@|$interface|g" \
        -e "s|@SIZEOF_INT@|4|" -e "s|@FRIBIDI_MSVC_BUILD_PLACEHOLDER@|#undef FRIBIDI_BUILT_WITH_MSVC|" \
        "$src/lib/fribidi-config.h.in" >"$work/gen/fribidi-config.h"
    # The sources of FriBidi's library, as its lib/meson.build lists them.
    local sources
    sources="$(sed -n "/^fribidi_sources = \[/,/^\]/s/^ *'\(.*\.c\)',*$/\1/p" "$src/lib/meson.build")"
    if [ -z "$sources" ]; then
        log "no list of sources in fribidi's lib/meson.build"
        exit 1
    fi
    # FRIBIDI_LIB_STATIC: newer FriBidi headers import from a DLL without it.
    local c
    for c in $sources; do
        echo "$c"
    done | xargs -P 2 -I{} "$cc" -O2 -w -ansi -DHAVE_CONFIG_H -DFRIBIDI_LIB_STATIC \
        -I"$work/gen" -I"$src/lib" -c "$src/lib/{}" -o "$work/obj/{}.o"
    "$ar" rcs "$stage/lib/libfribidi.a" "$work"/obj/*.c.o
    local headers h
    headers="$(sed -n "/^fribidi_headers = files(/,/^)/s/^ *'\(.*\.h\)',*$/\1/p" "$src/lib/meson.build")"
    for h in $headers; do
        cp "$src/lib/$h" "$stage/include/fribidi/"
    done
    cp "$src/lib/fribidi-unicode-version.h" "$work/gen/fribidi-config.h" "$stage/include/fribidi/"
    cp "$src/COPYING" "$stage/COPYING"
    pc_file "$stage" fribidi "Unicode Bidirectional Algorithm Library, static" "$upstream" \
        "-L\${libdir} -lfribidi" "-I\${includedir}/fribidi -DFRIBIDI_LIB_STATIC"
    install_prefix "$stage" "$fb_prefix"
}

build_libdeflate() {
    local src stage upstream
    src="$(echo "$work"/src/libdeflate-*/)"
    stage="$work/stage"
    upstream="$(sed -n 's/^#define LIBDEFLATE_VERSION_STRING[[:space:]]*"\(.*\)"/\1/p' "$src/libdeflate.h")"
    mkdir -p "$stage/include/libdeflate" "$stage/lib"
    log "building libdeflate $ld_version"
    # libdeflate's own makefile, which knows mingw-w64: the static library
    # alone (named for MSVC there), with its flags and CPU dispatch.
    make -C "$src" -j 2 CC="$cc" AR="$ar" libdeflatestatic.lib >&2
    cp "$src/libdeflatestatic.lib" "$stage/lib/libdeflate.a"
    cp "$src/libdeflate.h" "$stage/include/libdeflate/"
    cp "$src/COPYING" "$stage/COPYING"
    pc_file "$stage" libdeflate "Fast DEFLATE, zlib and gzip compression, static" "$upstream" \
        "-L\${libdir} -ldeflate" "-I\${includedir}/libdeflate"
    install_prefix "$stage" "$ld_prefix"
}

build() { # package version prefix
    if built "$3"; then
        return 0
    fi
    mkdir -p "$cache"
    work="$(mktemp -d "$cache/.build-$1.XXXXXX")"
    fetch "$1" "$2"
    "build_$1"
    rm -rf "$work"
    work=""
    log "$1 $2 is in $3"
}

build harfbuzz "$hb_version" "$hb_prefix"
build fribidi "$fb_version" "$fb_prefix"
build libdeflate "$ld_version" "$ld_prefix"
echo "$hb_prefix;$fb_prefix;$ld_prefix"

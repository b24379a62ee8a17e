# Text shaping (HarfBuzz) and bidirectional ordering (FriBidi) for the
# engine, as the targets HarfBuzz::HarfBuzz and FriBidi::FriBidi on both
# platforms; users include <hb.h>, <hb-ot.h> and <fribidi.h>.
#
# Linux: Debian's libharfbuzz-dev and libfribidi-dev, through pkg-config.
# Windows: static libraries built from the same Debian source packages by
# scripts/windows-deps.sh, whose folders scripts/windows.sh passes in
# CMAKE_PREFIX_PATH. Only those folders are searched: neither the host's
# libraries nor the mingw-w64 root may stand in for them.

if(WIN32)
    include(${CMAKE_CURRENT_LIST_DIR}/mingw_static_import.cmake)
    mingw_static_import(HarfBuzz::HarfBuzz harfbuzz hb.h harfbuzz)
    # C++ inside: linked by the C++ driver, with its run time.
    set_target_properties(HarfBuzz::HarfBuzz PROPERTIES IMPORTED_LINK_INTERFACE_LANGUAGES CXX)

    mingw_static_import(FriBidi::FriBidi fribidi fribidi.h fribidi)
    # Without it FriBidi's headers (those after 1.0.8) declare its functions
    # as imported from a DLL.
    set_target_properties(FriBidi::FriBidi PROPERTIES
        IMPORTED_LINK_INTERFACE_LANGUAGES C
        INTERFACE_COMPILE_DEFINITIONS FRIBIDI_LIB_STATIC)
else()
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(HARFBUZZ REQUIRED IMPORTED_TARGET GLOBAL harfbuzz)
    pkg_check_modules(FRIBIDI REQUIRED IMPORTED_TARGET GLOBAL fribidi)
    add_library(HarfBuzz::HarfBuzz ALIAS PkgConfig::HARFBUZZ)
    add_library(FriBidi::FriBidi ALIAS PkgConfig::FRIBIDI)
endif()

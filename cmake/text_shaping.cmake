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
    function(_text_shaping_import target name header library)
        string(TOUPPER ${name} var)
        find_path(${var}_INCLUDE_DIR ${header}
            PATHS ${CMAKE_PREFIX_PATH} PATH_SUFFIXES include/${name}
            NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
        find_library(${var}_LIBRARY ${library}
            PATHS ${CMAKE_PREFIX_PATH} PATH_SUFFIXES lib
            NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
        if(NOT ${var}_INCLUDE_DIR OR NOT ${var}_LIBRARY)
            message(FATAL_ERROR "No mingw-w64 build of ${name} in CMAKE_PREFIX_PATH "
                "(${CMAKE_PREFIX_PATH}): scripts/windows-deps.sh makes it and prints its folder.")
        endif()
        add_library(${target} STATIC IMPORTED GLOBAL)
        set_target_properties(${target} PROPERTIES
            IMPORTED_LOCATION ${${var}_LIBRARY}
            INTERFACE_INCLUDE_DIRECTORIES ${${var}_INCLUDE_DIR})
        message(STATUS "${target}: ${${var}_LIBRARY}")
    endfunction()

    _text_shaping_import(HarfBuzz::HarfBuzz harfbuzz hb.h harfbuzz)
    # C++ inside: linked by the C++ driver, with its run time.
    set_target_properties(HarfBuzz::HarfBuzz PROPERTIES IMPORTED_LINK_INTERFACE_LANGUAGES CXX)

    _text_shaping_import(FriBidi::FriBidi fribidi fribidi.h fribidi)
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

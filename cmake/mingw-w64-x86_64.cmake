# Cross-building for 64-bit Windows with mingw-w64 on Debian.
set(MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)

# Test programs run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)

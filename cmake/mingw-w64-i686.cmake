# Cross-building for 32-bit Windows with mingw-w64 on Debian. Built, never
# run here: these machines run no 32-bit code (Debian's wine64 alone).
set(MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)

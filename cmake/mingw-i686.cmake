# Cross build for 32-bit Windows with Debian's MinGW-w64 (i686), run under Wine.
set(VORN_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

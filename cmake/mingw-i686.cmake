# Cross build for 32-bit Windows with Debian's MinGW-w64 (i686), run under Wine.
set(VORN_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# Single-precision arithmetic in SSE registers, as on x86-64: the x87 unit
# keeps excess precision, which moves frame scales and vertices by a step.
# Windows calls back into the module with a stack aligned to 4 bytes only.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")

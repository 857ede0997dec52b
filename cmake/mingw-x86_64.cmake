# Cross-compiles for 64-bit Windows with MinGW-w64; test programs run under 64-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(TARVX_MINGW_TRIPLET x86_64-w64-mingw32)
set(TARVX_WINE_RUNNER wine64-exec.sh)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

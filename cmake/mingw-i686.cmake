# Cross-compiles for 32-bit Windows with MinGW-w64; test programs run under 32-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TARVX_MINGW_TRIPLET i686-w64-mingw32)
set(TARVX_WINE_RUNNER wine-exec.sh)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

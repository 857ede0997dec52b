# What both MinGW-w64 toolchain files share (posix threads model). The including file sets
# TARVX_MINGW_TRIPLET (i686-w64-mingw32 or x86_64-w64-mingw32) and TARVX_WINE_RUNNER
# (the script that runs its programs under Wine) first.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER   ${TARVX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARVX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER  ${TARVX_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TARVX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# No MinGW runtime DLL may be needed at run time: libgcc, libstdc++ and winpthread
# are linked into every binary. System import libraries stay import libraries.
set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under Wine; the runner supplies the prefix and the DLL overrides.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../scripts/${TARVX_WINE_RUNNER}")

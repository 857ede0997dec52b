#!/usr/bin/env bash
# Usage: build.sh [build-dir] [target ...]   (default: build, everything)
# Installs the tools if needed, then configures and builds everything: the Windows
# binaries with MinGW-w64 and the native (Linux) test and fuzz programs. Given targets,
# only those and what they need.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
targets=("${@:2}")
bash "$root/scripts/setup.sh"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release
fi
if [ ${#targets[@]} -gt 0 ]; then
  cmake --build "$build" --target "${targets[@]}"
else
  cmake --build "$build"
fi

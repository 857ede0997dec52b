#!/usr/bin/env bash
# Usage: build.sh [build-dir] [--x64] [target ...]   (default: build, everything)
# Installs the tools if needed (once per command: scripts/width.sh), then configures and builds everything: the 32-bit Windows
# binaries with MinGW-w64 (i686) in <build-dir>, the 64-bit ones (x86-64) in
# <build-dir>/x64, and the native (Linux) test and fuzz programs. Given targets, only
# those and what they need, in the 32-bit build, or with --x64 in the 64-bit one.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
targets=("${@:2}")
# shellcheck source=scripts/width.sh
. "$root/scripts/width.sh"
decide_width
configure_x64() {
  if [ ! -f "$build/x64/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build/x64" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" \
      -DCMAKE_BUILD_TYPE=Release
  fi
}
if [ ${#targets[@]} -gt 1 ] && [ "${targets[0]}" = "--x64" ]; then
  configure_x64
  cmake --build "$build/x64" --target "${targets[@]:1}"
  exit 0
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release
fi
if [ ${#targets[@]} -gt 0 ]; then
  cmake --build "$build" --target "${targets[@]}"
  exit 0
fi
cmake --build "$build"
configure_x64
cmake --build "$build/x64"

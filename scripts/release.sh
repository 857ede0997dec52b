#!/usr/bin/env bash
# Usage: release.sh [build-dir]   (default: build)
# Builds what is shipped (the plug-in and tarvx-diag.exe, the 64-bit plug-in in
# <build-dir>/x64, the installers from both trees, the extension and its policy
# templates) in the Release configuration, with the signed .crx for self-hosting when
# TARVX_CRX_KEY names the publisher's private key (TARVX_CRX_CODEBASE: the address the
# .crx will have, for its update manifest),
# packs <build-dir>/npTARVX-<version>.zip and checks what the package holds.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"

cache="$build/CMakeCache.txt"
for tree in "$build" "$build/x64"; do
  [ -f "$tree/CMakeCache.txt" ] || continue
  type="$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$tree/CMakeCache.txt")"
  if [ "$type" != "Release" ]; then
    echo "release: $tree is a '$type' build; use a Release build directory" >&2
    exit 1
  fi
done
bash "$root/scripts/setup.sh"
if [ ! -f "$cache" ]; then
  cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$build" --target npTARVX tarvx-diag
# The installers: x86 from this tree, x64 and per-user from the 64-bit one.
cmake --build "$build" --target installers
# The bridge's extension packages and policy templates (<build>/extension).
cmake --build "$build" --target extension
# The signed package for forced installs from the publisher's own server, when the
# publisher names the private key (a PEM file outside the repository; never committed).
signed="$build/extension/signed"
rm -rf "$signed"
if [ -n "${TARVX_CRX_KEY:-}" ]; then
  node "$root/extension/pack-crx.mjs" --extension "$build/extension/chromium-store" --key "$TARVX_CRX_KEY" \
    --out "$signed" --expect-id "$(node -p "require('$build/extension/ids.json').chromium")" \
    ${TARVX_CRX_CODEBASE:+--codebase "$TARVX_CRX_CODEBASE"}
else
  echo "release: made no signed .crx (set TARVX_CRX_KEY to the publisher's private key file to make one)"
fi
if [ ! -f "$build/x64/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build/x64" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$build/x64" --target npTARVX
cmake --build "$build/x64" --target installers

version="$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$cache")"
zip="$build/npTARVX-$version.zip"
bash "$root/scripts/package.sh" "$build" "$zip"
bash "$root/tests/release/check_package.sh" "$root" "$build" "$zip"
echo "release: $zip"

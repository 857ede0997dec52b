#!/usr/bin/env bash
# Usage: count_dc_creations.sh <build-dir> [paints]   (inside scripts/with-wine.sh)
# Counts the device contexts npTARVX.dll itself makes and deletes while the plug-in
# benchmark paints its window: Wine's relay trace of gdi32's CreateCompatibleDC and
# DeleteDC, each call attributed by its return address to the module it came from. The
# memory DC cache should make one, at the first paint, and delete it when the library
# unloads at the end of the run. <build-dir> is a build tree of either width (the 64-bit
# one is <build>/x64); each runs under the Wine of its width, in its own prefix.
set -euo pipefail
build="$(cd "$1" && pwd)"
paints="${2:-1000}"
root="$(cd "$(dirname "$0")/../.." && pwd)"
log="$build/dc_creations.log"
key='HKCU\Software\Wine\Debug'
# shellcheck source=scripts/width.sh
. "$root/scripts/width.sh"
arch="$(tree_width "$build")"
runner="$(wine_runner "$arch")"
wine_exec=("$runner")
case "$arch" in
  win32) objdump=i686-w64-mingw32-objdump ;;
  win64) objdump=x86_64-w64-mingw32-objdump ;;
esac

"${wine_exec[@]}" reg add "$key" /v RelayInclude /d "gdi32.CreateCompatibleDC;gdi32.DeleteDC" /f >/dev/null 2>&1
trap '"${wine_exec[@]}" reg delete "$key" /v RelayInclude /f >/dev/null 2>&1 || true' EXIT
(cd "$build/bin" && WINEDEBUG=+relay,+loaddll "$runner" plugin_benchmark.exe 10 1 "$paints" \
  >/dev/null 2>"$log")

base=$(grep -o 'npTARVX.dll" at [0-9A-Fa-f]*' "$log" | head -1 | awk '{print $3}')
size=$("$objdump" -p "$build/bin/npTARVX.dll" | awk '/SizeOfImage/ {print $2}')
if [ -z "$base" ] || [ -z "$size" ]; then
  echo "count_dc_creations: npTARVX.dll's place in memory not found in $log" >&2
  exit 1
fi
count_from_plugin() {
  local n=0 address
  while read -r address; do
    if (( 16#$address >= 16#$base && 16#$address < 16#$base + 16#$size )); then n=$((n + 1)); fi
  done < <(grep "Call gdi32.$1(" "$log" | sed 's/.* ret=//')
  echo "$n"
}
echo "over a run with $paints paints of each window (4 windows, the plug-in's among them):"
echo "  CreateCompatibleDC called by npTARVX.dll: $(count_from_plugin CreateCompatibleDC) (by every module: $(grep -c 'Call gdi32.CreateCompatibleDC(' "$log"))"
echo "  DeleteDC called by npTARVX.dll: $(count_from_plugin DeleteDC)"

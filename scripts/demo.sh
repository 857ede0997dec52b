#!/usr/bin/env bash
# Usage: demo.sh [build-dir] [-- demo-option ...]   (default: build)
#   bash scripts/demo.sh                         the whole flow
#   bash scripts/demo.sh -- --card 42 --interactive
#   bash scripts/demo.sh --help                  the demo's options
#   make demo ARGS="--card 42"
# Installs what is missing, builds the plug-in, the demo and the simulated reader, and
# runs the demo under Wine: a virtual display, the build's Wine prefix and the reader's
# stand-in DLLs. Screenshots go to <build-dir>/demo/. The exit code is the demo's.
# A machine that cannot start 32-bit programs runs the 64-bit build's demo under 64-bit
# Wine instead (screenshots in <build-dir>/x64/demo/), and says so.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build"
if [ $# -gt 0 ] && [ "${1#-}" = "$1" ]; then
  build="$1"
  shift
fi
if [ $# -gt 0 ] && [ "$1" = "--" ]; then shift; fi
build="$(mkdir -p "$build" && cd "$build" && pwd)"

# shellcheck source=scripts/win32-support.sh
. "$root/scripts/win32-support.sh"
if reason=$(win32_unavailable_reason); then
  echo "demo: $reason; running the 64-bit build's demo under 64-bit Wine"
  bash "$root/scripts/build.sh" "$build" --x64 npTARVX_demo
  exec "$root/scripts/with-wine.sh" "$build" "$root/scripts/wine64-exec.sh" "$build/x64/bin/npTARVX_demo.exe" "$@"
fi
bash "$root/scripts/build.sh" "$build" npTARVX_demo
exec "$root/scripts/with-wine.sh" "$build" "$root/scripts/wine-exec.sh" "$build/bin/npTARVX_demo.exe" "$@"

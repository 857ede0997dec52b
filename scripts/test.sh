#!/usr/bin/env bash
# Usage: test.sh [build-dir]   (default: build)
# Installs what is missing, builds, and runs every test: the 32-bit build's Windows test
# programs under 32-bit Wine, the 64-bit build's under 64-bit Wine, in a virtual display,
# and the native programs directly, then the code checks and the debug leg
# (scripts/debug-tests.sh). Ends with CTest's summaries and an overall line.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(mkdir -p "${1:-$root/build}" && cd "${1:-$root/build}" && pwd)"
# shellcheck source=scripts/width.sh
. "$root/scripts/width.sh"
# Installs what is missing, then decides once which width of Wine suites runs here.
decide_width
bash "$root/scripts/build.sh" "$build"
bash "$root/scripts/debug-tests.sh" "$build" --build
exec "$root/scripts/with-wine.sh" "$build" bash "$root/scripts/run-tests.sh" "$build"

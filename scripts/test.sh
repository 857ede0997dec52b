#!/usr/bin/env bash
# Usage: test.sh [build-dir]   (default: build)
# Installs what is missing, builds, and runs every test: Windows test programs under
# Wine in a virtual display, native programs directly. Ends with CTest's summary.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
bash "$root/scripts/build.sh" "$build"
exec "$root/scripts/with-wine.sh" "$build" \
  ctest --test-dir "$build" --output-on-failure --timeout 600 -j 2

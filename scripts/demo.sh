#!/usr/bin/env bash
# Usage: demo.sh [build-dir]
# Builds the plug-in and says where it is.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
bash "$root/scripts/build.sh" "$build"
echo "npTARVX.dll: $build/bin/npTARVX.dll"

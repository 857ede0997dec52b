#!/usr/bin/env bash
# Usage: soak.sh [build-dir] [soak options...]   (default: build; see tests/soak/main.cpp)
# Builds, then runs the soak under faults at full size under Wine: 1,000 unplug/replug
# cycles, 200 instances, 10,000 paints and 100,000 reports, with two instances on the page
# throughout. Prints a table of handle, GDI object and thread counts, cards and times;
# exits non-zero if anything did not hold. Takes many minutes; the test command runs a
# shortened one (plugin_soak_short). A machine that cannot start 32-bit programs runs the
# 64-bit build's soak under 64-bit Wine instead, and says so.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
shift || true
# shellcheck source=scripts/width.sh
. "$root/scripts/width.sh"
decide_width
bash "$root/scripts/build.sh" "$build"
build="$(cd "$build" && pwd)"
echo "soak: load average $(cut -d' ' -f1-3 /proc/loadavg)"
bin="$build/bin"
if [ "$TARVX_WIDTH" = win64 ]; then
  echo "soak: $TARVX_NO_WIN32; running the 64-bit build's soak under 64-bit Wine"
  bin="$build/x64/bin"
fi
runner="$(wine_runner "$TARVX_WIDTH")"
# shellcheck disable=SC2016 # $1 and $@ are the inner shell's
exec "$root/scripts/with-wine.sh" "$build" \
  bash -c 'cd "$1" && shift && exec "$@"' soak "$bin" \
  "$runner" "$bin/plugin_soak.exe" "$@"

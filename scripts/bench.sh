#!/usr/bin/env bash
# Usage: bench.sh [build-dir]   (default: build)
# Builds, then runs the Windows benchmarks under Wine (virtual display, project prefix,
# the simulated reader's DLLs) and prints their figures: the 32-bit build's under 32-bit
# Wine where the machine can run it, the 64-bit build's under 64-bit Wine. Benchmarks are not tests: their
# figures mean most on an otherwise idle machine, which each one reports (load average).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
# shellcheck source=scripts/width.sh
. "$root/scripts/width.sh"
decide_width
bash "$root/scripts/build.sh" "$build"
build="$(cd "$build" && pwd)"

benchmarks=(
  "reader_latency_benchmark 2000 10"
  "status_image_benchmark"
  "plugin_benchmark 2000 30 10000"
)
commands=()
for entry in "${benchmarks[@]}"; do
  program="${entry%% *}"
  if [ -f "$build/bin/$program.exe" ]; then
    if [ "$TARVX_WIDTH" = win32 ]; then
      commands+=("echo; echo \"== $entry\"; \"$root/scripts/wine-exec.sh\" \"$build/bin/$program.exe\" ${entry#"$program"}")
    else
      commands+=("echo; echo \"== $entry\"; echo \"not run: \$TARVX_NO_WIN32\"")
    fi
  fi
done
# Which device contexts the plug-in makes while it paints, from Wine's relay trace.
if [ -f "$build/bin/plugin_benchmark.exe" ]; then
  if [ "$TARVX_WIDTH" = win32 ]; then
    commands+=("echo; echo \"== count_dc_creations\"; bash \"$root/bench/plugin/count_dc_creations.sh\" \"$build\" 1000")
  else
    commands+=("echo; echo \"== count_dc_creations\"; echo \"not run: \$TARVX_NO_WIN32\"")
  fi
fi
# The same in the 64-bit build, under 64-bit Wine.
for entry in "${benchmarks[@]}"; do
  program="${entry%% *}"
  if [ -f "$build/x64/bin/$program.exe" ]; then
    commands+=("echo; echo \"== $entry (64-bit)\"; \"$root/scripts/wine64-exec.sh\" \"$build/x64/bin/$program.exe\" ${entry#"$program"}")
  fi
done
if [ -f "$build/x64/bin/plugin_benchmark.exe" ]; then
  commands+=("echo; echo \"== count_dc_creations (64-bit)\"; bash \"$root/bench/plugin/count_dc_creations.sh\" \"$build/x64\" 1000")
fi
# Decoding is measured natively, with Google Benchmark.
if [ -x "$build/native/bin/decode_benchmark" ]; then
  echo "== decode_benchmark (native)"
  "$build/native/bin/decode_benchmark" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
fi
# The bridge in headless Chromium: card to page beside the floor, host start, host idle
# (64-bit build; bench/bridge/bench.mjs).
bash "$root/scripts/npm-ci.sh" "$root/tests/browser"
commands+=("echo; echo \"== bridge (bench/bridge/bench.mjs)\"; node \"$root/bench/bridge/bench.mjs\" \"$build\" 500 30")
joined="$(printf '%s && ' "${commands[@]}")"
exec "$root/scripts/with-wine.sh" "$build" bash -c "${joined% && }"

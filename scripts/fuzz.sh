#!/usr/bin/env bash
# Usage: fuzz.sh <seconds> [build-dir] [target]
# Runs a fuzzer for the given time, starting from its committed seed corpus: target
# card_report (default, the card report path) or bridge_json (the host's JSON check).
# New inputs go to <build-dir>/fuzz-corpus (fuzz-corpus-<target> for the others), never
# into the source tree.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="$1"
build="${2:-$root/build}"
target="${3:-card_report}"
fuzzer="$build/native/bin/${target}_fuzzer"
work="$build/fuzz-corpus"
if [ "$target" != card_report ]; then work="$build/fuzz-corpus-$target"; fi
mkdir -p "$work" "$build/fuzz-artifacts"
exec "$fuzzer" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
  -artifact_prefix="$build/fuzz-artifacts/" "$work" "$root/fuzz/corpus/$target"

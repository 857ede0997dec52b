#!/usr/bin/env bash
# Usage: fuzz.sh <seconds> [build-dir]
# Runs the card report fuzzer for the given time, starting from the committed seed corpus.
# New inputs go to <build-dir>/fuzz-corpus, never into the source tree.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="$1"
build="${2:-$root/build}"
fuzzer="$build/native/bin/card_report_fuzzer"
work="$build/fuzz-corpus"
mkdir -p "$work" "$build/fuzz-artifacts"
exec "$fuzzer" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
  -artifact_prefix="$build/fuzz-artifacts/" "$work" "$root/fuzz/corpus/card_report"

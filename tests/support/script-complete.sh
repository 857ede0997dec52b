#!/usr/bin/env bash
# Usage: script-complete.sh <command> [arguments...]
# Runs a test script (bash or node) and passes only when it exits with 0 and its last line
# is its summary (tests/support/checks.sh) with every planned check made and none failed:
#   <script>: <n> of <n> checks made, 0 failed
# A script that ends early, whatever its exit code, has no such last line.
set -u
output="$(mktemp)"
trap 'rm -f "$output"' EXIT
"$@" | tee "$output"
status=${PIPESTATUS[0]}
last="$(tr -d '\r' <"$output" | grep -v '^[[:space:]]*$' | tail -1)"
problems=()
[ "$status" -eq 0 ] || problems+=("exit code $status")
if [[ "$last" =~ ^[A-Za-z0-9_.-]+:\ ([0-9]+)\ of\ ([0-9]+)\ checks\ made,\ ([0-9]+)\ failed$ ]]; then
  made="${BASH_REMATCH[1]}" planned="${BASH_REMATCH[2]}" failed="${BASH_REMATCH[3]}"
  [ "$made" -eq "$planned" ] || problems+=("$made of $planned planned checks made")
  [ "$failed" -eq 0 ] || problems+=("$failed checks failed")
  [ "$planned" -gt 0 ] || problems+=("no checks planned")
else
  problems+=("the last line is not the script's summary: the script stopped early")
fi
for problem in ${problems[@]+"${problems[@]}"}; do echo "script-complete: FAIL: $problem"; done
[ ${#problems[@]} -eq 0 ]

#!/usr/bin/env bash
# Usage: gtest-complete.sh <runner|-> <program> [GoogleTest options...]
# Runs a GoogleTest program (under <runner>, the Wine runner of its width, or directly with
# -) and passes only when the run was complete: exit code 0, GoogleTest's closing summary
# printed, as many tests run as the program lists for the same options, and no test failed.
# A program that ends early with exit code 0 (a stray exit, an ExitProcess in the code under
# test, a crash handler that exits 0) would otherwise hide every test after the one it was in.
set -u
runner="$1"; program="$2"; shift 2
command=("$program")
if [ "$runner" != - ]; then command=("$runner" "$program"); fi
name="$(basename "$program")"

# The tests this run should see: every test line of the listing (two spaces, a name), less
# the disabled ones, which GoogleTest lists but does not run.
if ! listing="$("${command[@]}" --gtest_list_tests "$@" | tr -d '\r')"; then
  echo "gtest-complete: FAIL: $name --gtest_list_tests failed"
  exit 1
fi
listed="$(awk '
  /^[^ ]/ { suite = $1; next }
  /^  [^ ]/ { if (suite !~ /^DISABLED_/ && $1 !~ /^DISABLED_/) n++ }
  END { print n + 0 }' <<<"$listing")"

output="$(mktemp)"
trap 'rm -f "$output"' EXIT
"${command[@]}" "$@" | tee "$output"
status=${PIPESTATUS[0]}
tr -d '\r' <"$output" >"$output.plain" && mv "$output.plain" "$output"

problems=()
[ "$status" -eq 0 ] || problems+=("exit code $status")
summary="$(grep -E '^\[==========\] [0-9]+ tests? from [0-9]+ test suites? ran\.' "$output" | tail -1)"
if [ -z "$summary" ]; then
  last="$(grep -E '^\[ RUN      \] ' "$output" | tail -1 | sed 's/^\[ RUN      \] //')"
  problems+=("no closing summary: the program stopped early${last:+, in or after $last}")
else
  ran="$(sed -E 's/^\[==========\] ([0-9]+) .*/\1/' <<<"$summary")"
  [ "$ran" -eq "$listed" ] || problems+=("$ran tests ran, $listed are listed")
fi
if grep -q '^\[  FAILED  \]' "$output"; then problems+=("a test failed"); fi

if [ ${#problems[@]} -gt 0 ]; then
  for problem in "${problems[@]}"; do echo "gtest-complete: FAIL: $name: $problem"; done
  exit 1
fi
echo "gtest-complete: $name: $listed of $listed tests ran, none failed"

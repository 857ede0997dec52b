#!/usr/bin/env bash
# Usage: run-tests.sh <build-dir>   (inside scripts/with-wine.sh; scripts/test.sh calls it)
# CTest on the 32-bit build (with the native tests), then on the 64-bit build. On a machine
# that cannot start 32-bit programs (TARVX_NO_WIN32, scripts/width.sh) the 32-bit tree's
# Wine entries cannot run: they are named in a banner, and the rest runs. Then the code
# checks (format, the scripts' shellcheck, clang-tidy) and the debug leg, each timed.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$1"
ctest_args=(--output-on-failure --timeout 600 -j 2)

rc=0
if [ -n "${TARVX_NO_WIN32:-}" ]; then
  # The 32-bit tree's entries that need Wine, by name, so that nobody mistakes them for run.
  mapfile -t skipped < <(ctest --test-dir "$build" -N -L wine | sed -n 's/^ *Test *#[0-9]*: //p')
  echo "================================================================================"
  echo "NOT RUN: ${#skipped[@]} entries of the 32-bit build (CTest label wine):"
  printf '  %s\n' "${skipped[@]}"
  echo "Reason: $TARVX_NO_WIN32."
  echo "The 64-bit build's suites below run the same sources, and the debug leg uses the"
  echo "x86-64 toolchain. 'make test' on a machine that starts 32-bit programs runs these"
  echo "too (docs/TESTING.md)."
  echo "================================================================================"
  ctest --test-dir "$build" "${ctest_args[@]}" -LE wine || rc=1
else
  ctest --test-dir "$build" "${ctest_args[@]}" || rc=1
fi
echo "== 64-bit build"
ctest --test-dir "$build/x64" "${ctest_args[@]}" || rc=1

# Each check says what failed and names the files; the seconds show what it costs.
step() {
  local name="$1" start=$SECONDS
  shift
  echo "== $name"
  if "$@"; then
    echo "   $name: passed in $((SECONDS - start)) s"
  else
    echo "   $name: FAILED in $((SECONDS - start)) s"
    rc=1
  fi
}
step "format" bash "$root/scripts/format.sh" --check
step "shellcheck" bash "$root/scripts/shellcheck.sh"
step "clang-tidy" bash "$root/scripts/lint.sh" "$build"
step "debug leg" bash "$root/scripts/debug-tests.sh" "$build" --test
exit $rc

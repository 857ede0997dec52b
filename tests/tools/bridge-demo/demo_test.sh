#!/usr/bin/env bash
# Usage: demo_test.sh <source-dir> <build-dir>   (inside scripts/with-wine.sh, as CTest runs are)
# `demo.sh --route bridge` as `make demo` runs it: with one card it exits 0, prints the
# page's calls and saves the page's screenshot; when the page gets other calls than the
# ones asked for (--expect), it exits 1 and says what the page received.
set -u
# shellcheck source=tests/support/checks.sh
. "$(dirname "$0")/../../support/checks.sh"
root="$1"; build="$2"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
plan 2

bash "$root/scripts/demo.sh" "$build" --route bridge -- --card 42 --out "$out" >"$out/pass.log" 2>&1
rc=$?
cat "$out/pass.log"
[ $rc -eq 0 ] || fail "the bridge demo exited $rc, expected 0"
for line in 'page: DeviceChanged(1);' 'page: CardReaded(42);' 'page: DeviceChanged(0);'; do
  grep -qF "$line" "$out/pass.log" || fail "the demo did not print '$line'"
done
shot="$out/bridge-sample-page.png"
grep -qF "$shot" "$out/pass.log" || fail "the demo did not print the screenshot's path"
[ "$(head -c 8 "$shot" 2>/dev/null | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] || fail "$shot is not a PNG"
check_done "one card: the page's calls printed and its screenshot saved"

bash "$root/scripts/demo.sh" "$build" --route bridge -- --card 42 --expect 'CardReaded(7);' --out "$out" >"$out/fail.log" 2>&1
rc=$?
cat "$out/fail.log"
[ $rc -eq 1 ] || fail "with a call the page never gets expected, the demo exited $rc, expected 1"
grep -qF 'call 1: the page received DeviceChanged(1);, expected CardReaded(7);' "$out/fail.log" ||
  fail "the demo did not say what the page received"
check_done "a call the page never gets: exit code 1, and what the page received"
checks_end

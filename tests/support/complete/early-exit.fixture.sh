#!/usr/bin/env bash
# A test script of five planned checks (tests/support/checks.sh). TARVX_FIXTURE_STOP=3 ends
# it with exit code 0 before its third check; TARVX_FIXTURE_SKIP=3 leaves the third row of
# its table out (complete_runs.test.mjs).
set -u
# shellcheck source=tests/support/checks.sh
. "$(dirname "$0")/../checks.sh"
rows=(1 2 3 4 5)
plan ${#rows[@]}
for row in "${rows[@]}"; do
  [ "$row" = "${TARVX_FIXTURE_STOP:-}" ] && exit 0
  [ "$row" = "${TARVX_FIXTURE_SKIP:-}" ] && continue
  check "row $row" test "$row" -gt 0
done
checks_end

#!/usr/bin/env bash
# Usage: browser-tests.sh [build-dir] [test-name-pattern]
# Runs tests/browser against <build-dir>/extension: the extension in Chromium and Firefox
# with the fake native host, and the reader cases with the real host (the 64-bit one in
# <build-dir>/x64, under Wine, with the shared simulated reader). TARVX_BROWSERS=chromium
# (or firefox) runs one browser. Outside scripts/with-wine.sh it runs itself inside it, for
# the virtual display and the 64-bit prefix's wineserver.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
if [ -z "${NPTARVX_IN_XVFB:-}" ]; then
  exec bash "$root/scripts/with-wine.sh" "$build" bash "$0" "$@"
fi
bash "$root/scripts/npm-ci.sh" "$root/tests/browser"
cd "$root/tests/browser"
args=(--test-concurrency=1)
if [ -n "${2:-}" ]; then args+=(--test-name-pattern "$2"); fi
# Passes only when every declared test ran (tests/support/node/node-suite.mjs).
TARVX_BUILD_DIR="$build" exec node "$root/tests/support/node/node-suite.mjs" "${args[@]}" \
  extension.test.mjs consent.test.mjs frames.test.mjs page-status.test.mjs real-host.test.mjs identities.test.mjs self-hosted.test.mjs

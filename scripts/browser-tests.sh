#!/usr/bin/env bash
# Usage: browser-tests.sh [build-dir] [test-name-pattern]
# Runs tests/browser (the extension in Chromium and Firefox with the fake native host)
# against <build-dir>/extension. TARVX_BROWSERS=chromium (or firefox) runs one browser.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
bash "$root/scripts/npm-ci.sh" "$root/tests/browser"
cd "$root/tests/browser"
args=(--test --test-concurrency=1)
if [ -n "${2:-}" ]; then args+=(--test-name-pattern "$2"); fi
TARVX_BUILD_DIR="$build" exec node "${args[@]}" extension.test.mjs

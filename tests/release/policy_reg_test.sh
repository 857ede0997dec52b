#!/usr/bin/env bash
# Usage: policy_reg_test.sh <policies-dir>   (inside scripts/with-wine.sh)
# The release's Chrome and Edge policy template imported under Wine with regedit /S (what a
# double-click does) and reg import: its allowed origin lands in each browser's 3rdparty
# key for the extension as list value "1", a list imported again replaces the earlier one
# instead of adding to it, and the removal file takes the extension's key away. Uses the
# 64-bit prefix where there is one (64-bit regedit writes the view Chrome and Edge read).
set -u
policies="$1"
scripts="$(cd "$(dirname "$0")/../../scripts" && pwd)"
if [ -n "${TARVX_WINEPREFIX64:-}" ] && [ -x "${TARVX_WINE64_LOADER:-/usr/lib/wine/wine64}" ]; then wine_exec="$scripts/wine64-exec.sh"
else wine_exec="$scripts/wine-exec.sh"; fi
id="$(node -p "require('$policies/../ids.json').chromium")"
# shellcheck source=tests/support/checks.sh
. "$(dirname "$0")/../support/checks.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

import() {  # <tool> <file>
  local file; file="$("$wine_exec" winepath -w "$1" | tr -d '\r')"
  if [ "$2" = regedit ]; then "$wine_exec" regedit /S "$file"; else "$wine_exec" reg import "$file"; fi
}
origins() {  # <browser key>: the list's values as name=data lines
  "$wine_exec" reg query "HKLM\\SOFTWARE\\Policies\\$1\\3rdparty\\extensions\\$id\\policy\\allowedOrigins" 2>/dev/null |
    tr -d '\r' | sed -n 's/^ *\([^ ]*\) *REG_SZ *\(.*\)$/\1=\2/p'
}

# A clean start: nothing left from an earlier run.
for browser in 'Google\Chrome' 'Microsoft\Edge'; do
  "$wine_exec" reg delete "HKLM\SOFTWARE\Policies\$browser\3rdparty\extensions\$id" /f >/dev/null 2>&1
done

# An earlier list of two origins, as an administrator might have imported before.
sed 's|^"1"=.*$|"1"="https://old.example"\r\n"2"="https://older.example"\r|' \
  "$policies/chrome-edge-allowed-origins.reg" > "$work/earlier.reg"
tools=(regedit reg)
plan ${#tools[@]}
for tool in "${tools[@]}"; do
  import "$work/earlier.reg" "$tool" >/dev/null 2>&1 || fail "$tool could not import the earlier list"
  import "$policies/chrome-edge-allowed-origins.reg" "$tool" >/dev/null 2>&1 || fail "$tool could not import the template"
  for browser in 'Google\Chrome' 'Microsoft\Edge'; do
    got="$(origins "$browser" | tr '\n' ' ')"
    [ "$got" = "1=https://shop.example " ] || fail "$browser via $tool: allowedOrigins is '$got', expected '1=https://shop.example '"
  done
  import "$policies/chrome-edge-remove-allowed-origins.reg" "$tool" >/dev/null 2>&1 || fail "$tool could not import the removal"
  for browser in 'Google\Chrome' 'Microsoft\Edge'; do
    "$wine_exec" reg query "HKLM\\SOFTWARE\\Policies\\$browser\\3rdparty\\extensions\\$id" >/dev/null 2>&1 &&
      fail "$browser via $tool: the extension's policy key is still there after the removal"
  done
  check_done "chrome-edge-allowed-origins.reg via $tool: Chrome and Edge keys written, replaced, removed"
done
checks_end

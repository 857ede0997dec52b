#!/usr/bin/env bash
# Usage: policy_reg_test.sh <policies-dir> <build-dir>   (inside scripts/with-wine.sh)
# The release's Chrome and Edge policy templates imported under Wine with regedit /S (what a
# double-click does) and reg import: the allowed origin lands in each browser's 3rdparty
# key for the extension as list value "1", a list imported again replaces the earlier one
# instead of adding to it, tarvx-diag --bridge reads the list as the browser's and names an
# entry the extension would ignore, and the removal file takes the extension's key away.
# Uses the 64-bit prefix and tarvx-diag where there is one (64-bit regedit writes the view
# Chrome and Edge read), else the 32-bit ones.
set -u
policies="$1"; build="$2"
scripts="$(cd "$(dirname "$0")/../../scripts" && pwd)"
if [ -n "${TARVX_WINEPREFIX64:-}" ] && [ -x "${TARVX_WINE64_LOADER:-/usr/lib/wine/wine64}" ]; then
  wine_exec="$scripts/wine64-exec.sh"; diag="$build/x64/bin/tarvx-diag.exe"
else
  wine_exec="$scripts/wine-exec.sh"; diag="$build/bin/tarvx-diag.exe"
fi
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

# bridge_section <browser name>: tarvx-diag --bridge's lines for that browser, CR removed.
bridge_section() {
  "$wine_exec" "$diag" --bridge 2>&1 | tr -d '\r' | awk -v b="$1" '$0 == b {on = 1; next} /^[A-Z][a-z]+$/ {on = 0} on'
}

# Each browser's template with each tool: <file prefix>|<policy root under HKLM\SOFTWARE\Policies>
browsers=('chrome|Google\Chrome' 'edge|Microsoft\Edge')
tools=(regedit reg)
plan $((${#browsers[@]} * ${#tools[@]}))
for entry in "${browsers[@]}"; do
  IFS='|' read -r prefix browser <<<"$entry"
  template="$policies/$prefix-allowed-origins.reg"
  # A clean start: nothing left from an earlier run.
  "$wine_exec" reg delete "HKLM\SOFTWARE\Policies\$browser\3rdparty\extensions\$id" /f >/dev/null 2>&1
  # An earlier list of two origins, as an administrator might have imported before.
  sed 's|^"1"=.*$|"1"="https://old.example"\r\n"2"="https://older.example"\r|' "$template" > "$work/earlier.reg"
  for tool in "${tools[@]}"; do
    import "$work/earlier.reg" "$tool" >/dev/null 2>&1 || fail "$tool could not import the earlier list"
    import "$template" "$tool" >/dev/null 2>&1 || fail "$tool could not import $prefix-allowed-origins.reg"
    got="$(origins "$browser" | tr '\n' ' ')"
    [ "$got" = "1=https://shop.example " ] || fail "$browser via $tool: allowedOrigins is '$got', expected '1=https://shop.example '"
    name="${browser##*\\}"
    section="$(bridge_section "$name")"
    grep -qF "allowed origins ($id): https://shop.example" <<<"$section" ||
      { fail "tarvx-diag --bridge did not read $name's list as https://shop.example:"; echo "$section"; }
    # An entry the extension ignores, as an administrator might write it: named.
    sed 's|^"1"=.*$|"1"="https://shop.example/cards"\r|' "$template" > "$work/path.reg"
    import "$work/path.reg" "$tool" >/dev/null 2>&1 || fail "$tool could not import the list with a path"
    grep -qF '"https://shop.example/cards" is ignored by the extension: more than an origin' <<<"$(bridge_section "$name")" ||
      fail "tarvx-diag --bridge did not name $name's entry with a path as ignored"
    import "$policies/$prefix-remove-allowed-origins.reg" "$tool" >/dev/null 2>&1 || fail "$tool could not import the removal"
    "$wine_exec" reg query "HKLM\\SOFTWARE\\Policies\\$browser\\3rdparty\\extensions\\$id" >/dev/null 2>&1 &&
      fail "$browser via $tool: the extension's policy key is still there after the removal"
    check_done "$prefix-allowed-origins.reg via $tool: $browser's key written, replaced, read by tarvx-diag, removed"
  done
done
checks_end

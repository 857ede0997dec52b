#!/usr/bin/env bash
# Usage: reg_import_test.sh <install-dir> <win32|win64>
# Under Wine (the build's prefix, through scripts/wine-exec.sh or scripts/wine64-exec.sh):
# each registration file imported with regedit /S (what a double-click does) and with
# reg import gives the plug-in key with the Path the installation guide names, and its
# unregister file removes the key again. In the 64-bit prefix the key is read in the
# registry view a browser of that width reads (/reg:32 or /reg:64), and must be absent
# from the other view where the views differ (HKLM; HKCU\Software is shared).
set -u
install="$1"; arch="$2"
scripts="$(cd "$(dirname "$0")/../../scripts" && pwd)"
# shellcheck source=tests/support/checks.sh
. "$(dirname "$0")/../support/checks.sh"
key_suffix='MozillaPlugins\@tarvo/npTARVX,version=1.0.0.1'
x64_user_suffix='MozillaPlugins\@tarvo/npTARVX-x64,version=1.0.0.1'

# <register file>|<view: 32, 64, or - for the prefix's own>|<key>|<Path value>|<view that must not see it, or ->
case "$arch" in
  win32)
    wine_exec="$scripts/wine-exec.sh"
    cases=(
      "register-user.reg|-|HKCU\\Software\\$key_suffix|C:\\npTARVX\\npTARVX.dll|-"
      "register-machine-32bit-windows.reg|-|HKLM\\SOFTWARE\\$key_suffix|C:\\Program Files\\npTARVX\\npTARVX.dll|-"
      "register-machine-64bit-windows.reg|-|HKLM\\SOFTWARE\\Wow6432Node\\$key_suffix|C:\\Program Files (x86)\\npTARVX\\npTARVX.dll|-"
    ) ;;
  win64)
    wine_exec="$scripts/wine64-exec.sh"
    cases=(
      "register-user.reg|32|HKCU\\Software\\$key_suffix|C:\\npTARVX\\npTARVX.dll|-"
      "register-machine-64bit-windows.reg|32|HKLM\\SOFTWARE\\$key_suffix|C:\\Program Files (x86)\\npTARVX\\npTARVX.dll|64"
      "register-machine-x64-browsers.reg|64|HKLM\\SOFTWARE\\$key_suffix|C:\\Program Files\\npTARVX\\npTARVX.dll|32"
      "register-user-x64-browsers.reg|64|HKCU\\Software\\$x64_user_suffix|C:\\npTARVX\\x64\\npTARVX.dll|-"
    ) ;;
  *) echo "unknown architecture: $arch"; exit 2 ;;
esac

import() {  # <tool> <file>
  local file
  # The prefix's own winepath, through the runner of the build's width.
  file="$("$wine_exec" winepath -w "$install/$2" | tr -d '\r')"
  if [ "$1" = regedit ]; then "$wine_exec" regedit /S "$file"; else "$wine_exec" reg import "$file"; fi
}

path_value() {  # <key> <view>: the Path value's data, or nothing when the key is absent
  local view=()
  [ "$2" = - ] || view=("/reg:$2")
  "$wine_exec" reg query "$1" /v Path "${view[@]}" 2>/dev/null | tr -d '\r' | sed -n 's/^ *Path *REG_SZ *//p'
}

# Each file with each tool: imported and removed again.
plan $((${#cases[@]} * 2))
for entry in "${cases[@]}"; do
  IFS='|' read -r file view key path other <<<"$entry"
  for tool in regedit reg; do
    import "$tool" "$file" >/dev/null 2>&1 || fail "$tool could not import $file"
    got="$(path_value "$key" "$view")"
    [ "$got" = "$path" ] || fail "$file via $tool: Path is '$got', expected '$path'"
    if [ "$other" != - ]; then
      got="$(path_value "$key" "$other")"
      [ -z "$got" ] || fail "$file via $tool: the ${other}-bit view sees Path '$got' too"
    fi
    import "$tool" "un$file" >/dev/null 2>&1 || fail "$tool could not import un$file"
    got="$(path_value "$key" "$view")"
    [ -z "$got" ] || fail "un$file via $tool left Path '$got'"
    shown="$path"; [ "$view" = - ] || shown="$path (${view}-bit view)"
    check_done "$file via $tool: $shown, removed again"
  done
done
checks_end

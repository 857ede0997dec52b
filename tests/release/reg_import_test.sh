#!/usr/bin/env bash
# Usage: reg_import_test.sh <install-dir>
# Under Wine (the build's prefix, through scripts/wine-exec.sh): each registration file
# imported with regedit /S (what a double-click does) and with reg import gives the
# plug-in key with the Path the installation guide names, and its unregister file
# removes the key again.
set -u
install="$1"
wine_exec="$(cd "$(dirname "$0")/../../scripts" && pwd)/wine-exec.sh"
key_suffix='MozillaPlugins\@tarvo/npTARVX,version=1.0.0.1'
status=0
fail() { echo "FAIL: $*"; status=1; }

# <register file> <key> <Path value>
cases=(
  "register-user.reg|HKCU\\Software\\$key_suffix|C:\\npTARVX\\npTARVX.dll"
  "register-machine-32bit-windows.reg|HKLM\\SOFTWARE\\$key_suffix|C:\\Program Files\\npTARVX\\npTARVX.dll"
  "register-machine-64bit-windows.reg|HKLM\\SOFTWARE\\Wow6432Node\\$key_suffix|C:\\Program Files (x86)\\npTARVX\\npTARVX.dll"
)

import() {  # <tool> <file>
  local file; file="$(winepath -w "$install/$2")"
  if [ "$1" = regedit ]; then "$wine_exec" regedit /S "$file"; else "$wine_exec" reg import "$file"; fi
}

path_value() {  # <key>: the Path value's data, or nothing when the key is absent
  "$wine_exec" reg query "$1" /v Path 2>/dev/null | tr -d '\r' | sed -n 's/^ *Path *REG_SZ *//p'
}

for entry in "${cases[@]}"; do
  IFS='|' read -r file key path <<<"$entry"
  for tool in regedit reg; do
    import "$tool" "$file" >/dev/null 2>&1 || fail "$tool could not import $file"
    got="$(path_value "$key")"
    [ "$got" = "$path" ] || fail "$file via $tool: Path is '$got', expected '$path'"
    import "$tool" "un$file" >/dev/null 2>&1 || fail "$tool could not import un$file"
    got="$(path_value "$key")"
    [ -z "$got" ] || fail "un$file via $tool left Path '$got'"
    echo "$file via $tool: $path, removed again"
  done
done
exit $status

#!/usr/bin/env bash
# Usage: check_stand_in_exports.sh <objdump> <stand-in directory> <binary>...
# Every function a binary imports from hid.dll or setupapi.dll must be exported, under the
# same undecorated name, by the simulated reader's stand-in of that DLL: otherwise the
# binary fails to load under the test rig (and the stand-in has fallen behind the code).
set -u
# shellcheck source=tests/support/checks.sh
. "$(dirname "$0")/../support/checks.sh"
objdump="$1"; standins="$2"; shift 2
# One check per stand-in and binary.
plan $((2 * $#))

exports_of() {
  "$objdump" -p "$1" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\s*\[ *[0-9]*\] //p' | sort -u
}

imports_from() {  # <binary> <dll>
  "$objdump" -p "$1" | awk -v dll="$2" '
    /DLL Name:/ { current = tolower($3); next }
    current == dll && /^\t[0-9a-f]+\t/ { print $NF }
    /^$/ { current = "" }' | sort -u
}

for dll in hid.dll setupapi.dll; do
  available="$(exports_of "$standins/$dll")"
  [ -n "$available" ] || fail "cannot read the exports of $standins/$dll"
  for binary in "$@"; do
    needed="$(imports_from "$binary" "$dll")"
    missing="$(comm -23 <(echo "$needed" | sed '/^$/d') <(echo "$available"))"
    # shellcheck disable=SC2086,SC2116 # unquoted on purpose: joins the names onto one line
    echo "$(basename "$binary") imports from $dll: $(echo $needed)"
    # shellcheck disable=SC2086,SC2116 # unquoted on purpose: joins the names onto one line
    [ -z "$missing" ] || fail "missing from the stand-in: $(echo $missing)"
    check_done
  done
done
checks_end

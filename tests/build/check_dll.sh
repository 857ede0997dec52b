#!/usr/bin/env bash
# shellcheck disable=SC2001 # sed prefixes every line of a multi-line text; ${//} would not
# Usage: check_dll.sh <objdump> <win32|win64> <binary>
# A shipped binary must be PE32 for i386 (win32) or PE32+ for x86-64 (win64) and import
# only system DLLs: no MinGW runtime (libstdc++, libgcc, libwinpthread) may be needed on
# the user's machine.
set -u
# shellcheck source=tests/support/checks.sh
. "$(dirname "$0")/../support/checks.sh"
objdump="$1"; arch="$2"; dll="$3"
case "$arch" in
  win32) format=pei-i386; magic=010b ;;
  win64) format=pei-x86-64; magic=020b ;;
  *) echo "unknown architecture: $arch"; exit 2 ;;
esac
plan 3

headers="$("$objdump" -f "$dll")"
echo "$headers" | grep -q "file format $format\$" || { fail "not $format:"; echo "$headers"; }
check_done "file format $format"

# The optional header's magic tells PE32 (010b) from PE32+ (020b) whatever the machine.
got_magic="$("$objdump" -p "$dll" | awk '/^Magic/ {print $2; exit}')"
[ "$got_magic" = "$magic" ] || fail "optional header magic $got_magic, expected $magic"
check_done "optional header magic $magic"

imports="$("$objdump" -p "$dll" | sed -n 's/^\s*DLL Name: //p' | tr '[:upper:]' '[:lower:]' | sort -u)"
echo "imports:"; echo "$imports" | sed 's/^/  /'
allowed="^(kernel32|user32|gdi32|hid|setupapi|msvcrt|advapi32|ntdll)\.dll$"
bad="$(echo "$imports" | grep -Ev "$allowed" || true)"
[ -z "$imports" ] && fail "no imports read"
[ -z "$bad" ] || fail "not a system DLL: $bad"
check_done "system DLLs only"
checks_end

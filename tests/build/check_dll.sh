#!/usr/bin/env bash
# Usage: check_dll.sh <objdump> <dll>
# The shipped DLL must be PE32 for i386 and import only system DLLs: no MinGW runtime
# (libstdc++, libgcc, libwinpthread) may be needed on the user's machine.
set -u
objdump="$1"; dll="$2"
headers="$("$objdump" -f "$dll")" || exit 1
echo "$headers" | grep -q "file format pei-i386" || { echo "not PE32 i386:"; echo "$headers"; exit 1; }
imports="$("$objdump" -p "$dll" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)"
echo "imports:"; echo "$imports" | sed 's/^/  /'
allowed="^(kernel32|user32|gdi32|hid|setupapi|msvcrt|advapi32|ntdll)\.dll$"
bad="$(echo "$imports" | grep -Ev "$allowed" || true)"
if [ -n "$bad" ]; then echo "not a system DLL: $bad"; exit 1; fi

#!/usr/bin/env bash
# shellcheck disable=SC2001 # sed prefixes every line of a multi-line text; ${//} would not
# Usage: check_exports.sh <objdump> <win32|win64> <dll>
# Browsers look the plug-in's entry points up by their plain names: the DLL must export
# exactly NP_GetEntryPoints, NP_Initialize and NP_Shutdown, undecorated. A 32-bit browser
# calls them as stdcall functions, so each must pop its own arguments (4, 4 and 0 bytes);
# x64 has one calling convention, in which the caller does.
set -u
# shellcheck source=tests/support/checks.sh
. "$(dirname "$0")/../support/checks.sh"
objdump="$1"; arch="$2"; dll="$3"
exports="$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' \
  | sed -n 's/^\s*\[ *[0-9]*\] //p' | sort)"
expected="$(printf '%s\n' NP_GetEntryPoints NP_Initialize NP_Shutdown)"
# The names, then each entry point's return.
plan 4
echo "exports:"; echo "$exports" | sed 's/^/  /'
if [ "$exports" != "$expected" ]; then
  fail "expected exactly:"; echo "$expected" | sed 's/^/  /'
  check_done
  checks_end
  exit 1
fi
check_done "exactly the three entry points"

# Export RVAs in name order (the name table and the address table share ordinals here).
base="$("$objdump" -p "$dll" | awk '/^ImageBase/ {print $2}')"
mapfile -t rvas < <("$objdump" -p "$dll" | sed -n '/Export Address Table -- Ordinal Base/,/^$/p' \
  | sed -n 's/.*\] \([0-9a-f]*\) Export RVA.*/\1/p')
mapfile -t names < <("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' \
  | sed -n 's/^\s*\[ *[0-9]*\] //p')

# The returns of the function at `rva`: disassembled up to its first return.
returns_of() {
  local start=$(( 0x$base + 0x$1 ))
  "$objdump" -d --no-show-raw-insn --start-address=$start --stop-address=$(( start + 512 )) "$dll" \
    | grep -E '^\s*[0-9a-f]+:\s+ret' | head -1 | sed 's/^.*\(ret.*\)$/\1/' | tr -s ' \t' ' ' | sed 's/ *$//'
}

for i in "${!names[@]}"; do
  name="${names[$i]}"
  # shellcheck disable=SC2016 # the $0x4 is objdump's text, not a variable
  case "$arch:$name" in
    win32:NP_GetEntryPoints|win32:NP_Initialize) want='ret $0x4' ;;
    *) want='ret' ;;
  esac
  got="$(returns_of "${rvas[$i]}")"
  echo "$name: $got"
  [ "$got" = "$want" ] || fail "$name returns with '$got', expected '$want'"
  check_done
done
checks_end

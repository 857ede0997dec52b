#!/usr/bin/env bash
# shellcheck disable=SC2001 # sed prefixes every line of a multi-line text; ${//} would not
# Usage: check_package.sh <source-dir> <build-dir> <zip>
# The release package holds exactly the plug-in and the diagnostics program of this
# build, the 64-bit plug-in of <build-dir>/x64 as x64/npTARVX.dll, the sample page, the
# registry files with Windows line ends, the bridge's installers of both trees (each
# checked as tests/installer checks the built ones), the guide as INSTALL.md and as
# INSTALL.txt with Windows line ends, and the bridge's extension packages and policy
# templates (checked in detail by check_extension_packages.mjs); nothing else, no
# directory entries.
set -u
# shellcheck source=tests/support/checks.sh
. "$(dirname "$0")/../support/checks.sh"
root="$1"; build="$2"; zip="$3"

if ! unzip -tq "$zip" >/dev/null; then
  plan 1; fail "$zip is not a sound zip"; checks_end; exit 1
fi

version="$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")"
# The installers: <name in the package>|<built file>|<variant>|<host packed in it>|<tarvx-diag packed in it>|<64-bit plug-in or ->
host32="$build/bin/tarvx-host.exe"; plugin32="$build/bin/npTARVX.dll"; plugin64="$build/x64/bin/npTARVX.dll"
diag32="$build/bin/tarvx-diag.exe"; host64="$build/x64/bin/tarvx-host.exe"; diag64="$build/x64/bin/tarvx-diag.exe"
msis=("tarvx-reader-$version-x64.msi|$build/x64/installer/tarvx-reader-$version-x64.msi|x64|$host64|$diag64|$plugin64"
      "tarvx-reader-$version-x86.msi|$build/installer/tarvx-reader-$version-x86.msi|x86|$host32|$diag32|-"
      "tarvx-reader-$version-user.msi|$build/x64/installer/tarvx-reader-$version-user.msi|user|$host32|$diag32|$plugin64")

# --- The extension's entries ---
ext_version="$(node -p "require('$root/extension/manifest.json').version")"
extension_entries() {
  printf 'extension/%s\n' "tarvx-extension-chromium-$ext_version.zip" "tarvx-extension-firefox-$ext_version.zip" \
    chromium-update-manifest.xml
  # The signed package, when the release was given the publisher's key.
  [ ! -d "$build/extension/signed" ] || printf 'extension/%s\n' "tarvx-chromium-$ext_version.crx"
  printf 'policies/%s\n' chrome-allowed-origins.reg chrome-remove-allowed-origins.reg edge-allowed-origins.reg \
    edge-remove-allowed-origins.reg \
    chromium-linux-policy.json firefox-policies.json
}
# --- end of the extension's entries ---

expected="$( { printf '%s\n' npTARVX.dll x64/npTARVX.dll tarvx-diag.exe card-reader.html INSTALL.md INSTALL.txt TRACE.md
               for msi in "${msis[@]}"; do echo "${msi%%|*}"; done
               for reg in "$root"/install/*.reg; do basename "$reg"; done
               extension_entries; } | sort)"
actual="$(unzip -Z1 "$zip" | sort)"
plan 1
if [ "$actual" != "$expected" ]; then
  fail "the package holds:"; echo "$actual" | sed 's/^/  /'
  echo "expected:"; echo "$expected" | sed 's/^/  /'
fi
check_done "the package holds exactly what it should"

out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
unzip -q "$zip" -d "$out"

same() {  # <packaged name> <original>
  if [ ! -f "$out/$1" ]; then fail "$1 is not in the package"; return; fi
  cmp -s "$out/$1" "$2" || fail "$1 differs from $2"
}
copies=("npTARVX.dll|$build/bin/npTARVX.dll" "x64/npTARVX.dll|$build/x64/bin/npTARVX.dll"
        "tarvx-diag.exe|$build/bin/tarvx-diag.exe" "card-reader.html|$root/examples/card-reader.html"
        "INSTALL.md|$root/docs/INSTALL.md" "TRACE.md|$root/docs/TRACE.md")
plan ${#copies[@]}
for entry in "${copies[@]}"; do
  same "${entry%%|*}" "${entry#*|}"
  check_done "${entry%%|*} as built"
done

plan ${#msis[@]}
for entry in "${msis[@]}"; do
  IFS='|' read -r name built variant host diag p64 <<<"$entry"
  same "$name" "$built"
  if [ -f "$out/$name" ]; then
    node "$root/tests/installer/msi_tables_test.mjs" "$out/$name" "$variant" "$version" "$host" "$diag" "$plugin32" "$p64" \
      >/dev/null ||
      fail "$name: its tables are not what the installer tests expect (node tests/installer/msi_tables_test.mjs)"
  fi
  check_done "$name as built, its tables as the installer tests expect"
done

# Each plug-in in its place: PE32 (optional header magic 010b) at the top for 32-bit
# browsers, PE32+ (020b) in x64/ for 64-bit ones.
pe_magic() {
  local header; header="$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')"
  od -An -tx2 -j$((header + 24)) -N2 "$1" | tr -d ' '
}
magics=(npTARVX.dll:010b x64/npTARVX.dll:020b)
plan ${#magics[@]}
for entry in "${magics[@]}"; do
  name="${entry%%:*}"; want="${entry##*:}"
  if [ -f "$out/$name" ]; then
    got="$(pe_magic "$out/$name")"
    [ "$got" = "$want" ] || fail "$name has optional header magic $got, expected $want"
  else
    fail "$name is not in the package"
  fi
  check_done "$name has optional header magic $want"
done

# Every line, the last included, ends in CR LF.
all_lines_crlf() {
  [ -s "$1" ] && [ "$(tail -c 2 "$1" | od -An -tx1 | tr -d ' ')" = "0d0a" ] &&
    ! grep -q $'[^\r]$\|^$' "$1"
}

regs=("$root"/install/*.reg)
plan ${#regs[@]}
for reg in "${regs[@]}"; do
  name="$(basename "$reg")"
  same "$name" "$reg"
  if [ -f "$out/$name" ]; then
    all_lines_crlf "$out/$name" || fail "$name has lines without CR LF"
    head -1 "$out/$name" | grep -qx $'Windows Registry Editor Version 5.00\r' || fail "$name lacks the regedit header"
    case "$name" in
      register-*) [ -f "$root/install/un$name" ] || fail "$name has no un$name" ;;
    esac
  fi
  check_done "$name as written, CR LF, regedit header"
done

# --- The extension's packages and templates ---
plan 1
node "$root/tests/release/check_extension_packages.mjs" "$root" "$build" "$out" ||
  fail "the extension's packages or templates (node tests/release/check_extension_packages.mjs)"
check_done "the extension's packages and templates"
# --- end of the extension's checks ---

plan 1
if [ -f "$out/INSTALL.txt" ]; then
  all_lines_crlf "$out/INSTALL.txt" || fail "INSTALL.txt has lines without CR LF"
  tr -d '\r' < "$out/INSTALL.txt" | cmp -s - "$root/docs/INSTALL.md" || fail "INSTALL.txt is not INSTALL.md"
else
  fail "INSTALL.txt is not in the package"
fi
check_done "INSTALL.txt is INSTALL.md with CR LF"

# Every relative link of every document in the package leads to a file in the package.
mapfile -t documents < <(cd "$out" && find . -name '*.md' | sed 's|^\./||' | sort)
plan ${#documents[@]}
for document in "${documents[@]}"; do
  links=0
  while IFS= read -r target; do
    links=$((links + 1))
    [ -f "$(dirname "$out/$document")/$target" ] || fail "$document links to $target, which the package does not hold"
  done < <(grep -o '\]([^)]*)' "$out/$document" | sed 's/^](//; s/)$//; s/#.*$//' |
             grep -Ev '^(https?:|mailto:|$)' || true)
  check_done "$document: $links relative links, each to a file in the package"
done
checks_end

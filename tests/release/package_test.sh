#!/usr/bin/env bash
# Usage: package_test.sh <source-dir> <build-dir> <work-dir>
# Packs this build as the release does, into <work-dir>, and checks the package; then
# shows that the extension's checks catch what they are for.
set -u
# shellcheck source=tests/support/checks.sh
. "$(dirname "$0")/../support/checks.sh"
root="$1"; build="$2"; work="$3"
zip="$work/npTARVX-package-test.zip"
rm -f "$zip"
plan 1
if bash "$root/scripts/package.sh" "$build" "$zip"; then
  bash "$root/tests/release/check_package.sh" "$root" "$build" "$zip" || fail "the package's check failed"
else
  fail "scripts/package.sh failed"
fi
check_done "the package as the release makes it"

# Packed again a while later, the package is the same, byte for byte (its store zips with it):
# what a store or a fleet tool received can be rebuilt and compared.
plan 1
sleep 2
again="$work/npTARVX-package-test-again.zip"
rm -f "$again"
bash "$root/scripts/package.sh" "$build" "$again" || fail "scripts/package.sh failed the second time"
cmp -s "$zip" "$again" || fail "two packings of the same build differ"
rm -f "$again"
check_done "packed twice, the same bytes"

# The link check catches a guide whose linked document is missing from the package.
plan 1
cut="$work/npTARVX-package-test-cut.zip"
cp "$zip" "$cut" && zip -q -d "$cut" TRACE.md
out="$(bash "$root/tests/release/check_package.sh" "$root" "$build" "$cut")" && rc=0 || rc=$?
if [ "$rc" -eq 0 ] || ! grep -qF "INSTALL.md links to TRACE.md, which the package does not hold" <<<"$out"; then
  fail "the package's check let a guide link to a missing document:"; echo "$out"
fi
rm -f "$cut"
check_done "the package's check catches a link to a document it lacks"

# The extension's checks against the faults they exist to catch: each row spoils one thing
# in a copy of the unpacked package, and the check must fail naming it.
ext_version="$(node -p "require('$root/extension/manifest.json').version")"
chromium_zip="extension/tarvx-extension-chromium-$ext_version.zip"
firefox_zip="extension/tarvx-extension-firefox-$ext_version.zip"
# shellcheck disable=SC2317  # in_zip and set_field are called from the rows, through eval
in_zip() {  # <zip> <command...>: runs the command inside the unpacked zip, then packs it again
  local zip="$1" dir; shift
  dir="$(mktemp -d)"
  unzip -q "$zip" -d "$dir" && (cd "$dir" && "$@") && rm "$zip" && (cd "$dir" && zip -q -X -D -r "$zip" -- .)
  rm -rf "$dir"
}
# shellcheck disable=SC2317
set_field() { node -e "const f='manifest.json';const m=JSON.parse(require('fs').readFileSync(f));$1;require('fs').writeFileSync(f,JSON.stringify(m))"; }
# shellcheck disable=SC2317
signed_elsewhere() {  # <crx>: the store package signed with a key made here, as if it were ours
  local key; key="$(mktemp)"
  openssl genrsa -out "$key" 2048 2>/dev/null &&
    node --input-type=module -e "import { packCrx } from '$root/extension/self-hosted.mjs';
      import { writeFileSync } from 'node:fs';
      writeFileSync(process.argv[1], packCrx('$build/extension/chromium-store', '$key').crx);" "$1"
  rm -f "$key"
}
faults=(
  "a key in the Chromium manifest|the manifest has a key|in_zip \$unpacked/$chromium_zip set_field \"m.key='MIIB'\""
  "a stray file in the Firefox zip|holds .DS_Store|in_zip \$unpacked/$firefox_zip touch .DS_Store"
  "another gecko id|firefox: gecko id other@example|in_zip \$unpacked/$firefox_zip set_field \"m.browser_specific_settings.gecko.id='other@example'\""
  "an older version|version 0.9|in_zip \$unpacked/$chromium_zip set_field \"m.version='0.9'\""
  "a policy for another id|chromium-linux-policy.json differs|sed -i s/dbmpofebjddfgkppjlaecahjlgmnjlhg/aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa/ \$unpacked/policies/chromium-linux-policy.json"
  "a .reg with Unix line ends|is not a regedit file|sed -i 's/\r\$//' \$unpacked/policies/edge-allowed-origins.reg"
  "the update manifest missing|chromium-update-manifest.xml is missing|rm \$unpacked/extension/chromium-update-manifest.xml"
  "a signed package under another id|has the id|signed_elsewhere \$unpacked/extension/tarvx-chromium-$ext_version.crx"
)
base="$(mktemp -d)"
unzip -q "$zip" 'extension/*' 'policies/*' -d "$base"
plan ${#faults[@]}
for row in "${faults[@]}"; do
  IFS='|' read -r what message spoil <<<"$row"
  unpacked="$(mktemp -d)"
  cp -r "$base"/. "$unpacked"
  eval "$spoil"
  out="$(node "$root/tests/release/check_extension_packages.mjs" "$root" "$build" "$unpacked")"
  if [ $? -ne 1 ] || ! grep -qF "$message" <<<"$out"; then
    fail "the extension check let $what pass (expected '$message'):"; echo "$out"
  fi
  check_done "the extension check catches $what"
  rm -rf "$unpacked"
done
rm -rf "$base"
checks_end

#!/usr/bin/env bash
# Usage: build-msi.sh <x64|x86|user> <version> <tarvx-host.exe> <tarvx-diag.exe>
#                     <32-bit npTARVX.dll> <64-bit npTARVX.dll, or - for x86> <out.msi>
# Builds one of the card reader's installers (tarvx.wxs) with wixl: the host, the
# diagnostics program (of the host's width), the host
# manifests and the registry keys written by extension/bridge-names.mjs from the
# project's one list of names, and the plug-ins, staged in one folder because wixl reads
# sources relative to the .wxs file.
set -euo pipefail
variant="$1"; version="$2"; host="$3"; diag="$4"; plugin32="$5"; plugin64="$6"; out="$(realpath -m "$7")"
here="$(cd "$(dirname "$0")" && pwd)"

case "$variant" in
  x64) arch=x64 ;;
  x86|user) arch=x86 ;;
  *) echo "build-msi: unknown variant '$variant' (x64, x86 or user)" >&2; exit 2 ;;
esac
if ! [[ "$version" =~ ^([0-9]+)\.([0-9]+)\.([0-9]+)(\.[0-9]+)?$ ]]; then
  echo "build-msi: version '$version' is not N.N.N or N.N.N.N" >&2; exit 2
fi
next="${BASH_REMATCH[1]}.${BASH_REMATCH[2]}.$((BASH_REMATCH[3] + 1))"
[ -f "$host" ] || { echo "build-msi: $host is missing; build tarvx-host first" >&2; exit 1; }
[ -f "$diag" ] || { echo "build-msi: $diag is missing; build tarvx-diag first" >&2; exit 1; }
[ -f "$plugin32" ] || { echo "build-msi: $plugin32 is missing; build the 32-bit npTARVX first" >&2; exit 1; }
if [ "$variant" != x86 ] && [ ! -f "$plugin64" ]; then
  echo "build-msi: $plugin64 is missing; build the 64-bit npTARVX first" >&2; exit 1
fi

stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
cp "$here/tarvx.wxs" "$stage/"
node "$here/../extension/bridge-names.mjs" --installer "$stage"
cp "$host" "$stage/$(sed -n 's/^HostExe=//p' "$stage/wix-defines.txt")"
cp "$diag" "$stage/tarvx-diag.exe"
mkdir "$stage/plugin32" "$stage/plugin64"
cp "$plugin32" "$stage/plugin32/npTARVX.dll"
[ "$variant" = x86 ] || cp "$plugin64" "$stage/plugin64/npTARVX.dll"

defines=(-D "Variant=$variant" -D "Version=$version" -D "NextVersion=$next")
while IFS= read -r line; do defines+=(-D "$line"); done < "$stage/wix-defines.txt"
mkdir -p "$(dirname "$out")"
# wixl's GLib warnings about attributes it does not model go to standard error; the
# tables are checked by tests/installer instead.
(cd "$stage" && wixl -a "$arch" -o "$out" "${defines[@]}" tarvx.wxs)
# An upgrade keeps the features the administrator chose for the older version (as WiX's
# MigrateFeatures does; wixl does not set it): msidbUpgradeAttributesMigrateFeatures (1)
# beside the minimum's inclusion (256). Attributes is part of the row's key, so the row is
# replaced rather than updated.
code="$(msiinfo export "$out" Property | tr -d '\r' | awk -F'\t' '$1 == "UpgradeCode" {print $2}')"
msibuild "$out" -q "DELETE FROM \`Upgrade\` WHERE \`ActionProperty\` = 'TARVX_OLDER_FOUND'" \
  -q "INSERT INTO \`Upgrade\` (\`UpgradeCode\`, \`VersionMin\`, \`VersionMax\`, \`Attributes\`, \`ActionProperty\`)
      VALUES ('$code', '0.0.0', '$next', 257, 'TARVX_OLDER_FOUND')"
# The per-user package runs on 32-bit Windows too: there its 64-bit plug-in is neither
# installed nor registered. wixl writes no component conditions, so set them here.
if [ "$variant" = user ]; then
  msibuild "$out" -q "UPDATE \`Component\` SET \`Condition\` = 'VersionNT64' WHERE \`Component\` = 'Plugin64Dll' OR \`Component\` = 'Plugin64Registration'"
fi

#!/usr/bin/env bash
# Usage: build-msi.sh <x64|x86|user> <version> <tarvx-host.exe> <out.msi>
# Builds one of the bridge's installers (bridge.wxs) with wixl: the host, the host
# manifests and the registry keys written by extension/bridge-names.mjs from the
# project's one list of names, staged in one folder because wixl reads sources relative
# to the .wxs file.
set -euo pipefail
variant="$1"; version="$2"; host="$3"; out="$(realpath -m "$4")"
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

stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
cp "$here/bridge.wxs" "$stage/"
node "$here/../extension/bridge-names.mjs" --installer "$stage"
cp "$host" "$stage/$(sed -n 's/^HostExe=//p' "$stage/wix-defines.txt")"

defines=(-D "Variant=$variant" -D "Version=$version" -D "NextVersion=$next")
while IFS= read -r line; do defines+=(-D "$line"); done < "$stage/wix-defines.txt"
mkdir -p "$(dirname "$out")"
# wixl's GLib warnings about attributes it does not model go to standard error; the
# tables are checked by tests/installer instead.
(cd "$stage" && wixl -a "$arch" -o "$out" "${defines[@]}" bridge.wxs)

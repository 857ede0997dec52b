#!/usr/bin/env bash
# Usage: package.sh <build-dir> <zip>
# Packs the built plug-in and diagnostics program with the sample page, the registry
# files and the installation guide into <zip>, flat, as a technician unpacks it on a
# kiosk; the 64-bit plug-in (from <build-dir>/x64) goes in as x64/npTARVX.dll. The
# installers (bridge and plug-in) go in beside them, its extension packages in extension/, its policy templates
# in policies/. Builds nothing: run it on a finished build (scripts/release.sh does both).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "$1" && pwd)"
zip="$(realpath -m "$2")"

binaries=("$build/bin/npTARVX.dll" "$build/bin/tarvx-diag.exe")
plugin64="$build/x64/bin/npTARVX.dll"
# The installers (installer/): x64 and per-user from the 64-bit tree, x86 from this one.
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")"
msis=("$build/x64/installer/tarvx-reader-$version-x64.msi"
      "$build/installer/tarvx-reader-$version-x86.msi"
      "$build/x64/installer/tarvx-reader-$version-user.msi")
for file in "${binaries[@]}" "$plugin64" "${msis[@]}"; do
  [ -f "$file" ] || { echo "package: $file is missing; build first" >&2; exit 1; }
done

stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT

# reproducible_zip <dir> <zip>: the folder's files, in byte order of their names, each with
# one fixed time and no Unix owners (-X) or directory entries (-D): the same files give the
# same zip, byte for byte, whenever and wherever it is made.
reproducible_zip() {
  local dir="$1" out="$2"
  find "$dir" -type f -exec touch -h -d '2000-01-01 00:00:00 UTC' {} +
  (cd "$dir" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | TZ=UTC zip -q -X -D "$out" -@)
}
cp "${binaries[@]}" "$stage/"
mkdir "$stage/x64"
cp "$plugin64" "$stage/x64/"
cp "$root/examples/card-reader.html" "$stage/"
cp "${msis[@]}" "$stage/"
cp "$root"/install/*.reg "$stage/"
cp "$root/docs/INSTALL.md" "$stage/INSTALL.md"
# What the guide links to, beside it as in docs/.
cp "$root/docs/TRACE.md" "$stage/TRACE.md"
# The same guide for Notepad on older Windows, which shows LF-only text on one line.
sed 's/\r*$/\r/' "$root/docs/INSTALL.md" > "$stage/INSTALL.txt"

# --- The extension for the bridge: store packages, update manifest, policy templates ---
extension="$build/extension"
for dir in chromium-store firefox policies self-hosted; do
  [ -d "$extension/$dir" ] || { echo "package: $extension/$dir is missing; build the extension first" >&2; exit 1; }
done
ext_version="$(node -p "require('$extension/firefox/manifest.json').version")"
mkdir "$stage/extension" "$stage/policies"
# Each store takes a zip with the manifest at its top (made from copies: the build's folders
# keep their own times).
for store in chromium-store:chromium firefox:firefox; do
  copy="$stage/.${store%%:*}"
  cp -r "$extension/${store%%:*}" "$copy"
  reproducible_zip "$copy" "$stage/extension/tarvx-extension-${store##*:}-$ext_version.zip"
  rm -rf "$copy"
done
# The signed package, when the release made one, with the update manifest naming it.
if [ -d "$extension/signed" ]; then
  cp "$extension/signed/tarvx-chromium-$ext_version.crx" "$extension/signed/chromium-update-manifest.xml" \
    "$stage/extension/"
else
  cp "$extension/self-hosted/chromium-update-manifest.xml" "$stage/extension/"
fi
cp "$extension"/policies/* "$stage/policies/"
# --- end of the extension's block ---

mkdir -p "$(dirname "$zip")"
rm -f "$zip"
reproducible_zip "$stage" "$zip"

#!/usr/bin/env bash
# Usage: package_test.sh <source-dir> <build-dir> <work-dir>
# Packs this build as the release does, into <work-dir>, and checks the package.
set -u
root="$1"; build="$2"; work="$3"
zip="$work/npTARVX-package-test.zip"
rm -f "$zip"
bash "$root/scripts/package.sh" "$build" "$zip" || exit 1
bash "$root/tests/release/check_package.sh" "$root" "$build" "$zip"

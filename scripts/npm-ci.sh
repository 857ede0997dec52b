#!/usr/bin/env bash
# Usage: npm-ci.sh <folder with package-lock.json>
# Installs the folder's pinned packages with `npm ci` when node_modules is missing or older
# than the lock file (npm writes node_modules/.package-lock.json on every install).
set -euo pipefail
dir="$1"
stamp="$dir/node_modules/.package-lock.json"
if [ ! -f "$stamp" ] || [ "$dir/package-lock.json" -nt "$stamp" ]; then
  echo "npm-ci: installing the packages of $dir"
  (cd "$dir" && npm ci --ignore-scripts --no-audit --no-fund)
fi

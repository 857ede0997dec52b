#!/usr/bin/env bash
# Usage: format.sh [--check]
# Formats every tracked C/C++ file with clang-format 14 and the repository's .clang-format,
# and every tracked JavaScript file (.js, .mjs) with Prettier, pinned in tests/browser's
# lockfile, and .prettierrc.json (`make format`). With --check, changes nothing and fails
# naming the files that would change.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
clang_format="$(command -v clang-format-14 || command -v clang-format)"
prettier="$root/tests/browser/node_modules/.bin/prettier"
if [ ! -x "$prettier" ]; then
  bash "$root/scripts/npm-ci.sh" "$root/tests/browser" >/dev/null
fi
mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.c')
mapfile -t scripts < <(git ls-files '*.js' '*.mjs')
if [ "${1:-}" != "--check" ]; then
  # Twice: clang-format 14 sometimes settles a layout (a trailing comment in a braced
  # list) only on its second pass, and the check must then agree with what was written.
  "$clang_format" -i --style=file "${files[@]}"
  "$clang_format" -i --style=file "${files[@]}"
  "$prettier" --log-level warn --write "${scripts[@]}"
  exit 0
fi
# One clang-format run for all files: it reports each unformatted spot as file:line:col.
mapfile -t unformatted < <("$clang_format" --style=file --dry-run "${files[@]}" 2>&1 |
  sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: warning: code should be clang-formatted.*/\1/p' | sort -u)
# Prettier lists the files it would change.
mapfile -t -O "${#unformatted[@]}" unformatted < <("$prettier" --list-different "${scripts[@]}" || true)
if [ ${#unformatted[@]} -gt 0 ]; then
  echo "Not formatted (run 'make format'):"
  printf '  %s\n' "${unformatted[@]}"
  exit 1
fi
echo "format: ${#files[@]} C/C++ and ${#scripts[@]} JavaScript files formatted"

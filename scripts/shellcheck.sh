#!/usr/bin/env bash
# Usage: shellcheck.sh
# Runs shellcheck on every tracked shell script (*.sh and the extensionless ones that start
# with a shell's #!), following sourced files. Findings are fixed, or disabled in place
# with the reason on the same line.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
mapfile -t scripts < <(
  git ls-files | while read -r f; do
    case "${f##*/}" in
      *.sh) echo "$f" ;;
      *.*) ;;
      *) [ -f "$f" ] && head -n1 "$f" | grep -qE '^#!.*\b(ba)?sh\b' && echo "$f" ;;
    esac
  done
)
shellcheck -x "${scripts[@]}"
echo "shellcheck: ${#scripts[@]} scripts, no findings"

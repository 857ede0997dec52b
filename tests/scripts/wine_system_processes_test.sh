#!/usr/bin/env bash
# Usage: wine_system_processes_test.sh <win32|win64>   (inside scripts/with-wine.sh)
# Wine's own programs of the tree's prefix (services.exe and the programs it starts) are
# running and none of them carries the simulated reader's DLL override, even after one of
# our programs, with that override, ran first: services.exe cannot start under it (it needs
# Wine's setupapi.dll), and every program that needs a service would then fail.
set -u
arch="$1"
root="$(cd "$(dirname "$0")/../.." && pwd)"
# shellcheck source=scripts/width.sh
. "$root/scripts/width.sh"
runner="$(wine_runner "$arch")" || exit 2
if [ "$arch" = win64 ]; then prefix="$TARVX_WINEPREFIX64"; else prefix="$WINEPREFIX"; fi

# A program as the tests start them: the runner's default overrides.
"$runner" cmd /c exit 0 || { echo "FAIL: a program under $runner did not run"; exit 1; }

status=0
services=0
for dir in /proc/[0-9]*; do
  # A process may end while it is read.
  cmdline="$( (tr '\0' ' ' <"$dir/cmdline") 2>/dev/null | sed 's/ *$//')"
  case "$cmdline" in
    *"\\windows\\system32\\"*) ;;
    *) continue ;;
  esac
  environ="$( (tr '\0' '\n' <"$dir/environ") 2>/dev/null)" || continue
  grep -qxF "WINEPREFIX=$prefix" <<<"$environ" || continue
  case "$cmdline" in *'\services.exe'*) services=$((services + 1)) ;; esac
  overrides="$(sed -n 's/^WINEDLLOVERRIDES=//p' <<<"$environ")"
  case "$overrides" in
    *setupapi*|*hid*)
      echo "FAIL: $cmdline runs with WINEDLLOVERRIDES=$overrides"
      status=1 ;;
    *) echo "ok: $cmdline" ;;
  esac
done
if [ "$services" -eq 0 ]; then
  echo "FAIL: no services.exe runs in $prefix"
  status=1
fi
echo "$arch prefix: services.exe $services, result $([ "$status" -eq 0 ] && echo passed || echo FAILED)"
exit $status

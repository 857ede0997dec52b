#!/usr/bin/env bash
# Usage: wine_system_processes_test.sh <win32|win64>   (inside scripts/with-wine.sh)
# Wine's services of the tree's prefix (services.exe and the programs it starts) are running
# and none of them carries the simulated reader's DLL override, even after one of our
# programs, with that override, ran first: services.exe cannot start under it (it needs
# Wine's setupapi.dll), and every program that needs a service would then fail. (The
# desktop's explorer.exe comes and goes with the windows of the session and is started by
# whichever program opens the first; it loads neither DLL.)
set -u
arch="$1"
root="$(cd "$(dirname "$0")/../.." && pwd)"
# shellcheck source=scripts/width.sh
. "$root/scripts/width.sh"
# shellcheck source=tests/support/checks.sh
. "$root/tests/support/checks.sh"
runner="$(wine_runner "$arch")" || exit 2
if [ "$arch" = win64 ]; then prefix="$TARVX_WINEPREFIX64"; else prefix="$WINEPREFIX"; fi

plan 3
# A program as the tests start them: the runner's default overrides.
check "a program with the stand-in override ran first" "$runner" cmd /c exit 0

services=0
for dir in /proc/[0-9]*; do
  # A process may end while it is read.
  cmdline="$( (tr '\0' ' ' <"$dir/cmdline") 2>/dev/null | sed 's/ *$//')"
  case "$cmdline" in
    *"\\system32\\services.exe"|*"\\system32\\winedevice.exe"|*"\\system32\\plugplay.exe") ;;
    *"\\system32\\svchost.exe"*|*"\\system32\\rpcss.exe") ;;
    *) continue ;;
  esac
  environ="$( (tr '\0' '\n' <"$dir/environ") 2>/dev/null)" || continue
  grep -qxF "WINEPREFIX=$prefix" <<<"$environ" || continue
  case "$cmdline" in *'\services.exe'*) services=$((services + 1)) ;; esac
  overrides="$(sed -n 's/^WINEDLLOVERRIDES=//p' <<<"$environ")"
  case "$overrides" in
    *setupapi*|*hid*) fail "$cmdline runs with WINEDLLOVERRIDES=$overrides" ;;
    *) echo "  $cmdline" ;;
  esac
done
check_done "no Wine service of the $arch prefix runs with our override"
[ "$services" -gt 0 ] || fail "no services.exe runs in $prefix"
check_done "services.exe runs in the $arch prefix"
checks_end

#!/usr/bin/env bash
# Usage: with-wine.sh <build-dir> <command> [args...]
# Runs <command> inside a virtual X display (24-bit colour), with a Wine prefix kept in
# <build-dir>/wineprefix and a persistent wineserver, so each Windows program starts in
# a few hundredths of a second. The wineserver is stopped at the end; the exit code is
# the command's.
set -u
build="$(mkdir -p "$1" && cd "$1" && pwd)"; shift

if [ -z "${NPTARVX_IN_XVFB:-}" ]; then
  export NPTARVX_IN_XVFB=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$build" "$@"
fi

export WINEPREFIX="$build/wineprefix"
export WINEARCH=win32
export WINEDEBUG=-all
mkdir -p "$WINEPREFIX"
wineserver -p
if [ ! -f "$WINEPREFIX/.initialised" ]; then
  echo "with-wine: creating the Wine prefix (once per build directory, about 20 s)"
  WINEDLLOVERRIDES="mscoree,mshtml=" wine wineboot -i >/dev/null 2>&1
  touch "$WINEPREFIX/.initialised"
fi

"$@"
rc=$?
wineserver -k >/dev/null 2>&1
wineserver -w >/dev/null 2>&1
exit $rc

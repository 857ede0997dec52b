#!/usr/bin/env bash
# Usage: with-wine.sh <build-dir> <command> [args...]
# Runs <command> inside a virtual X display (24-bit colour), with Wine prefixes kept in the
# build directory and persistent wineservers, so each Windows program starts in a few
# hundredths of a second:
#   32-bit: WINEPREFIX=<build-dir>/wineprefix (WINEARCH=win32; scripts/wine-exec.sh)
#   64-bit: TARVX_WINEPREFIX64=<build-dir>/x64/wineprefix (scripts/wine64-exec.sh)
# A machine whose kernel cannot start 32-bit programs gets no 32-bit prefix; then
# TARVX_NO_WIN32 is set to the reason, and the 64-bit prefix is still prepared.
# The wineservers are stopped at the end; the exit code is the command's.
set -u
build="$(mkdir -p "$1" && cd "$1" && pwd)"; shift

if [ -z "${NPTARVX_IN_XVFB:-}" ]; then
  export NPTARVX_IN_XVFB=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$build" "$@"
fi

export WINEDEBUG=-all
export WINEPREFIX="$build/wineprefix"
export TARVX_WINEPREFIX64="$build/x64/wineprefix"
root="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=scripts/win32-support.sh
. "$root/scripts/win32-support.sh"

# prepare <prefix> <arch> <loader>: a persistent wineserver, and the prefix made once.
prepare() {
  local prefix="$1" arch="$2" loader="$3"
  mkdir -p "$prefix"
  WINEPREFIX="$prefix" WINEARCH="$arch" wineserver -p
  if [ ! -f "$prefix/.initialised" ]; then
    echo "with-wine: creating the $arch Wine prefix (once per build directory, about 20 s)"
    if WINEPREFIX="$prefix" WINEARCH="$arch" WINELOADER="$loader" WINEDLLOVERRIDES="mscoree,mshtml=" \
        "$loader" wineboot -i >/dev/null 2>&1; then
      touch "$prefix/.initialised"
    else
      echo "with-wine: could not create the $arch prefix in $prefix" >&2
    fi
  fi
}
stop() { WINEPREFIX="$1" wineserver -k >/dev/null 2>&1; WINEPREFIX="$1" wineserver -w >/dev/null 2>&1; }

if reason=$(win32_unavailable_reason); then
  export TARVX_NO_WIN32="$reason"
else
  export WINEARCH=win32
  prepare "$WINEPREFIX" win32 /usr/lib/wine/wine
fi
if [ -x /usr/lib/wine/wine64 ]; then
  prepare "$TARVX_WINEPREFIX64" win64 /usr/lib/wine/wine64
fi

"$@"
rc=$?
[ -n "${TARVX_NO_WIN32:-}" ] || stop "$WINEPREFIX"
[ -x /usr/lib/wine/wine64 ] && stop "$TARVX_WINEPREFIX64"
exit $rc

#!/usr/bin/env bash
# Usage: with-wine.sh <build-dir> <command> [args...]
# Runs <command> inside a virtual X display (24-bit colour), with Wine prefixes kept in the
# build directory and persistent wineservers, so each Windows program starts in a few
# hundredths of a second:
#   32-bit: WINEPREFIX=<build-dir>/wineprefix (WINEARCH=win32; scripts/wine-exec.sh)
#   64-bit: TARVX_WINEPREFIX64=<build-dir>/x64/wineprefix (scripts/wine64-exec.sh)
# The command's width decision (scripts/width.sh) is taken here when the caller has not
# taken it: a machine that cannot start 32-bit programs gets no 32-bit prefix, and
# TARVX_NO_WIN32 says why; the 64-bit prefix is prepared in either case.
# Each prefix's own programs (services.exe, plugplay, winedevice) are started here, before
# any program of ours: they inherit the environment of the program that starts them, and
# under the simulated reader's DLL override services.exe cannot load Wine's setupapi.dll.
# The wineservers are stopped at the end; the exit code is the command's.
set -u
build="$(mkdir -p "$1" && cd "$1" && pwd)"; shift
root="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=scripts/width.sh
. "$root/scripts/width.sh"
decide_width || exit 1

if [ -z "${NPTARVX_IN_XVFB:-}" ]; then
  export NPTARVX_IN_XVFB=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$build" "$@"
fi

export WINEDEBUG=-all
export WINEPREFIX="$build/wineprefix"
export TARVX_WINEPREFIX64="$build/x64/wineprefix"

# prepare <prefix> <arch> <loader>: a persistent wineserver, the prefix made once, and the
# prefix's own programs started without our DLL overrides.
prepare() {
  local prefix="$1" arch="$2" loader="$3"
  mkdir -p "$prefix"
  WINEPREFIX="$prefix" WINEARCH="$arch" wineserver -p
  local boot=()
  if [ ! -f "$prefix/.initialised" ]; then
    echo "with-wine: creating the $arch Wine prefix (once per build directory, about 20 s)"
    boot=(-i)
  fi
  if WINEPREFIX="$prefix" WINEARCH="$arch" WINELOADER="$loader" WINEDLLOVERRIDES="mscoree,mshtml=" \
      "$loader" wineboot ${boot[@]+"${boot[@]}"} >/dev/null 2>&1; then
    touch "$prefix/.initialised"
  else
    echo "with-wine: could not start the $arch prefix in $prefix" >&2
  fi
}
stop() { WINEPREFIX="$1" wineserver -k >/dev/null 2>&1; WINEPREFIX="$1" wineserver -w >/dev/null 2>&1; }

if [ "$TARVX_WIDTH" = win32 ]; then
  export WINEARCH=win32
  prepare "$WINEPREFIX" win32 "$TARVX_WINE32_LOADER"
fi
if [ -x "$TARVX_WINE64_LOADER" ]; then
  prepare "$TARVX_WINEPREFIX64" win64 "$TARVX_WINE64_LOADER"
fi

"$@"
rc=$?
[ "$TARVX_WIDTH" = win32 ] && stop "$WINEPREFIX"
[ -x "$TARVX_WINE64_LOADER" ] && stop "$TARVX_WINEPREFIX64"
exit $rc

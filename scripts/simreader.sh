#!/usr/bin/env bash
# Usage: simreader.sh <build-dir> start | <simreader-ctl command> [arguments...]
# The shared simulated reader from Linux scripts: runs <build-dir>/bin/simreader-ctl.exe
# under the project's Wine settings for the build's architecture, in that build's Wine
# prefix: a 32-bit build (build) through scripts/wine-exec.sh in WINEPREFIX, else
# <build-dir>/wineprefix; a 64-bit one (build/x64) through scripts/wine64-exec.sh in
# TARVX_WINEPREFIX64, else <build-dir>/wineprefix. Run it inside scripts/with-wine.sh, or
# with a wineserver of that prefix running, so that it meets the programs it serves.
#   start   starts the session's server in the background (its output goes to
#           <build-dir>/simreader-<session>.log) and returns once it answers: exit 0,
#           or 4 when the session has a server already, 3 when it does not come up.
#   other   a simreader-ctl command (plug, card, raw, unplug, list, wait-handles, stop, ...;
#           see "simreader.sh <build-dir> --help"), with its output and exit code.
# The session is SIMREADER_SHARED ("default" when unset); give the programs that should
# see the devices the same SIMREADER_SHARED.
set -u
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:?usage: simreader.sh <build-dir> <command> [arguments...]}" && pwd)"; shift
export SIMREADER_SHARED="${SIMREADER_SHARED:-default}"
exe="$build/bin/simreader-ctl.exe"
if [ ! -f "$exe" ]; then
  echo "simreader.sh: $exe is not built" >&2
  exit 2
fi

# shellcheck source=scripts/width.sh
. "$root/scripts/width.sh"
arch="$(tree_width "$build")" || exit 2
if [ "$arch" = win64 ]; then
  export TARVX_WINEPREFIX64="${TARVX_WINEPREFIX64:-$build/wineprefix}"
else
  export WINEPREFIX="${WINEPREFIX:-$build/wineprefix}"
fi
ctl=("$(wine_runner "$arch")" "$exe")

if [ "${1:-}" = start ]; then
  if "${ctl[@]}" ping >/dev/null 2>&1; then
    echo "simreader.sh: session \"$SIMREADER_SHARED\" has a server already" >&2
    exit 4
  fi
  nohup "${ctl[@]}" serve >"$build/simreader-$SIMREADER_SHARED.log" 2>&1 </dev/null &
  "${ctl[@]}" ping --wait 10000 >/dev/null
  exit $?
fi

# A Windows console program ends its lines with CR LF; scripts want plain lines.
"${ctl[@]}" "$@" | tr -d '\r'
exit "${PIPESTATUS[0]}"

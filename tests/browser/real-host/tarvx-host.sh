#!/usr/bin/env bash
# The real native messaging host for the browser tests: the host manifests point here
# (TARVX_TEST_HOST), and the browser starts it with its own arguments, which are ignored.
# Runs the 64-bit tarvx-host.exe under 64-bit Wine with the stand-in hid.dll/setupapi.dll,
# in the simulated reader's shared session. Set by the test's controller (support/
# realHostControl.mjs), reaching this script through the browser's environment:
#   TARVX_REAL_HOST_EXE  the host program (<build>/x64/bin/tarvx-host.exe)
#   TARVX_REAL_HOST_DIR  where each start appends its process id to "starts"
#   TARVX_REAL_HOST_LOG  where the host's standard error goes (appended)
#   TARVX_WINEPREFIX64   the 64-bit prefix whose wineserver scripts/with-wine.sh runs
#   SIMREADER_SHARED     the session of the simulator's server
set -u
root="$(cd "$(dirname "$0")/../../.." && pwd)"
dir="${TARVX_REAL_HOST_DIR:?TARVX_REAL_HOST_DIR is not set}"
exec 2>>"${TARVX_REAL_HOST_LOG:-$dir/host.log}"
: "${TARVX_REAL_HOST_EXE:?not set}" "${TARVX_WINEPREFIX64:?not set}" "${SIMREADER_SHARED:?not set}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="hid,setupapi=n;mscoree,mshtml="
# The exec chain keeps this process id down to the Windows process: the controller kills
# and watches the host by it.
echo "$$" >>"$dir/starts"
exec "$root/scripts/wine64-exec.sh" "$TARVX_REAL_HOST_EXE"

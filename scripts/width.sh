# shellcheck shell=bash
# Sourced by every script that runs Windows programs or chooses between the 32-bit and the
# 64-bit tree. Some virtual machines run only 64-bit programs: their kernels refuse every
# 32-bit one ("Exec format error"), Wine's 32-bit loader included.
#
# decide_width makes the one decision a command needs, after the tools are installed (whether
# 32-bit Wine runs is only known then), and exports it so that every later step of the same
# command, child scripts included, uses it instead of asking again:
#   TARVX_WIDTH     win32 where 32-bit Windows programs run here, win64 where they cannot;
#   TARVX_NO_WIN32  the reason in the second case, unset in the first;
#   TARVX_WIDTH_DECIDED  set, so that a child script knows the tools are installed too.
#
# The Wine loaders are Debian's unless TARVX_WINE32_LOADER / TARVX_WINE64_LOADER name others
# (WineHQ's packages, for example, install under /opt).
TARVX_WINE32_LOADER="${TARVX_WINE32_LOADER:-/usr/lib/wine/wine}"
TARVX_WINE64_LOADER="${TARVX_WINE64_LOADER:-/usr/lib/wine/wine64}"
export TARVX_WINE32_LOADER TARVX_WINE64_LOADER

# decide_width: installs what is missing (scripts/setup.sh), then decides; a no-op when the
# command has decided already.
decide_width() {
  if [ -n "${TARVX_WIDTH_DECIDED:-}" ] && [ -n "${TARVX_WIDTH:-}" ]; then return 0; fi
  local scripts out
  scripts="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
  bash "$scripts/setup.sh" || return 1
  if [ ! -x "$TARVX_WINE32_LOADER" ]; then
    TARVX_NO_WIN32="32-bit Wine ($TARVX_WINE32_LOADER) is not installed"
  elif out=$("$TARVX_WINE32_LOADER" --version 2>&1); then
    TARVX_NO_WIN32=""
  else
    # The shell's own words ("...: line 28: <loader>: cannot execute binary file: ...") less its prefix.
    out="${out##*"$TARVX_WINE32_LOADER": }"
    TARVX_NO_WIN32="this machine cannot start 32-bit programs ($TARVX_WINE32_LOADER: ${out:-failed})"
  fi
  if [ -n "$TARVX_NO_WIN32" ]; then
    export TARVX_WIDTH=win64 TARVX_NO_WIN32
  else
    export TARVX_WIDTH=win32
    unset TARVX_NO_WIN32
  fi
  export TARVX_WIDTH_DECIDED=1
}

# tree_width <tree>: the width a configured build tree was made for (win32 or win64), as its
# CMake configuration wrote it; fails when the tree is not configured.
tree_width() {
  local file="$1/tarvx-width.txt"
  if [ ! -f "$file" ]; then
    echo "width: $1 is not a configured build tree (no tarvx-width.txt)" >&2
    return 1
  fi
  cat "$file"
}

# wine_runner <win32|win64>: the script that runs one program of that width under Wine.
wine_runner() {
  local scripts
  scripts="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
  case "$1" in
    win32) echo "$scripts/wine-exec.sh" ;;
    win64) echo "$scripts/wine64-exec.sh" ;;
    *) echo "width: no Wine runner for '$1'" >&2; return 1 ;;
  esac
}

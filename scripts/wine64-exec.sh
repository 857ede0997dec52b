#!/usr/bin/env bash
# Runs one 64-bit Windows program under 64-bit Wine with the project's settings, in the
# 64-bit prefix that scripts/with-wine.sh prepares (TARVX_WINEPREFIX64): the simulated
# reader's stand-in DLLs (next to the .exe) replace Wine's own; Wine's diagnostics, Mono
# and Gecko prompts are switched off. The loader is the one scripts/width.sh names
# (TARVX_WINE64_LOADER): Debian's wine wrapper would prefer the 32-bit one.
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-hid,setupapi=n;mscoree,mshtml=}"
export WINEARCH=win64
if [ -n "${TARVX_WINEPREFIX64:-}" ]; then export WINEPREFIX="$TARVX_WINEPREFIX64"; fi
export WINELOADER="${TARVX_WINE64_LOADER:-/usr/lib/wine/wine64}"
exec "$WINELOADER" "$@"

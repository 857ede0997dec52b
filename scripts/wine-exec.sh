#!/usr/bin/env bash
# Runs one 32-bit Windows program under 32-bit Wine with the project's settings: the
# simulated reader's hid.dll and setupapi.dll (next to the .exe) replace Wine's own, and
# Wine's diagnostics, Mono and Gecko prompts are switched off. The loader is the one
# scripts/width.sh names (TARVX_WINE32_LOADER).
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-hid,setupapi=n;mscoree,mshtml=}"
export WINEARCH=win32
export WINELOADER="${TARVX_WINE32_LOADER:-/usr/lib/wine/wine}"
exec "$WINELOADER" "$@"

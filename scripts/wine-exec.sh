#!/usr/bin/env bash
# Runs one Windows program under Wine with the project's settings: the simulated
# reader's hid.dll and setupapi.dll (next to the .exe) replace Wine's own, and
# Wine's diagnostics, Mono and Gecko prompts are switched off.
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-hid,setupapi=n;mscoree,mshtml=}"
export WINEARCH=win32
exec wine "$@"

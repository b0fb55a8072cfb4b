#!/usr/bin/env bash
# Runs a Windows program under Wine with the project's own prefix, quietly.
# Used by ctest as the cross build's emulator.
export WINEDEBUG=${WINEDEBUG:--all}
export WINEPREFIX=${WINEPREFIX:-${SFX_WINEPREFIX:-$HOME/.wine-sfxstub}}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
exec wine "$@"

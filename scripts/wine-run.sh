#!/usr/bin/env bash
# Runs a Windows program under Wine with the project's own (64-bit) prefix, quietly. Used by
# ctest as the cross builds' emulator and by the test scripts.
#
# A 32-bit program needs Wine's 32-bit loader, which only machines that execute 32-bit x86
# code can start; everything else (64-bit programs and Wine's own tools) goes to the 64-bit
# loader, called by its path because the `wine` script prefers the 32-bit one when both are
# installed.
export WINEDEBUG=${WINEDEBUG:--all}
export WINEPREFIX=${WINEPREFIX:-${SFX_WINEPREFIX:-$HOME/.wine-sfxstub64}}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
source "$(dirname "${BASH_SOURCE[0]}")/windows.sh"
loader=$(sfx_wine_loader 64)
if [ -f "${1:-}" ] && [ "$(sfx_pe_machine "$1")" = i686 ]; then
  loader=$(sfx_wine_loader 32)
fi
exec "$loader" "$@"

# Sourced by the scripts: a display for the GUI tests (our own Xvfb when there is none) and
# the project's Wine prefix, made once. The prefix is a 64-bit one: 64-bit programs run on every
# machine, 32-bit ones too where the machine executes 32-bit code (scripts/windows.sh).
export SFX_WINEPREFIX=${SFX_WINEPREFIX:-$HOME/.wine-sfxstub64}
export WINEPREFIX=$SFX_WINEPREFIX
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}

source "$(dirname "${BASH_SOURCE[0]}")/xvfb.sh"
source "$(dirname "${BASH_SOURCE[0]}")/windows.sh"
sfx_start_xvfb
[ -n "$SFX_XVFB_PID" ] && trap 'kill $SFX_XVFB_PID 2>/dev/null; wineserver -k 2>/dev/null' EXIT

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "env: creating the Wine prefix $WINEPREFIX" >&2
  WINEARCH=win64 "$(sfx_wine_loader 64)" wineboot -i >/dev/null 2>&1
  wineserver -w
fi

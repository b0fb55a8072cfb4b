# Sourced by the scripts: a display for the GUI tests (our own Xvfb when there is none) and
# the project's Wine prefix, made once.
export SFX_WINEPREFIX=${SFX_WINEPREFIX:-$HOME/.wine-sfxstub}
export WINEPREFIX=$SFX_WINEPREFIX
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}

source "$(dirname "${BASH_SOURCE[0]}")/xvfb.sh"
sfx_start_xvfb
[ -n "$SFX_XVFB_PID" ] && trap 'kill $SFX_XVFB_PID 2>/dev/null; wineserver -k 2>/dev/null' EXIT

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "env: creating the Wine prefix $WINEPREFIX" >&2
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi

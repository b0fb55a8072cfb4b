# Sourced by the scripts: a display for the GUI tests (our own Xvfb when there is none) and
# the project's Wine prefix, made once.
export SFX_WINEPREFIX=${SFX_WINEPREFIX:-$HOME/.wine-sfxstub}
export WINEPREFIX=$SFX_WINEPREFIX
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}

if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 120); do
    [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
    Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    SFX_XVFB_PID=$!
    export DISPLAY=:$n
    trap 'kill $SFX_XVFB_PID 2>/dev/null; wineserver -k 2>/dev/null' EXIT
    for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
    break
  done
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "env: creating the Wine prefix $WINEPREFIX" >&2
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi

# Sourced by scripts and GUI tests: sfx_start_xvfb starts our own virtual screen when there is
# no display, exports DISPLAY and sets SFX_XVFB_PID (empty when a display was already there).
# The caller stops it: kill "$SFX_XVFB_PID".
sfx_start_xvfb() {
  SFX_XVFB_PID=
  [ -n "${DISPLAY:-}" ] && return 0
  local n
  for n in $(seq 90 190); do
    [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
    Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    SFX_XVFB_PID=$!
    export DISPLAY=:$n
    for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && return 0; sleep 0.1; done
    return 1
  done
  return 1
}

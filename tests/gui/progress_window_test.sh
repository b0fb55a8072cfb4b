#!/usr/bin/env bash
# The progress window on a real (virtual) screen: Wine draws it on Xvfb, the test looks at
# the pixels of a screenshot and clicks it with xdotool.
#
#   tests/gui/progress_window_test.sh <windows-build-dir> (win32 or win64)
#
# Checks that the window is centred on the screen, that the bar at 40 % is filled in the
# highlight colour up to the computed split and in the face colour after it, that the
# status label shows a long path shortened with "...\", that a click on the bar does not
# cancel and that a click on "Abbruch" reaches the program as CancelRequested. Keeps the
# screenshot of the window at 40 % as <windows-build-dir>/artifacts/progress-40.png.
set -uo pipefail

build=$(cd "${1:?usage: $0 <windows-build-dir>}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
wine_run=$here/../../scripts/wine-run.sh
driver=$build/tests/gui/progress_window_driver.exe
artifacts=$build/artifacts
caption="Vask Setup Selbstentpacker"
long_path='C:\Programme\Beispielanwendung mit langem Namen\Daten\Unterordner\Noch tiefer\setup.daten.tar.gz'
[ -f "$driver" ] || { echo "progress_window_test: $driver is missing" >&2; exit 1; }
mkdir -p "$artifacts"
work=$(mktemp -d)
xvfb_pid="" driver_pid=""

cleanup() {
  [ -n "$driver_pid" ] && kill "$driver_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "progress_window_test: FAIL: $*" >&2; [ -f "$work/report" ] && sed 's/^/  report: /' "$work/report" >&2; exit 1; }

source "$(dirname "$0")/../../scripts/xvfb.sh"
sfx_start_xvfb || fail "no free display for Xvfb"
xvfb_pid=$SFX_XVFB_PID

# With no window manager on the virtual screen, Wine is asked to draw the caption and frame
# itself (for this program only), so the screenshot shows the whole window.
"$wine_run" reg add 'HKCU\Software\Wine\AppDefaults\progress_window_driver.exe\X11 Driver' \
  /v Decorated /d N /f >/dev/null 2>&1

wait_for() {  # wait_for <pattern> <seconds>
  local tries=$(( $2 * 10 ))
  for _ in $(seq "$tries"); do
    grep -q "$1" "$work/report" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}
field() { tr -d '\r' <"$work/report" | sed -n "s/^$1 //p" | head -n 1; }

"$wine_run" "$driver" --pause-at 40 --report "$("$wine_run" winepath -w "$work/report" 2>/dev/null | tr -d '\r')" \
  "$long_path" "C:\\Programme\\Beispiel\\readme.txt" >"$work/stdout" 2>"$work/stderr" &
driver_pid=$!
wait_for '^paused' 90 || fail "the driver did not reach 40 %"
sleep 1  # let the queued paint messages be drained

import -window root "$work/screen.png" || fail "no screenshot"
read -r wl wt wr wb <<<"$(field window)"
convert "$work/screen.png" -crop "$((wr - wl + 20))x$((wb - wt + 20))+$((wl - 10))+$((wt - 10))" +repage \
  "$artifacts/progress-40.png"
convert "$work/screen.png" "$work/screen.ppm"
xgeometry=$(xdotool search --name "$caption" getwindowgeometry --shell 2>/dev/null | tr '\n' ' ')

python3 - "$work/report" "$work/screen.ppm" "$long_path" "$xgeometry" <<'PY' || fail "window checks"
import sys

report, ppm, long_path, xgeometry = sys.argv[1:5]
fields = {}
for line in open(report, encoding="latin-1"):
    key, _, value = line.rstrip("\r\n").partition(" ")
    fields.setdefault(key, value)

def ints(key):
    return [int(v) for v in fields[key].split()]

def rgb(key):
    return tuple(bytes.fromhex(fields[key]))

problems = []
screen_w, screen_h = ints("screen")
left, top, right, bottom = ints("window")
width, height = right - left, bottom - top
def centred(screen, size):
    return int((screen - size) / 2)  # truncation toward zero
if (left, top) != (centred(screen_w, width), centred(screen_h, height)):
    problems.append("window at %d,%d is not centred on %dx%d" % (left, top, screen_w, screen_h))
x = dict(item.split("=") for item in xgeometry.split() if "=" in item)
if not x:
    problems.append("no X window named by the caption")
elif (int(x["X"]), int(x["Y"]), int(x["WIDTH"]), int(x["HEIGHT"])) != (left, top, width, height):
    problems.append("X window %s differs from the reported window" % xgeometry)

label = fields.get("label", "")
file_name = long_path.split("\\")[-1]
if "...\\" not in label or not label.endswith(file_name) or label == long_path:
    problems.append("label not shortened with '...\\': %r" % label)
if fields.get("bartext") != "40":
    problems.append("bar text %r, expected 40" % fields.get("bartext"))

with open(ppm, "rb") as f:
    data = f.read()
parts = data.split(maxsplit=4)
assert parts[0] == b"P6" and parts[3] == b"255"
image_w = int(parts[1])
pixels = parts[4]
def pixel(px, py):
    at = 3 * (py * image_w + px)
    return tuple(pixels[at:at + 3])

bar_l, bar_t, bar_r, bar_b = ints("bar")
split = ints("split")[0]
highlight, face = rgb("highlight"), rgb("face")
if not bar_l + 1 < split < bar_r - 1:
    problems.append("split %d outside the bar" % split)
for row in (bar_t + 1, bar_b - 2):  # the inner edge rows, clear of the text
    for px in range(bar_l + 1, bar_r - 1):
        want = highlight if px < split else face
        if pixel(px, row) != want:
            problems.append("bar pixel %d,%d is %s, expected %s" % (px, row, pixel(px, row), want))
            break
# The "40%" lies right of the split, in the highlight colour on the face colour.
middle = (bar_t + bar_b) // 2
if not any(pixel(px, py) == highlight for py in range(middle - 4, middle + 5)
           for px in range(split, bar_r - 1)):
    problems.append("no percentage text in the unfilled part")
for p in problems:
    print("  " + p, file=sys.stderr)
sys.exit(1 if problems else 0)
PY

click() {  # click <left top right bottom>: the middle of a screen rectangle
  read -r l t r b <<<"$1"
  xdotool mousemove $(( (l + r) / 2 )) $(( (t + b) / 2 )) click 1
}

# The bar is a button too, but only "Abbruch" (id 3) cancels.
click "$(field bar)"
sleep 1.5
grep -q '^CancelRequested' "$work/report" && fail "a click on the bar cancelled"
kill -0 "$driver_pid" 2>/dev/null || fail "the driver ended after a click on the bar"

click "$(field button)"
wait_for '^CancelRequested' 20 || fail "a click on Abbruch did not reach the program"
wait "$driver_pid"
status=$?
driver_pid=""
[ "$status" -eq 0 ] || fail "the driver exited with $status"
echo "progress_window_test: ok (screenshot: $artifacts/progress-40.png)"

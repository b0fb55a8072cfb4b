#!/usr/bin/env bash
# What each member costs the stub beyond unpacking it: an installer of many one-line files
# (FOLDERS folders of FILES files, 100 x 100 by default) unpacked by the stub and by
# `sfxpack extract` of the same build, natively and (with a Windows build) the x64 stub under
# wine64 against sfxpack.exe. The four runs take turns, RUNS rounds of them (5 by default), so
# that a busy moment of a shared machine falls on all of them alike; the figures are medians.
#
#   bench/member_cost.sh [NATIVE_BUILD [WINDOWS_BUILD]]     (build/native build/win64 by default)
#
# Builds wanted: sfxpack and sfxstub natively; sfxstub64, sfxpack and with_temp in the
# Windows build. The Wine side needs a display (scripts/env.sh starts Xvfb when there is
# none) and runs in $SFX_WINEPREFIX. Each figure is wall time of the whole process, start-up
# included; the per-member cost is the median time over the member count.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
native=$(cd "${1:-$here/build/native}" && pwd)
windows=${2:-$here/build/win64}
[ -d "$windows" ] && windows=$(cd "$windows" && pwd) || windows=
runs=${RUNS:-5} folders=${FOLDERS:-100} files=${FILES:-100}
members=$((folders * files))

work=$(mktemp -d "${TMPDIR:-/tmp}/member_cost.XXXXXX")
cleanup() { rm -rf "$work"; }
trap cleanup EXIT
if [ -n "$windows" ]; then
  source "$here/scripts/env.sh"
  # One Wine server for every run, so that no run pays for starting it.
  wineserver -p
  trap 'cleanup; wineserver -k 2>/dev/null; [ -z "$SFX_XVFB_PID" ] || kill "$SFX_XVFB_PID"' EXIT
fi

python3 - "$work/src" "$folders" "$files" <<'PY'
import os, sys
root, folders, files = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
for d in range(folders):
    os.makedirs(os.path.join(root, "dir%03d" % d))
    for f in range(files):
        with open(os.path.join(root, "dir%03d" % d, "file%03d.txt" % f), "w") as out:
            out.write("line %d of folder %d\n" % (f, d))
PY
sfxpack=$native/tools/sfxpack/sfxpack
"$sfxpack" create --stub "$native/app/sfxstub" --codepage 65001 -o "$work/native-installer" "$work/src/" >/dev/null
chmod +x "$work/native-installer"
if [ -n "$windows" ]; then
  "$sfxpack" create --stub "$windows/app/sfxstub64.exe" -o "$work/x64-installer.exe" "$work/src/" >/dev/null
fi
rm -rf "$work/src"

win() { echo "Z:${1//\//\\}"; }

# timed NAME COMMAND...: appends the wall time of the command to $work/NAME.times; its output
# goes to $work/NAME.log, and a failure ends the benchmark.
timed() {
  local name=$1 start end
  shift
  rm -rf "$work/out" && mkdir "$work/out"
  start=$(date +%s.%N)
  "$@" </dev/null >"$work/$name.log" 2>&1 || { echo "member_cost: $name failed:" >&2; cat "$work/$name.log" >&2; exit 1; }
  end=$(date +%s.%N)
  local count
  count=$(find "$work/out" -type f -name 'file*.txt' | wc -l)
  [ "$count" -eq "$members" ] || { echo "member_cost: $name unpacked $count of $members files" >&2; exit 1; }
  echo "$start $end" | awk '{ printf "%.3f\n", $2 - $1 }' >>"$work/$name.times"
}

for round in $(seq "$runs"); do
  timed native-stub env TMPDIR="$work/out" "$work/native-installer"
  timed native-extract "$sfxpack" extract "$work/native-installer" -C "$work/out"
  if [ -n "$windows" ]; then
    timed wine-stub "$here/scripts/wine-run.sh" "$windows/tests/e2e/with_temp.exe" "$(win "$work/out")\\" \
      "$(win "$work/x64-installer.exe")"
    timed wine-extract "$here/scripts/wine-run.sh" "$windows/tools/sfxpack/sfxpack.exe" extract \
      "$(win "$work/x64-installer.exe")" -C "$(win "$work/out")"
  fi
  echo "round $round of $runs done" >&2
done

python3 - "$work" "$members" "$runs" <<'PY'
import os, statistics, sys
work, members, runs = sys.argv[1], int(sys.argv[2]), sys.argv[3]
def times(name):
    path = os.path.join(work, name + ".times")
    return [float(t) for t in open(path)] if os.path.exists(path) else None
print(f"{members} one-line members, {runs} interleaved rounds, wall seconds (median; all runs)")
for side, stub, extract in (("native", "native-stub", "native-extract"), ("wine64", "wine-stub", "wine-extract")):
    s, e = times(stub), times(extract)
    if not s:
        continue
    ms, me = statistics.median(s), statistics.median(e)
    print(f"{side}: stub {ms:.2f} s ({ms / members * 1000:.3f} ms a member)  "
          f"sfxpack extract {me:.2f} s ({me / members * 1000:.3f} ms a member)  stub/extract {ms / me:.2f}")
    print(f"  stub:    " + " ".join(f"{t:.2f}" for t in s))
    print(f"  extract: " + " ".join(f"{t:.2f}" for t in e))
PY

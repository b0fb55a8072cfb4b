#!/usr/bin/env bash
# What each member costs the stub beyond unpacking it: an installer of many one-line files
# (FOLDERS folders of FILES files, 100 x 100 by default) unpacked by the stub and by
# `sfxpack extract` of the same build, natively and (with a Windows build) the x64 stub under
# wine64 against sfxpack.exe. The runs take turns, RUNS rounds of them (5 by default), so that
# a busy moment of a shared machine falls on all of them alike; the figures are medians.
#
#   bench/member_cost.sh [NATIVE_BUILD [WINDOWS_BUILD]]     (build/native build/win64 by default)
#
# Builds wanted: sfxpack and sfxstub natively; sfxstub64, sfxpack and with_temp in the
# Windows build. The Wine side needs a display (scripts/env.sh starts Xvfb when there is
# none) and runs in $SFX_WINEPREFIX. Each figure is wall time of the whole process, start-up
# included; an installer of one member gives what a run costs besides its members (under Wine
# without a window manager, closing the progress window alone takes 2 s: Wine waits that long
# for a window manager to confirm it gone).
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
mkdir "$work/one" && echo "the only line" >"$work/one/file000.txt"
sfxpack=$native/tools/sfxpack/sfxpack
# pack NAME STUB [sfxpack options]: the installers $work/NAME (every member) and $work/1-NAME
# (one member: what a run costs without members) with that stub
pack() {
  "$sfxpack" create --stub "$2" "${@:3}" -o "$work/$1" "$work/src/" >/dev/null
  "$sfxpack" create --stub "$2" "${@:3}" -o "$work/1-$1" "$work/one/" >/dev/null
  chmod +x "$work/$1" "$work/1-$1"
}
pack native "$native/app/sfxstub" --codepage 65001
[ -z "$windows" ] || pack x64.exe "$windows/app/sfxstub64.exe"
# BEFORE=TREE: the stubs of another tree's build/native and build/win64 (an earlier commit)
# take their turns too, as "before".
if [ -n "${BEFORE:-}" ]; then
  pack native-before "$BEFORE/build/native/app/sfxstub" --codepage 65001
  [ -z "$windows" ] || pack x64-before.exe "$BEFORE/build/win64/app/sfxstub64.exe"
fi
rm -rf "$work/src" "$work/one"

win() { echo "Z:${1//\//\\}"; }

# timed NAME COUNT COMMAND...: appends the wall time of the command to $work/NAME.times; its
# output goes to $work/NAME.log, and a failure or other than COUNT files unpacked ends the
# benchmark.
timed() {
  local name=$1 want=$2 start end count
  shift 2
  rm -rf "$work/out" && mkdir "$work/out"
  start=$(date +%s.%N)
  "$@" </dev/null >"$work/$name.log" 2>&1 || { echo "member_cost: $name failed:" >&2; cat "$work/$name.log" >&2; exit 1; }
  end=$(date +%s.%N)
  count=$(find "$work/out" -type f -name 'file*.txt' | wc -l)
  [ "$count" -eq "$want" ] || { echo "member_cost: $name unpacked $count of $want files" >&2; exit 1; }
  echo "$start $end" | awk '{ printf "%.3f\n", $2 - $1 }' >>"$work/$name.times"
}

native_stub() { env TMPDIR="$work/out" "$@"; }
wine_stub() {  # wine_stub INSTALLER: run under wine64 with $work/out as its temporary folder
  "$here/scripts/wine-run.sh" "$windows/tests/e2e/with_temp.exe" "$(win "$work/out")\\" "$(win "$1")"
}
native_extract() { "$sfxpack" extract "$1" -C "$work/out"; }
wine_extract() { "$here/scripts/wine-run.sh" "$windows/tools/sfxpack/sfxpack.exe" extract "$(win "$1")" -C "$(win "$work/out")"; }

# run NAME INSTALLER RUNNER: the installer with every member and the one with one member
run() {
  timed "$1" "$members" "$3" "$work/$2"
  timed "1-$1" 1 "$3" "$work/1-$2"
}
for round in $(seq "$runs"); do
  [ -z "${BEFORE:-}" ] || run native-stub-before native-before native_stub
  run native-stub native native_stub
  run native-extract native native_extract
  if [ -n "$windows" ]; then
    [ -z "${BEFORE:-}" ] || run wine-stub-before x64-before.exe wine_stub
    run wine-stub x64.exe wine_stub
    run wine-extract x64.exe wine_extract
  fi
  echo "round $round of $runs done" >&2
done

python3 - "$work" "$members" "$runs" <<'PY'
import os, statistics, sys
work, members, runs = sys.argv[1], int(sys.argv[2]), sys.argv[3]
def median(name):
    path = os.path.join(work, name + ".times")
    return statistics.median(float(t) for t in open(path)) if os.path.exists(path) else None
print(f"{members} one-line members, {runs} interleaved rounds; medians of wall time. A member's cost is")
print(f"(all members - one member) / {members - 1}; the ratios are to sfxpack extract's.")
for side, prefix in (("native", "native"), ("wine64, x64", "wine")):
    extract = (median(prefix + "-extract"), median("1-" + prefix + "-extract"))
    if extract[0] is None:
        continue
    print(f"{side + ':':<18}{'all members':>19}{'one member':>12}{'a member':>22}")
    for variant, label in (("-extract", "sfxpack extract"), ("-stub-before", "stub before"), ("-stub", "stub")):
        full, one = median(prefix + variant), median("1-" + prefix + variant)
        if full is None:
            continue
        each = (full - one) / (members - 1) * 1000
        each_extract = (extract[0] - extract[1]) / (members - 1) * 1000
        print(f"  {label:<16}{full:7.2f} s ({full / extract[0]:5.2f} x){one:10.2f} s"
              f"{each:9.3f} ms ({each / each_extract:5.2f} x)")
PY

#!/usr/bin/env bash
# Packs the sample payload (tests/payload/files and the sample program built for each
# platform) into a native and a Windows installer with sfxpack.
#
#   scripts/make_sample_installers.sh [--run] <native-build> <win32-build> <outdir>
#
# Writes <outdir>/sample_installer (native stub) and <outdir>/sample_installer.exe (Win32
# stub). The program is started as: sample_setup "erstes Argument" --report sample_setup.report
# and writes what it saw to sample_setup.report in the unpack folder (the temporary folder).
#
# With --run, then runs both, each with a fresh temporary folder below <outdir>: the native one
# in the terminal, the Windows one under Wine (on Xvfb when there is no display); the program
# prints what it was given and found, and the script adds the exit codes and what is left in
# the temporary folders (the unpacked files are gone, the folders and the report stay).
set -euo pipefail
run=no
if [ "${1:-}" = --run ]; then run=yes; shift; fi
[ $# -eq 3 ] || { echo "usage: $0 [--run] <native-build> <win32-build> <outdir>" >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
native=$(cd "$1" && pwd)
win32=$(cd "$2" && pwd)
mkdir -p "$3"
out=$(cd "$3" && pwd)
sfxpack=$native/tools/sfxpack/sfxpack
params='"erstes Argument" --report sample_setup.report'

for f in "$sfxpack" "$native/app/sfxstub" "$native/tests/payload/sample_setup" \
         "$win32/app/sfxstub.exe" "$win32/tests/payload/sample_setup.exe" \
         "$win32/tests/e2e/with_temp.exe"; do
  [ -f "$f" ] || { echo "make_sample_installers: $f is missing (build it first)" >&2; exit 1; }
done

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/native" "$stage/win32"
cp -R "$root/tests/payload/files/." "$stage/native/"
cp -R "$root/tests/payload/files/." "$stage/win32/"
cp "$native/tests/payload/sample_setup" "$stage/native/"
cp "$win32/tests/payload/sample_setup.exe" "$stage/win32/"

"$sfxpack" create -o "$out/sample_installer" --stub "$native/app/sfxstub" \
  --run sample_setup --params "$params" "$stage/native"
chmod +x "$out/sample_installer"
"$sfxpack" create -o "$out/sample_installer.exe" --stub "$win32/app/sfxstub.exe" \
  --run sample_setup.exe --params "$params" "$stage/win32"
rm -rf "$stage"
trap - EXIT
echo "make_sample_installers: $out/sample_installer, $out/sample_installer.exe"
[ $run = yes ] || exit 0

show_run() {  # show_run <label> <exit-code> <temp-folder>
  echo "$1: exit code $2"
  if [ -f "$3/sample_setup.report" ]; then
    echo "  the program ran and reported $(grep -c '^file: ' "$3/sample_setup.report") files beside it"
  else
    echo "  the program did not run"
  fi
  echo "  left in the temporary folder: $(cd "$3" && find . -mindepth 1 | sort | tr '\n' ' ')"
}

rm -rf "$out/native-temp" "$out/wine-temp"
mkdir -p "$out/native-temp" "$out/wine-temp"
echo
echo "== native installer, TMPDIR=$out/native-temp"
status=0
TMPDIR=$out/native-temp "$out/sample_installer" || status=$?
show_run "native installer" $status "$out/native-temp"

echo
echo "== Windows installer under Wine, TEMP=$out/wine-temp"
source "$root/scripts/env.sh"
status=0
"$root/scripts/wine-run.sh" "$win32/tests/e2e/with_temp.exe" \
  "Z:$(tr / '\\' <<<"$out/wine-temp")\\" "Z:$(tr / '\\' <<<"$out/sample_installer.exe")" || status=$?
show_run "Windows installer" $status "$out/wine-temp"

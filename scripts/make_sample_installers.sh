#!/usr/bin/env bash
# Packs the sample payload (tests/payload/files and the sample program built for each
# platform) into a native installer and one installer per Windows build with sfxpack.
#
#   scripts/make_sample_installers.sh [--run] <native-build> <outdir> <windows-build>...
#
# Writes <outdir>/sample_installer (native stub), <outdir>/sample_installer.exe (the i686 stub
# of a win32 build) and <outdir>/sample_installer64.exe (the x64 stub of a win64 build). The
# program is started as: sample_setup "erstes Argument" --report sample_setup.report and
# writes what it saw to sample_setup.report in the unpack folder (the temporary folder).
#
# With --run, then runs them, each with a fresh temporary folder below <outdir>: the native one
# in the terminal, the Windows ones under Wine (on Xvfb when there is no display); a 32-bit
# installer only where this machine runs 32-bit code, which the output says. The program prints
# what it was given and found, and the script adds the exit codes and what is left in the
# temporary folders (the unpacked files are gone, the folders and the report stay).
set -euo pipefail
run=no
if [ "${1:-}" = --run ]; then run=yes; shift; fi
[ $# -ge 2 ] || { echo "usage: $0 [--run] <native-build> <outdir> <windows-build>..." >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/windows.sh"
native=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
shift 2
windows=()
for build in "$@"; do windows+=("$(cd "$build" && pwd)"); done
sfxpack=$native/tools/sfxpack/sfxpack
params='"erstes Argument" --report sample_setup.report'

installer_of() {  # the installer made from a Windows build
  case "$(basename "$(sfx_windows_stub "$1")")" in
    sfxstub64.exe) echo "$out/sample_installer64.exe" ;;
    *) echo "$out/sample_installer.exe" ;;
  esac
}

for f in "$sfxpack" "$native/app/sfxstub" "$native/tests/payload/sample_setup"; do
  [ -f "$f" ] || { echo "make_sample_installers: $f is missing (build it first)" >&2; exit 1; }
done
for build in "${windows[@]}"; do
  for f in "$(sfx_windows_stub "$build")" "$build/tests/payload/sample_setup.exe" \
           "$build/tests/e2e/with_temp.exe"; do
    [ -f "$f" ] || { echo "make_sample_installers: $f is missing (build it first)" >&2; exit 1; }
  done
done

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/native"
cp -R "$root/tests/payload/files/." "$stage/native/"
cp "$native/tests/payload/sample_setup" "$stage/native/"
"$sfxpack" create -o "$out/sample_installer" --stub "$native/app/sfxstub" \
  --run sample_setup --params "$params" "$stage/native"
chmod +x "$out/sample_installer"
made=("$out/sample_installer")
for build in "${windows[@]}"; do
  rm -rf "$stage/windows" && mkdir -p "$stage/windows"
  cp -R "$root/tests/payload/files/." "$stage/windows/"
  cp "$build/tests/payload/sample_setup.exe" "$stage/windows/"
  "$sfxpack" create -o "$(installer_of "$build")" --stub "$(sfx_windows_stub "$build")" \
    --run sample_setup.exe --params "$params" "$stage/windows"
  made+=("$(installer_of "$build")")
done
rm -rf "$stage"
trap - EXIT
echo "make_sample_installers: ${made[*]}"
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

failed=0
rm -rf "$out/native-temp"
mkdir -p "$out/native-temp"
echo
echo "== native installer, TMPDIR=$out/native-temp"
status=0
TMPDIR=$out/native-temp "$out/sample_installer" || status=$?
show_run "native installer" $status "$out/native-temp"
[ $status -eq 0 ] && [ -f "$out/native-temp/sample_setup.report" ] || failed=1

[ ${#windows[@]} -gt 0 ] && source "$root/scripts/env.sh"
for build in "${windows[@]}"; do
  installer=$(installer_of "$build")
  label="Windows installer $(basename "$installer") ($(sfx_pe_machine "$installer"))"
  echo
  if [ "$(sfx_pe_machine "$installer")" = i686 ] && ! sfx_can_run_win32; then
    echo "== $label: not run, this machine does not execute 32-bit code (made and tested only)"
    continue
  fi
  temp=$out/wine-temp-$(basename "$installer" .exe)
  rm -rf "$temp" && mkdir -p "$temp"
  echo "== $label under Wine, TEMP=$temp"
  status=0
  "$root/scripts/wine-run.sh" "$build/tests/e2e/with_temp.exe" \
    "Z:$(tr / '\\' <<<"$temp")\\" "Z:$(tr / '\\' <<<"$installer")" || status=$?
  show_run "$label" $status "$temp"
  [ $status -eq 0 ] && [ -f "$temp/sample_setup.report" ] || failed=1
done
exit $failed

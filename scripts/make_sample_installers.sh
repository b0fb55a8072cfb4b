#!/usr/bin/env bash
# Packs the sample payload (tests/payload/files and the sample program built for each
# platform) into a native and a Windows installer with sfxpack.
#
#   scripts/make_sample_installers.sh <native-build> <win32-build> <outdir>
#
# Writes <outdir>/sample_installer (native stub) and <outdir>/sample_installer.exe (Win32
# stub). The program is started as: sample_setup "erstes Argument" --report sample_setup.report
# and writes what it saw to sample_setup.report in the unpack folder (the temporary folder).
set -euo pipefail
[ $# -eq 3 ] || { echo "usage: $0 <native-build> <win32-build> <outdir>" >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
native=$(cd "$1" && pwd)
win32=$(cd "$2" && pwd)
mkdir -p "$3"
out=$(cd "$3" && pwd)
sfxpack=$native/tools/sfxpack/sfxpack
params='"erstes Argument" --report sample_setup.report'

for f in "$sfxpack" "$native/app/sfxstub" "$native/tests/payload/sample_setup" \
         "$win32/app/sfxstub.exe" "$win32/tests/payload/sample_setup.exe"; do
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
echo "make_sample_installers: $out/sample_installer, $out/sample_installer.exe"

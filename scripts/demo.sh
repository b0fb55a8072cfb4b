#!/usr/bin/env bash
# The main job, on a fresh machine: installs what is missing, builds the Windows stubs (x64,
# and i686) and the native tools, packs a sample payload into a native and Windows installers
# with sfxpack, and runs them (the Windows ones under Wine, on our own Xvfb when there is no
# display; the i686 one only where this machine executes 32-bit code).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/bootstrap.sh
source scripts/env.sh

windows=(build/win64)
echo "== building the x64 Windows stub and the sample program (win64 preset)"
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target sfxstub sample_setup with_temp
echo "== building the i686 Windows stub and the sample program (win32 preset)"
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target sfxstub sample_setup with_temp
windows+=(build/win32)
echo "== building sfxpack, the native stub and the sample program (native preset)"
cmake --preset native >/dev/null
cmake --build --preset native --target sfxpack sfxstub sample_setup

echo "== packing"
bash scripts/make_sample_installers.sh build/native build/demo "${windows[@]}"
for installer in build/demo/sample_installer64.exe build/demo/sample_installer.exe; do
  echo
  echo "\$ sfxpack list $installer"
  build/native/tools/sfxpack/sfxpack list "$installer"
  echo "\$ sfxpack test $installer"
  build/native/tools/sfxpack/sfxpack test "$installer"
done

echo "== running"
status=0
bash scripts/make_sample_installers.sh --run build/native build/demo "${windows[@]}" \
  | sed -n '/^$/,$p' || status=$?
echo
if sfx_can_run_win32; then
  echo "demo: ran the native, the x64 and the i686 installer"
else
  echo "demo: ran the native and the x64 installer; the i686 one was made and tested, not run" \
       "(this machine does not execute 32-bit code)"
fi
exit $status

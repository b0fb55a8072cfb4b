#!/usr/bin/env bash
# The main job, on a fresh machine: installs what is missing, builds the Windows stub and the
# native tools, packs a sample payload into a native and a Windows installer with sfxpack,
# and runs both (the Windows one under Wine, on our own Xvfb when there is no display).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/bootstrap.sh
source scripts/env.sh

echo "== building the Windows stub and the sample program (win32 preset)"
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target sfxstub sample_setup with_temp
echo "== building sfxpack, the native stub and the sample program (native preset)"
cmake --preset native -DSFX_WIN32_BUILD_DIR="$PWD/build/win32" >/dev/null
cmake --build --preset native --target sfxpack sfxstub sample_setup

echo "== packing"
bash scripts/make_sample_installers.sh build/native build/win32 build/demo
echo
build/native/tools/sfxpack/sfxpack list build/demo/sample_installer.exe
echo
build/native/tools/sfxpack/sfxpack test build/demo/sample_installer.exe

echo "== running"
bash scripts/make_sample_installers.sh --run build/native build/win32 build/demo | sed -n '/^$/,$p'

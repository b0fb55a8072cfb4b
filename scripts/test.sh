#!/usr/bin/env bash
# Installs what is missing, builds every preset a test needs and runs every test: the native
# unit tests, the sanitizer run (clang, in the fuzz build), fuzz smoke runs, the Windows unit
# suites under Wine, and the Wine + Xvfb GUI and end-to-end tests, and checks that the stubs
# build to the same bytes in another folder. Exits non-zero on any failure.
#
# The Windows tests always run on the win64 build under Wine's 64-bit loader. The win32 build
# runs them too where this machine executes 32-bit code (a tiny i686 program is tried once);
# elsewhere only its stub is built and checked without being run, and the run says so.
# SFX_RUNS_WIN32=no in the environment takes that path on any machine.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
start=$(date +%s)

bash scripts/bootstrap.sh || exit 1
source scripts/env.sh   # Xvfb display, the Wine prefix, scripts/windows.sh

step() { printf '\n=== %s (%ss)\n' "$*" "$(( $(date +%s) - start ))"; }
failed=()
run() { local name=$1; shift; "$@" || failed+=("$name"); }

step "what this machine runs"
if sfx_can_run_win32; then
  win32_runs=ON
  windows_line="Windows tests: ran on win64 under wine64 and on win32 under wine (this machine runs 32-bit code)"
else
  win32_runs=OFF
  windows_line="Windows tests: ran on win64 under wine64; win32 built and its stub checked only, not run (this machine does not execute 32-bit code)"
fi
echo "$windows_line"

step "configure and build: win64"
cmake --preset win64 >/dev/null && cmake --build --preset win64 || exit 1
step "configure and build: win32"
if [ $win32_runs = ON ]; then
  cmake --preset win32 >/dev/null && cmake --build --preset win32 || exit 1
else
  cmake --preset win32 >/dev/null && cmake --build --preset win32 --target sfxstub || exit 1
fi
step "configure and build: native"
cmake --preset native -DSFX_WIN64_BUILD_DIR="$root/build/win64" -DSFX_WIN32_BUILD_DIR="$root/build/win32" \
  -DSFX_WIN32_RUNS=$win32_runs >/dev/null && cmake --build --preset native || exit 1
# Reproducible builds: each stub once more from a copy of the sources in another folder, byte
# for byte the same as the one just built (about a minute and a half: the stubs only).
step "reproducible builds: the stubs built again in another folder"
run reproducible bash scripts/rebuild_compare.sh win64 win32 native
# One sanitizer build serves both: the fuzz preset (clang, ASan, UBSan) builds the libFuzzer
# targets and the unit tests. The native-asan preset (GCC) stays for developers.
step "configure and build: fuzz (clang, sanitizers), fuzz smoke runs"
run fuzz bash scripts/fuzz.sh 8   # seconds per target; scripts/fuzz.sh 600 for a long run

step "sanitizer build: unit tests and fuzz replays"
run sanitizers ctest --preset fuzz -E '^e2e_'
step "win64 build: unit tests under wine64"
run win64 ctest --preset win64
if [ $win32_runs = ON ]; then
  step "win32 build: unit tests under wine"
  run win32 ctest --preset win32
fi
step "native build: unit, end-to-end and GUI tests"
run native ctest --preset native

echo
echo "test.sh: $windows_line"
echo "test.sh: $(( $(date +%s) - start ))s"
if [ ${#failed[@]} -gt 0 ]; then
  echo "test.sh: FAILED: ${failed[*]}"
  exit 1
fi

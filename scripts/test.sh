#!/usr/bin/env bash
# Installs what is missing, builds both presets (and the sanitizer build) and runs every test:
# native unit tests, the same tests under Wine, the sanitizer run, fuzz smoke runs, and the
# Wine + Xvfb GUI and end-to-end tests. Exits non-zero on any failure.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
start=$(date +%s)

bash scripts/bootstrap.sh || exit 1
source scripts/env.sh   # Xvfb display and the Wine prefix

step() { printf '\n=== %s (%ss)\n' "$*" "$(( $(date +%s) - start ))"; }
failed=()
run() { local name=$1; shift; "$@" || failed+=("$name"); }

step "configure and build: win32"
cmake --preset win32 >/dev/null && cmake --build --preset win32 || exit 1
step "configure and build: native"
cmake --preset native -DSFX_WIN32_BUILD_DIR="$root/build/win32" >/dev/null \
  && cmake --build --preset native || exit 1
step "configure and build: native-asan"
cmake --preset native-asan >/dev/null && cmake --build --preset native-asan || exit 1

step "fuzz smoke runs"
run fuzz bash scripts/fuzz.sh 8   # seconds per target; scripts/fuzz.sh 600 for a long run

step "sanitizer build: unit tests and fuzz replays"
run asan ctest --preset native-asan -E '^e2e_'
step "win32 build: unit tests under Wine"
run win32 ctest --preset win32
step "native build: unit, end-to-end and GUI tests"
run native ctest --preset native

echo
echo "test.sh: $(( $(date +%s) - start ))s"
if [ ${#failed[@]} -gt 0 ]; then
  echo "test.sh: FAILED: ${failed[*]}"
  exit 1
fi

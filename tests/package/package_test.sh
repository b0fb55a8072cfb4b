#!/usr/bin/env bash
# The CMake package: a project of its own finds the sfxpack installed into an empty prefix and
# makes installers with sfxpack_add_installer, from an install component (its installer runs
# its program) and from a folder (packed again when a file in it changes), and with cpack.
#   package_test.sh NATIVE_BUILD
set -euo pipefail
source "$(dirname "$0")/../../scripts/windows.sh"
sfx_test_start package_test "$@"
cmake --install "$native" --prefix "$work/prefix" >/dev/null
cp -r "$(dirname "$0")/consumer" "$work/src"
project=$work/build
quiet() { "$@" >"$work/log" 2>&1 || { cat "$work/log"; fail "$*"; }; }
quiet cmake -S "$work/src" -B "$project" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" -DMARKER="$work/ran"
quiet cmake --build "$project"
[[ "$("$sfxpack" test "$project/consumer-setup")" == *'OK      bin\hello'* ]] || fail "consumer-setup"
[[ "$("$sfxpack" list "$project/consumer-docs")" != *.bak* ]] || fail "EXCLUDE not applied"
mkdir "$work/tmp"
TMPDIR=$work/tmp "$project/consumer-setup" </dev/null >/dev/null 2>&1 || fail "consumer-setup does not run"
[ "$(cat "$work/ran" 2>/dev/null)" = ran ] || fail "consumer-setup did not start its program"

echo changed >"$work/src/docs/readme.txt"
quiet cmake --build "$project"
"$sfxpack" extract "$project/consumer-docs" -C "$work/docs" >/dev/null
grep -qx changed "$work/docs/readme.txt" || fail "consumer-docs not packed again"

(cd "$project" && quiet cpack)
[[ "$("$sfxpack" test "$project/consumer-2.1-Linux")" == *'OK      doc\readme.txt'* ]] || fail "cpack made no installer"

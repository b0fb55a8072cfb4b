#!/usr/bin/env bash
# A Windows build's stub, checked without running it (so also where the machine cannot run it):
#  - a GUI program of the build's word size;
#  - it imports kernel32, user32, gdi32 and the C runtime's msvcrt only, nothing delay-loaded:
#    any other library is one that Windows would look for beside a downloaded installer;
#  - its DLL search is restricted: SetDllDirectoryA imported, SetDefaultDllDirectories looked
#    up at run time (so that it still starts where that function is missing);
#  - its size stays within 96 KiB for i686, 128 KiB for x86-64 (a stub past that has pulled in
#    a runtime piece it avoids);
#  - its resources: the progress dialog's template and string resource 1 with the nine offset
#    digits holding the stub's own size, so that stub + archive is an installer: one made by
#    sfxpack lists and tests.
#
#   tests/windows/stub_check.sh NATIVE_BUILD_DIR WINDOWS_BUILD_DIR
set -uo pipefail
native=$(cd "${1:?usage: $0 NATIVE_BUILD_DIR WINDOWS_BUILD_DIR}" && pwd)
build=$(cd "${2:?usage: $0 NATIVE_BUILD_DIR WINDOWS_BUILD_DIR}" && pwd)
source "$(dirname "$0")/../../scripts/windows.sh"
stub=$(sfx_windows_stub "$build")
name=$(basename "$stub")
status=0
fail() { echo "stub_check: FAIL: $name: $*" >&2; status=1; }
[ -f "$stub" ] || { echo "stub_check: FAIL: no stub in $build/app" >&2; exit 1; }

machine=$(sfx_pe_machine "$stub")
case "$name" in
  sfxstub64.exe) [ "$machine" = x86_64 ] || fail "not an x86-64 program ($machine)" ;;
  *) [ "$machine" = i686 ] || fail "not an i686 program ($machine)" ;;
esac
dump=$("$(sfx_objdump "$stub")" -p "$stub") || { echo "stub_check: FAIL: cannot read $stub" >&2; exit 1; }
grep -q "^Subsystem.*Windows GUI" <<<"$dump" || fail "not a GUI program"

imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump" | tr 'A-Z' 'a-z' | sort -u)
[ -n "$imports" ] || fail "no import table"
for dll in $imports; do
  case "$dll" in
    kernel32.dll|user32.dll|gdi32.dll|msvcrt.dll) ;;
    *) fail "imports $dll" ;;
  esac
done
delay=$(awk '$1 == "Entry" && $2 == "d" { print $3 }' <<<"$dump")
[ -z "$delay" ] || [ "$delay" = 00000000 ] || [ "$delay" = 0000000000000000 ] || fail "delay-loaded imports"
for function in SetDllDirectoryA GetProcAddress; do
  grep -q "\b$function\b" <<<"$dump" || fail "$function not imported"
done
grep -q "\bSetDefaultDllDirectories\b" <<<"$dump" && fail "SetDefaultDllDirectories imported directly"
grep -qx "SetDefaultDllDirectories" <<<"$(strings -a "$stub")" || fail "no run-time lookup of SetDefaultDllDirectories"

size=$(stat -c %s "$stub")
case "$machine" in
  i686) limit=98304 ;;
  *) limit=131072 ;;
esac
[ "$size" -le "$limit" ] || fail "$size bytes, over $((limit / 1024)) KiB"
wide=$(strings -a -el "$stub")
grep -qx "QZPROGRESSCLASS" <<<"$wide" || fail "no progress dialog template"
# String resource 1: the length 9 (read as a tab) followed by the digits.
digits=$(grep -x $'\t[0-9]\{9\}' <<<"$wide" | head -n 1 | tr -d '\t')
[ "$((10#${digits:-0}))" = "$size" ] || fail "offset digits '$digits' do not hold its size $size"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/payload" && printf 'stub check\r\n' >"$work/payload/readme.txt"
"$native/tools/sfxpack/sfxpack" create --stub "$stub" -o "$work/installer.exe" --run readme.txt \
  "$work/payload" >/dev/null && "$native/tools/sfxpack/sfxpack" test "$work/installer.exe" >/dev/null ||
  fail "an installer made with it does not test"

[ $status -eq 0 ] && echo "stub_check: $name ok: $size bytes, $machine, imports $(tr '\n' ' ' <<<"$imports")"
exit $status

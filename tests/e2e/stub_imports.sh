#!/usr/bin/env bash
# The Windows stub imports only kernel32, user32, gdi32 and the C runtime, and restricts its
# DLL search (SetDllDirectoryA, and SetDefaultDllDirectories looked up at run time, so that it
# still starts where that function is missing).
#
#   tests/e2e/stub_imports.sh <win32-build>
set -uo pipefail
stub=${1:?usage: $0 <win32-build>}/app/sfxstub.exe
[ -f "$stub" ] || { echo "stub_imports: $stub is missing" >&2; exit 1; }
dump=$(i686-w64-mingw32-objdump -p "$stub") || exit 1
status=0
for dll in $(awk '/DLL Name:/ { print toupper($3) }' <<<"$dump"); do
  case "$dll" in
    KERNEL32.DLL|USER32.DLL|GDI32.DLL|MSVCRT.DLL) ;;
    *) echo "stub_imports: FAIL: sfxstub.exe imports $dll" >&2; status=1 ;;
  esac
done
for function in SetDllDirectoryA GetProcAddress; do
  grep -q "\b$function\b" <<<"$dump" || { echo "stub_imports: FAIL: $function not imported" >&2; status=1; }
done
if grep -q "\bSetDefaultDllDirectories\b" <<<"$dump"; then
  echo "stub_imports: FAIL: SetDefaultDllDirectories imported directly" >&2
  status=1
fi
grep -qx "SetDefaultDllDirectories" <<<"$(strings -a "$stub")" ||
  { echo "stub_imports: FAIL: no run-time lookup of SetDefaultDllDirectories" >&2; status=1; }
[ $status -eq 0 ] && echo "stub_imports: ok ($(stat -c %s "$stub") bytes)"
exit $status

#!/usr/bin/env bash
# The Win32 stub imports nothing but the system libraries it is meant to: kernel32, user32,
# gdi32, shell32 (allowed for the elevated start, which in fact loads it from the system folder
# at run time) and the C runtime's own msvcrt. Any other library, a new dependency that
# Windows would look for beside a downloaded installer, fails the test.
#
#   tests/windows/imports_test.sh STUB.exe
set -uo pipefail

stub=${1:?usage: $0 STUB.exe}
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
allowed="kernel32.dll user32.dll gdi32.dll shell32.dll msvcrt.dll"
[ -f "$stub" ] || { echo "imports_test: FAIL: no stub at $stub" >&2; exit 1; }

dump=$("$objdump" -p "$stub") || { echo "imports_test: FAIL: $objdump cannot read $stub" >&2; exit 1; }
imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump" | tr 'A-Z' 'a-z' | sort -u)
[ -n "$imports" ] || { echo "imports_test: FAIL: no import table found in $stub" >&2; exit 1; }
echo "imports of $(basename "$stub"): $(tr '\n' ' ' <<<"$imports")"

status=0
for dll in $imports; do
  case " $allowed " in
    *" $dll "*) ;;
    *) echo "imports_test: FAIL: $stub imports $dll" >&2; status=1 ;;
  esac
done
# Delay-loaded libraries would be looked up at run time by the loader's search order too.
delay=$(awk '$1 == "Entry" && $2 == "d" { print $3 }' <<<"$dump")
if [ -n "$delay" ] && [ "$delay" != 00000000 ]; then
  echo "imports_test: FAIL: $stub has delay-loaded imports" >&2
  status=1
fi
exit $status

#!/usr/bin/env bash
# A Windows build's stub, checked without running it (so also where the machine cannot run it):
# a GUI program of the build's word size; importing kernel32, user32, gdi32, advapi32 (the
# run folder's access list) and msvcrt only, all of them known system libraries, nothing
# delay-loaded (any other library is one Windows would look for beside a downloaded installer); SetDllDirectoryA imported and SetDefaultDllDirectories looked up at run time (so
# it still starts where that is missing); within 96 KiB (i686) or 128 KiB (x86-64), past which
# it has pulled in a runtime piece it avoids; the dialog template and string resource 1 with the
# nine offset digits holding its own size, so that an installer made with it tests; a manifest
# naming its own processor (Windows may refuse a 64-bit program whose manifest names x86).
#   tests/windows/stub_check.sh NATIVE_BUILD_DIR WINDOWS_BUILD_DIR
set -uo pipefail
source "$(dirname "$0")/../../scripts/windows.sh"
sfx_test_start stub_check "$@"

machine=$(sfx_pe_machine "$stub")
[ "$machine" = "$([ "$(basename "$stub")" = sfxstub64.exe ] && echo x86_64 || echo i686)" ] ||
  fail "$stub is not a program of its build's word size ($machine)"
dump=$("$(sfx_objdump "$stub")" -p "$stub") || fail "cannot read $stub"
grep -q "^Subsystem.*Windows GUI" <<<"$dump" || fail "not a GUI program"
imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump" | tr 'A-Z' 'a-z' | sort -u)
[ -n "$imports" ] || fail "no import table"
other=$(grep -v '^\(kernel32\|user32\|gdi32\|advapi32\|msvcrt\)\.dll$' <<<"$imports") && fail "imports $other"
delay=$(awk '$1 == "Entry" && $2 == "d" { print $3 }' <<<"$dump")
[[ "${delay:-0}" =~ ^0+$ ]] || fail "delay-loaded imports"
grep -q "\bSetDllDirectoryA\b" <<<"$dump" && grep -q "\bGetProcAddress\b" <<<"$dump" ||
  fail "SetDllDirectoryA or GetProcAddress not imported"
grep -q "\bSetDefaultDllDirectories\b" <<<"$dump" && fail "SetDefaultDllDirectories imported directly"
grep -qx "SetDefaultDllDirectories" <<<"$(strings -a "$stub")" || fail "no run-time lookup of SetDefaultDllDirectories"

size=$(stat -c %s "$stub")
limit=$([ "$machine" = i686 ] && echo 98304 || echo 131072)
[ "$size" -le "$limit" ] || fail "$size bytes, over $((limit / 1024)) KiB"
arch=$(strings -a "$stub" | grep -o 'processorArchitecture="[a-z0-9]*"')
[ "$arch" = "processorArchitecture=\"$([ "$machine" = i686 ] && echo x86 || echo amd64)\"" ] ||
  fail "the manifest names ${arch:-no processor}"
wide=$(strings -a -el "$stub")
grep -qx "QZPROGRESSCLASS" <<<"$wide" || fail "no progress dialog template"
# String resource 1: the length 9 (read as a tab) followed by the digits.
digits=$(grep -x $'\t[0-9]\{9\}' <<<"$wide" | head -n 1 | tr -d '\t')
[ "$((10#${digits:-0}))" = "$size" ] || fail "offset digits '$digits' do not hold its size $size"

mkdir "$work/payload" && printf 'stub check\r\n' >"$work/payload/readme.txt"
"$sfxpack" create --stub "$stub" -o "$work/installer.exe" --run readme.txt "$work/payload" >/dev/null &&
  "$sfxpack" test "$work/installer.exe" >/dev/null || fail "an installer made with it does not test"
echo "stub_check: $(basename "$stub") ok: $size bytes, $machine, imports" $imports

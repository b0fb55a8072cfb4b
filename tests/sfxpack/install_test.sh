#!/usr/bin/env bash
# The installed sfxpack, from `cmake --install` and from the .deb that CPack makes, finds the
# stubs installed beside it without --stub.
#   install_test.sh NATIVE_BUILD
set -euo pipefail
source "$(dirname "$0")/../../scripts/windows.sh"
sfx_test_start install_test "$@"
unset SFXPACK_STUB SFXPACK_STUB64
mkdir -p "$work/tree"
printf 'hello\n' >"$work/tree/a.txt"

# Each installed stub by the option that asks for it; the native one is found nowhere else.
check() {  # PREFIX
  [ -f "$1/share/doc/sfxpack/sfxpack.md" ] || fail "no documentation in $1"
  for stub in sfxstub:--native sfxstub.exe: sfxstub64.exe:--x64; do
    local option=${stub#*:} file=$1/share/sfxpack/${stub%%:*}
    [ -f "$file" ] || { [ "${stub%%:*}" != sfxstub ] && continue; fail "no $file"; }
    (cd "$work" && "$1/bin/sfxpack" create -o x.exe $option tree/) || fail "$1: create $option"
    # Past the headers, where create writes a Windows image's checksum.
    cmp -i 1024 -n $(($(stat -c %s "$file") - 1024)) "$file" "$work/x.exe" || fail "$1: create $option: not $file"
    "$1/bin/sfxpack" test "$work/x.exe" >/dev/null
  done
}
cmake --install "$native" --prefix "$work/prefix" >/dev/null
check "$work/prefix"
(cd "$native" && cpack -G DEB -B "$work/package" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/package/sfxpack_*.deb)
dpkg-deb -x "$deb" "$work/root"
check "$work/root/usr"
dpkg-deb -f "$deb" Depends | grep -q libc6 || fail "the package names no dependencies"

#!/usr/bin/env bash
# The installed sfxpack, from `cmake --install` and from the .deb that CPack makes, finds the
# stubs installed beside it without --stub.
#   install_test.sh NATIVE_BUILD
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
unset SFXPACK_STUB SFXPACK_STUB64
mkdir -p "$work/tree"
printf 'hello\n' >"$work/tree/a.txt"

# Each installed stub by the option that asks for it; the native one is found nowhere else.
check() {  # PREFIX
  local prefix=$1 stub option
  [ -x "$prefix/bin/sfxpack" ] || fail "no $prefix/bin/sfxpack"
  [ -f "$prefix/share/doc/sfxpack/sfxpack.md" ] || fail "no documentation in $prefix"
  for stub in sfxstub:--native sfxstub.exe: sfxstub64.exe:--x64; do
    option=${stub#*:}
    stub=${stub%%:*}
    [ -f "$prefix/share/sfxpack/$stub" ] || { [ "$stub" != sfxstub ] && continue; fail "no $stub in $prefix"; }
    (cd "$work" && "$prefix/bin/sfxpack" create -o x.exe $option tree/) || fail "$prefix: create $option"
    # Past the headers, where create writes a Windows image's checksum.
    cmp -i 1024 -n $(($(stat -c %s "$prefix/share/sfxpack/$stub") - 1024)) "$prefix/share/sfxpack/$stub" "$work/x.exe" ||
      fail "$prefix: create $option did not use the installed $stub"
    "$prefix/bin/sfxpack" test "$work/x.exe" >/dev/null
  done
}

cmake --install "$build" --prefix "$work/prefix" >/dev/null
check "$work/prefix"

(cd "$build" && cpack -G DEB -B "$work/package" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/package/sfxpack_*.deb)
dpkg-deb -x "$deb" "$work/root"
check "$work/root/usr"
dpkg-deb -f "$deb" Depends | grep -q libc6 || fail "the package names no dependencies"
echo "installed sfxpack finds its stubs"

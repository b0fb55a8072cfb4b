# Sourced by the scripts and tests that handle Windows programs: which Wine loader runs which
# word size, what a program image is built for, where a Windows build keeps its stub, and the
# test scripts' common start.

# sfx_wine_loader 32|64: the Wine loader for programs of that word size.
sfx_wine_loader() {
  local dir
  for dir in /usr/lib/wine /usr/lib/x86_64-linux-gnu/wine /opt/wine-stable/bin; do
    if [ "$1" = 64 ] && [ -x "$dir/wine64" ]; then echo "$dir/wine64"; return; fi
    if [ "$1" = 32 ] && [ -x "$dir/wine" ]; then echo "$dir/wine"; return; fi
  done
  [ "$1" = 64 ] && command -v wine64 >/dev/null && { command -v wine64; return; }
  echo wine
}

# sfx_pe_machine FILE: i686 or x86_64 for a Windows program image, nothing for anything else.
# The machine field follows the "PE\0\0" signature, whose position is stored at 0x3C.
sfx_pe_machine() {
  local header machine
  [ "$(head -c 2 "$1" 2>/dev/null)" = MZ ] || return 0
  header=$(od -An -tu4 -j 60 -N 4 "$1" | tr -d ' ')
  machine=$(od -An -tx2 -j $((header + 4)) -N 2 "$1" | tr -d ' ')
  case "$machine" in
    014c) echo i686 ;;
    8664) echo x86_64 ;;
  esac
}

# sfx_windows_stub BUILD: the stub of a Windows build (sfxstub.exe on i686, sfxstub64.exe on
# x86-64).
sfx_windows_stub() {
  if [ -f "$1/app/sfxstub64.exe" ]; then echo "$1/app/sfxstub64.exe"; else echo "$1/app/sfxstub.exe"; fi
}

# sfx_objdump FILE: the objdump that reads FILE's kind of image.
sfx_objdump() {
  if [ "$(sfx_pe_machine "$1")" = x86_64 ]; then echo x86_64-w64-mingw32-objdump; else echo i686-w64-mingw32-objdump; fi
}

# sfx_stripped_copy STUB OUT: the stub without symbols, as it is shipped, written to OUT.
sfx_stripped_copy() {
  local objdump
  objdump=$(sfx_objdump "$1")
  "${objdump%objdump}strip" -o "$2" "$1"
}

# sfx_can_run_win32: whether this machine runs 32-bit Windows programs (a tiny i686 program is
# tried once; the answer is kept in SFX_RUNS_WIN32 for the rest of the run). Many machines have
# the kernel's 32-bit emulation switched off, and then Wine's 32-bit loader cannot start at all.
sfx_can_run_win32() {
  if [ -z "${SFX_RUNS_WIN32:-}" ]; then
    SFX_RUNS_WIN32=no
    local work probe
    work=$(mktemp -d)
    probe=$work/probe32.exe
    if printf 'int main(void) { return 42; }\n' >"$work/probe.c" &&
       i686-w64-mingw32-gcc -s -o "$probe" "$work/probe.c" 2>/dev/null; then
      timeout 120 "$(sfx_wine_loader 32)" "$probe" >/dev/null 2>&1
      [ $? -eq 42 ] && SFX_RUNS_WIN32=yes
    fi
    rm -rf "$work"
    export SFX_RUNS_WIN32
  fi
  [ "$SFX_RUNS_WIN32" = yes ]
}

# sfx_test_start NAME NATIVE_BUILD [WINDOWS_BUILD]: the start of a test script. Sets native and
# build (absolute), sfxpack (the native one), stub (the Windows build's) and work, a scratch
# folder removed on exit; fail MESSAGE ends the test.
sfx_test_start() {
  sfx_test=$1
  native=$(cd "${2:?usage: $0 NATIVE_BUILD [WINDOWS_BUILD]}" && pwd) || exit 2
  sfxpack=$native/tools/sfxpack/sfxpack
  [ -x "$sfxpack" ] || fail "no sfxpack in $native"
  if [ -n "${3:-}" ]; then
    build=$(cd "$3" && pwd) || exit 2
    stub=$(sfx_windows_stub "$build")
    [ -f "$stub" ] || fail "no stub in $build/app"
  fi
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
}
fail() { echo "${sfx_test:-test}: FAIL: $*" >&2; exit 1; }

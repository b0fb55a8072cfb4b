#!/usr/bin/env bash
# Figures of the stubs: the stripped size of sfxstub.exe with what takes its space, and the
# native stub's peak memory while it unpacks one large member, for two member sizes (the
# figure must not grow with the archive).
#
#   tests/e2e/measure_stub.sh <native-build> [<win32-build>] [large-MiB]
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 <native-build> [<win32-build>] [large-MiB]" >&2; exit 2; }
native=$(cd "$1" && pwd)
win32=${2:-}
large_mib=${3:-256}
[ -x /usr/bin/time ] || bash "$(dirname "$0")/../../scripts/bootstrap.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [ -n "$win32" ]; then
  stub=$win32/app/sfxstub.exe
  i686-w64-mingw32-strip -o "$work/sfxstub.exe" "$stub"
  echo "sfxstub.exe stripped: $(stat -c %s "$work/sfxstub.exe") bytes (96 KiB = 98304)"
  i686-w64-mingw32-objdump -h "$work/sfxstub.exe" | while read -r _ name size _; do
    if [[ $name == .* ]]; then printf '  section %-9s %7d bytes\n' "$name" "$((16#$size))"; fi
  done
  echo "  imports: $(i686-w64-mingw32-objdump -p "$work/sfxstub.exe" | awk '/DLL Name/ { printf "%s ", $3 }')"
fi

# Text-like content that compresses about as well as a program: varied lines, no long runs.
make_member() {  # make_member <MiB> <file>
  python3 - "$1" "$2" <<'PY'
import sys, random
size = int(sys.argv[1]) << 20
r = random.Random(1)
words = [bytes(r.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(r.randint(2, 9)))
         for _ in range(4000)]
with open(sys.argv[2], "wb") as f:
    written = 0
    while written < size:
        line = b" ".join(r.choice(words) for _ in range(12)) + b"\r\n"
        line = line[: size - written]
        f.write(line)
        written += len(line)
PY
}

printf '[KVTR Configuration]\r\n' > "$work/config.ini"  # nothing to start: files stay
for mib in 16 "$large_mib"; do
  make_member "$mib" "$work/member.bin"
  "$native/tests/e2e/e2e_pack" "$native/app/sfxstub" "$work/installer" \
    big.bin "$work/member.bin" 32 44000 '$k$v$t$r.cnf' "$work/config.ini" 32 44000
  chmod +x "$work/installer"
  rm -rf "$work/tmp" && mkdir "$work/tmp"
  TMPDIR=$work/tmp /usr/bin/time -v "$work/installer" </dev/null 2>"$work/time.txt" >/dev/null
  cmp -s "$work/member.bin" "$work/tmp/big.bin" || { echo "measure_stub: $mib MiB member differs" >&2; exit 1; }
  peak=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time.txt")
  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ { print $2 }' "$work/time.txt")
  echo "native stub, one ${mib} MiB member: peak RSS ${peak} KiB, ${wall} wall"
  rm -f "$work/member.bin" "$work/installer"
done

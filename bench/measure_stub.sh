#!/usr/bin/env bash
# Figures of the stubs: the stripped size of each Windows stub with what takes its space, and
# the native stub's peak memory while it unpacks one large member, for two member sizes (the
# figure must not grow with the archive; LARGE_MIB sets the larger, 256 by default).
#
#   bench/measure_stub.sh <native-build> [<windows-build>...]
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 <native-build> [<windows-build>...]" >&2; exit 2; }
native=$(cd "$1" && pwd)
shift
large_mib=${LARGE_MIB:-256}
source "$(dirname "$0")/../scripts/windows.sh"
[ -x /usr/bin/time ] || bash "$(dirname "$0")/../scripts/bootstrap.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for build in "$@"; do
  stub=$(sfx_windows_stub "$build")
  name=$(basename "$stub")
  objdump=$(sfx_objdump "$stub")
  sfx_stripped_copy "$stub" "$work/$name"
  echo "$name ($(sfx_pe_machine "$stub")) stripped: $(stat -c %s "$work/$name") bytes (96 KiB = 98304)"
  "$objdump" -h "$work/$name" | while read -r _ section size _; do
    if [[ $section == .* ]]; then printf '  section %-9s %7d bytes\n' "$section" "$((16#$size))"; fi
  done
  echo "  imports: $("$objdump" -p "$work/$name" | awk '/DLL Name/ { printf "%s ", $3 }')"
done

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

#!/usr/bin/env bash
# The codec's figures in one run, from a release build:
#   - unpack speed in the installer's own path, the plain comparison decoder's speed and
#     their ratio, on real data (lzh_bench --real-only, see bench/lzh_bench.cpp);
#   - peak memory and speed of `sfxpack encode-stream` on a large input (real data repeated)
#     and of `sfxpack decode-stream` on its stream, into a file and to /dev/null, then on a
#     stream of random bytes of the same size (any bytes decode);
#   - what storing that much output costs the system by itself (dd);
#   - the stripped sizes of both Windows stubs (built here when the cross compilers are
#     installed; bench/measure_stub.sh gives their sections too).
#
#   bench/measure.sh [MiB, default 1024]
#
# Speeds are MB/s (10^6 bytes) of decoded bytes per second of processor time (user +
# system), the figure lzh_bench gives too; the machine may be shared. Set WORK to put the
# large files elsewhere than in a temporary folder.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
mib=${1:-1024}
[ -x /usr/bin/time ] || bash "$here/scripts/bootstrap.sh"

cmake --preset release -S "$here" >/dev/null
cmake --build "$here/build/release" --target lzh_bench sfxpack >/dev/null
bench=$here/build/release/bench/lzh_bench
sfxpack=$here/build/release/tools/sfxpack/sfxpack

work=$(mktemp -d "${WORK:-${TMPDIR:-/tmp}}/measure.XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "== unpack speed (installer path) against the plain decoder"
"$bench" --real-only --save-real "$work/corpus.bin"

# The same real data for the stream commands, repeated up to the size.
bytes=$((mib << 20))
python3 - "$bytes" "$work/corpus.bin" "$work/input.bin" <<'PY'
import sys
need = int(sys.argv[1])
data = open(sys.argv[2], "rb").read()
with open(sys.argv[3], "wb") as out:
    while need > 0:
        out.write(data[:need])
        need -= min(need, len(data))
PY
rm -f "$work/corpus.bin"
echo "== stream commands on ${mib} MiB: the same real data, repeated"

# run_measured <label> <output-file-or-byte-count> <command...>: peak memory and speed
# (the command's standard output is thrown away)
run_measured() {
  local label=$1 out=$2
  shift 2
  /usr/bin/time -f '%M %U %S %e' -o "$work/time.txt" "$@" >/dev/null
  read -r peak user sys wall <"$work/time.txt"
  local produced
  if [ -f "$out" ]; then produced=$(stat -c %s "$out"); else produced=$out; fi
  python3 - "$label" "$peak" "$user" "$sys" "$wall" "$produced" <<'PY'
import sys
label, peak, user, sys_, wall, produced = sys.argv[1:]
cpu = float(user) + float(sys_)
# User time alone as well: storing a GiB costs system time of its own, whatever program
# writes it (the dd below shows how much).
print(f"{label}: peak {int(peak) / 1024:.1f} MiB, {int(produced) / 1e6 / max(cpu, 1e-9):.1f} MB/s "
      f"({int(produced) / 1e6 / max(float(user), 1e-9):.1f} MB/s in user time; {int(produced)} bytes, "
      f"{float(user):.2f} s user + {float(sys_):.2f} s system, {float(wall):.2f} s wall)")
PY
}

# encode-stream: speed counted in input bytes
run_measured "encode-stream" "$(stat -c %s "$work/input.bin")" \
  "$sfxpack" encode-stream "$work/input.bin" "$work/stream.lzh"
echo "  stream: $(stat -c %s "$work/stream.lzh") bytes"
# Decoded files go where lzh_bench unpacks them (in memory when the system offers it).
shm=$work
[ -d /dev/shm ] && shm=$(mktemp -d /dev/shm/measure.XXXXXX)
trap 'rm -rf "$work" "$shm"' EXIT
run_measured "decode-stream into a file" "$shm/decoded.bin" "$sfxpack" decode-stream "$work/stream.lzh" "$shm/decoded.bin"
cmp -s "$work/input.bin" "$shm/decoded.bin" || { echo "measure: decode-stream output differs" >&2; exit 1; }
rm -f "$shm/decoded.bin"
# The same through stdout to /dev/null: the command's own cost, without the
# system's cost of storing a GiB (on a virtual machine, mostly the host handing over memory
# the guest has not touched yet; it varies by a factor of two from run to run).
run_measured "decode-stream to stdout (/dev/null)" "$bytes" "$sfxpack" decode-stream "$work/stream.lzh" -
rm -f "$work/stream.lzh"
/usr/bin/time -f '%S' -o "$work/time.txt" dd if=/dev/zero of="$shm/zeros.bin" bs=1M count="$mib" status=none
echo "storing ${mib} MiB below $shm costs the system $(cat "$work/time.txt") s by itself (dd of zeros)"
rm -f "$shm/zeros.bin"

# Random bytes decode to several times their size: the output goes nowhere, and the speed
# counts input bytes.
head -c "$bytes" /dev/urandom >"$work/random.bin"
run_measured "decode-stream of ${mib} MiB of random bytes (MB/s of input)" "$bytes" \
  "$sfxpack" decode-stream "$work/random.bin" -

echo "== stub sizes (stripped; sfxstub.exe may take at most 98304)"
source "$here/scripts/windows.sh"
for preset in win32 win64; do
  if ! cmake --preset "$preset" -S "$here" >/dev/null 2>&1 || ! cmake --build "$here/build/$preset" --target sfxstub >/dev/null; then
    echo "$preset: not built (cross compiler missing? bash scripts/bootstrap.sh installs it)"
    continue
  fi
  stub=$(sfx_windows_stub "$here/build/$preset")
  sfx_stripped_copy "$stub" "$work/stub.exe"
  echo "$(basename "$stub"): $(stat -c %s "$work/stub.exe") bytes"
done

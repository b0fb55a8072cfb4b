#!/usr/bin/env bash
# Damaged-installer soak: makes COUNT damaged installers from a few good ones (sfxpack create
# --native), runs each through the native stub in a fresh scratch folder with its own TMPDIR
# and a timeout, and prints a table of what happened.
#
#   scripts/soak.sh [COUNT=1000] [--build DIR] [--seed N] [--keep] [--unchecked]
#
# --unchecked strips the checksum block from the good installers first: the same soak over
# installers as older builders made them, for comparison.
#
# A run counts as
#   crash        the stub died of a signal (or a sanitizer reported)
#   hang         the stub did not end within the timeout
#   outside      a file appeared in the scratch folder outside its TMPDIR, or anywhere with the
#                escape token that hostile names carry
#   wrong start  the configured program ran although the files unpacked for it, or its
#                arguments, differ from those of the undamaged installer, or the stub reported
#                a failure
# The installers carry checksums (sfxpack create writes them); the table shows how many of the
# damaged ones the stub still ran because their members came out whole.
# Exit status 0 when crashes, hangs, writes outside and wrong starts are all 0.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

count=1000
build="$root/build/native"
seed=$RANDOM
keep=0
unchecked=0
timeout_s=${SOAK_TIMEOUT:-10}
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$2; shift 2 ;;
    --seed) seed=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    --unchecked) unchecked=1; shift ;;
    [0-9]*) count=$1; shift ;;
    *) echo "soak.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
build=$(cd "$build" && pwd) || exit 2

stub=$build/app/sfxstub
pack=$build/tools/sfxpack/sfxpack
[ -x "$stub" ] || stub=$(find "$build" -type f -name sfxstub -perm -u+x | head -1)
[ -x "$pack" ] || pack=$(find "$build" -type f -name sfxpack -perm -u+x | head -1)
if [ -z "$stub" ] || [ -z "$pack" ]; then
  echo "soak.sh: sfxstub or sfxpack not built in $build" >&2
  exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/sfx-soak.XXXXXX")
trap '[ $keep = 1 ] && echo "soak.sh: kept $work" || rm -rf "$work"' EXIT
token=zq9esc
mkdir -p "$work/good" "$work/bad" "$work/runs" "$work/markers"

# --- good installers --------------------------------------------------------------------
# The configured program writes a marker (named by the environment) when it is started: its
# arguments and a digest of every file unpacked beside it, which the soak compares with what
# the undamaged installer's program saw.
make_payload() {  # folder, number of files, size of each
  local dir=$1 n=$2 size=$3
  mkdir -p "$dir/docs/deep" "$dir/bin"
  cat > "$dir/setup.sh" <<'SH'
#!/bin/sh
{ echo "args: $*"
  cd "$(dirname "$0")" && find . -type f ! -name '$d$e$l$.lst' | LC_ALL=C sort | while IFS= read -r f; do
    printf '%s %s\n' "$(sha256sum < "$f" | cut -c1-64)" "$f"
  done; } > "$SOAK_MARKER" 2>&1
SH
  chmod +x "$dir/setup.sh"
  for i in $(seq 1 "$n"); do
    case $((i % 3)) in
      0) sub=docs ;; 1) sub=docs/deep ;; *) sub=bin ;;
    esac
    head -c "$size" /dev/urandom | base64 > "$dir/$sub/file$i.txt"
  done
}
make_payload "$work/p1" 3 2000
make_payload "$work/p2" 6 20000
make_payload "$work/p3" 1 100
pack_good() {  # name, payload, options...
  local name=$1 payload=$2; shift 2
  (cd "$payload" && "$pack" create --native -o "$work/good/$name" --run setup.sh "$@" setup.sh docs bin) >/dev/null ||
    { echo "soak.sh: sfxpack create failed for $name" >&2; exit 2; }
  if [ $unchecked = 1 ]; then  # cut behind the last member's data
    python3 -c 'import sys; b = open(sys.argv[1], "rb").read(); open(sys.argv[1], "wb").write(b[:b.rindex(b"SFXSUM01")])' \
      "$work/good/$name"
  fi
}
pack_good a.bin "$work/p1"
pack_good b.bin "$work/p2" --params "one two" -9
pack_good c.bin "$work/p3" --no-dirs
pack_good d.bin "$work/p1" --ask-overwrite -1

# --- the mutator --------------------------------------------------------------------------
# The native stub's offset marker, as host/offset_digits.h gives it.
export SFX_OFFSET_MARKER=$(sed -n 's/^#define SFX_OFFSET_MARKER "\(.*\)"$/\1/p' "$root/host/offset_digits.h")
cat > "$work/mutate.py" <<'PY'
import os, random, struct, sys

MARKER = os.environ["SFX_OFFSET_MARKER"].encode()
TOKEN = "zq9esc"
HOSTILE = ["..\\..\\%s.txt", "..\\%s", "\\..\\..\\..\\%s", "a\\..\\..\\%s", "../../%s",
           "C:\\%s", "\\\\server\\share\\%s", "/tmp/%s", "docs\\..\\..\\%s", "...\\..\\%s",
           "%s\x01.txt", "%s\t.txt", "\\%s", "con", "nul.txt", "aux\\%s", "%s:stream",
           "docs\\" + "x" * 250 + "\\%s", "y" * 300, "", "\\", "..", ".", "docs\\",
           " \\..\\%s", "..\\\\..\\%s", "%s*?.txt", "deep\\" * 60 + "%s"]
EXTREME = [-1, -2, -2**31, 2**31 - 1, 0x7FFF0000, 0x10000, 65535, 0]


def read_dir(img, at):
    """Parses the directory; returns (entries, end) with entries as lists of (tag, value)."""
    def take(n):
        nonlocal at
        if at + n > len(img):
            raise ValueError("short")
        b = img[at:at + n]
        at += n
        return b
    if take(1)[0] != 1:
        raise ValueError("start")
    entries = []
    while img[at] != 0:
        e = []
        for _ in range(6):
            tag = take(1)[0]
            if tag == 2: e.append((tag, struct.unpack("<b", take(1))[0]))
            elif tag == 3: e.append((tag, struct.unpack("<h", take(2))[0]))
            elif tag == 4: e.append((tag, struct.unpack("<i", take(4))[0]))
            elif tag == 5: e.append((tag, take(10)))
            elif tag == 6: e.append((tag, take(take(1)[0])))
            elif tag == 12: e.append((tag, take(struct.unpack("<I", take(4))[0])))
            else: raise ValueError("tag %d" % tag)
        entries.append(e)
    return entries, at + 1


def write_value(tag, v):
    if tag in (2, 3, 4):
        if -128 <= v <= 127: return bytes([2]) + struct.pack("<b", v)
        if -32768 <= v <= 32767: return bytes([3]) + struct.pack("<h", v)
        return bytes([4]) + struct.pack("<i", v)
    if tag == 5: return bytes([5]) + v
    if len(v) <= 255: return bytes([6, len(v)]) + v
    return bytes([12]) + struct.pack("<I", len(v)) + v


def main():
    src, dst, seed = sys.argv[1], sys.argv[2], int(sys.argv[3])
    rnd = random.Random(seed)
    img = bytearray(open(src, "rb").read())
    off = int(img[img.index(MARKER) + len(MARKER):][:9])
    entries, data = read_dir(img, off)
    kind = rnd.choice(["truncate", "flip-dir", "flip-data", "run-dir", "run-data", "name", "number",
                       "offset-digits", "long-tag", "mixed"])
    kinds = [kind] if kind != "mixed" else rnd.sample(["flip-dir", "flip-data", "run-data", "name", "number"], 2)
    for k in kinds:
        if k == "truncate":
            img = img[:rnd.randrange(off, len(img))]
        elif k in ("flip-dir", "flip-data"):
            lo, hi = (off, data) if k == "flip-dir" else (data, len(img))
            for _ in range(rnd.randint(1, 8)):
                if hi > lo:
                    img[rnd.randrange(lo, hi)] ^= 1 << rnd.randrange(8)
        elif k in ("run-dir", "run-data"):
            lo, hi = (off, data) if k == "run-dir" else (data, len(img))
            if hi > lo:
                at, n = rnd.randrange(lo, hi), rnd.randint(1, 64)
                fill = rnd.choice([None, 0, 0xFF])
                for i in range(at, min(at + n, len(img))):
                    img[i] = rnd.randrange(256) if fill is None else fill
        elif k in ("name", "number"):
            e = rnd.choice(entries)
            if k == "name":
                name = rnd.choice(HOSTILE)
                e[0] = (6, (name % TOKEN if "%s" in name else name).encode("latin-1"))
            else:
                field = rnd.randrange(1, 5)  # unpacked size, stored size, offset, attributes
                e[field] = (4, rnd.choice(EXTREME))
            body = bytearray([1])
            for en in entries:
                for tag, v in en:
                    body += write_value(tag, v)
            body += b"\0"
            img = img[:off] + body + img[data:]
        elif k == "offset-digits":
            at = img.index(MARKER) + len(MARKER)
            digits = rnd.choice(["%09d" % rnd.randrange(0, len(img) + 100), "999999999", "-00000001",
                                 "00000000x", "         ", "%09d" % (off + 1), "%09d" % (off - 1)])
            img[at:at + 9] = digits.encode("ascii")
        elif k == "long-tag":
            e = rnd.randrange(len(entries))
            # a name with tag 12 and a length far beyond the file
            at = off + 1
            for en in entries[:e]:
                for tag, v in en:
                    at += len(write_value(tag, v))
            n = len(write_value(*entries[e][0]))
            img = img[:at] + bytes([12]) + struct.pack("<I", rnd.choice([0xFFFFFFFF, 0x7FFFFFFF, 1 << 20]))\
                + img[at + n:]
    open(dst, "wb").write(img)
    print(kind if kind != "mixed" else "mixed")


main()
PY

# --- runs ---------------------------------------------------------------------------------
goods=("$work"/good/*.bin)
# Each good installer must carry checksums and start its program here, or the counts below
# would mean nothing; what its program saw is the reference for the damaged copies.
for good in "${goods[@]}"; do
  if [ $unchecked = 0 ] && ! "$pack" list "$good" | grep -q 'CRC-32 checked'; then
    echo "soak.sh: the good installer $(basename "$good") carries no checksums" >&2
    exit 2
  fi
  mkdir -p "$work/control/tmp"
  cp "$good" "$work/control/installer"
  (cd "$work/control" && SOAK_MARKER="$work/control/started" TMPDIR="$work/control/tmp" \
     setsid -w timeout -s KILL "$timeout_s" ./installer </dev/null >/dev/null 2>&1)
  if ! grep -q '^args: ' "$work/control/started" 2>/dev/null; then
    echo "soak.sh: the good installer $(basename "$good") did not start its program" >&2
    exit 2
  fi
  mv "$work/control/started" "$good.seen"
  rm -rf "$work/control"
done
declare -A kind_runs kind_started
crash=0; hang=0; outside=0; wrong=0; started=0; declined=0; clean=0
declare -A exits
listing() { (cd "$1" && find . -path ./tmp -prune -o -print | sort); }
for i in $(seq 1 "$count"); do
  good=${goods[$((RANDOM % ${#goods[@]}))]}
  run="$work/runs/$i"
  mkdir -p "$run/tmp"
  kind=$(python3 "$work/mutate.py" "$good" "$run/installer" "$((seed * 100003 + i))") || kind=mutator-failed
  chmod +x "$run/installer"
  marker="$work/markers/$i"
  before=$(listing "$run")
  # setsid: no controlling terminal, so an overwrite question is answered Yes, as for a box
  # that was not shown, instead of waiting for a key.
  (cd "$run" && SOAK_MARKER="$marker" TMPDIR="$run/tmp" ASAN_OPTIONS=detect_leaks=0 \
     setsid -w timeout -s KILL "$timeout_s" ./installer </dev/null >"$run/out" 2>"$run/err")
  rc=$?
  after=$(listing "$run" | grep -v -e '^\./out$' -e '^\./err$')
  outcome=ok
  if [ $rc -eq 137 ]; then
    outcome=hang; hang=$((hang + 1))
  elif [ $rc -gt 128 ] || grep -q -e 'Sanitizer' -e 'runtime error:' "$run/err"; then
    outcome=crash; crash=$((crash + 1))
  fi
  if [ "$before" != "$after" ]; then
    outcome="$outcome+outside"; outside=$((outside + 1))
  fi
  if [ -e "$marker" ]; then
    started=$((started + 1))
    if [ -s "$run/err" ] || ! cmp -s "$marker" "$good.seen"; then
      outcome="$outcome+wrong-start"; wrong=$((wrong + 1))
    fi
  else
    declined=$((declined + 1))
  fi
  exits[$rc]=$(( ${exits[$rc]:-0} + 1 ))
  kind_runs[$kind]=$(( ${kind_runs[$kind]:-0} + 1 ))
  [ -e "$marker" ] && kind_started[$kind]=$(( ${kind_started[$kind]:-0} + 1 ))
  if [ "$outcome" != ok ]; then
    mkdir -p "$work/failures"
    cp "$run/installer" "$work/failures/$i-$outcome.bin"
    echo "soak: #$i $kind from $(basename "$good"): $outcome (exit $rc)" >&2
    sed -n 1,5p "$run/err" >&2
  else
    clean=$((clean + 1))
  fi
  rm -rf "$run"
done
# An escape from runs/N/tmp lands in runs/N (compared per run above), in this soak's folder,
# or, going up further, at the top of the folders above it.
escaped=$( (find "$work" -path "$work/failures" -prune -o -name "*$token*" -print
            find "$(dirname "$work")" / "$root" -maxdepth 1 -name "*$token*") 2>/dev/null | head -20)
escapes=$(printf '%s' "$escaped" | grep -c . || true)
if [ "$escapes" -gt 0 ]; then
  echo "soak: files named by a hostile entry outside their folder:" >&2
  echo "$escaped" >&2
  outside=$((outside + escapes))
fi

printf '\nsoak: %d damaged installers from %d good ones (seed %s, timeout %ss)\n' "$count" "${#goods[@]}" "$seed" "$timeout_s"
printf '%-16s %8s\n' outcome runs
printf '%-16s %8d\n' crashes "$crash" hangs "$hang" "writes outside" "$outside" "wrong starts" "$wrong" \
  "program started" "$started" "not started" "$declined"
printf '\n%-16s %8s %8s\n' damage runs started
for k in $(printf '%s\n' "${!kind_runs[@]}" | sort); do
  printf '%-16s %8d %8d\n' "$k" "${kind_runs[$k]}" "${kind_started[$k]:-0}"
done
printf '\n%-16s %8s\n' "exit code" runs
for c in $(printf '%s\n' "${!exits[@]}" | sort -n); do printf '%-16s %8d\n' "$c" "${exits[$c]}"; done
[ $crash -eq 0 ] && [ $hang -eq 0 ] && [ $outside -eq 0 ] && [ $wrong -eq 0 ]

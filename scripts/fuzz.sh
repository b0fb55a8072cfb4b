#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz": clang, ASan, UBSan) and runs each one.
#   scripts/fuzz.sh            a smoke run: 20000 inputs per target
#   scripts/fuzz.sh SECONDS    each target for SECONDS seconds
# Each run starts from the saved corpus fuzz/corpus/<target>/; new inputs go to a scratch
# folder under build/fuzz, crashes to build/fuzz/artifacts/. Exit status 1 when one fails.
set -euo pipefail
cd "$(dirname "$0")/.."

budget=(-runs=20000)
if [[ $# -ge 1 ]]; then budget=(-max_total_time="$1"); fi

cmake --preset fuzz >/dev/null
cmake --build build/fuzz

mkdir -p build/fuzz/artifacts build/fuzz/scratch
status=0
while IFS= read -r target; do
  name=$(basename "$target")
  seeds=fuzz/corpus/$name
  scratch=build/fuzz/scratch/$name
  mkdir -p "$scratch"
  args=("${budget[@]}" -artifact_prefix="build/fuzz/artifacts/$name-" -print_final_stats=0 "$scratch")
  [[ -d $seeds ]] && args+=("$seeds")
  echo "== $name"
  if ! "$target" "${args[@]}" 2>"build/fuzz/$name.log"; then
    echo "FAILED: $name (log: build/fuzz/$name.log)"
    tail -n 30 "build/fuzz/$name.log"
    status=1
  else
    grep -E "^#[0-9]+ +DONE|Done [0-9]+ runs" "build/fuzz/$name.log" | tail -n 1 || true
  fi
done < <(find build/fuzz/fuzz -path '*/CMakeFiles' -prune -o -type f -executable ! -name '*_replay' -print | sort)
exit $status

#!/usr/bin/env bash
# Reproducible builds: builds the given targets of each preset once more, from a copy of the
# sources in another folder, and compares the programs byte for byte with those in build/PRESET.
# No build path and no link time may reach them (CMakeLists.txt, cmake/mingw-common.cmake).
#   scripts/rebuild_compare.sh PRESET... [-- TARGET...]       (targets: sfxstub by default)
set -uo pipefail
cd "$(dirname "$0")/.."
presets=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do presets+=("$1"); shift; done
shift
targets=("${@:-sfxstub}")
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
git ls-files -co --exclude-standard -z | tar -cf - --null -T - | tar -xf - -C "$copy"
status=0
for preset in "${presets[@]}"; do
  (cd "$copy" && cmake --preset "$preset" -DSFX_TESTS=OFF >/dev/null &&
     cmake --build --preset "$preset" -j2 --target "${targets[@]}" >/dev/null) || { echo "rebuild: $preset: build failed"; exit 1; }
  for target in "${targets[@]}"; do
    case $target in sfxstub) folder=app ;; sfxpack) folder=tools/sfxpack ;; esac
    for program in "$copy/build/$preset/$folder/$target"*; do
      [ -f "$program" ] && [ -x "$program" ] || continue
      original=build/$preset/$folder/$(basename "$program")
      if cmp -s "$original" "$program"; then
        echo "rebuild: $original identical ($(sha256sum <"$program" | cut -c1-16))"
      else
        echo "rebuild: $original differs when built in another folder"
        status=1
      fi
    done
  done
done
exit $status

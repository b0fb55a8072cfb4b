#!/usr/bin/env bash
# sfxpack.exe of a Windows build under Wine against the native sfxpack: the same tree with the
# same dates and options packs into the same bytes, list and test print the same, extract
# writes the same files with the same dates, the stream commands agree; both refuse a name the
# code page cannot hold; sfxpack.exe from the CPack .zip finds the stubs beside it.
#   windows_tool_test.sh NATIVE_BUILD WINDOWS_BUILD
set -euo pipefail
source "$(dirname "$0")/../../scripts/windows.sh"
sfx_test_start windows_tool_test "$@"
wine_run=$(cd "$(dirname "$0")/../.." && pwd)/scripts/wine-run.sh
win() { "$wine_run" "$build/tools/sfxpack/sfxpack.exe" "$@"; }
export TZ=Europe/Berlin  # a summer date and a winter one, each in its own offset

tree=$work/tree
mkdir -p "$tree/Übersicht/leer" "$tree/bin"
printf 'Hallo\r\n' >"$tree/Übersicht/Grüße.txt"
head -c 50000 "$stub" >"$tree/bin/setup.exe"
: >"$tree/Übersicht/leer/empty.txt"
chmod a-w "$tree/Übersicht/Grüße.txt"
touch -d '2024-07-06 07:08:09' "$tree/Übersicht/Grüße.txt" "$tree/bin/setup.exe"
touch -d '2023-01-02 03:04:06' "$tree/Übersicht/leer/empty.txt"

options=(--run 'bin\setup.exe' --params '/S /D=<TD>' -9 --no-date)
"$sfxpack" create -o "$work/linux.exe" --stub "$stub" "${options[@]}" "$tree" 2>/dev/null
win create -o "Z:$work/windows.exe" --stub "Z:$stub" "${options[@]}" "Z:$tree" 2>"$work/windows.err"
cmp "$work/linux.exe" "$work/windows.exe" || fail "the installers differ"
grep -q 'code page is 1252' "$work/windows.err" || fail "no code page warning: $(cat "$work/windows.err")"
for command in list test; do
  cmp <("$sfxpack" $command "$work/linux.exe") <(win $command "Z:$work/windows.exe") || fail "$command prints differently"
done
"$sfxpack" list "$work/linux.exe" | grep -q 'Übersicht\\Grüße.txt' || fail "list shows no UTF-8 name"

# With stored dates this time; the extracted files must carry the same ones. Setting a date
# takes the offset from UTC in force now on Windows (as the stub does), the date's own on
# POSIX, so the two agree in a zone without summer time.
"$sfxpack" create -o "$work/dated.exe" --stub "$stub" "$tree" 2>/dev/null
export TZ=UTC
"$sfxpack" extract "$work/dated.exe" -C "$work/out-linux"
win extract "Z:$work/dated.exe" -C "Z:$work/out-windows"
# Wine makes every .exe it writes executable; the write permission is what extract sets.
facts() {
  (cd "$1" && find . -type f -printf '%p %s %TY-%Tm-%Td %TH:%TM:%TS ' \
    \( -perm -u=w -printf 'writable\n' -o -printf 'read-only\n' \) | sort)
}
diff <(facts "$work/out-linux") <(facts "$work/out-windows") || fail "extract writes differently"
cmp "$tree/Übersicht/Grüße.txt" "$work/out-windows/Übersicht/Grüße.txt"

printf x >"$work/日本.txt"
touch -d "2024-01-02 03:04:05" "$work/日本.txt"
for tool in native win; do
  run=("$sfxpack") at=""
  [ $tool = win ] && run=(win) at="Z:"
  ! "${run[@]}" create -o "$at$work/jp-$tool.exe" --stub "$at$stub" "$at$work/日本.txt" 2>"$work/jp.err" ||
    fail "$tool packed 日本.txt in code page 1252"
  grep -q -- '--codepage' "$work/jp.err" || fail "$tool does not suggest --codepage: $(cat "$work/jp.err")"
  "${run[@]}" create -o "$at$work/jp-$tool.exe" --stub "$at$stub" --codepage 932 "$at$work/日本.txt" 2>/dev/null
done
cmp "$work/jp-native.exe" "$work/jp-win.exe" || fail "the code page 932 installers differ"
win list "Z:$work/jp-native.exe" | grep -q ' 日本.txt$' || fail "list does not read code page 932"

# The stream commands: the same stream from both tools, and each decodes the other's.
head -c 300000 "$stub" >"$work/raw"
"$sfxpack" encode-stream -9 "$work/raw" "$work/raw.linux"
win encode-stream -9 "Z:$work/raw" "Z:$work/raw.windows"
cmp "$work/raw.linux" "$work/raw.windows" || fail "encode-stream writes differently"
win decode-stream "Z:$work/raw.linux" "Z:$work/raw.back"
cmp "$work/raw" "$work/raw.back" || fail "decode-stream under Windows does not give the input back"

(cd "$build" && cpack -G ZIP -B "$work/zip" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
python3 -m zipfile -e "$work"/zip/sfxpack-*.zip "$work/unzipped"
folder=$(echo "$work"/unzipped/sfxpack-*)
option=$([ "$(basename "$stub")" = sfxstub64.exe ] && echo --x64 || true)
"$wine_run" "$folder/sfxpack.exe" create -o "Z:$work/zipped.exe" $option "Z:$tree" 2>/dev/null ||
  fail "sfxpack.exe from the .zip finds no stub"
cmp -i 1024 -n $(($(stat -c %s "$stub") - 1024)) "$stub" "$work/zipped.exe" || fail "not the stub of the .zip"
[ -f "$folder/README.md" ] || fail "no README in the .zip"

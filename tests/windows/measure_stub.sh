#!/usr/bin/env bash
# Prints what the application manifest and the version resource cost the Win32 stub: the
# stub as built, and the same objects linked again with a resource script that lacks both
# (both stripped, as the build links them), plus the stub's imports.
#
#   tests/windows/measure_stub.sh WIN32_BUILD_DIR
set -euo pipefail

build=$(cd "${1:?usage: $0 WIN32_BUILD_DIR}" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
stub=$build/app/sfxstub.exe
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
[ -f "$stub" ] || { echo "measure_stub: no stub at $stub" >&2; exit 1; }

# The resource script without the manifest line and without the VERSIONINFO block.
python3 - "$root/ui/win32/stub.rc" "$work/bare.rc" <<'PY'
import re, sys
text = open(sys.argv[1]).read()
text = re.sub(r'^.*RT_MANIFEST.*\n', '', text, flags=re.M)
text = re.sub(r'^\S+\s+VERSIONINFO\b.*?^END\s*$', '', text, flags=re.M | re.S)
open(sys.argv[2], 'w').write(text)
PY
i686-w64-mingw32-windres -I"$root" -i "$work/bare.rc" -O coff -o "$work/bare.res"

# The build's own link command, with the bare resources and another output.
link=$(ninja -C "$build" -t commands app/sfxstub.exe | grep -- '-o app/sfxstub.exe' | tail -n 1)
link=${link#: && }
link=${link%% && cd *}
link=$(sed -e "s#[^ ]*stub\.rc\.res#$work/bare.res#" -e "s#-o app/sfxstub\.exe#-o $work/bare.exe#" \
           -e "s#-Wl,--out-implib,[^ ]*##" <<<"$link")
(cd "$build" && eval "$link")

with=$(stat -c %s "$stub")
without=$(stat -c %s "$work/bare.exe")
echo "stub with manifest and version resource:    $with bytes"
echo "stub without them (same objects, relinked):  $without bytes"
echo "cost of the two resources:                   $((with - without)) bytes"
echo "imports: $(i686-w64-mingw32-objdump -p "$stub" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '\n' ' ')"

#!/usr/bin/env bash
# End-to-end runs of the Windows stub under Wine: full run, "Abbruch", the "File Exists"
# answers, a damaged installer, the top-level error report, a temporary folder with a blank,
# the DLL search restricted before anything is loaded, and names in code page 1252 created as
# written.
#
#   tests/e2e/wine_e2e.sh <native-build> <windows-build> [unittest options]
#
# The native build supplies the test packer, the Windows build (win32 or win64) its stub,
# sample_setup.exe and with_temp.exe. Starts its own Xvfb when DISPLAY is unset (scripts/env.sh).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
[ $# -ge 2 ] || { echo "usage: $0 <native-build> <windows-build>" >&2; exit 2; }
native=$(cd "$1" && pwd) && win32=$(cd "$2" && pwd) || exit 2
shift 2
source "$here/../../scripts/windows.sh"
for f in "$native/tests/e2e/e2e_pack" "$(sfx_windows_stub "$win32")" \
         "$win32/tests/payload/sample_setup.exe" "$win32/tests/e2e/with_temp.exe"; do
  [ -f "$f" ] || { echo "wine_e2e: $f is missing (build it first)" >&2; exit 1; }
done
command -v xdotool >/dev/null || { echo "wine_e2e: xdotool is missing" >&2; exit 1; }

source "$here/../../scripts/env.sh"
python3 "$here/wine_e2e.py" "$native" "$win32" "$@"

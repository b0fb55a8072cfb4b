#!/usr/bin/env bash
# An installer made with `sfxpack create --icon --version-info` on a Windows stub, under Wine:
#  - it still runs a full installation: it unpacks, starts the packed program and cleans up;
#  - the system's resource functions find the new icon (group, images, an icon made from the
#    best image), the version strings and numbers, the dialog template and string resource 1;
#  - signed afterwards with osslsigncode (self-made certificate), the signature verifies and
#    the signed installer runs and reads back the same way.
# The packed program is resource_probe.exe itself, started by the installer on the installer.
#
#   tests/windows/branded_installer_test.sh NATIVE_BUILD_DIR WINDOWS_BUILD_DIR (win32 or win64)
#
# Starts its own Xvfb when DISPLAY is not set; runs Wine in the project's prefix through
# scripts/wine-run.sh. Prints the create command and its output. (Signing also checks list,
# extract and restub of the signed installer.)
set -uo pipefail
source "$(dirname "$0")/../../scripts/windows.sh"
source "$(dirname "$0")/../../scripts/xvfb.sh"
sfx_test_start branded_installer_test "$@"
wine_run=$(cd "$(dirname "$0")/../../scripts" && pwd)/wine-run.sh
probe=$build/tests/windows/resource_probe.exe
with_temp=$build/tests/e2e/with_temp.exe
[ -f "$probe" ] || fail "$probe is missing"
for tool in convert openssl osslsigncode "$(sfx_wine_loader 64)"; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/bootstrap.sh)"
done
sfx_start_xvfb || fail "no free display for Xvfb"
trap '[ -n "$SFX_XVFB_PID" ] && kill "$SFX_XVFB_PID" 2>/dev/null; rm -rf "$work"' EXIT

cd "$work" || exit 1
mkdir -p payload temp
cp "$probe" payload/resource_probe.exe
convert -size 64x64 xc:none -fill '#2060c0' -draw 'circle 32,32 32,4' \
  -define icon:auto-resize=48,32,16 app.ico || fail "ImageMagick could not make an icon"

create=("$sfxpack" create --stub "$stub" -o Branded.exe --icon app.ico
        --version-info "ProductName=Demo Tool" --version-info "FileDescription=Demo Tool Setup"
        --version-info FileVersion=2.1.0.5 --version-info ProductVersion=2.1
        --version-info "CompanyName=ACME GmbH" --version-info "LegalCopyright=(c) 2026 ACME"
        --run resource_probe.exe --params "<AD>Branded.exe @" payload)
echo "\$ sfxpack create --stub $(basename "$stub") -o Branded.exe --icon app.ico" \
     "--version-info 'ProductName=Demo Tool' ... --run resource_probe.exe --params '<AD>Branded.exe @' payload"
"${create[@]}" 2>&1 || fail "sfxpack create failed"
echo "Branded.exe: $(stat -c %s Branded.exe) bytes (stub alone: $(stat -c %s "$stub"))"

expect() {  # expect <report> <line>...
  local report=$1 line
  shift
  [ -f "$report" ] || fail "no report $report"
  for line in "$@"; do
    tr -d '\r' <"$report" | grep -qxF -- "$line" || { sed 's/^/  report: /' "$report" >&2; fail "$report lacks '$line'"; }
  done
}
check_report() {
  expect "$1" "icon-count 3" "icon-images 3" "icon-created 1" "dialog 1" \
    "fixed-file-version 2.1.0.5" "version ProductName Demo Tool" \
    "version FileDescription Demo Tool Setup" "version FileVersion 2.1.0.5" \
    "version ProductVersion 2.1" "version CompanyName ACME GmbH" \
    "version LegalCopyright (c) 2026 ACME" "version OriginalFilename Branded.exe" "probe-done"
  tr -d '\r' <"$1" | grep -qx 'string-1 [0-9]\{9\}' || fail "$1: string resource 1 is not nine digits"
}

# Runs an installer to its end: with a temporary folder of its own when with_temp.exe is there,
# so that the clean-up can be checked.
run_installer() {  # run_installer <installer>
  local program
  program=$("$wine_run" winepath -w "$1" 2>/dev/null | tr -d '\r')
  rm -rf "$work/temp" && mkdir "$work/temp"
  if [ -f "$with_temp" ]; then
    local tempdir
    tempdir=$("$wine_run" winepath -w "$work/temp" 2>/dev/null | tr -d '\r')
    timeout 180 "$wine_run" "$with_temp" "$tempdir\\" "$program" || fail "$1 exited with $?"
    [ -z "$(ls -A "$work/temp")" ] || fail "$1 left files in its temporary folder: $(ls -A "$work/temp")"
  else
    echo "branded_installer_test: note: $with_temp not built, clean-up not checked"
    timeout 180 "$wine_run" "$program" || fail "$1 exited with $?"
  fi
}

# The installer runs the packed probe on itself, which writes Branded.exe.probe.txt.
run_installer "$work/Branded.exe"
check_report Branded.exe.probe.txt
"$wine_run" "$probe" Branded.exe direct.txt || fail "resource_probe failed on Branded.exe"
check_report direct.txt
echo "read back through Wine's resource and version functions:"
tr -d '\r' <direct.txt | sed 's/^/  /'

# Signed after packing: the signature verifies, the installer still runs and reads back.
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
  -subj "/CN=branded installer test" >/dev/null 2>&1 || fail "openssl could not make a certificate"
mkdir -p signed
osslsigncode sign -certs cert.pem -key key.pem -n "Demo Tool" -in Branded.exe \
  -out signed/Branded.exe >/dev/null || fail "osslsigncode sign failed"
osslsigncode verify -CAfile cert.pem -in signed/Branded.exe >verify.log 2>&1 \
  || { cat verify.log >&2; fail "osslsigncode verify rejects the signed installer"; }
grep -q "Signature verification: ok" verify.log || { cat verify.log >&2; fail "no verified signature"; }
"$sfxpack" test signed/Branded.exe >/dev/null || fail "sfxpack test fails on the signed installer"
# The certificate table lands behind the archive: the same listing and files; restub leaves
# the signature behind.
cmp <("$sfxpack" list Branded.exe) <("$sfxpack" list signed/Branded.exe) || fail "the signed installer lists differently"
"$sfxpack" extract signed/Branded.exe -C unpacked && diff -r payload unpacked || fail "extracted files differ"
"$sfxpack" restub signed/Branded.exe --stub "$stub" -o restubbed.exe &&
  cmp <("$sfxpack" list Branded.exe) <("$sfxpack" list restubbed.exe) || fail "restub of the signed installer"
osslsigncode verify -CAfile cert.pem -in restubbed.exe >/dev/null 2>&1 && fail "restub kept the signature"
run_installer "$work/signed/Branded.exe"
check_report signed/Branded.exe.probe.txt
echo "signed installer: $(stat -c %s signed/Branded.exe) bytes, signature verifies, runs, reads back"

# What the tool refuses: a file that is no icon (exit 1, naming it), --icon with --native (2).
printf 'not an icon' > bad.ico
"$sfxpack" create --stub "$stub" -o Bad.exe --icon bad.ico payload 2>bad.log
[ $? -eq 1 ] && grep -q "bad.ico" bad.log && [ ! -e Bad.exe ] || fail "a bad icon was not refused cleanly: $(cat bad.log)"
"$sfxpack" create --native -o Bad --icon app.ico payload 2>/dev/null
[ $? -eq 2 ] || fail "--icon with --native is not a usage error"
echo "branded_installer_test: ok"

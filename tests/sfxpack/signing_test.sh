#!/usr/bin/env bash
# An installer made by `sfxpack create` and then signed with osslsigncode (self-made test
# certificate) still lists, tests and extracts: the signature's certificate table lands behind
# the archive, where no member reaches.
#
# Usage: tests/sfxpack/signing_test.sh NATIVE_BUILD_DIR WINDOWS_BUILD_DIR
#   NATIVE_BUILD_DIR holds tools/sfxpack/sfxpack, WINDOWS_BUILD_DIR (win32 or win64) the stub.
# Exits non-zero on any failure. With SFXPACK_SIGNING_KEEP=1 the scratch folder stays and the
# signed installer's path is printed, for a run under Wine:
#   xvfb-run -a scripts/wine-run.sh "$(SFXPACK_SIGNING_KEEP=1 tests/sfxpack/signing_test.sh ...)"
set -euo pipefail

native=${1:?usage: $0 NATIVE_BUILD_DIR WINDOWS_BUILD_DIR}
win32=${2:?usage: $0 NATIVE_BUILD_DIR WINDOWS_BUILD_DIR}
native=$(cd "$native" && pwd)
win32=$(cd "$win32" && pwd)
sfxpack=$native/tools/sfxpack/sfxpack
source "$(dirname "$0")/../../scripts/windows.sh"
stub=$(sfx_windows_stub "$win32")
for tool in openssl osslsigncode; do
  command -v "$tool" >/dev/null || { echo "signing_test: $tool is missing (scripts/bootstrap.sh)" >&2; exit 1; }
done
[ -x "$sfxpack" ] || { echo "signing_test: no sfxpack at $sfxpack" >&2; exit 1; }
[ -f "$stub" ] || { echo "signing_test: no Windows stub at $stub" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/sfxpack-signing.XXXXXX")
fail() { echo "signing_test: $*" >&2; exit 1; }
[ "${SFXPACK_SIGNING_KEEP:-0}" = 1 ] || trap 'rm -rf "$work"' EXIT

cd "$work"
mkdir -p payload/sub
printf 'signed installer\r\n' > payload/readme.txt
head -c 200000 /dev/urandom > payload/sub/random.bin
seq 1 20000 > payload/sub/numbers.txt

openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
  -subj "/CN=sfxpack signing test" >/dev/null 2>&1 || fail "openssl could not make a certificate"

"$sfxpack" create --stub "$stub" -o unsigned.exe --run readme.txt payload
osslsigncode sign -certs cert.pem -key key.pem -n "sfxpack signing test" \
  -in unsigned.exe -out signed.exe >/dev/null || fail "osslsigncode sign failed"
osslsigncode verify -CAfile cert.pem -in signed.exe >verify.log 2>&1 || { cat verify.log >&2; fail "signature does not verify"; }
[ "$(stat -c %s signed.exe)" -gt "$(stat -c %s unsigned.exe)" ] || fail "signing appended nothing"

# Same members, all intact, same bytes once unpacked.
"$sfxpack" list unsigned.exe > unsigned.list
"$sfxpack" list signed.exe > signed.list
cmp -s unsigned.list signed.list || fail "the signed installer lists differently"
grep -q 'CRC-32 checked' signed.list || fail "the signed installer lost its checksums"
"$sfxpack" test signed.exe > test.log || { cat test.log >&2; fail "sfxpack test failed on the signed installer"; }
"$sfxpack" extract signed.exe -C unpacked
diff -r payload unpacked >/dev/null || fail "extracted files differ from the packed ones"

# restub drops the signature along with the old stub: behind the same stub, the copy is the
# unsigned installer byte for byte.
"$sfxpack" restub signed.exe --stub "$stub" -o restubbed.exe
cmp -s restubbed.exe unsigned.exe || fail "restub of the signed installer differs from the unsigned one"

[ "${SFXPACK_SIGNING_KEEP:-0}" = 1 ] && echo "$work/signed.exe"
exit 0

#!/usr/bin/env bash
# An installer made by `sfxpack create` and then signed with osslsigncode (self-made test
# certificate) still lists, tests and extracts: the signature's certificate table lands behind
# the archive, where no member reaches; restub drops it with the old stub.
#   tests/sfxpack/signing_test.sh NATIVE_BUILD_DIR WINDOWS_BUILD_DIR
set -euo pipefail
source "$(dirname "$0")/../../scripts/windows.sh"
sfx_test_start signing_test "$@"
cd "$work"
mkdir -p payload/sub
printf 'signed installer\r\n' >payload/readme.txt
head -c 200000 /dev/urandom >payload/sub/random.bin
seq 1 20000 >payload/sub/numbers.txt
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
  -subj "/CN=sfxpack signing test" >/dev/null 2>&1 || fail "openssl could not make a certificate"

"$sfxpack" create --stub "$stub" -o unsigned.exe --run readme.txt payload
osslsigncode sign -certs cert.pem -key key.pem -n "sfxpack signing test" -in unsigned.exe -out signed.exe >/dev/null
osslsigncode verify -CAfile cert.pem -in signed.exe >verify.log 2>&1 || { cat verify.log >&2; fail "no valid signature"; }
[ "$(stat -c %s signed.exe)" -gt "$(stat -c %s unsigned.exe)" ] || fail "signing appended nothing"

# Same members, all intact, same bytes once unpacked; behind the same stub again, the copy is
# the unsigned installer byte for byte.
cmp <("$sfxpack" list unsigned.exe) <("$sfxpack" list signed.exe) || fail "the signed installer lists differently"
"$sfxpack" list signed.exe | grep -q 'CRC-32 checked' || fail "the signed installer lost its checksums"
"$sfxpack" test signed.exe >/dev/null || fail "sfxpack test failed on the signed installer"
"$sfxpack" extract signed.exe -C unpacked
diff -r payload unpacked || fail "extracted files differ from the packed ones"
"$sfxpack" restub signed.exe --stub "$stub" -o restubbed.exe
cmp restubbed.exe unsigned.exe || fail "restub of the signed installer differs from the unsigned one"

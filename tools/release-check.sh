#!/usr/bin/env bash
# Checks that a release can be checked by the people who download it:
#  - the release of HEAD built twice (tools/release.sh), in two folders of different depth,
#    minutes apart, with another umask and the second without ccache, gives byte-identical
#    executables and Linux packages, and SHA256SUMS lists the packages beside the executables;
#  - signed with a throw-away self-signed code-signing certificate, both executables carry an
#    Authenticode signature that verifies, SHA256SUMS lists the signed files, and the first
#    build's unsigned file with the second's signature attached is the signed file byte for byte;
#  - a signed copy with one byte flipped fails verification.
# Needs what tools/setup-debian.sh installs (openssl, osslsigncode, the MinGW-w64 compilers).
# KX_RELEASE_CHECK_KEEP=DIR keeps the first (unsigned) release folder as DIR/kxflash-<version>
# for the checks that follow (tools/ci.sh: lintian, the install, the arm64 run under qemu).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tmp=$(mktemp -d "${TMPDIR:-/tmp}/kxflash-release-check.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
fail() { echo "release check: $*" >&2; exit 1; }

echo "--- first build: $(date -u '+%H:%M:%S UTC'), unsigned"
KX_RELEASE_WORK=$tmp/one/work bash "$root/tools/release.sh" --out "$tmp/one/dist"
one=$(echo "$tmp"/one/dist/kxflash-*)
grep -q "not signed" "$one/README.txt" || fail "the unsigned release's README.txt does not say so"

# A throw-away certificate for code signing, valid for a day, its key in a PKCS#12 file.
cert=$tmp/cert
mkdir "$cert"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$cert/key.pem" -out "$cert/cert.pem" -days 1 \
  -subj "/CN=kxflash throw-away test signer" -addext "extendedKeyUsage=codeSigning" \
  -addext "keyUsage=critical,digitalSignature" 2>/dev/null
openssl pkcs12 -export -inkey "$cert/key.pem" -in "$cert/cert.pem" -out "$cert/test.pfx" \
  -passout pass:throw-away

echo "--- second build: $(date -u '+%H:%M:%S UTC'), another folder, signed"
(umask 0002 && CCACHE_DISABLE=1 KX_RELEASE_WORK=$tmp/two/a/deeper/work \
  KX_SIGN_PFX=$cert/test.pfx KX_SIGN_PASSWORD=throw-away KX_SIGN_CAFILE=$cert/cert.pem \
  bash "$root/tools/release.sh" --out "$tmp/two/dist")
two=$(echo "$tmp"/two/dist/kxflash-*)
[ "$(basename "$one")" = "$(basename "$two")" ] || fail "two release folders: $one, $two"

echo "--- the two builds, before signing"
built=$tmp/two/a/deeper/work/src/build
for pair in kxflash.exe:windows kxflash-x64.exe:windows64; do
  exe=${pair%%:*}
  a=$(sha256sum <"$one/$exe" | cut -d' ' -f1)
  b=$(sha256sum <"$built/${pair#*:}/app/kxflash.exe" | cut -d' ' -f1)
  echo "$exe  first $a"
  echo "$exe  second $b"
  [ "$a" = "$b" ] || fail "$exe differs between the two builds"
done
debs=0
for deb in "$one"/*.deb; do
  [ -f "$deb" ] || break
  name=$(basename "$deb")
  echo "$name  first $(sha256sum <"$deb" | cut -d' ' -f1)"
  echo "$name  second $(sha256sum <"$two/$name" | cut -d' ' -f1)"
  cmp -s "$deb" "$two/$name" || fail "$name differs between the two builds"
  grep -q "  $name\$" "$two/SHA256SUMS" || fail "SHA256SUMS does not list $name"
  debs=$((debs + 1))
done
[ "$debs" -eq 3 ] || fail "$debs Linux packages in the release, not 3 (amd64, arm64, armhf)"

echo "--- the signatures"
(cd "$two" && sha256sum -c SHA256SUMS) || fail "SHA256SUMS does not list the signed files"
grep -q "not signed" "$two/README.txt" && fail "the signed release's README.txt says it is not signed"
for exe in kxflash.exe kxflash-x64.exe; do
  osslsigncode verify -in "$two/$exe" -CAfile "$cert/cert.pem" >"$tmp/verify.log" 2>&1 ||
    { cat "$tmp/verify.log"; fail "the signature of $exe does not verify"; }
  grep -E "Message digest algorithm  :|Current message digest|Calculated message digest|Subject:|Signature verification:|Number of verified signatures" \
    "$tmp/verify.log" | sed "s/^[[:space:]]*/$exe: /" | sort -u
  grep -q "^Signature verification: ok" "$tmp/verify.log" || fail "$exe: no verified signature"
  # The signed file is the unsigned build plus its signature, nothing else.
  osslsigncode extract-signature -in "$two/$exe" -out "$tmp/$exe.sig" >/dev/null
  osslsigncode attach-signature -sigin "$tmp/$exe.sig" -in "$one/$exe" -out "$tmp/$exe.attached" \
    -CAfile "$cert/cert.pem" >/dev/null
  cmp "$tmp/$exe.attached" "$two/$exe" || fail "$exe: the first build with the signature attached differs"
  echo "$exe: the first build with the second's signature attached is the signed file"
done

echo "--- a signed copy with one byte flipped"
python3 - "$two/kxflash.exe" "$tmp/tampered.exe" <<'EOF'
import sys
data = bytearray(open(sys.argv[1], 'rb').read())
data[len(data) // 2] ^= 0x01
open(sys.argv[2], 'wb').write(data)
EOF
if osslsigncode verify -in "$tmp/tampered.exe" -CAfile "$cert/cert.pem" >"$tmp/tampered.log" 2>&1; then
  cat "$tmp/tampered.log"
  fail "a tampered copy verifies"
fi
grep -E "Signature verification:|Calculated message digest|MISMATCH" "$tmp/tampered.log" | sort -u
grep -q "MISMATCH" "$tmp/tampered.log" || fail "the tampered copy failed for another reason than its digest"
if [ -n "${KX_RELEASE_CHECK_KEEP:-}" ]; then
  rm -rf "${KX_RELEASE_CHECK_KEEP:?}/$(basename "$one")"
  mkdir -p "$KX_RELEASE_CHECK_KEEP"
  cp -r "$one" "$KX_RELEASE_CHECK_KEEP/"
  echo "the first release kept in $KX_RELEASE_CHECK_KEEP/$(basename "$one")"
fi
echo "release check: passed"

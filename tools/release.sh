#!/usr/bin/env bash
# Builds a release from the commit HEAD and lays it out in dist/kxflash-<version>/:
#   kxflash.exe       the product, 32-bit Windows
#   kxflash-x64.exe   the same sources for 64-bit Windows
#   kxflash_<version>_<arch>.deb   the Linux station's packages, amd64, arm64 and armhf
#                     (tools/package-deb.sh)
#   SHA256SUMS        the checksums of the executables as shipped (signed, when signing) and
#                     of the packages
#   README.txt        what the tool does and how to check it, Russian and English
#
# The build never uses the developer's build folders or uncommitted changes: HEAD is exported
# into a scratch folder and built there with the presets windows and windows64, with
# SOURCE_DATE_EPOCH the commit's time. The same commit gives byte-identical executables
# wherever and whenever it is built (cmake/reproducible.cmake).
#
#   bash tools/release.sh [--out DIR]     DIR (default: dist) receives kxflash-<version>/
#
# Signing (Authenticode, SHA-256, with osslsigncode), only when a certificate is given:
#   KX_SIGN_PFX             the certificate and its private key, a PKCS#12 (.pfx) file
#   KX_SIGN_PASSWORD        the password of that file (may be empty)
#   KX_SIGN_TIMESTAMP_URL   optional: an RFC 3161 time-stamp server; none is asked otherwise
#   KX_SIGN_CAFILE          optional: the certificates to verify the signatures against
#                           (default: the system's); a self-signed test certificate needs it
# Other settings:
#   KX_RELEASE_WORK         the scratch folder (default: a new temporary folder, removed after)
#   KX_RELEASE_DEB_ARCHES   the packages' architectures (default: "amd64 arm64 armhf")
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/dist
while [ $# -gt 0 ]; do
  case "$1" in
    --out) out=$2; shift 2 ;;
    --out=*) out=${1#--out=}; shift ;;
    *) echo "usage: bash tools/release.sh [--out DIR]" >&2; exit 2 ;;
  esac
done
mkdir -p "$out"
out=$(cd "$out" && pwd)
say() { echo "release: $*"; }
die() { echo "release: $*" >&2; exit 1; }

commit=$(git -C "$root" rev-parse --verify HEAD)
if [ -n "$(git -C "$root" status --porcelain --untracked-files=no)" ]; then
  say "the working tree has uncommitted changes; they are not in the release (HEAD is built)"
fi
if [ -n "${KX_RELEASE_WORK:-}" ]; then
  work=$KX_RELEASE_WORK
  rm -rf "$work"
  mkdir -p "$work"
else
  work=$(mktemp -d "${TMPDIR:-/tmp}/kxflash-release.XXXXXX")
  trap 'rm -rf "$work"' EXIT
fi
work=$(cd "$work" && pwd)

# A clean tree: the commit's files only, nothing from the developer's folders.
mkdir "$work/src"
git -C "$root" archive --format=tar "$commit" | tar -x -C "$work/src"
SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct "$commit")
export SOURCE_DATE_EPOCH LC_ALL=C
say "commit $commit ($(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S UTC')), building in $work"

jobs=$(nproc)
for preset in windows windows64; do
  (cd "$work/src" && cmake --preset "$preset" >/dev/null &&
    cmake --build --preset "$preset" --target kxflash -j "$jobs" >"$work/build-$preset.log") ||
    { tail -n 40 "$work/build-$preset.log" >&2 2>/dev/null || true; die "the $preset build failed"; }
done
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$work/src/build/windows/CMakeCache.txt")
[ -n "$version" ] || die "no project version in the build"
bash "$root/tools/check-exe.sh" "$work/src/build/windows/app/kxflash.exe" i386 "$version" >/dev/null
bash "$root/tools/check-exe.sh" "$work/src/build/windows64/app/kxflash.exe" x86-64 "$version" \
  >/dev/null

# The Linux station's packages, built in the same clean tree.
read -r -a deb_arches <<<"${KX_RELEASE_DEB_ARCHES:-amd64 arm64 armhf}"
(cd "$work/src" && KX_JOBS=$jobs bash tools/package-deb.sh --out "$work/deb" "${deb_arches[@]}" \
  >"$work/package-deb.log" 2>&1) || { tail -n 40 "$work/package-deb.log" >&2; die "the packages failed"; }

dist=$out/kxflash-$version
rm -rf "$dist"
mkdir -p "$dist"
cp "$work/src/build/windows/app/kxflash.exe" "$dist/kxflash.exe"
cp "$work/src/build/windows64/app/kxflash.exe" "$dist/kxflash-x64.exe"
debs=()
for arch in "${deb_arches[@]}"; do
  deb=kxflash_${version}_$arch.deb
  [ -f "$work/deb/$deb" ] || die "no package $deb"
  cp "$work/deb/$deb" "$dist/$deb"
  debs+=("$deb")
done
shipped=(kxflash.exe kxflash-x64.exe "${debs[@]}")
(cd "$dist" && sha256sum "${shipped[@]}") >"$work/unsigned.sha256"

signed=no
if [ -n "${KX_SIGN_PFX:-}" ]; then
  [ -f "$KX_SIGN_PFX" ] || die "KX_SIGN_PFX: no such file: $KX_SIGN_PFX"
  command -v osslsigncode >/dev/null || die "osslsigncode is not installed (tools/setup-debian.sh)"
  # The password goes through a file only this user can read, never on a command line.
  pass=$work/sign.pass
  (umask 077 && printf '%s' "${KX_SIGN_PASSWORD:-}" >"$pass")
  for exe in kxflash.exe kxflash-x64.exe; do
    args=(sign -pkcs12 "$KX_SIGN_PFX" -readpass "$pass" -h sha256
      -n "Magnetoflux bootloader" -in "$dist/$exe" -out "$work/$exe.signed")
    [ -n "${KX_SIGN_TIMESTAMP_URL:-}" ] && args+=(-ts "$KX_SIGN_TIMESTAMP_URL")
    osslsigncode "${args[@]}" >"$work/sign.log" 2>&1 || { cat "$work/sign.log" >&2; die "signing $exe failed"; }
    verify=(verify -in "$work/$exe.signed")
    [ -n "${KX_SIGN_CAFILE:-}" ] && verify+=(-CAfile "$KX_SIGN_CAFILE")
    osslsigncode "${verify[@]}" >"$work/verify-$exe.log" 2>&1 ||
      { cat "$work/verify-$exe.log" >&2; die "the signature of $exe does not verify"; }
    mv "$work/$exe.signed" "$dist/$exe"
  done
  rm -f "$pass"
  signed=yes
  say "signed with $KX_SIGN_PFX${KX_SIGN_TIMESTAMP_URL:+, time-stamped by $KX_SIGN_TIMESTAMP_URL}; signatures verified"
else
  say "no certificate (KX_SIGN_PFX not set): the executables are NOT signed"
fi
(cd "$dist" && sha256sum "${shipped[@]}") >"$dist/SHA256SUMS"

# README.txt: UTF-8 with a byte order mark and CRLF line ends, so that every Notepad reads it.
sums=$(sed 's/^/    /' "$dist/SHA256SUMS")
unsigned_sums=$(sed 's/^/    /' "$work/unsigned.sha256")
{
  printf '\xEF\xBB\xBF'
  python3 - "$root/tools/release-readme.txt" "$version" "$commit" "$sums" "$unsigned_sums" \
    "$signed" <<'EOF'
import sys
template, version, commit, sums, unsigned_sums, signed = sys.argv[1:7]
text = ''.join(line for line in open(template, encoding='utf-8') if not line.startswith('##'))
for key, value in (('@VERSION@', version), ('@COMMIT@', commit), ('@SHA256SUMS@', sums),
                   ('@UNSIGNED_SHA256SUMS@', unsigned_sums)):
    text = text.replace(key, value)
# A block that holds for one kind of release only: [signed] ... [/signed], [unsigned] ...
for kind in ('signed', 'unsigned'):
    keep = (kind == 'signed') == (signed == 'yes')
    while '[%s]\n' % kind in text:
        head, rest = text.split('[%s]\n' % kind, 1)
        body, tail = rest.split('[/%s]\n' % kind, 1)
        text = head + (body if keep else '') + tail
sys.stdout.write(text.replace('\n', '\r\n'))
EOF
} >"$dist/README.txt"

say "kxflash $version in $dist"
sed 's/^/  /' "$dist/SHA256SUMS"

#!/usr/bin/env bash
# Installs a kxflash package with dpkg -i in a clean Debian 12 root and runs it there:
# `kxflash --version` must run and name the package's version, and the files must be where the
# package says.
#
#   bash tools/deb/install-check.sh DEB      (as root: chroot)
#
# The root is Debian 12's minimal base (mmdebstrap --variant=minbase from Debian's mirror, with
# libudev1, which the station links), made once and kept as build/debian12-root.tar
# (KX_DEBIAN_ROOT_TAR); every check unpacks a fresh copy, so CI pays for the download once.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
[ $# -eq 1 ] && [ -f "$1" ] || { echo "usage: bash tools/deb/install-check.sh DEB" >&2; exit 2; }
deb=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
fail() { echo "install check: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || fail "needs root (chroot)"

cache=${KX_DEBIAN_ROOT_TAR:-$root/build/debian12-root.tar}
if [ ! -s "$cache" ]; then
  echo "install check: making the Debian 12 root once ($cache)"
  mkdir -p "$(dirname "$cache")"
  timeout 900 mmdebstrap --quiet --variant=minbase --include=libudev1 bookworm "$cache.part.tar" ||
    { rm -f "$cache.part.tar"; fail "mmdebstrap could not make the Debian 12 root"; }
  mv "$cache.part.tar" "$cache"
fi

tmp=$(mktemp -d "${TMPDIR:-/tmp}/kxflash-install.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
mkdir "$tmp/root"
tar -C "$tmp/root" -xf "$cache"
grep -q '^12\.' "$tmp/root/etc/debian_version" || fail "the root is no Debian 12: $(cat "$tmp/root/etc/debian_version")"
chroot "$tmp/root" dpkg-query -W kxflash >/dev/null 2>&1 && fail "the clean root already has kxflash"
cp "$deb" "$tmp/root/tmp/kxflash.deb"
chroot "$tmp/root" dpkg -i /tmp/kxflash.deb || fail "dpkg -i failed"
version=$(dpkg-deb -f "$deb" Version)
got=$(chroot "$tmp/root" kxflash --version) || fail "kxflash --version failed in the root"
echo "$got"
echo "$got" | head -n 1 | grep -qF "$version" || fail "kxflash --version does not name $version"
for f in /usr/bin/kxflash /usr/share/man/man1/kxflash.1.gz /usr/share/doc/kxflash/60-kxflash.rules \
  /usr/share/doc/kxflash/copyright; do
  [ -f "$tmp/root$f" ] || fail "$f is missing after the install"
done
echo "install check: $(basename "$deb") installed in a clean Debian $(cat "$tmp/root/etc/debian_version") root; kxflash --version runs"

#!/usr/bin/env bash
# Builds the Linux station's Debian packages from this tree: kxflash_<version>_<arch>.deb for
# amd64 (natively), arm64 and armhf (Debian's cross compilers), with the presets linux-<arch>.
#
#   bash tools/package-deb.sh [--out DIR] [ARCH...]    ARCH: amd64, arm64, armhf (default: all)
#
# A package holds
#   /usr/bin/kxflash                          the station, stripped
#   /usr/share/man/man1/kxflash.1.gz          made by help2man from the binary's own --help and
#                                             --version (a cross build's run under qemu-user:
#                                             the text is the same on every architecture, and
#                                             the run checks that it is)
#   /usr/share/doc/kxflash/60-kxflash.rules   the sample udev rule (tools/deb/)
#   /usr/share/doc/kxflash/README.md.gz, copyright, changelog.gz (tools/deb/)
# and depends on the libraries dpkg-shlibdeps finds it linked against (the cross builds' through
# the multiarch packages tools/setup-debian.sh installs).
#
# Reproducible: the builds are (cmake/reproducible.cmake), and so is the package: every file's
# time is SOURCE_DATE_EPOCH (default: the time of the commit HEAD), modes are set, owners are
# root, and dpkg-deb takes the time of its archive members from SOURCE_DATE_EPOCH.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/dist
arches=()
while [ $# -gt 0 ]; do
  case "$1" in
    --out) out=$2; shift 2 ;;
    --out=*) out=${1#--out=}; shift ;;
    amd64 | arm64 | armhf) arches+=("$1"); shift ;;
    *) echo "usage: bash tools/package-deb.sh [--out DIR] [amd64|arm64|armhf]..." >&2; exit 2 ;;
  esac
done
[ ${#arches[@]} -gt 0 ] || arches=(amd64 arm64 armhf)
mkdir -p "$out"
out=$(cd "$out" && pwd)
die() { echo "package-deb: $*" >&2; exit 1; }

export LC_ALL=C TZ=UTC
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null) ||
    die "SOURCE_DATE_EPOCH is not set and $root is no git tree"
fi
export SOURCE_DATE_EPOCH
work=$(mktemp -d "${TMPDIR:-/tmp}/kxflash-deb.XXXXXX")
trap 'rm -rf "$work"' EXIT
jobs=${KX_JOBS:-$(nproc)}

changelog=$root/tools/deb/changelog
manpage=""  # the first architecture's man page; every other one must be the same
for arch in "${arches[@]}"; do
  case "$arch" in
    amd64) triplet=x86_64-linux-gnu runner=() ;;
    # With Debian's libraries of the target (multiarch), not the cross toolchain's: README, Builds.
    arm64) triplet=aarch64-linux-gnu runner=(qemu-aarch64) ;;
    armhf) triplet=arm-linux-gnueabihf runner=(qemu-arm) ;;
  esac
  preset=linux-$arch
  build=$root/build/$preset
  (cd "$root" && cmake --preset "$preset" >"$work/configure-$arch.log" 2>&1 &&
    cmake --build --preset "$preset" --target kxflash -j "$jobs" >"$work/build-$arch.log" 2>&1) ||
    { tail -n 40 "$work"/*-"$arch".log >&2; die "the $preset build failed"; }
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
  [ -n "$version" ] || die "no project version in $build"
  logged=$(dpkg-parsechangelog -l "$changelog" -S Version)
  [ "$logged" = "$version" ] ||
    die "tools/deb/changelog ends at $logged, the project is $version: add an entry for $version"
  file -b "$build/app/kxflash" | grep -q "ELF" || die "$build/app/kxflash is no ELF executable"

  pkg=$work/$arch/debian/kxflash
  install -d "$pkg/DEBIAN" "$pkg/usr/bin" "$pkg/usr/share/man/man1" "$pkg/usr/share/doc/kxflash"
  "$triplet-strip" --remove-section=.comment --remove-section=.note -o "$pkg/usr/bin/kxflash" \
    "$build/app/kxflash"

  # The man page from the binary's own text; help2man names the program after the wrapper.
  mkdir -p "$work/$arch/run"
  printf '#!/bin/sh\nexec %s "%s" "$@"\n' "${runner[*]}" "$build/app/kxflash" \
    >"$work/$arch/run/kxflash"
  chmod 0755 "$work/$arch/run/kxflash"
  help2man --no-info --section=1 --include="$root/tools/deb/kxflash.h2m" \
    --name="update the firmware of MAGNETOFLUX devices on serial ports" \
    --output="$work/$arch/kxflash.1" "$work/$arch/run/kxflash" ||
    die "help2man could not read kxflash --help and --version ($arch)"
  if [ -z "$manpage" ]; then
    manpage=$work/$arch/kxflash.1
  else
    cmp -s "$manpage" "$work/$arch/kxflash.1" ||
      die "the $arch build's --help or --version text differs from the ${arches[0]} build's"
  fi
  gzip -9n <"$work/$arch/kxflash.1" >"$pkg/usr/share/man/man1/kxflash.1.gz"

  doc=$pkg/usr/share/doc/kxflash
  gzip -9n <"$root/README.md" >"$doc/README.md.gz"
  gzip -9n <"$changelog" >"$doc/changelog.gz"
  cp "$root/tools/deb/copyright" "$root/tools/deb/60-kxflash.rules" "$doc/"

  # Depends: the libraries the binary is linked against, as dpkg-shlibdeps names them.
  printf 'Source: kxflash\n\nPackage: kxflash\nArchitecture: any\n' >"$work/$arch/debian/control"
  depends=$(cd "$work/$arch" && DEB_HOST_ARCH=$arch dpkg-shlibdeps -O debian/kxflash/usr/bin/kxflash \
    2>"$work/shlibdeps-$arch.log" | sed -n 's/^shlibs:Depends=//p')
  [ -n "$depends" ] || { cat "$work/shlibdeps-$arch.log" >&2; die "dpkg-shlibdeps found no dependencies ($arch)"; }

  find "$pkg" -type d -exec chmod 0755 {} +
  find "$pkg" -type f -exec chmod 0644 {} +
  chmod 0755 "$pkg/usr/bin/kxflash"
  (cd "$pkg" && find usr -type f | sort | xargs md5sum) >"$pkg/DEBIAN/md5sums"
  size=$(du -sk --apparent-size "$pkg/usr" | cut -f1)
  cat >"$pkg/DEBIAN/control" <<EOF
Package: kxflash
Version: $version
Architecture: $arch
Maintainer: $(dpkg-parsechangelog -l "$changelog" -S Maintainer)
Installed-Size: $size
Depends: $depends
Section: electronics
Priority: optional
Description: firmware updater for MAGNETOFLUX devices on serial ports
 kxflash sends the firmware image it carries to MAGNETOFLUX devices on one
 or more serial ports at once, USB serial adapters included, and tells the
 outcome of every device in its exit code, on the terminal, as JSON lines,
 in a log and in a summary file. It is made for flashing stations and for
 service laptops.
EOF
  chmod 0644 "$pkg/DEBIAN/control" "$pkg/DEBIAN/md5sums"
  find "$pkg" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  deb=$out/kxflash_${version}_${arch}.deb
  dpkg-deb --root-owner-group -Zxz --build "$pkg" "$deb" >/dev/null
  echo "package-deb: $deb ($depends)"
done

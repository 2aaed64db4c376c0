#!/usr/bin/env bash
# Installs what the build, the tests and the demo need on a Debian 12 machine (as root).
set -euo pipefail
need=(cmake ninja-build g++ clang clang-format libclang-rt-14-dev libgtest-dev
      g++-mingw-w64-i686 mingw-w64-i686-dev binutils-mingw-w64-i686
      # The 64-bit Windows build and 64-bit Wine: the proof where 32-bit programs cannot run.
      g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64 wine64
      wine wine32:i386 xvfb imagemagick python3 valgrind
      # The 32-bit modem-line fixture preloaded into 32-bit Wine (gcc -m32): the 32-bit C
      # library and compiler support, without gcc-multilib, which Debian will not install
      # beside the ARM cross compilers.
      libc6-dev-i386 lib32gcc-12-dev
      # The end-to-end runs under Wine: its fonts (Cyrillic included) and the X libraries its
      # display driver loads, which are only recommended and so not installed by default.
      fonts-wine libxrender1:i386 libxrandr2:i386 libxi6:i386 libxcursor1:i386 libxfixes3:i386
      libxcomposite1:i386 libxinerama1:i386
      # The port list's adapters on Linux: udev's library (loaded at run time) and the faked USB
      # adapters of the identity test.
      libudev1 umockdev
      # The release: Authenticode signing and its check, and the throw-away certificate in CI.
      osslsigncode openssl
      # The Linux station's scenarios: an unprivileged user (useradd) run with runuser.
      passwd util-linux
      # The Linux station's cross builds (arm64, armhf), their runs under qemu-user, and the
      # packages: the target's C++ libraries through multiarch (dpkg-shlibdeps reads their
      # symbols), the man page, lintian, and the clean Debian 12 root the package is installed in.
      g++-aarch64-linux-gnu g++-arm-linux-gnueabihf qemu-user libstdc++6:arm64 libstdc++6:armhf
      dpkg-dev help2man lintian mmdebstrap file time)
missing=()
for p in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO dpkg --add-architecture i386
  $SUDO dpkg --add-architecture arm64
  $SUDO dpkg --add-architecture armhf
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

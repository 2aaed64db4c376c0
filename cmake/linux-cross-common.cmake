# What both Linux cross builds share (Debian's cross compilers, gcc-<triplet>); TOOLCHAIN_PREFIX
# names the target's triplet. The target's C library comes from libc6-<arch>-cross under
# /usr/<triplet>; libraries of the target installed through multiarch (libfoo-dev:<arch>) sit
# in /usr/lib/<triplet> and their headers in /usr/include, and are found there too.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX} /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config answers for the target: its multiarch folder and the architecture-free one.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${TOOLCHAIN_PREFIX}/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
# Programs built for the target run under qemu-user with Debian's libraries of the target
# (multiarch), not with -L /usr/<triplet>: the README's Builds say why.
set(CMAKE_CROSSCOMPILING_EMULATOR ${KX_QEMU})

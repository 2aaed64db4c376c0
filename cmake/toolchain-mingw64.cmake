# Cross build for 64-bit Windows with MinGW-w64 (Debian's packages): the same sources as the
# 32-bit product, run under 64-bit Wine where a machine cannot execute 32-bit programs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

#!/usr/bin/env bash
# Checks a built Windows executable: its machine type, that it imports only the system's known
# DLLs (which Windows never takes from the program's folder; anything else, winmm and comctl32
# among them, is loaded at run time from the system folder), and that it carries its resources
# (the image at its exact size, the error picture, the icon, the manifest and the version).
#   bash tools/check-exe.sh EXE i386|x86-64 [VERSION]
set -euo pipefail
exe=$1
machine=$2
version=${3:-}
case "$machine" in
  i386) objdump=i686-w64-mingw32-objdump arch_name=i386 ;;
  x86-64) objdump=x86_64-w64-mingw32-objdump arch_name=i386:x86-64 ;;
  *) echo "machine must be i386 or x86-64" >&2; exit 2 ;;
esac
fail() { echo "$exe: $*" >&2; exit 1; }
dump=$($objdump -p "$exe")

arch=$($objdump -f "$exe" | awk '/^architecture:/ { sub(/,$/, "", $2); print $2 }')
echo "machine: $arch"
[ "$arch" = "$arch_name" ] || fail "is built for $arch, not $arch_name"

imports=$(echo "$dump" | awk '/DLL Name:/ { print toupper($3) }' | sort -u)
echo "imports: $(echo $imports)"
for dll in $imports; do
  case "$dll" in
    KERNEL32.DLL | USER32.DLL | GDI32.DLL | ADVAPI32.DLL | MSVCRT.DLL | OLE32.DLL | SHELL32.DLL) ;;
    *) fail "imports $dll, which is not one of the system's known DLLs" ;;
  esac
done

# The resources: image, picture, icon, manifest and version.
# shellcheck source=tools/image-layout.sh
source "$(dirname "$0")/image-layout.sh"
kx_image_layout
python3 "$(dirname "$0")/pe_resources.py" "$exe" --image-size "$image_size" ${version:+--version "$version"} ||
  fail "resources"
echo "$exe: checks passed"

#!/usr/bin/env bash
# Checks a built Windows executable: its machine type, that it imports only libraries every
# Windows ships, and that it carries its resources (the image at its exact size, the error
# picture and the icon).
#   bash tools/check-exe.sh EXE i386|x86-64
set -euo pipefail
exe=$1
machine=$2
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
    KERNEL32.DLL | USER32.DLL | GDI32.DLL | COMCTL32.DLL | ADVAPI32.DLL | WINMM.DLL | MSVCRT.DLL) ;;
    *) fail "imports $dll, which Windows does not ship" ;;
  esac
done

# Resources as "TYPE NAME SIZE" lines, from the resource directory's type, name and leaf levels.
resources=$(echo "$dump" | sed -n '/The .rsrc Resource Directory section/,/String table starts/p' |
  awk '{ match($0, /^[0-9a-f]+ +/); depth = RLENGTH }
       /Entry:/ { if (match($0, /\]: [^,]+/)) key = substr($0, RSTART + 3, RLENGTH - 3)
                  else if (match($0, /ID: 0x[0-9a-f]+/)) key = substr($0, RSTART + 4, RLENGTH - 4)
                  sub(/^0x0*/, "", key) }
       /Entry:/ && depth == 6 { type = key }
       /Entry:/ && depth == 8 { name = key }
       /Leaf:/ { for (i = 1; i <= NF; i++) if ($i == "Size:") size = $(i + 1);
                 sub(/,$/, "", size); print type, name, size }' |
  while read -r type name size; do echo "$type $name $((size))"; done)
echo "resources (type name size):" $(echo "$resources" | tr '\n' ';')
echo "$resources" | grep -qx '64 STREAM0 130048' || fail "carries no 130048-byte image STREAM0 of type 100"
echo "$resources" | grep -q '^2 BITMAP0 ' || fail "carries no bitmap BITMAP0"
echo "$resources" | grep -q '^e ZEDA ' || fail "carries no icon group ZEDA"
echo "$exe: checks passed"

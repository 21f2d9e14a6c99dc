#!/bin/sh
# Makes the PE files of the file property tests (tests/data/fileprops) from resource scripts
# with llvm-rc, clang-14 and lld-link: icons of 16/32/48/256, 16/32/48 and 256 pixels,
# version blocks of several shapes, a resource-only PE32+ DLL and a PE without resources.
# Usage: make_pe.sh OUTPUT_FOLDER
set -eu
out=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
convert rose: -resize 16x16! -colors 200 i16.png
convert rose: -resize 32x32! i32.png
convert rose: -resize 48x48! -alpha set -channel A -fx i/w i48.png
convert -size 256x256 gradient:red-blue -alpha set -channel A -fx j/h \
  -define png:exclude-chunks=date,time i256.png
icotool -c -o all.ico -b 8 i16.png -b 24 i32.png -b 32 i48.png --raw=i256.png
icotool -c -o small.ico -b 8 i16.png -b 24 i32.png -b 32 i48.png
icotool -c -o big.ico --raw=i256.png
echo 'int entry(void){return 0;}' > entry.c
clang-14 --target=i686-pc-windows-msvc -c entry.c -o entry.obj
# version TABLE...: a VERSIONINFO of string tables, each "LANG" then "KEY|VALUE"s, and a
# VarFileInfo unless NOVAR is set.
version() {
  printf '1 VERSIONINFO\nFILEVERSION 1,2,3,4\nBEGIN\nBLOCK "StringFileInfo"\nBEGIN\n'
  for line in "$@"; do case $line in
    *\|*) printf 'VALUE "%s", "%s"\n' "${line%%|*}" "${line#*|}" ;;
    *) printf 'BLOCK "%s"\nBEGIN\n' "$line" ;; esac; done | sed '1!s/^BLOCK/END\nBLOCK/'
  printf 'END\nEND\n'
  [ -n "${NOVAR-}" ] || printf 'BLOCK "VarFileInfo"\nBEGIN\nVALUE "Translation", 0x409, 1200\nEND\n'
  printf 'END\n'
}
for name in full small big tables; do
  case $name in
    full) echo '1 ICON "all.ico"'; version 040904b0 "CompanyName|Maker Co" "FileDescription|Desc text" \
      "ProductName|Prod  " "LegalCopyright|(c) Maker" "Comments|" "FileVersion|1.2.3.4  " "ProductVersion|1.23" ;;
    small) echo '1 ICON "small.ico"'; version 040904b0 "FileDescription|Only desc" "FileVersion|2.0" ;;
    big) echo '1 ICON "big.ico"' ;;
    # A later table repeats a key; no VarFileInfo, so the last string block (46 bytes) ends
    # the version block short of its 4-byte boundary.
    tables) NOVAR=1 version 040904b0 "ProductName|English" "CompanyName|Co" 040704b0 \
      "ProductName|Deutsch" "ProductVersion|1.23" ;;
  esac > $name.rc
  llvm-rc -fo $name.res $name.rc
  lld-link /machine:x86 /entry:entry /subsystem:windows /nodefaultlib /timestamp:1234567890 \
    entry.obj $name.res "/out:$out/$name.exe" > /dev/null
done
version 040904b0 "ProductName|Dll" > dll.rc
llvm-rc -fo dll.res dll.rc
lld-link /dll /noentry /machine:x64 /timestamp:0 dll.res "/out:$out/v64.dll" > /dev/null
lld-link /machine:x86 /entry:entry /subsystem:windows /nodefaultlib /timestamp:1234567890 \
  entry.obj "/out:$out/nores.exe" > /dev/null
rm -f "$out"/*.lib

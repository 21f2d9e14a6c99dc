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
convert -size 256x256 gradient:red-blue -alpha set -channel A -fx j/h i256.png
icotool -c -o all.ico -b 8 i16.png -b 24 i32.png -b 32 i48.png --raw=i256.png
icotool -c -o small.ico -b 8 i16.png -b 24 i32.png -b 32 i48.png
icotool -c -o big.ico --raw=i256.png
echo 'int entry(void){return 0;}' > entry.c
clang-14 --target=i686-pc-windows-msvc -c entry.c -o entry.obj

# version NAME STRINGS...: a VERSIONINFO whose 040904b0 table holds the given VALUE lines.
version() {
  printf '1 VERSIONINFO\nFILEVERSION 1,2,3,4\nBEGIN\nBLOCK "StringFileInfo"\nBEGIN\nBLOCK "040904b0"\nBEGIN\n'
  for line in "$@"; do printf '%s\n' "$line"; done
  printf 'END\nEND\nBLOCK "VarFileInfo"\nBEGIN\nVALUE "Translation", 0x409, 1200\nEND\nEND\n'
}
link32() { # NAME: NAME.rc -> NAME.exe (i686, link time 1234567890)
  llvm-rc -fo "$1.res" "$1.rc"
  lld-link /machine:x86 /entry:entry /subsystem:windows /nodefaultlib /timestamp:1234567890 \
    entry.obj "$1.res" "/out:$out/$1.exe" >/dev/null
}

{ echo '1 ICON "all.ico"'; version 'VALUE "CompanyName", "Maker Co"' \
    'VALUE "FileDescription", "Desc text"' 'VALUE "ProductName", "Prod"' \
    'VALUE "LegalCopyright", "(c) Maker"' 'VALUE "Comments", ""' 'VALUE "FileVersion", "1.2.3.4  "' \
    'VALUE "ProductVersion", "1.23"'; } > full.rc
link32 full
{ echo '1 ICON "small.ico"'; version 'VALUE "FileDescription", "Only desc"' \
    'VALUE "FileVersion", "2.0"'; } > small.rc
link32 small
echo '1 ICON "big.ico"' > big.rc
link32 big
# Two string tables repeating a key (the later one replaces the earlier); the version
# block ends with a 46-byte string block, short of the 4-byte boundary.
cat > tables.rc <<'RC'
1 VERSIONINFO
BEGIN
BLOCK "StringFileInfo"
BEGIN
BLOCK "040904b0"
BEGIN
VALUE "ProductName", "English"
VALUE "CompanyName", "Co"
END
BLOCK "040704b0"
BEGIN
VALUE "ProductName", "Deutsch"
VALUE "ProductVersion", "1.23"
END
END
END
RC
link32 tables
version 'VALUE "ProductName", "Dll"' > dll.rc
llvm-rc -fo dll.res dll.rc
lld-link /dll /noentry /machine:x64 /timestamp:0 dll.res "/out:$out/v64.dll" >/dev/null
lld-link /machine:x86 /entry:entry /subsystem:windows /nodefaultlib /timestamp:1234567890 \
  entry.obj /out:"$out/nores.exe" >/dev/null
rm -f "$out"/*.lib

#!/usr/bin/env bash
# File property readers, timed with hyperfine through the `file_props` tool:
# - the manager window's sequence (box 16, read, reset, box 48, read) on the PE corpus and
#   on a 20 MB PE (a 20 MB data section linked in): time per file and bytes read, which
#   must stay at the headers, the resource tree, the version block and the icon images;
# - a JPEG with an Exif thumbnail (the parse stops at the first scan) against
#   `exiftool -fast2 -b -ThumbnailImage`;
# - a 24-megapixel JPEG without thumbnail (decoded, then fitted) against libjpeg-turbo's
#   scaled decode (`djpeg -scale 1/8`), expected far ahead; with the peak resident memory.
# Usage: bench/fileprops_bench.sh BUILD_DIR [WORK_DIR]
#        (needs hyperfine, exiftool, clang-14, lld-link, llvm-rc, convert, cjpeg, djpeg)
set -euo pipefail
tool="$(cd "$1" && pwd)/bench/file_props"
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
work="${2:-${TMPDIR:-/tmp}/qel_fileprops_bench}"
mkdir -p "$work"
cd "$work"

if [[ ! -f big20.exe ]]; then
    echo 'char data[20 << 20] = {1}; int entry(void){return data[5];}' > big.c
    clang-14 --target=i686-pc-windows-msvc -c big.c -o big.obj
    convert rose: -resize 48x48! i48.png && convert rose: -resize 16x16! i16.png
    convert i16.png i48.png icon.ico
    printf '1 ICON "icon.ico"\n1 VERSIONINFO\nBEGIN\nBLOCK "StringFileInfo"\nBEGIN\nBLOCK "040904b0"\nBEGIN\nVALUE "ProductName", "Big"\nEND\nEND\nEND\n' > big.rc
    llvm-rc -fo big.res big.rc
    lld-link /machine:x86 /entry:entry /subsystem:windows /nodefaultlib /timestamp:1 \
        big.obj big.res /out:big20.exe > /dev/null
fi
[[ -f thumb.jpg ]] || {
    convert -size 3000x2000 radial-gradient:red-blue ppm:- | cjpeg -quality 90 > thumb.jpg
    convert rose: -resize 160x120! small.jpg
    exiftool -q -overwrite_original "-ThumbnailImage<=small.jpg" thumb.jpg
}
[[ -f big.jpg ]] || /usr/bin/convert -size 6000x4000 radial-gradient:red-blue \
    -attenuate 0.4 +noise Gaussian ppm:- | cjpeg -quality 90 > big.jpg

echo "== manager sequence, mean of 100 in one process: FILE MICROSECONDS BYTES_READ (file size)"
for pe in "$source_dir"/tests/data/fileprops/*.exe big20.exe; do
    { "$tool" --repeat 100 --box 16x16 --reset-box 48x48 "$pe" 2>&1 > /dev/null || true; } | tail -1 | tr '\n' ' '
    echo "($(stat -c %s "$pe") bytes)"
done
hyperfine -N --warmup 3 "$tool --box 16x16 --reset-box 48x48 big20.exe" \
    "$tool --box 16x16 --reset-box 48x48 $source_dir/tests/data/fileprops/full.exe"

echo "== JPEG with an Exif thumbnail"
hyperfine -N --warmup 3 "$tool --box 160x160 thumb.jpg" "exiftool -fast2 -b -ThumbnailImage thumb.jpg"

echo "== 24-megapixel JPEG without thumbnail into 256x256"
hyperfine -N --warmup 1 --runs 5 "$tool --box 256x256 big.jpg" "djpeg -scale 1/8 -outfile /dev/null big.jpg"
peak_kb() {
    /usr/bin/time -v "$@" 2>&1 > /dev/null | sed -n 's/.*Maximum resident set size (kbytes): //p'
}
echo "peak RSS (KB): file_props $(peak_kb "$tool" --box 256x256 big.jpg)," \
    "djpeg -scale 1/8 $(peak_kb djpeg -scale 1/8 -outfile /dev/null big.jpg)"

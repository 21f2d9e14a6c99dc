#!/usr/bin/env bash
# Thumbnails end to end, timed with hyperfine, with the peak resident memory of each run:
# - a 50-megapixel PNG into 256x256 through PictThumbnailFromStream (the `thumbnail` tool,
#   reading the file as it decodes) against `vipsthumbnail -s 256` and
#   `convert -thumbnail 256x256`;
# - a 24-megapixel JPEG the same way (vipsthumbnail decodes JPEG at 1/8 scale, so it is
#   expected ahead).
# The streaming path holds accumulators for the rendered cells, never the decoded image:
# compare its peak RSS with the 4 bytes per source pixel a full decode would need.
# The inputs are made once into WORK_DIR.
# Usage: bench/thumbnail_bench.sh BUILD_DIR [WORK_DIR]
#        (needs hyperfine, vipsthumbnail, convert, cjpeg, /usr/bin/time)
set -euo pipefail
tool="$(cd "$1" && pwd)/bench/thumbnail"
work="${2:-${TMPDIR:-/tmp}/qel_thumbnail_bench}"
mkdir -p "$work"
cd "$work"

[[ -f big.png ]] || /usr/bin/convert -size 8660x5770 radial-gradient:red-blue PNG24:big.png
[[ -f big.jpg ]] || /usr/bin/convert -size 6000x4000 radial-gradient:red-blue \
    -attenuate 0.4 +noise Gaussian ppm:- | cjpeg -quality 90 > big.jpg

peak_kb() {
    /usr/bin/time -v "$@" 2>&1 > /dev/null | sed -n 's/.*Maximum resident set size (kbytes): //p'
}

for input in big.png big.jpg; do
    echo "== $input into 256x256"
    "$tool" "$input" 256x256
    echo "peak RSS (KB): thumbnail $(peak_kb "$tool" "$input" 256x256)," \
         "vipsthumbnail $(peak_kb vipsthumbnail "$input" -s 256 -o "$work/v.png")," \
         "convert $(peak_kb /usr/bin/convert "$input" -thumbnail 256x256 "$work/c.png")"
    hyperfine -N --warmup 1 --runs 5 \
        "$tool $input 256x256" \
        "vipsthumbnail $input -s 256 -o $work/v.png" \
        "/usr/bin/convert $input -thumbnail 256x256 $work/c.png"
done

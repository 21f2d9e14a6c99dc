#!/usr/bin/env bash
# JBIG2 decoding by picture_decode against jbig2dec (the reference decoder, run as a
# program), timed with hyperfine in one run: an A4 600 dpi text page (4960 x 7016) written
# by the test encoder (jbig2_make) with template 0 + TPGDON and with template 2.
# picture_decode makes 32-bit pixels (139 MB for this page); jbig2dec keeps one bit each.
# Usage: bench/jbig2_bench.sh BUILD_DIR   (needs hyperfine, jbig2dec, ImageMagick)
set -euo pipefail
build="$(cd "$1" && pwd)"
work="${TMPDIR:-/tmp}/qel_jbig2_bench"
mkdir -p "$work" && cd "$work"
if [ ! -f page.pbm ]; then
    text=$(head -c 3000 /usr/share/common-licenses/GPL-3 | tr '\n' ' ' | fold -w 95)
    convert -size 4960x7016 xc:white -font DejaVu-Sans -pointsize 42 -annotate +150+200 \
        "$text" -monochrome page.pbm
fi
"$build/bench/jbig2_make" --tpgdon t0.jb2 page.pbm
"$build/bench/jbig2_make" --template 2 t2.jb2 page.pbm
for file in t0.jb2 t2.jb2; do
    hyperfine -N -w 2 -r 10 "$build/bench/picture_decode --repeat 1 $file" \
        "jbig2dec -q -t pbm -o /dev/null $file"
done

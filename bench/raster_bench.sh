#!/usr/bin/env bash
# The parts of the raster benchmark that run whole programs:
# - PCX decoding by picture_decode against netpbm's pcxtoppm, timed with hyperfine (a ratio
#   only: pcxtoppm also writes its output, and there is no in-process peer);
# - the peak memory (getrusage, through /usr/bin/time) of a streamed 256 x 256 thumbnail
#   against the full decode of each 12-megapixel input.
# The inputs are those raster_bench made in $TMPDIR/qel_raster_bench: run it first.
# Usage: bench/raster_bench.sh BUILD_DIR   (needs hyperfine, netpbm, /usr/bin/time)
set -euo pipefail
tool="$(cd "$1" && pwd)/bench/picture_decode"
cd "${TMPDIR:-/tmp}/qel_raster_bench"
for file in rgb.pcx palette.pcx; do
    hyperfine -N --warmup 1 --runs 5 "pcxtoppm $file" "$tool $file"
done
for file in tga24.tga tga24rle.tga tga32.tga p6.ppm p6deep.ppm rgb.pcx palette.pcx; do
    full=$(/usr/bin/time -f %M "$tool" "$file" 2>&1 >/dev/null | tail -1)
    thumb=$(/usr/bin/time -f %M "$tool" --thumb 256x256 "$file" 2>&1 >/dev/null | tail -1)
    echo "$file: peak RSS $full KB decoded, $thumb KB as a streamed thumbnail"
done

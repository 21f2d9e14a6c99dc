#!/usr/bin/env bash
# The parts of the raster benchmark that run whole programs:
# - PCX decoding by picture_decode against netpbm's pcxtoppm, timed with hyperfine (a ratio
#   only: pcxtoppm also writes its output, and there is no in-process peer);
# - the peak memory and the CPU time (getrusage, through /usr/bin/time) of a streamed
#   256 x 256 thumbnail against the full decode of each 12-megapixel input, pinned to one
#   core, four decodes per run (the file is read once), the two alternating over five rounds
#   (the median is printed): the thumbnail should cost no more than the decode.
# The inputs are those raster_bench (and bmpgif_bench for the BMP files) made in
# $TMPDIR/qel_raster_bench and $TMPDIR/qel_bmpgif_bench: run them first.
# Usage: bench/raster_bench.sh BUILD_DIR [CORE]   (needs hyperfine, netpbm, /usr/bin/time)
set -euo pipefail
tool="$(cd "$1" && pwd)/bench/picture_decode"
cd "${TMPDIR:-/tmp}/qel_raster_bench"
for file in rgb.pcx palette.pcx; do
    hyperfine -N --warmup 1 --runs 5 "pcxtoppm $file" "$tool $file"
done
core="${2:-0}"
# Peak RSS in KB and CPU milliseconds per decode of one run.
measure() {
    /usr/bin/time -f "%M %U %S" taskset -c "$core" "$tool" --repeat 4 "$@" 2>&1 >/dev/null |
        tail -1 | awk '{printf "%d %.1f\n", $1, ($2 + $3) * 1000 / 4}'
}
median() { printf '%s\n' "$@" | sort -g | sed -n 3p; }
bmp="${TMPDIR:-/tmp}/qel_bmpgif_bench"
for file in tga24.tga tga24rle.tga tga32.tga p6.ppm p6deep.ppm rgb.pcx palette.pcx \
    "$bmp/rgb24.bmp" "$bmp/rgb32.bmp"; do
    [[ -f $file ]] || continue
    full=() thumb=()
    for round in 1 2 3 4 5; do
        read -r fullKb fullMs < <(measure "$file")
        read -r thumbKb thumbMs < <(measure --thumb 256x256 "$file")
        full+=("$fullMs") thumb+=("$thumbMs")
    done
    echo "$(basename "$file"): peak RSS $fullKb KB decoded, $thumbKb KB as a streamed thumbnail;" \
         "CPU $(median "${full[@]}") ms decoded, $(median "${thumb[@]}") ms as a thumbnail"
done

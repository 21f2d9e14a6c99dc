#!/usr/bin/env bash
# Makes the seed corpora of the TGA, PPM, PCX and XPM fuzz targets from one 13 x 7 plasma
# picture with ImageMagick 6 and netpbm. Usage: tools/testdata/make_raster_seeds.sh
set -euo pipefail
corpus="$(cd "$(dirname "$0")/../../fuzz/corpus" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
convert=/usr/bin/convert
$convert -seed 5 -size 13x7 plasma:fractal -depth 8 s.ppm
$convert -seed 5 -size 9x1 plasma:fractal -depth 8 r.ppm
pnmquant 8 s.ppm > q.ppm
pbmmake -g 13 7 > m.pbm
cd "$corpus"
$convert "$work/r.ppm" -compress RLE tga/t10.tga
pamtotga -norle -rgb "$work/s.ppm" > tga/t2.tga
pamtotga -cmap "$work/q.ppm" > tga/t9.tga
ppmtopgm "$work/s.ppm" | pamtotga -mono > tga/t11.tga
$convert "$work/s.ppm" -alpha set -channel A -evaluate set 50% tga/t32.tga
cp "$work/s.ppm" ppm/p6.ppm
pbmmake -g 10 3 > ppm/p4.pbm
pamdepth 65535 < "$work/s.ppm" > ppm/p6deep.ppm
ppmtopgm "$work/s.ppm" | pamdepth 15 > ppm/p5.pgm
ppmtopcx -24bit "$work/s.ppm" > pcx/rgb.pcx
ppmtopcx -8bit "$work/q.ppm" > pcx/pal.pcx
$convert "$work/s.ppm" pcx/im.pcx
ppmtoxpm -hexonly "$work/q.ppm" > xpm/cpp1.xpm
ppmtoxpm -hexonly -alphamask="$work/m.pbm" "$work/s.ppm" > xpm/cpp2.xpm

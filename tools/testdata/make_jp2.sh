#!/usr/bin/env bash
# Makes the JPEG 2000 corpus of the JP2/J2K picture tests with OpenJPEG's opj_compress, plus
# JP2 files wrapped around its codestreams by a stdlib script (sYCC, palette, alpha-first,
# "jpx "-only). Usage: tools/testdata/make_jp2.sh DIR   (needs ImageMagick's convert,
# opj_compress, /usr/bin/python3). Every output name ends in .jp2 or .j2k; "bad_*" files
# must be refused.
set -euo pipefail
out="$1"
mkdir -p "$out"
cd "$out"
plasma() { /usr/bin/convert -seed 7 -size "$1" plasma:fractal "${@:2}"; }
plasma 301x203 -depth 8 rgb.ppm
plasma 301x203 -colorspace Gray -depth 8 grey.pgm
plasma 301x203 -depth 16 rgb16.ppm
plasma 301x203 -colorspace Gray -depth 16 grey16.pgm
plasma 40x30 -depth 8 small.ppm
plasma 64x48 -alpha set -channel A -fx "i/w" +channel -depth 8 PNG32:rgba.png
plasma 64x48 -colorspace Gray -alpha set -channel A -fx "j/h" +channel -depth 8 \
  -define png:color-type=4 greyalpha.png
c() { opj_compress "$@" >/dev/null 2>&1 || { echo "opj_compress $*" >&2; return 1; }; }
c -i rgb.ppm -o rgb.jp2
c -i rgb.ppm -o rgb.j2k
c -i grey.pgm -o grey.j2k
c -i rgb16.ppm -o rgb16.jp2
c -i grey16.pgm -o grey16.j2k
c -i rgb.ppm -o irreversible.jp2 -I -r 40,10,1
c -i rgb.ppm -o tiled.j2k -t 64,64
for order in RPCL LRCP RLCP PCRL CPRL; do c -i rgb.ppm -o "order_$order.j2k" -p "$order" -r 20,1; done
c -i rgb.ppm -o precincts.j2k -c '[64,64],[32,32]'
c -i rgb.ppm -o codeblocks.j2k -b 16,16
c -i rgb.ppm -o cbmodes.j2k -M 63
c -i rgb.ppm -o sop_eph.j2k -SOP -EPH
c -i rgb.ppm -o tileparts.j2k -t 128,128 -TP R
c -i rgb.ppm -o plt_tlm.j2k -t 128,128 -PLT -TLM
c -i rgb.ppm -o nomct.jp2 -mct 0
c -i rgb.ppm -o origin.jp2 -d 13,17
c -i rgb.ppm -o tileorigin.j2k -d 7,5 -T 5,3 -t 100,100
c -i rgb.ppm -o subsampled.jp2 -s 2,2
for n in 2 3 4 5 6; do c -i rgb.ppm -o "levels_$n.j2k" -n "$n"; done
c -i small.ppm -o small.j2k -n 4
c -i rgba.png -o rgba.jp2
c -i greyalpha.png -o greyalpha.jp2

/usr/bin/python3 - <<'PY'
import random, struct
random.seed(29)
def raw(name, fmt, values):
    open(name, "wb").write(b"".join(struct.pack(fmt, v) for v in values))
n = 64 * 48
raw("p12.raw", ">H", [random.randrange(4096) for _ in range(n)])
raw("p16s.raw", ">h", [random.randrange(-32768, 32768) for _ in range(n)])
raw("p10x3.raw", ">H", [random.randrange(1024) for _ in range(3 * n)])
raw("rgba4.raw", "B", [random.randrange(256) for _ in range(4 * n)])
# 4:2:0: a 66 x 44 luma plane and two 33 x 22 chroma planes; the conversion clamps at some
# pixels and not at others.
chroma = [(x * 11 + y * 7) % 256 for y in range(22) for x in range(33)]
raw("yuv420.raw", "B", [(x * 3 + y * 5) % 256 for y in range(44) for x in range(66)] +
    chroma + [255 - v for v in chroma])
PY
c -i p12.raw -o p12.j2k -F 64,48,1,12,u
c -i p16s.raw -o p16s.j2k -F 64,48,1,16,s
c -i p10x3.raw -o p10x3.j2k -F 64,48,3,10,u
c -i yuv420.raw -o yuv420.j2k -F 66,44,3,8,u@1x1:2x2:2x2 -mct 0
c -i rgba4.raw -o rgba4.j2k -F 64,48,4,8,u -mct 0

# JP2 boxes (ITU-T T.800 Annex I) around those codestreams.
/usr/bin/python3 - <<'PY'
import struct
box = lambda kind, payload: struct.pack(">I", 8 + len(payload)) + kind + payload
# ihdr (height, width, components, bits - 1, compression 7, ...) and colr (method 1, enumCS).
head = lambda w, h, nc, cs: box(b"ihdr", struct.pack(">IIHBBBB", h, w, nc, 7, 7, 0, 0)) + \
    box(b"colr", struct.pack(">BBBI", 1, 0, 0, cs))
def jp2(name, header, code, brands=(b"jp2 ",)):
    ftyp = box(b"ftyp", brands[0] + struct.pack(">I", 0) + b"".join(brands))
    open(name, "wb").write(box(b"jP  ", b"\r\n\x87\n") + ftyp + box(b"jp2h", header) +
                           box(b"jp2c", open(code, "rb").read()))
jp2("sycc420.jp2", head(66, 44, 3, 18), "yuv420.j2k")
jp2("srgb_boxes.jp2", head(301, 203, 3, 16), "rgb.j2k")
jp2("grey_boxes.jp2", head(301, 203, 1, 17), "grey.j2k")
pclr = struct.pack(">HB", 256, 3) + bytes([7, 7, 7]) + b"".join(
    bytes([i, (i * 7) % 256, 255 - i]) for i in range(256))
cmap = b"".join(struct.pack(">HBB", 0, 1, i) for i in range(3))
jp2("palette.jp2", head(301, 203, 1, 16) + box(b"pclr", pclr) + box(b"cmap", cmap), "grey.j2k")
cdef = struct.pack(">HHHH", 4, 0, 1, 0) + b"".join(struct.pack(">HHH", i, 0, i) for i in range(1, 4))
jp2("alphafirst.jp2", head(64, 48, 4, 16) + box(b"cdef", cdef), "rgba4.j2k")
jp2("bad_jpx_only.jp2", head(301, 203, 3, 16), "rgb.j2k", (b"jpx ",))
PY
rm -f ./*.raw ./*.ppm ./*.pgm ./*.png

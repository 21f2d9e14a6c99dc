#!/usr/bin/env bash
# Makes the ZIP-based preview samples (3MF, F3D, HWPX) for the picture factory's tests:
# a 256x256 PNG stored under each preview name by Python's zipfile (every method), Info-ZIP
# zip (bracket names taken literally with -nw) and 7-Zip (Deflate64, which is not read),
# plus archives that must not be taken as pictures.
# Usage: tools/testdata/make_zip_previews.sh DIR   (needs convert, cjpeg, zip, 7z,
# /usr/bin/python3)
set -euo pipefail
out="$1"
mkdir -p "$out"
cd "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

/usr/bin/convert -size 256x256 gradient:red-blue PNG32:thumb.png
/usr/bin/convert thumb.png -quality 90 ppm:- | cjpeg > "$work/thumb.jpg"

/usr/bin/python3 - "$work/thumb.jpg" <<'PY'
import io, sys, zipfile
png = open("thumb.png", "rb").read()
jpeg = open(sys.argv[1], "rb").read()
model = b'<?xml version="1.0"?><model unit="millimeter"/>' * 20
def archive(name, members, method=zipfile.ZIP_DEFLATED):
    with zipfile.ZipFile(name, "w", compression=method) as z:
        for member, data in members:
            z.writestr(member, data)
for suffix, method in (("stored", zipfile.ZIP_STORED), ("deflated", zipfile.ZIP_DEFLATED),
                       ("bzip2", zipfile.ZIP_BZIP2), ("lzma", zipfile.ZIP_LZMA)):
    archive("3mf_%s.zip" % suffix, [("3D/3dmodel.model", model),
                                    ("Metadata/thumbnail.png", png)], method)
for suffix, method in (("stored", zipfile.ZIP_STORED), ("deflated", zipfile.ZIP_DEFLATED)):
    archive("hwpx_%s.zip" % suffix, [("mimetype", b"application/hwp+zip"),
                                     ("Contents/section0.xml", model),
                                     ("Preview/PrvImage.png", png)], method)
# Every preview name: the 3MF one wins; without it the F3D one.
archive("all_three.zip", [("Preview/PrvImage.png", png),
                          ("FusionAssetName[Active]/Previews/small.png", png),
                          ("Metadata/thumbnail.png", png)])
archive("f3d_and_hwpx.zip", [("Preview/PrvImage.png", png),
                             ("FusionAssetName[Active]/Previews/small.png", png)])
archive("f3d_no_brackets.zip", [("FusionAssetName/Previews/small.png", png)])
archive("jpeg_as_png.zip", [("Metadata/thumbnail.png", jpeg)])
archive("text_only.zip", [("readme.txt", b"no pictures here\n" * 50), ("notes/a.txt", model)])
# The preview name as a folder, with the picture one level below it.
archive("preview_folder.zip", [("Metadata/thumbnail.png/", b""),
                               ("Metadata/thumbnail.png/x.png", png)])
# An unseekable target makes zipfile write data descriptors (flag bit 3).
class Unseekable(io.RawIOBase):
    def __init__(self): self.data = bytearray()
    def writable(self): return True
    def write(self, b): self.data += b; return len(b)
sink = Unseekable()
with zipfile.ZipFile(sink, "w", compression=zipfile.ZIP_DEFLATED) as z:
    z.writestr("Metadata/thumbnail.png", png)
open("3mf_descriptors.zip", "wb").write(bytes(sink.data))
PY

mkdir -p "$work/f3d/FusionAssetName[Active]/Previews" "$work/d64/Metadata"
cp thumb.png "$work/f3d/FusionAssetName[Active]/Previews/small.png"
cp thumb.png "$work/d64/Metadata/thumbnail.png"
rm -f f3d_infozip.zip 3mf_deflate64.zip
(cd "$work/f3d" && zip -q -nw -9 -r "$out/f3d_infozip.zip" "FusionAssetName[Active]/Previews/small.png")
(cd "$work/d64" && 7z a -bd -bso0 -bsp0 -tzip -mm=Deflate64 "$out/3mf_deflate64.zip" Metadata > /dev/null)

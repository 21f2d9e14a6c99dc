#!/usr/bin/env bash
# Makes ZIP archives with real tools for the ZIP reader's tests: Python's zipfile (every
# method, data descriptors), Info-ZIP zip and 7-Zip, plus hostile archives patched from
# them. Usage: tools/testdata/make_zip.sh DIR   (needs zip, 7z, /usr/bin/python3)
set -euo pipefail
out="$1"
mkdir -p "$out/src/Metadata" "$out/src/Preview" "$out/src/FusionAssetName[Active]/Previews"
cd "$out"

/usr/bin/python3 - <<'PY'
import io, random, zipfile
random.seed(11)
words = [b"alpha", b"beta", b"gamma", b"delta", b"\xc3\xa9t\xc3\xa9"]
text = b" ".join(random.choice(words) for _ in range(40000))            # compressible
noise = bytes(random.getrandbits(8) for _ in range(70000))              # incompressible
members = {
    "Metadata/thumbnail.png": text[:5000],
    "FusionAssetName[Active]/Previews/small.png": noise,
    "Preview/PrvImage.png": text,
    "empty.txt": b"",
}
for path, data in members.items():
    open("src/" + path, "wb").write(data)
for name, method in (("stored", zipfile.ZIP_STORED), ("deflated", zipfile.ZIP_DEFLATED),
                     ("bzip2", zipfile.ZIP_BZIP2), ("lzma", zipfile.ZIP_LZMA)):
    with zipfile.ZipFile("py_%s.zip" % name, "w", compression=method) as z:
        z.writestr("folder/", b"")
        for path, data in members.items():
            z.writestr(path, data)
# An unseekable target makes zipfile write data descriptors (flag bit 3).
class Unseekable(io.RawIOBase):
    def __init__(self): self.buffer = bytearray()
    def writable(self): return True
    def write(self, b): self.buffer += b; return len(b)
sink = Unseekable()
with zipfile.ZipFile(sink, "w", compression=zipfile.ZIP_DEFLATED) as z:
    for path, data in members.items():
        z.writestr(path, data)
open("py_descriptors.zip", "wb").write(bytes(sink.buffer))
# A duplicate name: the later entry wins.
with zipfile.ZipFile("py_duplicate.zip", "w") as z:
    z.writestr("a.txt", b"first")
    import warnings
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        z.writestr("a.txt", b"second")
PY

(cd src && zip -q -0 -r ../zip_store.zip . && zip -q -9 -r ../zip_best.zip . \
    && zip -q -fz -r ../zip_zip64.zip . && zip -q -r - Metadata/thumbnail.png | cat > ../zip_stream.zip)
cp zip_best.zip zip_comment.zip
head -c 2000 /dev/zero | tr '\0' 'c' | zip -q -z zip_comment.zip
if command -v 7z > /dev/null; then
    for m in BZip2 LZMA Deflate Copy Deflate64; do
        (cd src && 7z a -bd -bso0 -bsp0 -tzip -mm=$m ../7z_$m.zip . > /dev/null)
    done
fi

# Hostile archives, patched from py_stored.zip.
/usr/bin/python3 - <<'PY'
import struct, zipfile
base = bytearray(open("py_stored.zip", "rb").read())
end = base.rfind(b"PK\x05\x06")
cd_size, cd_offset = struct.unpack_from("<II", base, end + 12)
def save(name, data): open("bad_%s.zip" % name, "wb").write(bytes(data))
d = bytearray(base); struct.pack_into("<I", d, end + 16, len(base) + 100); save("cd_offset", d)
d = bytearray(base); struct.pack_into("<HH", d, end + 8, 65535, 65535); save("entry_count", d)
d = bytearray(base); struct.pack_into("<H", d, cd_offset + 28, 65000); save("name_length", d)
# The central record and local header of the thumbnail member.
with zipfile.ZipFile("py_stored.zip") as z:
    thumb = z.getinfo("Metadata/thumbnail.png")
record = cd_offset
while True:
    n, e, c = struct.unpack_from("<HHH", base, record + 28)
    if bytes(base[record + 46:record + 46 + n]) == b"Metadata/thumbnail.png":
        break
    record += 46 + n + e + c
d = bytearray(base); struct.pack_into("<I", d, record + 42, len(base) - 10); save("local_offset", d)
d = bytearray(base); d[thumb.header_offset + 2] = 0x07; save("local_signature", d)
# Every stored entry claims one byte more uncompressed than it holds.
d = bytearray(base); at = cd_offset
while d[at:at+4] == b"PK\x01\x02":
    n, e, c = struct.unpack_from("<HHH", d, at + 28)
    usize = struct.unpack_from("<I", d, at + 24)[0]
    struct.pack_into("<I", d, at + 24, usize + 1)
    at += 46 + n + e + c
save("stored_sizes", d)
# CRC flipped in the central directory of the thumbnail member.
d = bytearray(base); d[record + 16] ^= 0xFF; save("crc", d)
# ZIP64 fields pointing at a locator outside the file.
d = bytearray(base); struct.pack_into("<I", d, end + 16, 0xFFFFFFFF)
d[end - 20:end - 16] = b"PK\x06\x07"; struct.pack_into("<Q", d, end - 12, 1 << 40); save("zip64_locator", d)

lz = bytearray(open("py_lzma.zip", "rb").read())
with zipfile.ZipFile("py_lzma.zip") as z:
    info = z.getinfo("Preview/PrvImage.png")
at = info.header_offset
n, e = struct.unpack_from("<HH", lz, at + 26)
props = at + 30 + n + e + 4            # after version and properties size
struct.pack_into("<I", lz, props + 1, 0xFFFFFFFF)   # dictionary size
save("lzma_dictionary", lz)

bz = bytearray(open("py_bzip2.zip", "rb").read())
end = bz.rfind(b"PK\x05\x06")
cd_offset = struct.unpack_from("<I", bz, end + 16)[0]
at = cd_offset
while bz[at:at+4] == b"PK\x01\x02":
    n, e, c = struct.unpack_from("<HHH", bz, at + 28)
    struct.pack_into("<I", bz, at + 24, 0xFFFFFFFE)  # declares almost 4 GiB
    at += 46 + n + e + c
save("bzip2_bomb", bz)
PY

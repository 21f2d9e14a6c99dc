#!/usr/bin/python3
"""Makes Apple icon files byte by byte for the ICNS reader's tests (stdlib only, seed 29).
Usage: make_icns.py DIR. Writes:
  classic.icns   every classic and 24-bit kind with masks following it, elsewhere and of
                 the wrong type following, an ich# mask of 576 bytes, a raw il32, an RLE is32, an it32 with the
                 four zero bytes and an ic08 of random bytes (not a page);
  classic.alpha  the alpha every page of classic.icns must get, w*h bytes per page, top-down;
  classic.il32   the raw il32's RGB bytes (libicns reads 3072 bytes as runs);
  it32_padded.icns / it32_plain.icns   the same it32 runs with and without the zero bytes;
  preview.icns   ics8 then it32 (the preview picks by box);
  equal.icns     ics8 then is32, both 16 x 16 (the earlier one is the picture);
  masks.icns     is32, il32, ih32 and it32 with their masks before them, after them and
                 after other elements (Pillow's alpha is the reference);
  all.icns       png2icns of pN.png (N = 16 ... 512, ImageMagick plasma with an alpha ramp);
  pil.icns       Pillow's file from p512.png (PNG elements ic07 ... ic14)."""
import os, random, struct, subprocess, sys
from PIL import Image

random.seed(29)
out = sys.argv[1]

def element(kind, data):
    return kind + struct.pack(">I", 8 + len(data)) + data

def icns(elements):
    return element(b"icns", b"".join(elements))

def rand(n):
    return bytes(random.randrange(256) for _ in range(n))

def runs(plane):
    """One channel as runs of 3..130 equal values and literals of one or two values."""
    res, i = bytearray(), 0
    while i < len(plane):
        n = 1
        while i + n < len(plane) and n < 130 and plane[i + n] == plane[i]:
            n += 1
        res += bytes([n + 125, plane[i]]) if n >= 3 else bytes([n - 1]) + plane[i:i + n]
        i += n
    return bytes(res)

def rle24(size):
    """Blocky colours so that both runs and literals occur."""
    pix = [((x // 5) * 40 % 256, (y // 3) * 30 % 256, random.randrange(256) if x % 7 == 0 else 9)
           for y in range(size) for x in range(size)]
    return b"".join(runs(bytes(p[c] for p in pix)) for c in range(3))

def bits_alpha(bits, n):
    return bytes(255 if bits[i // 8] >> (7 - i % 8) & 1 else 0 for i in range(n))

pages, alphas = [], []
def page(kind, data, alpha, mask=None):
    pages.append(element(kind, data))
    if mask is not None:
        pages.append(mask)
    alphas.append(alpha)

page(b"ICON", rand(128), b"\xff" * 1024)
icn = rand(256)
page(b"ICN#", icn, bits_alpha(icn[128:], 1024))
s8 = rand(256)
page(b"ics4", rand(128), s8, element(b"s8mk", s8))
page(b"ics8", rand(256), s8)                                  # its s8mk stands elsewhere
l8 = rand(1024)
page(b"icl4", rand(512), l8, element(b"l8mk", l8))
page(b"icl8", rand(1024), l8, element(b"l8mk", l8))
ich = rand(576)
page(b"ich4", rand(1152), bits_alpha(ich[288:], 2304), element(b"ich#", ich))
h8 = rand(2304)
page(b"ich8", rand(2304), h8, element(b"h8mk", h8))
raw = rand(3072)
page(b"il32", raw, l8, element(b"l8mk", l8))                  # raw: exactly 32*32*3
page(b"is32", rle24(16), s8, element(b"s8mk", s8))
page(b"ih32", rle24(48), h8, element(b"s8mk", s8))  # a wrong kind follows; h8mk stands before
t8 = rand(16384)
page(b"it32", b"\0\0\0\0" + rle24(128), t8, element(b"t8mk", t8))
pages.append(element(b"ic08", rand(300)))                      # no known content: no page
pages.append(element(b"TOC ", rand(16)))
it32 = rle24(128)
os.chdir(out)
for name, data in (("classic.icns", icns(pages)), ("classic.alpha", b"".join(alphas)),
                   ("classic.il32", raw), ("it32_plain.icns", icns([element(b"it32", it32)])),
                   ("it32_padded.icns", icns([element(b"it32", b"\0\0\0\0" + it32)])),
                   ("preview.icns", icns([element(b"ics8", rand(256)), element(b"it32", it32)])),
                   ("equal.icns", icns([element(b"ics8", rand(256)), element(b"is32", rle24(16))])),
                   ("masks.icns", icns([element(b"s8mk", rand(256)), element(b"TOC ", rand(16)),
                                        element(b"is32", rle24(16)), element(b"il32", rle24(32)),
                                        element(b"h8mk", rand(2304)), element(b"ics8", rand(256)),
                                        element(b"ih32", rle24(48)), element(b"it32", b"\0\0\0\0" + it32),
                                        element(b"l8mk", rand(1024)),
                                        element(b"t8mk", rand(16384))]))):
    open(name, "wb").write(data)
sizes = ["16", "32", "48", "128", "256", "512"]
for n in sizes:
    subprocess.run(["/usr/bin/convert", "-size", n + "x" + n, "-seed", "4", "plasma:fractal", "-alpha",
                    "set", "-channel", "A", "-fx", "i/w", "+channel", "PNG32:p%s.png" % n], check=True)
subprocess.run(["png2icns", "all.icns"] + ["p%s.png" % n for n in sizes], check=True,
               stdout=subprocess.DEVNULL)
Image.open("p512.png").save("pil.icns")

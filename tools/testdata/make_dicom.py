#!/usr/bin/python3
"""Makes DICOM files for the DICOM readers' tests (pydicom + numpy, dcmtk's dcmconv; seed 36).
Usage: make_dicom.py DIR [PYDICOM_FILE...]. Writes into DIR:
  *.dcm, *.leg, ...  the files: images made with pydicom (explicit VR little endian PS3.10 files),
                     their implicit-VR forms by dcmconv (+ti -F: no preamble and no meta
                     group; +ti: PS3.10 file with meta group), and files written byte by byte that
                     break one rule each;
  NAME.pN.pam        the picture page N of NAME must give, computed from pydicom's
                     pixel_array: monochrome stretched between its minimum and maximum (a flat
                     image scaled from bits stored to bits allocated), colour scaled from bits
                     stored to bits allocated, in float64, truncated, clamped; 8-bit data give
                     MAXVAL 255, 16-bit data MAXVAL 65535; rows top-down, alpha opaque;
  NAME.frame         the first frame of encapsulated pixel data, as pydicom's fragment walk
                     finds it;
  many_frames.dcm    100 frames of 64 x 64 16-bit samples (the header walk reads no pixels);
  for each PYDICOM_FILE, NAME.p0.pam (uncompressed) or NAME.frame (encapsulated);
  cases.tsv          NAME, the format id the factory must answer (0: none), the page count and
                     per page "pam" or "fail", tab-separated.
"""
import os, struct, subprocess, sys

import numpy as np
from pydicom.dataset import Dataset, FileMetaDataset
from pydicom.uid import ExplicitVRLittleEndian, SecondaryCaptureImageStorage

out = sys.argv[1]
rng = np.random.default_rng(36)
cases = []


def path(name):
    return os.path.join(out, name)


# ---- images through pydicom --------------------------------------------------------------

def image(rows, cols, samples, bits, stored, signed, data, planar=0, frames=None):
    ds = Dataset()
    ds.Rows, ds.Columns, ds.SamplesPerPixel = rows, cols, samples
    ds.PhotometricInterpretation = "MONOCHROME2" if samples == 1 else "RGB"
    ds.BitsAllocated, ds.BitsStored, ds.HighBit = bits, stored, stored - 1
    ds.PixelRepresentation = 1 if signed else 0
    if samples == 3:
        ds.PlanarConfiguration = planar
    if frames is not None:
        ds.NumberOfFrames = frames
    ds.PixelData = data
    ds["PixelData"].VR = "OB" if bits == 8 else "OW"
    return ds


def save(name, ds, uid_tail, syntax=ExplicitVRLittleEndian):
    meta = FileMetaDataset()
    meta.TransferSyntaxUID = syntax
    meta.MediaStorageSOPClassUID = SecondaryCaptureImageStorage
    meta.MediaStorageSOPInstanceUID = "1.2.826.0.1.3680043.36." + uid_tail
    ds.file_meta = meta
    ds.SOPClassUID = SecondaryCaptureImageStorage
    ds.SOPInstanceUID = meta.MediaStorageSOPInstanceUID
    ds.is_little_endian, ds.is_implicit_VR = True, False
    ds.save_as(path(name), write_like_original=False)


def expected(arr, bits, stored, grey):
    """The levels of one page (rows x cols [x 3]) as float64 math, truncated and clamped."""
    top = (1 << bits) - 1
    v = arr.astype(np.float64)
    if grey:
        lo, hi = v.min(), v.max()
        scale = top / (hi - lo) if hi > lo else top / ((1 << stored) - 1)
        lo = lo if hi > lo else 0.0
        v = (v - lo) * scale
    else:
        v = v * (top / ((1 << stored) - 1))
    return np.clip(np.trunc(v), 0, top).astype(np.uint32)


def write_pam(name, levels, bits):
    top = (1 << bits) - 1
    rgb = levels if levels.ndim == 3 else np.stack([levels] * 3, axis=-1)
    rgba = np.concatenate([rgb, np.full(rgb.shape[:2] + (1,), top, np.uint32)], axis=-1)
    h, w = rgba.shape[:2]
    body = rgba.astype(">u2" if bits == 16 else "u1").tobytes()
    with open(path(name), "wb") as f:
        f.write(b"P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL %d\nTUPLTYPE RGB_ALPHA\nENDHDR\n"
                % (w, h, top) + body)


def pages_of(ds):
    """pydicom's decode as a list of pages: icon images first, then each frame."""
    arr = ds.pixel_array
    frames = int(ds.get("NumberOfFrames", 1))
    return list(arr) if frames > 1 else [arr]


def add(name, fmt, outcomes):
    cases.append((name, fmt, len(outcomes), ",".join(outcomes)))


def add_image(name, ds, uid_tail, legacy=True):
    """Saves `ds`, writes its pages' expected pictures and, for single images, its two
    implicit-VR forms, which must give the same pages."""
    save(name, ds, uid_tail)
    from pydicom import dcmread
    read = dcmread(path(name))
    pages = []
    for icon in read.get("IconImageSequence", []):
        icon.file_meta = read.file_meta
        pages.append((icon.pixel_array, icon.BitsAllocated, icon.BitsStored, icon.SamplesPerPixel))
    for arr in pages_of(read):
        pages.append((arr, read.BitsAllocated, read.BitsStored, read.SamplesPerPixel))
    for n, (arr, bits, stored, samples) in enumerate(pages):
        write_pam("%s.p%d.pam" % (name, n), expected(arr, bits, stored, samples == 1), bits)
    add(name, 32, ["pam"] * len(pages))
    if legacy and len(pages) == 1:
        for suffix, flags in ((".leg", ["+ti", "-F"]), (".imp", ["+ti"])):
            subprocess.run(["dcmconv"] + flags + [path(name), path(name + suffix)], check=True)
            write_pam("%s%s.p0.pam" % (name, suffix), expected(*pages[0][:3], pages[0][3] == 1),
                      pages[0][1])
            add(name + suffix, 33, ["pam"])


def u8s(values):
    return np.asarray(values, np.uint8).tobytes()


def i16s(values):
    return np.asarray(values, "<i2").tobytes()


def u16s(values):
    return np.asarray(values, "<u2").tobytes()


ramp = np.linspace(20, 200, 12 * 10).round().astype(np.uint8)
add_image("mono8.dcm", image(10, 12, 1, 8, 8, False, u8s(ramp)), "1")
# MONOCHROME1 (white at 0) is shown with the MONOCHROME2 mapping: no inversion.
inverted = image(10, 12, 1, 8, 8, False, u8s(ramp))
inverted.PhotometricInterpretation = "MONOCHROME1"
add_image("monochrome1.dcm", inverted, "21", legacy=False)
add_image("mono8_flat.dcm", image(6, 5, 1, 8, 8, False, u8s([7] * 30)), "2")
signed = rng.integers(-1000, 1001, 9 * 11).astype(np.int16)
signed[:2] = (-1000, 1000)
add_image("mono16_signed.dcm", image(9, 11, 1, 16, 16, True, i16s(signed)), "3")
add_image("mono16_signed_flat.dcm", image(4, 4, 1, 16, 16, True, i16s([-5] * 16)), "4")
# 12 bits stored, signed: sign extension from bit 11.
twelve = rng.integers(-2048, 2048, 7 * 5).astype(np.int16)
add_image("mono12_signed.dcm", image(7, 5, 1, 16, 12, True, i16s(twelve)), "5")
add_image("mono12_flat.dcm", image(3, 3, 1, 16, 12, False, u16s([100] * 9)), "6")
rgb8 = rng.integers(0, 256, (6, 7, 3)).astype(np.uint8)
rgb8[0, 0], rgb8[0, 1] = (0, 0, 0), (255, 255, 255)
add_image("rgb8.dcm", image(6, 7, 3, 8, 8, False, rgb8.tobytes()), "7")
add_image("rgb8_planar.dcm", image(6, 7, 3, 8, 8, False, rgb8.transpose(2, 0, 1).tobytes(), 1), "8")
rgb12 = rng.integers(0, 4096, (5, 4, 3)).astype(np.uint16)
add_image("rgb12.dcm", image(5, 4, 3, 16, 12, False, rgb12.astype("<u2").tobytes()), "9")
add_image("rgb12_planar.dcm",
          image(5, 4, 3, 16, 12, False, rgb12.transpose(2, 0, 1).astype("<u2").tobytes(), 1), "10")
rgb16 = rng.integers(0, 65536, (3, 4, 3)).astype(np.uint16)
add_image("rgb16.dcm", image(3, 4, 3, 16, 16, False, rgb16.astype("<u2").tobytes()), "11")

frames10 = rng.integers(0, 256, (10, 4, 4)).astype(np.uint8)
add_image("frames10.dcm", image(4, 4, 1, 8, 8, False, frames10.tobytes(), frames=10), "12")
frames5 = rng.integers(0, 256, (5, 3, 3)).astype(np.uint8)  # 45 bytes, stored with a pad byte
add_image("frames5_odd.dcm", image(3, 3, 1, 8, 8, False, frames5.tobytes(), frames=5), "13")

main = image(4, 5, 1, 8, 8, False, rng.integers(0, 256, (3, 4, 5)).astype(np.uint8).tobytes(),
             frames=3)
icon = image(2, 3, 1, 8, 8, False, u8s([1, 2, 3, 4, 5, 6]))
main.IconImageSequence = [icon]
add_image("icon_frames.dcm", main, "14")

# 10 frames and one byte: an odd value length no writer makes, so the length is patched.
save("frames10_plus1.dcm", image(4, 4, 1, 8, 8, False, frames10.tobytes() + b"\x00\x00",
                                 frames=10), "15")
raw = bytearray(open(path("frames10_plus1.dcm"), "rb").read())
at = raw.rindex(b"\xe0\x7f\x10\x00OB\x00\x00")
raw[at + 8:at + 12] = struct.pack("<I", 161)
open(path("frames10_plus1.dcm"), "wb").write(raw[:-1])
add("frames10_plus1.dcm", 32, ["fail"])


# ---- files written byte by byte ----------------------------------------------------------

def el(group, element, vr, value, reserved=b"\0\0", length=None):
    """One explicit-VR element; `length` overrides the value's own."""
    n = len(value) if length is None else length
    if vr in (b"OB", b"OD", b"OF", b"OW", b"SQ", b"UN", b"UT", b"UC"):
        return struct.pack("<HH", group, element) + vr + reserved + struct.pack("<I", n) + value
    return struct.pack("<HH2sH", group, element, vr, n) + value


def us(group, element, value):
    return el(group, element, b"US", struct.pack("<H", value))


def item(content, length=None):
    return struct.pack("<HHI", 0xFFFE, 0xE000, len(content) if length is None else length) + content


SEQ_END = struct.pack("<HHI", 0xFFFE, 0xE0DD, 0)


def part10(body, syntax=b"1.2.840.10008.1.2.1\0"):
    meta = el(2, 0x10, b"UI", syntax)
    return b"\0" * 128 + b"DICM" + el(2, 0, b"UL", struct.pack("<I", len(meta))) + meta + body


def pixels(rows=2, cols=3, data=None, sq=b""):
    """A 8-bit monochrome image's attributes, `sq` (before the pixel data), its pixel data."""
    data = bytes(range(10, 10 + rows * cols)) if data is None else data
    return (us(0x28, 2, 1) + us(0x28, 0x10, rows) + us(0x28, 0x11, cols) + us(0x28, 0x100, 8)
            + us(0x28, 0x101, 8) + us(0x28, 0x103, 0) + sq + el(0x7FE0, 0x10, b"OB", data))


def raw_file(name, data, fmt=0, outcomes=()):
    open(path(name), "wb").write(data)
    add(name, fmt, list(outcomes))


flat = np.arange(10, 16, dtype=np.uint8).reshape(2, 3)
raw_file("plain.dcm", part10(pixels()), 32, ["pam"])
write_pam("plain.dcm.p0.pam", expected(flat, 8, 8, True), 8)
# Rows as UL of length 4: read by this reader, refused by the implicit-VR one (below).
rows_ul = pixels().replace(us(0x28, 0x10, 2), el(0x28, 0x10, b"UL", struct.pack("<I", 2)))
raw_file("rows_ul.dcm", part10(rows_ul), 32, ["pam"])
write_pam("rows_ul.dcm.p0.pam", expected(flat, 8, 8, True), 8)
# Defined-length sequence and item around an element, then the image.
sq = el(0x8, 0x1115, b"SQ", item(el(0x8, 0x1150, b"UI", b"1.2\0")))
raw_file("defined_sequence.dcm", part10(el(0x8, 0x16, b"UI", b"1.2\0") + sq + pixels()), 32,
         ["pam"])
write_pam("defined_sequence.dcm.p0.pam", expected(flat, 8, 8, True), 8)

study = el(0x20, 0xD, b"UI", b"1.2\0")
raw_file("out_of_order.dcm", part10(study + el(0x8, 0x16, b"UI", b"1.2\0") + pixels()))
raw_file("uc_element.dcm", part10(el(0x8, 0x119, b"UC", b"ab") + pixels()))
raw_file("reserved_0100.dcm", part10(el(0x8, 0x119, b"OB", b"ab", reserved=b"\1\0") + pixels()))
raw_file("group_9000.dcm", part10(pixels() + el(0x9000, 0x10, b"OB", b"ab")))
raw_file("magic_only.dcm", b"\0" * 128 + b"DICM")
raw_file("length_past_end.dcm", part10(pixels(data=b"")[:-4] + struct.pack("<I", 0xFFFFFFF0)))
huge = (us(0x28, 2, 3) + us(0x28, 0x10, 65535) + us(0x28, 0x11, 65535) + us(0x28, 0x100, 16)
        + us(0x28, 0x101, 16) + el(0x7FE0, 0x10, b"OB", b"\0" * 40))
raw_file("huge_frame.dcm", part10(huge), 32, ["fail"])
# One-byte frames declared for 2^31 bytes: the value runs past the end.
raw_file("frames_2g.dcm", part10(pixels(1, 1, b"")[:-4] + struct.pack("<I", 1 << 31)))
seq_past = el(0x8, 0x1115, b"SQ", item(b"", length=64))
raw_file("item_past_sequence.dcm", part10(seq_past + pixels()))


def encapsulated(fragments, bot=b""):
    return item(bot) + b"".join(item(f) for f in fragments) + SEQ_END


enc_attrs = pixels(data=b"")[:-12]  # the attributes without the pixel data element
raw_file("bot_past_data.dcm",
         part10(enc_attrs + el(0x7FE0, 0x10, b"OB", item(b"", length=4096) + b"\0" * 18)), 32,
         ["fail"])
raw_file("encapsulated_10_bytes.dcm",
         part10(enc_attrs + el(0x7FE0, 0x10, b"OB", b"\xfe\xff\x00\xe0\0\0\0\0\xff\xd8")), 32,
         ["fail"])


def nested(depth, content):
    for _ in range(depth):
        content = el(0x8, 0x1115, b"SQ", item(content, 0xFFFFFFFF) + SEQ_END, length=0xFFFFFFFF)
    return content


raw_file("nested_32.dcm", part10(nested(32, b"") + pixels()), 32, ["pam"])
write_pam("nested_32.dcm.p0.pam", expected(flat, 8, 8, True), 8)
raw_file("nested_40.dcm", part10(nested(40, b"") + pixels()))
# Some 52,000 levels of undefined-length sequences and items in 1 MB.
level = struct.pack("<HH2sHI", 8, 0x1115, b"SQ", 0, 0xFFFFFFFF) + item(b"", 0xFFFFFFFF)
raw_file("nested_1mb.dcm", part10(level * ((1 << 20) // len(level))))


# ---- implicit VR byte by byte ------------------------------------------------------------

def iel(group, element, value, length=None):
    return struct.pack("<HHI", group, element, len(value) if length is None else length) + value


def ipixels(rows=2, cols=3, data=None, samples=True, sq=b""):
    data = bytes(range(10, 10 + rows * cols)) if data is None else data
    attrs = iel(0x28, 2, struct.pack("<H", 1)) if samples else b""
    return (attrs + iel(0x28, 0x10, struct.pack("<H", rows)) + iel(0x28, 0x11, struct.pack("<H", cols))
            + iel(0x28, 0x100, struct.pack("<H", 8)) + iel(0x28, 0x101, struct.pack("<H", 8))
            + sq + iel(0x7FE0, 0x10, data))


study_i = iel(0x8, 0x16, b"1.2\0")
raw_file("twice.leg", study_i + ipixels(data=bytes(range(10, 16)) + b"\xff" * 6), 33, ["pam"])
write_pam("twice.leg.p0.pam", expected(flat, 8, 8, True), 8)
raw_file("no_samples.leg", study_i + ipixels(samples=False), 33, ["pam"])
write_pam("no_samples.leg.p0.pam", expected(flat, 8, 8, True), 8)
raw_file("rows_ul.leg", study_i + ipixels().replace(iel(0x28, 0x10, struct.pack("<H", 2)),
                                                  iel(0x28, 0x10, struct.pack("<I", 2))))
raw_file("no_rows.leg", study_i + ipixels().replace(iel(0x28, 0x10, struct.pack("<H", 2)), b""))
# An icon in a defined-length sequence is one element; in an undefined-length one, a page.
icon_i = ipixels(1, 2, b"\x01\x02")
raw_file("icon_defined.leg", study_i + ipixels(sq=iel(0x88, 0x200, item(icon_i))), 33, ["pam"])
write_pam("icon_defined.leg.p0.pam", expected(flat, 8, 8, True), 8)
raw_file("icon_undefined.leg",
         study_i + ipixels(sq=iel(0x88, 0x200, item(icon_i) + SEQ_END, 0xFFFFFFFF)), 33,
         ["pam", "pam"])
write_pam("icon_undefined.leg.p0.pam", expected(flat, 8, 8, True), 8)
write_pam("icon_undefined.leg.p1.pam", expected(np.array([[1, 2]]), 8, 8, True), 8)
# What an undefined-length sequence holds other than items and delimiters breaks the file.
raw_file("not_item.leg",
         study_i + ipixels(sq=iel(0x88, 0x200, iel(0x8, 0x16, icon_i) + SEQ_END, 0xFFFFFFFF)))
raw_file("text.txt", b"This is not a picture.\n" * 4)


# ---- encapsulated frames -----------------------------------------------------------------
# Outcomes: "frame" - equal to the picture NAME.frame gives (the first frame as pydicom's
# fragment walk finds it); "jpeg" - the same with its levels stretched (CopyNormalized).

def run(*command):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def frame_of(source):
    """Writes the first frame of the file at `source` as NAME.frame."""
    from pydicom import dcmread
    from pydicom.encaps import generate_pixel_data_frame
    ds = dcmread(source)
    frame = next(generate_pixel_data_frame(ds.PixelData, int(ds.get("NumberOfFrames", 1))))
    open(path(os.path.basename(source) + ".frame"), "wb").write(frame)


def copy_pam(source, target):
    open(path(target), "wb").write(open(path(source), "rb").read())


# Lossless JPEG keeps the samples: the RGB frame dcmcjpeg writes (component ids 0, 1, 2, no
# JFIF or Adobe marker) must give the source pixels (full range, so the stretch changes none).
run("dcmcjpeg", "+e1", path("rgb8.dcm"), path("rgb8_lossless.dcm"))
copy_pam("rgb8.dcm.p0.pam", "rgb8_lossless.dcm.p0.pam")
add("rgb8_lossless.dcm", 32, ["pam"])
mono12 = rng.integers(0, 4096, (8, 8)).astype(np.uint16)
save("mono12.dcm", image(8, 8, 1, 16, 12, False, mono12.astype("<u2").tobytes()), "16")
gradient = np.fromfunction(lambda y, x, c: (x * 6 + y * 3 + c * 40) % 256, (30, 40, 3)).astype(np.uint8)
open(path("in.ppm"), "wb").write(b"P6\n40 30\n255\n" + gradient.tobytes())
run("cjpeg", "-outfile", path("in.jpg"), path("in.ppm"))
run("img2dcm", path("in.jpg"), path("img2dcm.dcm"))
save("gradient.dcm", image(30, 40, 3, 8, 8, False, gradient.tobytes()), "17")
for name, source, flag in (("rgb8_baseline.dcm", "gradient.dcm", "+eb"),
                           ("mono12_extended.dcm", "mono12.dcm", "+ee"),
                           ("mono12_lossless.dcm", "mono12.dcm", "+e1")):
    run("dcmcjpeg", flag, path(source), path(name))
for name in ("rgb8_baseline.dcm", "mono12_extended.dcm", "mono12_lossless.dcm", "img2dcm.dcm"):
    frame_of(path(name))
    add(name, 32, ["jpeg"])

# JPEG 2000 codestreams (lossless) wrapped with and without a Basic Offset Table.
from pydicom.encaps import encapsulate
from pydicom.uid import JPEG2000Lossless
grey = np.fromfunction(lambda y, x: (x * 9 + y * 5) % 256, (16, 24)).astype(np.uint8)
open(path("g8.pgm"), "wb").write(b"P5\n24 16\n255\n" + grey.tobytes())
run("opj_compress", "-i", path("g8.pgm"), "-o", path("g8.j2k"), "-n", "3")
signed16 = rng.integers(-30000, 30000, (64, 64)).astype("<i2")
open(path("s16.rawl"), "wb").write(signed16.tobytes())
run("opj_compress", "-i", path("s16.rawl"), "-o", path("s16.j2k"), "-F", "64,64,1,16,s")


def j2k_file(name, codestream, rows, cols, bits, signed, **wrap):
    ds = image(rows, cols, 1, bits, bits, signed, encapsulate([codestream], **wrap))
    ds["PixelData"].VR = "OB"
    ds["PixelData"].is_undefined_length = True
    save(name, ds, "18", JPEG2000Lossless)


g8 = open(path("g8.j2k"), "rb").read()
s16 = open(path("s16.j2k"), "rb").read()
j2k_file("g8_bot.dcm", g8, 16, 24, 8, False, has_bot=True)
j2k_file("g8_nobot.dcm", g8, 16, 24, 8, False, has_bot=False)
for name in ("g8_bot.dcm", "g8_nobot.dcm"):
    write_pam(name + ".p0.pam", grey, 8)  # lossless and not stretched: the source samples
    add(name, 32, ["pam"])
for name, wrap in (("s16_bot.dcm", {"has_bot": True}), ("s16_nobot.dcm", {"has_bot": False})):
    j2k_file(name, s16, 64, 64, 16, True, **wrap)
    frame_of(path(name))
    add(name, 32, ["frame"])
j2k_file("s16_two_fragments.dcm", s16, 64, 64, 16, True, has_bot=True, fragments_per_frame=2)
add("s16_two_fragments.dcm", 32, ["fail"])
# The implicit-VR form of the 8-bit frame: the pixel data value replaced by the items, with
# a defined length.
save("g8.dcm", image(16, 24, 1, 8, 8, False, grey.tobytes()), "19")
run("dcmconv", "+ti", "-F", path("g8.dcm"), path("g8.leg"))
plain = open(path("g8.leg"), "rb").read()
at = plain.rindex(b"\xe0\x7f\x10\x00")
items = encapsulate([g8], has_bot=True)
open(path("g8_j2k.leg"), "wb").write(plain[:at] + struct.pack("<HHI", 0x7FE0, 0x10, len(items)) + items)
write_pam("g8_j2k.leg.p0.pam", grey, 8)
add("g8_j2k.leg", 33, ["pam"])

save("many_frames.dcm", image(64, 64, 1, 16, 16, False, bytes(100 * 64 * 64 * 2), frames=100), "20")

for source in sys.argv[2:]:
    from pydicom import dcmread
    ds = dcmread(source)
    name = os.path.basename(source)
    if ds.file_meta.TransferSyntaxUID.is_compressed:
        frame_of(source)
    else:
        write_pam(name + ".p0.pam", expected(pages_of(ds)[0], ds.BitsAllocated, ds.BitsStored,
                                             ds.SamplesPerPixel == 1), ds.BitsAllocated)

with open(path("cases.tsv"), "w") as f:
    for case in cases:
        f.write("%s\t%d\t%d\t%s\n" % case)

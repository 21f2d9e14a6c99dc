#!/usr/bin/python3
"""Fabricated TIFF-based camera RAW containers for the RAW picture tests (no camera file
ships with Debian). Writes into tests/data/raw/:

  dng_cfa.dng        II, IFD0 = 144x96 JPEG preview (NewSubfileType 1), SubIFD = 16-bit
                     RGGB CFA 128x96 with DefaultCropSize 120x90, DNGVersion 1.4.0.0
  dng_nikon.dng      the same with Make "NIKON CORPORATION" (a converted NEF)
  dng_nopreview.dng  MM, the CFA in IFD0, no preview
  dng_linear.dng     LinearRaw (34892), 3 samples, no preview
  dng_rgbpreview.dng the CFA DNG with an uncompressed 64x48 RGB preview as IFD0
  nef_two.nef        MM, Make "NIKON CORPORATION": IFD0 = small RGB strip, SubIFDs = 640x480
                     JPEG (JpgFromRaw), 144x96 JPEG, 12-bit-range CFA raw
  nikon_rgb.tif      an ordinary RGB TIFF with Make "NIKON": a TIFF, not a NEF
  cr2_header.cr2     II, "CR\\2\\0" at 8, IFD0 = the 640x480 JPEG strips, a vendor-
                     compressed raw IFD
  mrw_minolta.mrw    PRD 160x120, TTW TIFF whose Minolta maker note points at a 640x480 JPEG
  raf_fuji.raf       RAF header with a 640x480 JPEG, directory: full 168x124, cropped 160x120
  crw_canon.crw      CIFF heap (II): ImageInfo 160x120, a sub-heap with JpgFromRaw 640x480
  cr3_canon.cr3      ftyp "crx ", moov uuid with CMT1 (160x120) and THMB 144x96, preview
                     uuid with PRVW 640x480
  x3f_sigma.x3f      FOVb 2.1, 160x120, directory with an IMA2 JPEG section 640x480
  rwl_leica.rwl      "IIU\0", IFD0 borders 0..120 x 0..160, JpgFromRaw 640x480
  orf_olympus.orf    "IIRO", IFD0 160x120 raw, IFD1 JPEG thumbnail 144x96, Olympus maker note
                     CameraSettings preview 640x480
  pef_pentax.pef     MM, Make "PENTAX", vendor-compressed raw, "AOC" maker note preview 640x480
  nef_note.nef       MM, Make "NIKON", CFA raw, the 640x480 preview only in the Nikon maker
                     note's PreviewIFD
  hostile_*.tif      IFD0 -> itself, SubIFD -> IFD0, SubIFD count 0xFFFFFFFF, JPEG
                     length 0xFFFFFFFF, strip counts past the end, 65535x65535x16 header
  hostile_*          a CIFF heap naming itself, BMFF boxes of size 1 (u64 past the end) and
                     0, an X3F directory count of 2^31, RAF offsets past the end, a CFA DNG
                     of 200000x200000 with 8 bytes of data

JPEG previews come from cjpeg -quality 90 (libjpeg-turbo-progs). Fixed content, no
randomness. Run from the repository root: /usr/bin/python3 tools/testdata/make_raw.py
The benchmark's large DNG: make_raw.py --dng WIDTH HEIGHT PREVIEW_WIDTH PREVIEW_HEIGHT OUT
[ORIENTATION] (the TIFF Orientation 1-8 in IFD0, absent when not given)
"""
import os
import struct
import subprocess
import sys

import numpy as np

OUT = 'tests/data/raw'

BYTE, ASCII, SHORT, LONG, RATIONAL, UNDEFINED, SRATIONAL = 1, 2, 3, 4, 5, 7, 10
SIZES = {BYTE: 1, ASCII: 1, SHORT: 2, LONG: 4, RATIONAL: 8, UNDEFINED: 1, SRATIONAL: 8}


class TiffWriter:
    """Blobs and IFDs appended in the order written; children before their parents."""

    def __init__(self, big_endian, identifier=42, header_extra=b''):
        self.e = '>' if big_endian else '<'
        self.buf = bytearray((b'MM' if big_endian else b'II') + struct.pack(self.e + 'HI', identifier, 0))
        self.buf += header_extra

    def align(self):
        if len(self.buf) % 2:
            self.buf += b'\0'

    def blob(self, data):
        self.align()
        offset = len(self.buf)
        self.buf += data
        return offset

    def pack_values(self, kind, values):
        if kind in (ASCII, UNDEFINED, BYTE) and isinstance(values, (bytes, bytearray)):
            return bytes(values), len(values)
        if kind in (RATIONAL, SRATIONAL):
            code = 'I' if kind == RATIONAL else 'i'
            return b''.join(struct.pack(self.e + code * 2, n, d) for n, d in values), len(values)
        code = {BYTE: 'B', SHORT: 'H', LONG: 'I'}[kind]
        return b''.join(struct.pack(self.e + code, v) for v in values), len(values)

    def ifd(self, entries, next_offset=0, raw_count=None):
        """entries: (tag, type, values); returns the IFD's offset."""
        self.align()
        offset = len(self.buf)
        entries = sorted(entries)
        count = len(entries) if raw_count is None else raw_count
        external = offset + 2 + 12 * len(entries) + 4
        body = struct.pack(self.e + 'H', count)
        extra = bytearray()
        for tag, kind, values in entries:
            data, n = self.pack_values(kind, values)
            if len(data) <= 4:
                field = data.ljust(4, b'\0')
            else:
                field = struct.pack(self.e + 'I', external + len(extra))
                extra += data
                if len(extra) % 2:
                    extra += b'\0'
            body += struct.pack(self.e + 'HHI', tag, kind, n) + field
        body += struct.pack(self.e + 'I', next_offset)
        self.buf += body + extra
        return offset

    def set_ifd0(self, offset):
        self.buf[4:8] = struct.pack(self.e + 'I', offset)

    def save(self, name):
        with open(os.path.join(OUT, name), 'wb') as f:
            f.write(self.buf)


def jpeg(width, height):
    """A smooth colour picture of the size as a JPEG made by cjpeg."""
    y, x = np.mgrid[0:height, 0:width]
    rgb = np.stack([x * 255 // max(1, width - 1), y * 255 // max(1, height - 1),
                    (x + y) * 255 // max(1, width + height - 2)], axis=-1).astype(np.uint8)
    ppm = b'P6\n%d %d\n255\n' % (width, height) + rgb.tobytes()
    return subprocess.run(['cjpeg', '-quality', '90'], input=ppm, stdout=subprocess.PIPE,
                          check=True).stdout


def cfa(width, height, big_endian):
    """A 16-bit RGGB ramp between the black level 64 and the white level 4095."""
    y, x = np.mgrid[0:height, 0:width]
    ramp = 64 + (x * 31 + y * 17 + (x % 2) * 400 + (y % 2) * 900) % 4000
    return ramp.astype('>u2' if big_endian else '<u2').tobytes()


def strip_entries(offset, length, width, height, bits, samples, compression, photometric):
    return [
        (0x0100, LONG, [width]), (0x0101, LONG, [height]), (0x0102, SHORT, [bits] * samples),
        (0x0103, SHORT, [compression]), (0x0106, SHORT, [photometric]),
        (0x0111, LONG, [offset]), (0x0115, SHORT, [samples]), (0x0116, LONG, [height]),
        (0x0117, LONG, [length]), (0x011C, SHORT, [1]),
    ]


def dng_tags(make):
    return [
        (0x010F, ASCII, make + b'\0'), (0x0110, ASCII, b'Fabricated DNG\0'),
        (0xC612, BYTE, bytes([1, 4, 0, 0])), (0xC613, BYTE, bytes([1, 1, 0, 0])),
        (0xC614, ASCII, b'Fabricated Camera\0'),
        (0xC621, SRATIONAL, [(10000, 10000), (-2000, 10000), (-1000, 10000),
                             (-3000, 10000), (12000, 10000), (1000, 10000),
                             (-500, 10000), (1500, 10000), (8000, 10000)]),
        (0xC65A, SHORT, [21]), (0xC628, RATIONAL, [(1, 2), (1, 1), (2, 3)]),
    ]


def cfa_tags(width, height):
    return [(0x828D, SHORT, [2, 2]), (0x828E, BYTE, bytes([0, 1, 1, 2])),
            (0xC61A, LONG, [64]), (0xC61D, LONG, [4095]),
            (0xC620, LONG, [width - 8, height - 6]), (0xC61F, LONG, [4, 3])]


def make_dng(name, make, big_endian=False, preview=True, size=(128, 96), preview_size=(144, 96), rgb=False,
             orientation=None):
    w = TiffWriter(big_endian)
    if orientation is not None:
        make_tags = dng_tags(make) + [(0x0112, SHORT, [orientation])]
    else:
        make_tags = dng_tags(make)
    width, height = size
    raw = cfa(width, height, big_endian)
    raw_at = w.blob(raw)
    raw_entries = strip_entries(raw_at, len(raw), width, height, 16, 1, 1, 32803) + cfa_tags(width, height)
    if not preview:
        w.set_ifd0(w.ifd(raw_entries + [(0x00FE, LONG, [0])] + make_tags))
        w.save(name)
        return
    raw_ifd = w.ifd(raw_entries + [(0x00FE, LONG, [0])])
    small = jpeg(*preview_size) if not rgb else bytes((i * 5) & 0xFF for i in range(64 * 48 * 3))
    small_at = w.blob(small)
    ifd0 = strip_entries(small_at, len(small), *preview_size, 8, 3, 1 if rgb else 7, 2 if rgb else 6) + [
        (0x00FE, LONG, [1]), (0x014A, LONG, [raw_ifd])] + make_tags
    w.set_ifd0(w.ifd(ifd0))
    w.save(name)


def make_linear_dng():
    w = TiffWriter(False)
    width, height = 64, 48
    y, x = np.mgrid[0:height, 0:width]
    rgb = np.stack([64 + x * 60, 64 + y * 80, 64 + (x + y) * 35], axis=-1).astype('<u2')
    raw_at = w.blob(rgb.tobytes())
    entries = strip_entries(raw_at, rgb.nbytes, width, height, 16, 3, 1, 34892)
    entries += [(0x00FE, LONG, [0]), (0xC61A, LONG, [64]), (0xC61D, LONG, [4095])] + dng_tags(b'Fabricated')
    w.set_ifd0(w.ifd(entries))
    w.save('dng_linear.dng')


def make_nef():
    w = TiffWriter(True)
    width, height = 160, 120
    raw = cfa(width, height, True)
    raw_at = w.blob(raw)
    raw_ifd = w.ifd(strip_entries(raw_at, len(raw), width, height, 16, 1, 1, 32803) +
                    [(0x00FE, LONG, [0]), (0x828D, SHORT, [2, 2]), (0x828E, BYTE, bytes([0, 1, 1, 2]))])
    big, small = jpeg(640, 480), jpeg(144, 96)
    big_at, small_at = w.blob(big), w.blob(small)
    big_ifd = w.ifd([(0x00FE, LONG, [1]), (0x0103, SHORT, [6]), (0x0201, LONG, [big_at]),
                     (0x0202, LONG, [len(big)])])
    small_ifd = w.ifd([(0x00FE, LONG, [1]), (0x0103, SHORT, [6]), (0x0201, LONG, [small_at]),
                       (0x0202, LONG, [len(small)])])
    thumb = bytes(16 * 12 * 3)
    thumb_at = w.blob(thumb)
    ifd0 = strip_entries(thumb_at, len(thumb), 16, 12, 8, 3, 1, 2) + [
        (0x00FE, LONG, [1]), (0x010F, ASCII, b'NIKON CORPORATION\0'), (0x0110, ASCII, b'NIKON D700\0'),
        (0x014A, LONG, [big_ifd, small_ifd, raw_ifd])]
    w.set_ifd0(w.ifd(ifd0))
    w.save('nef_two.nef')


def make_nikon_rgb():
    w = TiffWriter(False)
    rgb = bytes((i * 7) & 0xFF for i in range(32 * 24 * 3))
    at = w.blob(rgb)
    w.set_ifd0(w.ifd(strip_entries(at, len(rgb), 32, 24, 8, 3, 1, 2) + [(0x010F, ASCII, b'NIKON\0')]))
    w.save('nikon_rgb.tif')


def make_cr2():
    w = TiffWriter(False, header_extra=b'CR\x02\0' + struct.pack('<I', 0))
    big = jpeg(640, 480)
    big_at = w.blob(big)
    raw = cfa(96, 64, False)
    raw_at = w.blob(raw)
    # Canon's raw IFD: lossless JPEG (compression 6) without a photometric tag.
    raw_ifd = w.ifd([(0x0100, LONG, [96]), (0x0101, LONG, [64]), (0x0103, SHORT, [6]),
                     (0x0111, LONG, [raw_at]), (0x0117, LONG, [len(raw)])])
    ifd0 = strip_entries(big_at, len(big), 640, 480, 8, 3, 6, 6) + [
        (0x010F, ASCII, b'Canon\0'), (0x0110, ASCII, b'Canon EOS 5D Mark II\0')]
    ifd0_at = w.ifd(ifd0, next_offset=raw_ifd)
    w.set_ifd0(ifd0_at)
    w.save('cr2_header.cr2')


def make_mrw(big):
    ttw = TiffWriter(True)
    preview_at = ttw.blob(big)
    note = ttw.ifd([(0x0088, LONG, [preview_at]), (0x0089, LONG, [len(big)])])
    note_bytes = bytes(ttw.buf[note:])
    del ttw.buf[note:]
    note_at = ttw.blob(note_bytes)
    exif = ttw.ifd([(0x927C, UNDEFINED, bytes(note_bytes))])
    # the maker note is an IFD in place: point 0x927C at the copy written above
    exif_bytes = bytearray(ttw.buf[exif:])
    struct.pack_into('>I', exif_bytes, 2 + 8, note_at)
    ttw.buf[exif:] = exif_bytes
    ttw.set_ifd0(ttw.ifd([(0x010F, ASCII, b'MINOLTA\0'), (0x0110, ASCII, b'DiMAGE A1\0'),
                          (0x0100, LONG, [160]), (0x0101, LONG, [120]), (0x8769, LONG, [exif])]))
    prd = b'21810002' + struct.pack('>HHHHBBBB', 120, 160, 120, 160, 12, 12, 0x59, 0) + struct.pack('>HH', 0, 1)
    blocks = b'\0PRD' + struct.pack('>I', len(prd)) + prd + b'\0TTW' + struct.pack('>I', len(ttw.buf)) + ttw.buf
    raw = bytes(160 * 120 * 2)
    with open(os.path.join(OUT, 'mrw_minolta.mrw'), 'wb') as f:
        f.write(b'\0MRM' + struct.pack('>I', len(blocks)) + blocks + raw)


def make_raf(big):
    directory = struct.pack('>I', 2) + struct.pack('>HHHH', 0x100, 4, 124, 168) + struct.pack('>HHHH', 0x111, 4, 120, 160)
    header = bytearray(b'FUJIFILMCCD-RAW 0201FF383501' + b'FinePix S2Pro'.ljust(32, b'\0') + b'0100' + bytes(20))
    jpeg_at = 0x94 + len(directory)
    header += struct.pack('>IIIIII', jpeg_at, len(big), 0x94, len(directory), 0, 0)
    header = header.ljust(0x94, b'\0')
    with open(os.path.join(OUT, 'raf_fuji.raf'), 'wb') as f:
        f.write(bytes(header) + directory + big)


def ciff_heap(records):
    """records: (tag, bytes or sub-heap bytes); offsets relative to the heap start."""
    data, entries = bytearray(), []
    for tag, value in records:
        entries.append(struct.pack('<HII', tag, len(value), len(data)))
        data += value
    directory_at = len(data)
    data += struct.pack('<H', len(entries)) + b''.join(entries)
    return bytes(data + struct.pack('<I', directory_at))


def make_crw(big):
    image_info = struct.pack('<IIfii', 160, 120, 1.0, 0, 0)
    sub = ciff_heap([(0x1810, image_info), (0x2007, big)])
    heap = ciff_heap([(0x300A, sub)])
    header = b'II' + struct.pack('<I', 26) + b'HEAPCCDR' + struct.pack('<I', 0x10002) + bytes(8)
    with open(os.path.join(OUT, 'crw_canon.crw'), 'wb') as f:
        f.write(header + heap)


def box(kind, payload):
    return struct.pack('>I', 8 + len(payload)) + kind + payload


def make_cr3(big, small):
    cmt = TiffWriter(False)
    cmt.set_ifd0(cmt.ifd([(0x0100, LONG, [160]), (0x0101, LONG, [120]), (0x010F, ASCII, b'Canon\0'),
                          (0x0110, ASCII, b'Canon EOS R\0')]))
    thmb = box(b'THMB', struct.pack('>IHHIHH', 0, 144, 96, len(small), 1, 0) + small)
    meta = box(b'uuid', bytes.fromhex('85C0B687820F11E08111F4CE462B6A48') +
               box(b'CMT1', bytes(cmt.buf)) + thmb)
    prvw = box(b'PRVW', struct.pack('>IHHHHI', 0, 1, 640, 480, 1, len(big)) + big)
    preview = box(b'uuid', bytes.fromhex('EAF42B5E1C984B88B9FBB7DC406E4D16') + bytes(8) + prvw)
    ftyp = box(b'ftyp', b'crx ' + struct.pack('>I', 1) + b'crx isom')
    with open(os.path.join(OUT, 'cr3_canon.cr3'), 'wb') as f:
        f.write(ftyp + box(b'moov', meta) + preview)


def make_x3f(big):
    header = bytearray(b'FOVb' + struct.pack('<I', 0x00020001) + bytes(20) + struct.pack('<II', 160, 120))
    header = header.ljust(0x100, b'\0')
    section_at = len(header)
    section = b'SECi' + struct.pack('<IIIIII', 0x00020000, 2, 18, 640, 480, 0) + big
    directory_at = section_at + len(section)
    directory = b'SECd' + struct.pack('<II', 0x00020000, 1) + struct.pack('<II', section_at, len(section)) + b'IMA2'
    with open(os.path.join(OUT, 'x3f_sigma.x3f'), 'wb') as f:
        f.write(bytes(header) + section + directory + struct.pack('<I', directory_at))


def make_rwl(big):
    w = TiffWriter(False, identifier=0x55)
    raw = bytes(160 * 120 * 2)
    raw_at = w.blob(raw)
    w.set_ifd0(w.ifd([(0x0002, SHORT, [168]), (0x0003, SHORT, [124]), (0x0004, SHORT, [0]), (0x0005, SHORT, [0]),
                      (0x0006, SHORT, [120]), (0x0007, SHORT, [160]), (0x010F, ASCII, b'LEICA\0'),
                      (0x0110, ASCII, b'D-LUX 4\0'), (0x0111, LONG, [raw_at]), (0x0117, LONG, [len(raw)]),
                      (0x002E, UNDEFINED, big)]))
    w.save('rwl_leica.rwl')


def exif_with_note(w, note):
    return w.ifd([(0x927C, UNDEFINED, note)])


def make_orf(small, big):
    w = TiffWriter(False, identifier=0x4F52)
    raw = bytes(160 * 120 * 2)
    raw_at, small_at = w.blob(raw), w.blob(small)

    exif = exif_with_note(w, olympus_note(big))
    ifd1 = w.ifd([(0x0103, SHORT, [6]), (0x0201, LONG, [small_at]), (0x0202, LONG, [len(small)])])
    w.set_ifd0(w.ifd(strip_entries(raw_at, len(raw), 160, 120, 16, 1, 1, 32803) +
                     [(0x010F, ASCII, b'OLYMPUS IMAGING CORP.  \0'), (0x0110, ASCII, b'E-M5\0'),
                      (0x8769, LONG, [exif])], next_offset=ifd1))
    w.save('orf_olympus.orf')


def olympus_note(big):
    """OLYMPUS\0 II 3 0, the IFD at 12 (one entry: CameraSettings), then the settings IFD
    and the preview; every offset counts from the note's start."""
    settings_at = 12 + 2 + 12 + 4
    preview_at = settings_at + 2 + 2 * 12 + 4
    ifd = struct.pack('<H', 1) + struct.pack('<HHII', 0x2020, 13, 1, settings_at) + struct.pack('<I', 0)
    settings = struct.pack('<H', 2) + struct.pack('<HHII', 0x0101, LONG, 1, preview_at) + \
        struct.pack('<HHII', 0x0102, LONG, 1, len(big)) + struct.pack('<I', 0)
    return b'OLYMPUS\0II\x03\0' + ifd + settings + big


def make_pef(big):
    w = TiffWriter(True)
    raw = bytes(160 * 120 * 2)
    raw_at, big_at = w.blob(raw), w.blob(big)
    ifd = struct.pack('>H', 2) + struct.pack('>HHII', 0x0003, LONG, 1, len(big)) + \
        struct.pack('>HHII', 0x0004, LONG, 1, big_at) + struct.pack('>I', 0)
    exif = exif_with_note(w, b'AOC\0MM' + ifd)
    w.set_ifd0(w.ifd(strip_entries(raw_at, len(raw), 160, 120, 16, 1, 65535, 32803)[:4] +
                     strip_entries(raw_at, len(raw), 160, 120, 16, 1, 65535, 32803)[5:] +
                     [(0x010F, ASCII, b'PENTAX Corporation\0'), (0x0110, ASCII, b'PENTAX K10D\0'),
                      (0x8769, LONG, [exif])]))
    w.save('pef_pentax.pef')


def make_nef_note(big):
    # a TIFF header, IFD0 right after it (PreviewIFD), the preview IFD, the JPEG; offsets
    # count from the header
    preview_ifd, jpeg_at = 8 + 2 + 12 + 4, 8 + 2 + 12 + 4 + 2 + 24 + 4
    note = b'Nikon\0\x02\x10\0\0MM\0*' + struct.pack('>I', 8) + \
        struct.pack('>H', 1) + struct.pack('>HHII', 0x0011, LONG, 1, preview_ifd) + struct.pack('>I', 0) + \
        struct.pack('>H', 2) + struct.pack('>HHII', 0x0201, LONG, 1, jpeg_at) + \
        struct.pack('>HHII', 0x0202, LONG, 1, len(big)) + struct.pack('>I', 0) + big
    w = TiffWriter(True)
    raw = cfa(160, 120, True)
    raw_at = w.blob(raw)
    raw_ifd = w.ifd(strip_entries(raw_at, len(raw), 160, 120, 16, 1, 1, 32803) +
                    [(0x00FE, LONG, [0]), (0x828D, SHORT, [2, 2]), (0x828E, BYTE, bytes([0, 1, 1, 2]))])
    exif = exif_with_note(w, note)
    w.set_ifd0(w.ifd([(0x010F, ASCII, b'NIKON CORPORATION\0'), (0x0110, ASCII, b'NIKON D700\0'),
                      (0x014A, LONG, [raw_ifd]), (0x8769, LONG, [exif])]))
    w.save('nef_note.nef')


def make_hostile():
    # IFD0 whose next pointer is itself.
    w = TiffWriter(False)
    at = w.blob(bytes(8 * 8))
    offset = len(w.buf) + (len(w.buf) % 2)
    w.set_ifd0(w.ifd(strip_entries(at, 64, 8, 8, 8, 1, 1, 1), next_offset=offset))
    w.save('hostile_loop.tif')
    # A SubIFD pointing at IFD0, and a SubIFD count of 0xFFFFFFFF.
    for name, count in (('hostile_subifd_loop.tif', 1), ('hostile_subifd_count.tif', 0xFFFFFFFF)):
        w = TiffWriter(True)
        at = w.blob(bytes(8 * 8))
        offset = len(w.buf) + (len(w.buf) % 2)
        entries = strip_entries(at, 64, 8, 8, 8, 1, 1, 1) + [(0x014A, LONG, [offset])]
        w.set_ifd0(w.ifd(entries))
        if count != 1:
            # patch the SubIFD entry's count
            base = offset + 2 + 12 * (len(entries) - 1)
            w.buf[base + 4:base + 8] = struct.pack('>I', count)
        w.save(name)
    # JPEGInterchangeFormatLength 0xFFFFFFFF and strips past the end.
    w = TiffWriter(False)
    small = jpeg(144, 96)
    at = w.blob(small)
    entries = strip_entries(at, 0x7FFFFFF0, 144, 96, 8, 3, 1, 2) + [
        (0x0201, LONG, [at]), (0x0202, LONG, [0xFFFFFFFF])]
    w.set_ifd0(w.ifd(entries))
    w.save('hostile_lengths.tif')
    # A CIFF heap whose only sub-heap is the heap itself, beside its ImageInfo.
    heap = ciff_heap([(0x1810, struct.pack('<II', 160, 120)), (0x300A, bytes(48))])
    heap = heap[:-4 - 10] + struct.pack('<HII', 0x300A, len(heap), 0) + heap[-4:]
    with open(os.path.join(OUT, 'hostile_ciff_loop.crw'), 'wb') as f:
        f.write(b'II' + struct.pack('<I', 26) + b'HEAPCCDR' + bytes(12) + heap)
    # CR3 with its CMT1, then a box of u64 size past the end and one running to the end.
    cmt = TiffWriter(False)
    cmt.set_ifd0(cmt.ifd([(0x0100, LONG, [160]), (0x0101, LONG, [120])]))
    moov = box(b'moov', box(b'uuid', bytes.fromhex('85C0B687820F11E08111F4CE462B6A48') + box(b'CMT1', bytes(cmt.buf))))
    with open(os.path.join(OUT, 'hostile_bmff.cr3'), 'wb') as f:
        f.write(box(b'ftyp', b'crx ' + bytes(4)) + moov + struct.pack('>I', 1) + b'uuid' + struct.pack('>Q', 1 << 40) +
                struct.pack('>I', 0) + b'THMB' + bytes(16))
    # X3F whose directory claims 2^31 sections.
    with open(os.path.join(OUT, 'hostile_x3f.x3f'), 'wb') as f:
        f.write(b'FOVb' + struct.pack('<I', 0x00020001) + bytes(20) + struct.pack('<II', 160, 120) + bytes(8) +
                b'SECd' + struct.pack('<II', 0x00020000, 1 << 31) + struct.pack('<I', 44))
    # RAF whose JPEG lies past the end.
    directory = struct.pack('>I', 1) + struct.pack('>HHHH', 0x111, 4, 120, 160)
    header = b'FUJIFILMCCD-RAW 0201FF383501'.ljust(84, b'\0') + struct.pack('>III', 1 << 30, 1 << 20, 96)
    with open(os.path.join(OUT, 'hostile_raf.raf'), 'wb') as f:
        f.write(header + directory)
    # A CFA DNG that claims 200000 x 200000 samples.
    w = TiffWriter(False)
    at = w.blob(bytes(8))
    w.set_ifd0(w.ifd(strip_entries(at, 8, 200000, 200000, 16, 1, 1, 32803) + cfa_tags(200000, 200000)[:4] +
                     [(0x00FE, LONG, [0])] + dng_tags(b'Fabricated')))
    w.save('hostile_dng_huge.dng')
    # 65535 x 65535 x 16-bit grey whose strips are not there.
    w = TiffWriter(False)
    w.set_ifd0(w.ifd(strip_entries(16, 2, 65535, 65535, 16, 1, 1, 1)))
    w.save('hostile_huge.tif')


def main():
    if len(sys.argv) in (7, 8) and sys.argv[1] == '--dng':
        global OUT
        OUT, name = os.path.split(os.path.abspath(sys.argv[6]))
        numbers = [int(v) for v in sys.argv[2:6]]
        orientation = int(sys.argv[7]) if len(sys.argv) == 8 else None
        make_dng(name, b'Fabricated', size=numbers[:2], preview_size=numbers[2:4], orientation=orientation)
        return
    os.makedirs(OUT, exist_ok=True)
    make_dng('dng_cfa.dng', b'Fabricated')
    make_dng('dng_nikon.dng', b'NIKON CORPORATION')
    make_dng('dng_nopreview.dng', b'Fabricated', big_endian=True, preview=False)
    make_linear_dng()
    make_dng('dng_rgbpreview.dng', b'Fabricated', preview_size=(64, 48), rgb=True)
    make_nef()
    make_nikon_rgb()
    make_cr2()
    make_hostile()
    big, small = jpeg(640, 480), jpeg(144, 96)
    make_mrw(big)
    make_raf(big)
    make_crw(big)
    make_cr3(big, small)
    make_x3f(big)
    make_rwl(big)
    make_orf(small, big)
    make_pef(big)
    make_nef_note(big)


if __name__ == '__main__':
    main()

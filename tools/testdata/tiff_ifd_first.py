#!/usr/bin/python3
"""Rewrites a classic TIFF so that its first IFD comes right after the header, as
ghostscript's TIFF devices write them; libtiff (ImageMagick, tiffcp) writes it after the
image data, where cutting the file would lose the directory instead of the strips.

The new file is the header, a copy of IFD0 (its next-IFD link cleared) with its out-of-line
values, then every byte of the old file after its header; the values of StripOffsets,
TileOffsets and JPEGInterchangeFormat move with those bytes. Usage: tiff_ifd_first.py in.tif out.tif"""
import struct
import sys

TYPE_SIZES = {1: 1, 2: 1, 3: 2, 4: 4, 5: 8, 6: 1, 7: 1, 8: 2, 9: 4, 10: 8, 11: 4, 12: 8, 13: 4}
OFFSET_TAGS = {273, 324, 513}

data = bytearray(open(sys.argv[1], 'rb').read())
e = '<' if data[:2] == b'II' else '>'
ifd = struct.unpack_from(e + 'I', data, 4)[0]
count = struct.unpack_from(e + 'H', data, ifd)[0]
entries = [bytearray(data[ifd + 2 + 12 * i: ifd + 14 + 12 * i]) for i in range(count)]


def layout(entry):
    tag, kind, n = struct.unpack_from(e + 'HHI', entry)
    return tag, TYPE_SIZES[kind], n, e + ('H' if kind == 3 else 'I')


# The front: header, IFD copy, out-of-line values (each kept at an even offset); every old
# offset past the header moves by the front's size less the header.
inline = sum((step * n + 1) // 2 * 2 for _, step, n, _ in map(layout, entries) if step * n > 4)
shift = 2 + 12 * count + 4 + inline
values = bytearray()
for entry in entries:
    tag, step, n, value_format = layout(entry)
    if step * n > 4:
        where = struct.unpack_from(e + 'I', entry, 8)[0]
        value = bytearray(data[where: where + step * n])
        struct.pack_into(e + 'I', entry, 8, 8 + 2 + 12 * count + 4 + len(values))
        if tag in OFFSET_TAGS:
            for i in range(n):
                struct.pack_into(value_format, value, i * step,
                                 struct.unpack_from(value_format, value, i * step)[0] + shift)
        values += value + b'\0' * (len(value) % 2)
    elif tag in OFFSET_TAGS:
        struct.pack_into(value_format, entry, 8, struct.unpack_from(value_format, entry, 8)[0] + shift)
out = data[:4] + struct.pack(e + 'IH', 8, count) + b''.join(entries) + struct.pack(e + 'I', 0)
open(sys.argv[2], 'wb').write(out + values + data[8:])

#!/usr/bin/python3
"""Writes the seed corpus of the zlib decompressor fuzz target (fuzz/corpus/zdecompress).

Each seed is one control byte (low nibble: input piece size, high nibble: output piece size
for the stepwise path) followed by a zlib stream made by Python's zlib module.
Run from the repository root: /usr/bin/python3 tools/testdata/make_zdecompress_seeds.py
"""
import os
import zlib

SAMPLES = {
    'text_level9': (0x35, zlib.compress(b'the picture reader inflates each chunk of image data ' * 40, 9)),
    'stored_level0': (0x11, zlib.compress(bytes(range(256)) * 8, 0)),
    'zeros_level1': (0xF0, zlib.compress(bytes(20000), 1)),
    'empty_stream': (0x00, zlib.compress(b'', 6)),
}

folder = os.path.join('fuzz', 'corpus', 'zdecompress')
os.makedirs(folder, exist_ok=True)
for name, (control, body) in SAMPLES.items():
    with open(os.path.join(folder, name), 'wb') as out:
        out.write(bytes([control]) + body)

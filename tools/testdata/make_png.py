#!/usr/bin/python3
"""Makes the PNG test files under tests/data/png (run from anywhere; fixed seeds).

corpus/   every colour type and bit depth, interlaced and not, at 1x1, 1x9, 9x1, 7x7 and
          33x17, written by pypng (python3-png); grey and RGB files with tRNS colour keys
          whose key pixels are placed deliberately next to near misses; palettes given as
          (r, g, b, a) entries followed by opaque ones, so that pypng writes a short tRNS.
crafted/  files built chunk by chunk with struct and zlib, each named by what it breaks or
          exercises. Files whose name starts with "ok_" must decode, like their "twin_"
          file where one exists; "info_" files give a size from the header only; every
          other file must fail.

usage: make_png.py [OUT_DIR]   (default: tests/data/png beside this script's repository)
"""
import os
import random
import struct
import sys
import zlib

import png

SIZES = [(1, 1), (1, 9), (9, 1), (7, 7), (33, 17)]
# colour type -> (greyscale, alpha, palette), depths
TYPES = {
    0: ((True, False, False), (1, 2, 4, 8, 16)),
    2: ((False, False, False), (8, 16)),
    3: ((False, False, True), (1, 2, 4, 8)),
    4: ((True, True, False), (8, 16)),
    6: ((False, True, False), (8, 16)),
}


def palette_for(depth, rng):
    count = min(1 << depth, 200)
    translucent = count // 3
    entries = []
    for i in range(count):
        rgb = (rng.randrange(256), rng.randrange(256), rng.randrange(256))
        entries.append(rgb + (rng.randrange(256),) if i < translucent else rgb)
    return entries


def write_corpus_file(path, width, height, colour_type, depth, interlace, rng,
                      transparent=None, palette=None):
    (greyscale, alpha, uses_palette), _ = TYPES[colour_type]
    planes = (1 if greyscale else 3) + (1 if alpha else 0)
    if uses_palette:
        planes = 1
        palette = palette or palette_for(depth, rng)
        top = len(palette)
    else:
        top = 1 << depth
    rows = [[rng.randrange(top) for _ in range(width * planes)] for _ in range(height)]
    if transparent is not None:
        # Key pixels on the diagonal, near misses (one sample off) beside them.
        key = transparent if isinstance(transparent, tuple) else (transparent,)
        for y in range(height):
            x = y % width
            rows[y][x * planes:(x + 1) * planes] = list(key)
            if x + 1 < width:
                miss = list(key)
                miss[-1] = (miss[-1] + 1) % top
                rows[y][(x + 1) * planes:(x + 2) * planes] = miss
    writer = png.Writer(width, height, greyscale=greyscale, alpha=alpha, bitdepth=depth,
                        palette=palette if uses_palette else None, transparent=transparent,
                        interlace=interlace)
    with open(path, "wb") as out:
        writer.write(out, rows)


def make_corpus(folder):
    # The interlaced and plain twins of each kind share their seed and so their pixels.
    for colour_type, (_, depths) in TYPES.items():
        for depth in depths:
            for width, height in SIZES:
                stem = "t%d_d%02d_%dx%d" % (colour_type, depth, width, height)
                for interlace in (False, True):
                    name = stem + ("_adam7.png" if interlace else "_plain.png")
                    write_corpus_file(os.path.join(folder, name), width, height, colour_type,
                                      depth, interlace, random.Random(stem))
    for depth in (1, 2, 4, 8, 16):
        stem = "key_grey_d%02d" % depth
        for interlace in (False, True):
            rng = random.Random(stem)
            key = rng.randrange(1 << depth)
            write_corpus_file(os.path.join(folder, stem + ("_adam7.png" if interlace else "_plain.png")),
                              33, 17, 0, depth, interlace, rng, transparent=key)
    for depth in (8, 16):
        stem = "key_rgb_d%02d" % depth
        for interlace in (False, True):
            rng = random.Random(stem)
            key = tuple(rng.randrange(1 << depth) for _ in range(3))
            write_corpus_file(os.path.join(folder, stem + ("_adam7.png" if interlace else "_plain.png")),
                              33, 17, 2, depth, interlace, rng, transparent=key)


# ---- crafted files ----

SIGNATURE = b"\x89PNG\r\n\x1a\n"


def chunk(kind, data, crc=None):
    if crc is None:
        crc = zlib.crc32(kind + data) & 0xFFFFFFFF
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", crc)


def ihdr(width, height, depth=8, colour_type=2, interlace=0, filter_method=0):
    return chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, colour_type, 0,
                                      filter_method, interlace))


def iend():
    return chunk(b"IEND", b"")


def rgb_rows(width, height, filter_type=0, seed=1):
    rng = random.Random(seed)
    raw = b""
    for _ in range(height):
        raw += bytes([filter_type]) + bytes(rng.randrange(256) for _ in range(width * 3))
    return raw


def idat(raw, level=9):
    return chunk(b"IDAT", zlib.compress(raw, level))


def simple(width=8, height=6, filter_type=0, seed=1):
    """An 8-bit RGB image: signature, IHDR, one IDAT, IEND."""
    return SIGNATURE + ihdr(width, height) + idat(rgb_rows(width, height, filter_type, seed)) + iend()


def make_crafted(folder):
    def save(name, data):
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)

    raw = rgb_rows(8, 6)
    stream = zlib.compress(raw, 9)
    save("twin_rgb8.png", simple())
    # Decodes like its twin.
    save("ok_one_byte_idats.png", SIGNATURE + ihdr(8, 6) +
         b"".join(chunk(b"IDAT", stream[i:i + 1]) for i in range(len(stream))) + iend())
    save("ok_zero_length_idat.png", SIGNATURE + ihdr(8, 6) + chunk(b"IDAT", b"") +
         chunk(b"IDAT", stream) + chunk(b"IDAT", b"") + iend())
    save("ok_unknown_chunk_good_crc.png", SIGNATURE + ihdr(8, 6) + chunk(b"quUX", b"hello") +
         chunk(b"IDAT", stream) + iend())
    save("ok_interlace_255.png", SIGNATURE + ihdr(8, 6, interlace=255) +
         chunk(b"IDAT", stream) + iend())
    save("ok_extra_zlib_data.png", SIGNATURE + ihdr(8, 6) +
         chunk(b"IDAT", zlib.compress(raw + rgb_rows(8, 3, seed=9), 9)) + iend())
    save("ok_trailing_bytes_after_stream.png", SIGNATURE + ihdr(8, 6) +
         chunk(b"IDAT", stream + b"\x00garbage") + iend())
    save("ok_idat_after_the_last_row.png", SIGNATURE + ihdr(8, 6) + chunk(b"IDAT", stream) +
         chunk(b"IDAT", b"not zlib at all") + iend())
    save("ok_stored_deflate.png", SIGNATURE + ihdr(8, 6) + chunk(b"IDAT", zlib.compress(raw, 0)) +
         iend())
    # A filter type above 4 leaves the row's bytes as they are: the twin has filter 0.
    save("ok_filter_type_7.png", simple(filter_type=7))
    # On the first row the row above is zeros, so Paeth is Sub there.
    rng = random.Random(3)
    first = bytes(rng.randrange(256) for _ in range(8 * 3))
    save("ok_paeth_first_row.png", SIGNATURE + ihdr(8, 1) + idat(b"\x04" + first) + iend())
    save("twin_sub_first_row.png", SIGNATURE + ihdr(8, 1) + idat(b"\x01" + first) + iend())

    # A palette with an empty tRNS stays opaque; a short one sets the first entries' alpha.
    palette_rows = b"\x00\x00\x01\x02\x03"
    save("ok_palette_empty_trns.png", SIGNATURE + ihdr(4, 1, colour_type=3) +
         chunk(b"PLTE", bytes(range(12))) + chunk(b"tRNS", b"") + idat(palette_rows) + iend())
    save("ok_palette_short_trns.png", SIGNATURE + ihdr(4, 1, colour_type=3) +
         chunk(b"PLTE", bytes(range(12))) + chunk(b"tRNS", b"\x10\x20") + idat(palette_rows) +
         iend())

    # A second palette between image data chunks, with fewer entries than the first.
    indexes = b"".join(b"\x00" + bytes([i % 4 for i in range(16)]) for _ in range(16))
    packed = zlib.compress(indexes, 9)
    save("ok_plte_between_idats.png", SIGNATURE + ihdr(16, 16, colour_type=3) +
         chunk(b"PLTE", bytes(i % 256 for i in range(3 * 200))) + chunk(b"IDAT", packed[:12]) +
         chunk(b"PLTE", bytes(range(100, 112))) + chunk(b"IDAT", packed[12:]) + iend())

    # Size from the header only.
    save("info_ihdr_then_garbage.png", SIGNATURE + ihdr(8, 6) + b"\xde\xad\xbe\xef" * 8)
    save("info_ihdr_65535x65535.png", SIGNATURE + ihdr(65535, 65535) +
         idat(b"\x00" * 1024) + iend())
    save("info_ihdr_2147483647x1.png", SIGNATURE + ihdr(2147483647, 1, depth=1, colour_type=0) +
         idat(b"\x00" * 1024) + iend())
    save("info_filter_method_1.png", SIGNATURE + ihdr(8, 6, filter_method=1) +
         chunk(b"IDAT", stream) + iend())

    # Must fail.
    save("second_ihdr_after_idat.png", SIGNATURE + ihdr(8, 6) + chunk(b"IDAT", stream[:20]) +
         ihdr(4000, 6) + chunk(b"IDAT", stream[20:]) + iend())
    save("second_ihdr_before_idat.png", SIGNATURE + ihdr(8, 6) + ihdr(16, 6) +
         chunk(b"IDAT", stream) + iend())
    save("idat_before_ihdr.png", SIGNATURE + chunk(b"IDAT", stream) + ihdr(8, 6) + iend())
    save("chunk_before_ihdr.png", SIGNATURE + chunk(b"tEXt", b"a\x00b") + ihdr(8, 6) +
         chunk(b"IDAT", stream) + iend())
    half = zlib.compress(raw[:3 * 25], 9)
    save("iend_after_half_the_rows.png", SIGNATURE + ihdr(8, 6) + chunk(b"IDAT", half) + iend())
    save("zlib_stream_cut.png", SIGNATURE + ihdr(8, 6) + chunk(b"IDAT", stream[:len(stream) // 2]) +
         iend())
    save("no_idat.png", SIGNATURE + ihdr(8, 6) + iend())
    save("iend_with_data.png", SIGNATURE + ihdr(8, 6) + chunk(b"IDAT", stream) +
         chunk(b"IEND", b"x"))
    save("unknown_chunk_bad_crc.png", SIGNATURE + ihdr(8, 6) +
         chunk(b"quUX", b"hello", crc=0x12345678) + chunk(b"IDAT", stream) + iend())
    header = SIGNATURE + ihdr(8, 6)
    for name, length in (("chunk_length_7fffffff.png", 0x7FFFFFFF),
                         ("chunk_length_80000000.png", 0x80000000)):
        save(name, header + struct.pack(">I", length) + b"IDAT" + stream + iend())
    rest = stream + struct.pack(">I", 0) + iend()
    save("chunk_length_past_end.png", header + struct.pack(">I", len(rest) + 1) + b"IDAT" + rest)
    # Palette 1-bit: index 2 of a 2-entry palette.
    save("palette_index_out_of_range.png", SIGNATURE + ihdr(4, 1, depth=8, colour_type=3) +
         chunk(b"PLTE", bytes(6)) + idat(b"\x00\x00\x01\x02\x00") + iend())
    save("plte_257_entries.png", SIGNATURE + ihdr(4, 1, depth=8, colour_type=3) +
         chunk(b"PLTE", bytes(3 * 257)) + idat(b"\x00\x00\x00\x00\x00") + iend())
    save("plte_length_not_multiple_of_3.png", SIGNATURE + ihdr(4, 1, depth=8, colour_type=3) +
         chunk(b"PLTE", bytes(7)) + idat(b"\x00\x00\x00\x00\x00") + iend())
    save("trns_before_plte.png", SIGNATURE + ihdr(4, 1, depth=8, colour_type=3) +
         chunk(b"tRNS", b"\x80") + chunk(b"PLTE", bytes(6)) + idat(b"\x00\x00\x01\x00\x01") + iend())
    save("trns_longer_than_palette.png", SIGNATURE + ihdr(4, 1, depth=8, colour_type=3) +
         chunk(b"PLTE", bytes(6)) + chunk(b"tRNS", b"\x80\x80\x80") +
         idat(b"\x00\x00\x01\x00\x01") + iend())
    save("trns_in_rgba.png", SIGNATURE + ihdr(2, 1, depth=8, colour_type=6) +
         chunk(b"tRNS", bytes(6)) + idat(b"\x00" + bytes(8)) + iend())
    save("trns_grey_value_2_at_depth_1.png", SIGNATURE + ihdr(8, 1, depth=1, colour_type=0) +
         chunk(b"tRNS", b"\x00\x02") + idat(b"\x00\x55") + iend())
    save("trns_rgb8_value_256.png", SIGNATURE + ihdr(1, 1) + chunk(b"tRNS", b"\x01\x00" + bytes(4)) +
         idat(b"\x00" + bytes(3)) + iend())
    preset = zlib.compressobj(9, zlib.DEFLATED, 15, 9, zlib.Z_DEFAULT_STRATEGY, zdict=b"dictionary")
    save("preset_dictionary.png", SIGNATURE + ihdr(8, 6) +
         chunk(b"IDAT", preset.compress(raw) + preset.flush()) + iend())
    save("ihdr_short.png", SIGNATURE + chunk(b"IHDR", struct.pack(">IIBBBB", 8, 6, 8, 2, 0, 0)) +
         chunk(b"IDAT", stream) + iend())
    save("ihdr_width_above_2_31.png", SIGNATURE + ihdr(0x80000000, 1) + chunk(b"IDAT", stream) + iend())
    save("ihdr_interlace_2.png", SIGNATURE + ihdr(8, 6, interlace=2) + chunk(b"IDAT", stream) + iend())
    save("ihdr_grey_depth_3.png", SIGNATURE + ihdr(8, 6, depth=3, colour_type=0) +
         chunk(b"IDAT", stream) + iend())


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "data", "png")
    for sub, make in (("corpus", make_corpus), ("crafted", make_crafted)):
        folder = os.path.join(root, sub)
        os.makedirs(folder, exist_ok=True)
        make(folder)


if __name__ == "__main__":
    main()

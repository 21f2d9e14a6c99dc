#!/usr/bin/python3
"""Writes tests/data/utf8_cases.tsv: UTF-8 <-> UTF-16 cases with Python's codecs as the
reference.

    /usr/bin/python3 tools/testdata/make_utf8_cases.py > tests/data/utf8_cases.tsv

Lines (hex, bytes as pairs, UTF-16 units as groups of four; an empty field is empty text):
    D <bytes> <units of decode('utf-8','replace')> <units of decode('utf-8','surrogateescape')>
    E <units> <bytes of the general encoding, a lone surrogate as U+FFFD>
              <bytes of encode('utf-8','surrogateescape'), or "-" when it raises>
UTF-16 units become a Python string through decode('utf-16-le','surrogatepass'), which
pairs surrogates exactly as UTF-16 does and keeps lone ones.
"""
import codecs
import random

SEED = 20240611


def units_hex(text):
    data = text.encode("utf-16-le", "surrogatepass")
    return "".join("%04X" % int.from_bytes(data[i:i + 2], "little") for i in range(0, len(data), 2))


def units_to_text(units):
    return b"".join(u.to_bytes(2, "little") for u in units).decode("utf-16-le", "surrogatepass")


def replace_each(error):
    # The UTF-8 encoder takes a non-ASCII replacement only as bytes: U+FFFD is EF BF BD.
    return b"\xef\xbf\xbd" * (error.end - error.start), error.end


codecs.register_error("qel_fffd", replace_each)


def decode_line(data):
    return "D\t%s\t%s\t%s" % (data.hex().upper(), units_hex(data.decode("utf-8", "replace")),
                              units_hex(data.decode("utf-8", "surrogateescape")))


def encode_line(units):
    text = units_to_text(units)
    try:
        file_name = text.encode("utf-8", "surrogateescape").hex().upper()
    except UnicodeEncodeError:
        file_name = "-"
    return "E\t%s\t%s\t%s" % ("".join("%04X" % u for u in units),
                              text.encode("utf-8", "qel_fffd").hex().upper(), file_name)


def fixed_byte_cases():
    cases = [b""]
    # Every encoding-length boundary, and the neighbours of the surrogate range.
    for code_point in (0x00, 0x7F, 0x80, 0x7FF, 0x800, 0xD7FF, 0xE000, 0xFFFD, 0xFFFF, 0x10000,
                       0x10FFFF):
        cases.append(chr(code_point).encode("utf-8"))
    cases += [
        b"\xc0\x80", b"\xc1\xbf",                    # overlong 2-byte
        b"\xe0\x80\x80", b"\xe0\x9f\xbf",            # overlong 3-byte
        b"\xf0\x80\x80\x80", b"\xf0\x8f\xbf\xbf",    # overlong 4-byte
        b"\xed\xa0\x80", b"\xed\xbf\xbf",            # encoded surrogates
        b"\xed\xa0\x80\xed\xb0\x80",                 # an encoded surrogate pair (CESU-8)
        b"\xf4\x90\x80\x80", b"\xf7\xbf\xbf\xbf",    # beyond U+10FFFF
        b"\xc3", b"\xe2\x82", b"\xf0\x9f\x98",       # truncated tails
        b"\xe2\x82A", b"\xf0\x9f\x98A", b"\xf0\x9fA",
        b"\x80", b"\xbf", b"\x80\x80\x80", b"A\x80B",  # stray continuation bytes
        b"\xf5", b"\xf8\x88\x80\x80\x80", b"\xfe", b"\xff", b"\xff\xfe",
        b"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80",     # e-acute, euro sign, an emoji
        b"\xf0\x9f\x98\x80\xf0\x9f",                 # a whole and a cut 4-byte sequence
        b"\xdc\x80",                                 # U+0700, a valid 2-byte form
        b"plain ASCII text that is long enough for the eight-byte run",
    ]
    return cases


def random_bytes(rng):
    pieces = []
    for _ in range(rng.randint(1, 6)):
        kind = rng.randrange(6)
        if kind == 0:
            pieces.append(bytes([rng.randrange(0x20, 0x7F)]))
        elif kind == 1:
            pieces.append(bytes([rng.randrange(0x80, 0x100)]))
        elif kind == 2:
            pieces.append(bytes([rng.choice([0xC0, 0xC2, 0xDF, 0xE0, 0xED, 0xEF, 0xF0, 0xF4,
                                             0xF5]), rng.randrange(0x80, 0xC0)]))
        else:
            code_point = rng.choice([rng.randrange(0x80, 0x800), rng.randrange(0x800, 0xD800),
                                     rng.randrange(0xE000, 0x10000),
                                     rng.randrange(0x10000, 0x110000)])
            encoded = chr(code_point).encode("utf-8")
            if kind == 3:
                encoded = encoded[:rng.randrange(1, len(encoded) + 1)]
            pieces.append(encoded)
    return b"".join(pieces)


def random_units(rng):
    units = []
    for _ in range(rng.randint(1, 5)):
        units.append(rng.choice([rng.randrange(0x20, 0x80), rng.randrange(0x80, 0xD800),
                                 rng.randrange(0xD800, 0xDC00), rng.randrange(0xDC00, 0xDC80),
                                 rng.randrange(0xDC80, 0xDD00), rng.randrange(0xDD00, 0xE000),
                                 rng.randrange(0xE000, 0x10000)]))
    return units


def main():
    rng = random.Random(SEED)
    lines = [decode_line(data) for data in fixed_byte_cases()]
    lines += [decode_line(random_bytes(rng)) for _ in range(900)]
    fixed_units = [
        [], [0x41], [0x7F], [0x80], [0x7FF], [0x800], [0xFFFF],
        [0xD800, 0xDC00], [0xDBFF, 0xDFFF],      # U+10000 and U+10FFFF
        [0xD800], [0xDC00], [0xD800, 0x41],      # lone surrogates
        [0xDC80], [0xDCFF], [0xDC7F], [0xDD00],  # escape range edges
        [0xDC00, 0xD800],                        # a reversed pair is two lone ones
        [0xD800, 0xD800, 0xDC00],
    ]
    lines += [encode_line(units) for units in fixed_units]
    lines += [encode_line(random_units(rng)) for _ in range(350)]
    print("\n".join(lines))


if __name__ == "__main__":
    main()

#!/usr/bin/python3
"""Reference PNG decoder for the tests: decodes each PNG with pypng (python3-png) and
writes it as a PAM file (TUPLTYPE RGB_ALPHA) into OUT_DIR under the PNG's base name.

Colour is expanded to RGBA, tRNS becomes alpha, no gamma or sBIT scaling is applied. Depths 1, 2 and 4
are scaled to 8 bits as v * 255 // (2^d - 1); 8-bit files keep MAXVAL 255 and 16-bit
files MAXVAL 65535. A file pypng refuses is skipped (no PAM written).

usage: png_to_pam.py OUT_DIR FILE.png...
"""
import os
import sys

import png


def convert(path, out_dir):
    # asDirect expands palettes and turns tRNS into an alpha channel. It would also scale
    # by sBIT, which a plain decode does not do: the chunk is dropped after the preamble.
    reader = png.Reader(filename=path)
    reader.preamble()
    reader.sbit = None
    width, height, rows, info = reader.asDirect()
    depth = info["bitdepth"]
    planes = info["planes"]
    colour = not info["greyscale"]
    alpha = info["alpha"]
    maxval = 65535 if depth == 16 else 255
    scale_from = (1 << depth) - 1
    body = bytearray()
    for row in rows:
        for x in range(width):
            pixel = row[x * planes:(x + 1) * planes]
            rgb = list(pixel[:3]) if colour else [pixel[0]] * 3
            a = pixel[planes - 1] if alpha else scale_from
            for value in rgb + [a]:
                if depth == 16:
                    body += value.to_bytes(2, "big")
                else:
                    body.append(value * 255 // scale_from)
    header = (f"P7\nWIDTH {width}\nHEIGHT {height}\nDEPTH 4\nMAXVAL {maxval}\n"
              f"TUPLTYPE RGB_ALPHA\nENDHDR\n").encode()
    name = os.path.splitext(os.path.basename(path))[0] + ".pam"
    with open(os.path.join(out_dir, name), "wb") as out:
        out.write(header + body)


def main():
    out_dir = sys.argv[1]
    for path in sys.argv[2:]:
        try:
            convert(path, out_dir)
        except (png.Error, ValueError):
            pass


if __name__ == "__main__":
    main()

#!/usr/bin/python3
# Reference BMP decoder for the tests: writes each BMP as a PAM file (TUPLTYPE RGB_ALPHA)
# into OUT_DIR under its base name. A file no reference decodes gets no PAM.
#
# - Indexed, 24-bit and plain 32-bit files: Pillow's convert('RGBA').
# - Bit-field files of 16 and 32 bits (Pillow truncates 5- and 6-bit channels as c*255//31
#   and refuses most mask layouts): numpy in float32, each channel
#   rint(float32(c) * (float32(255) / float32(mask >> shift))), ties to even; unscaled when
#   red, green and blue each have 8 bits; alpha 255 without an alpha mask; a zero colour mask
#   gives 0.
# - JPEG data (compression 4): djpeg -dct int -nosmooth of the embedded stream; PNG data
#   (compression 5): Pillow on the embedded stream.
#
# usage: bmp_to_pam.py OUT_DIR FILE.bmp...
import io
import os
import struct
import subprocess
import sys

import numpy as np
from PIL import Image


def write_pam(path, rgba):
    h, w = rgba.shape[:2]
    header = b"P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n" % (w, h)
    open(path, "wb").write(header + np.ascontiguousarray(rgba, dtype=np.uint8).tobytes())


def bit_fields(data):
    offset, header_size = struct.unpack_from("<II", data, 10)
    width, height, _, bits, compression = struct.unpack_from("<iiHHI", data, 18)
    if header_size < 40 or bits not in (16, 32) or compression not in (0, 3, 6):
        return None
    if compression == 0 and bits == 32:
        return None
    masks = list(struct.unpack_from("<4I", data, 54)) if compression else [0x7C00, 0x3E0, 0x1F, 0]
    masks[3] = 0 if header_size < 56 and compression == 3 else masks[3]
    rows = abs(height)
    stride = (width * bits + 31) // 32 * 4
    raw = np.frombuffer(data[offset:offset + stride * rows], np.uint8).reshape(rows, stride)
    values = raw[:, :width * bits // 8].copy().view("<u%d" % (bits // 8)).astype(np.uint64)
    values = values[::-1] if height > 0 else values
    eight = all(bin(m).count("1") == 8 for m in masks[:3])
    out = np.zeros((rows, width, 4), np.uint8)
    for channel, (mask, absent) in enumerate(zip(masks, (0, 0, 0, 255))):
        shift = max((mask & -mask).bit_length() - 1, 0)
        field = (values & mask) >> shift
        factor = np.float32(255) / np.float32(max(mask >> shift, 1))
        scaled = np.minimum(field, 255) if eight else np.rint(field.astype(np.float32) * factor)
        out[..., channel] = np.clip(scaled, 0, 255) if mask else absent
    return out


def carried_stream(data):
    offset, = struct.unpack_from("<I", data, 10)
    compression, image_size = struct.unpack_from("<II", data, 30)
    if compression == 4:
        data = subprocess.run(["djpeg", "-dct", "int", "-nosmooth"], input=data[offset:],
                              capture_output=True, check=True).stdout
    elif compression == 5:
        data = data[offset:offset + image_size]
    else:
        return None
    return np.asarray(Image.open(io.BytesIO(data)).convert("RGBA"))


def decode(path):
    data = open(path, "rb").read()
    for special in (bit_fields, carried_stream):
        try:
            result = special(data)
        except (ValueError, struct.error, subprocess.CalledProcessError):
            return None
        if result is not None:
            return result
    try:
        return np.asarray(Image.open(path).convert("RGBA"))
    except Exception:
        return None


for path in sys.argv[2:]:
    rgba = decode(path)
    if rgba is not None:
        name = os.path.splitext(os.path.basename(path))[0]
        write_pam(os.path.join(sys.argv[1], name + ".pam"), rgba)

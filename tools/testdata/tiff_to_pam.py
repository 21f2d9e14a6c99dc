#!/usr/bin/python3
"""The stored samples of a TIFF's first image, read by tifffile, as a PAM (RGB_ALPHA, top
row first, maxval 255 or 65535) on stdout: grey repeated into R, G and B, no alpha opaque,
an unassociated alpha as stored. Usage: tiff_to_pam.py file.tif"""
import sys

import numpy as np
import tifffile

with tifffile.TiffFile(sys.argv[1]) as tif:
    page = tif.pages[0]
    data = page.asarray()
    if page.planarconfig == 2 and data.ndim == 3:
        data = np.moveaxis(data, 0, -1)
if data.ndim == 2:
    data = data[:, :, None]
maxval = 65535 if data.dtype == np.uint16 else 255
colour = data[:, :, :3] if data.shape[2] >= 3 else np.repeat(data[:, :, :1], 3, axis=2)
alpha = data[:, :, 3:4] if data.shape[2] in (2, 4) else np.full(colour.shape[:2] + (1,), maxval)
if data.shape[2] == 2:
    alpha = data[:, :, 1:2]
rgba = np.concatenate([colour, alpha], axis=2).astype('>u2' if maxval > 255 else 'u1')
height, width = rgba.shape[:2]
sys.stdout.buffer.write(b'P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL %d\nTUPLTYPE RGB_ALPHA\nENDHDR\n'
                        % (width, height, maxval) + rgba.tobytes())

#!/usr/bin/python3
"""Reference outputs for ResamplePixelRows: the 20-pixel "remaining" gradient column of
the progress bar as a 1 x 20 PPM, scaled to other heights by netpbm's pamscale (exact
pixel mixing, its default). Writes tests/data/resample/col.ppm and col_<N>.ppm.

Run: /usr/bin/python3 tools/testdata/make_resample_refs.py
"""
import os
import subprocess

COLUMN = ("F3F1F0 E6E1DD E4DFDB E2DDD9 E1DDD9 E0DCD8 E0DCD8 E0DCD8 E0DCD8 E0DCD9 "
          "E0DCD9 E0DCD9 E0DDD9 E1DDDA E9E6E3 EBE8E4 F0ECE9 F4F0ED FAF7F3 F8F8F7").split()
HEIGHTS = (4, 16, 18, 30, 64)

here = os.path.dirname(os.path.abspath(__file__))
out_dir = os.path.join(here, "..", "..", "tests", "data", "resample")
os.makedirs(out_dir, exist_ok=True)

source = os.path.join(out_dir, "col.ppm")
with open(source, "w") as f:
    f.write("P3\n1 %d\n255\n" % len(COLUMN))
    for value in COLUMN:
        f.write("%d %d %d\n" % (int(value[0:2], 16), int(value[2:4], 16), int(value[4:6], 16)))

for height in HEIGHTS:
    scaled = subprocess.run(["pamscale", "-xsize", "1", "-ysize", str(height), source],
                            check=True, capture_output=True).stdout
    plain = subprocess.run(["pnmtoplainpnm"], input=scaled, check=True, capture_output=True).stdout
    with open(os.path.join(out_dir, "col_%d.ppm" % height), "wb") as f:
        f.write(plain)

#!/usr/bin/python3
"""Makes 12-bit and lossless JPEG samples with dcmtk, and their reference sample arrays.

Run: /usr/bin/python3 tools/testdata/make_jpeg_deep.py tests/data/jpeg
Needs python3-pydicom, python3-numpy and dcmtk (dcmcjpeg, dcmdjpeg).

For each codec option a 12-bit MONOCHROME2 picture is compressed by dcmcjpeg; the JPEG
codestream is taken out of the DICOM wrapper and written as NAME.jpg. NAME.ref holds the
expected samples: little-endian uint16, row-major, preceded by width and height (uint32).
Lossless references are the source samples ((v >> Pt) << Pt with a point transform);
lossy references are what dcmtk's own decoder (dcmdjpeg) gives.
"""
import os
import subprocess
import sys
import tempfile

import numpy
import pydicom
from pydicom.dataset import Dataset, FileMetaDataset
from pydicom.encaps import generate_pixel_data_frame
from pydicom.uid import ExplicitVRLittleEndian, generate_uid

WIDTH, HEIGHT = 37, 29

# (name, dcmcjpeg options, point transform of a lossless file or None for lossy)
CASES = [
    ("ext12", ["+ee"], None),             # extended sequential, SOF1, P = 12
    ("prog12", ["+ep"], None),            # progressive, SOF2
    ("specsel12", ["+es"], None),         # spectral selection, SOF2
    ("lossless_p1", ["+e1"], 0),          # lossless, predictor 1, SOF3
    ("lossless_p7", ["+el", "+sv", "7"], 0),
    ("lossless_pt2", ["+el", "+sv", "1", "+pt", "2"], 2),
]


def source_samples():
    rng = numpy.random.default_rng(7)
    y, x = numpy.mgrid[0:HEIGHT, 0:WIDTH]
    smooth = 2048 + 1500 * numpy.sin(x / 5.0) * numpy.cos(y / 4.0)
    noise = rng.integers(-60, 60, size=(HEIGHT, WIDTH))
    return numpy.clip(smooth + noise, 0, 4095).astype(numpy.uint16)


def write_dicom(path, samples):
    meta = FileMetaDataset()
    meta.MediaStorageSOPClassUID = "1.2.840.10008.5.1.4.1.1.7"
    meta.MediaStorageSOPInstanceUID = generate_uid()
    meta.TransferSyntaxUID = ExplicitVRLittleEndian
    ds = Dataset()
    ds.file_meta = meta
    ds.SOPClassUID = meta.MediaStorageSOPClassUID
    ds.SOPInstanceUID = meta.MediaStorageSOPInstanceUID
    ds.Modality = "OT"
    ds.Rows, ds.Columns = samples.shape
    ds.SamplesPerPixel = 1
    ds.PhotometricInterpretation = "MONOCHROME2"
    ds.BitsAllocated = 16
    ds.BitsStored = 12
    ds.HighBit = 11
    ds.PixelRepresentation = 0
    ds.PixelData = samples.tobytes()
    ds.is_little_endian = True
    ds.is_implicit_VR = False
    ds.save_as(path, write_like_original=False)


def write_reference(path, samples):
    with open(path, "wb") as out:
        out.write(numpy.array([WIDTH, HEIGHT], dtype="<u4").tobytes())
        out.write(samples.astype("<u2").tobytes())


def main():
    target = sys.argv[1]
    os.makedirs(target, exist_ok=True)
    samples = source_samples()
    with tempfile.TemporaryDirectory() as work:
        source = os.path.join(work, "src.dcm")
        write_dicom(source, samples)
        for name, options, point_transform in CASES:
            encoded = os.path.join(work, name + ".dcm")
            subprocess.run(["dcmcjpeg", *options, source, encoded], check=True)
            ds = pydicom.dcmread(encoded)
            frame = next(generate_pixel_data_frame(ds.PixelData))
            with open(os.path.join(target, name + ".jpg"), "wb") as out:
                out.write(frame)
            if point_transform is None:
                decoded = os.path.join(work, name + "_dec.dcm")
                subprocess.run(["dcmdjpeg", encoded, decoded], check=True)
                reference = pydicom.dcmread(decoded).pixel_array
            else:
                reference = (samples >> point_transform) << point_transform
            write_reference(os.path.join(target, name + ".ref"), reference)


if __name__ == "__main__":
    main()

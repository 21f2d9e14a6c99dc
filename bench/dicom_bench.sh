#!/usr/bin/env bash
# DICOM in one run: a 200-frame 512 x 512 16-bit monochrome file (100 MB, made once with
# pydicom into WORK_DIR):
# - the page count: the header walk alone, timed inside picture_decode (--pages);
# - every frame decoded: picture_decode --all-pages against dcmtk's dcm2pnm with all frames
#   (+Fa) written as 8-bit PGM and as 16-bit PNG (+on2), timed with hyperfine, and pydicom's
#   pixel_array (which only unpacks the samples);
# - the thumbnail of the first frame into 256 x 256 (streamed, no full-size buffer).
# Report ratios together with the machine's load average.
# Usage: bench/dicom_bench.sh BUILD_DIR [WORK_DIR]
#        (needs hyperfine, dcmtk, /usr/bin/python3 with pydicom and numpy)
set -euo pipefail
build="$(cd "$1" && pwd)"
work="${2:-${TMPDIR:-/tmp}/qel_dicom_bench}"
mkdir -p "$work/out"
cd "$work"

[[ -f multi.dcm ]] || /usr/bin/python3 - <<'PY'
import numpy as np
from pydicom.dataset import Dataset, FileMetaDataset
from pydicom.uid import ExplicitVRLittleEndian, SecondaryCaptureImageStorage
rng = np.random.default_rng(36)
y, x = np.mgrid[0:512, 0:512]
frames = np.stack([(x * 40 + y * 20 + f * 100 + rng.integers(0, 500, (512, 512))) % 60000
                   for f in range(200)]).astype("<u2")
ds = Dataset()
ds.file_meta = FileMetaDataset()
ds.file_meta.TransferSyntaxUID = ExplicitVRLittleEndian
ds.file_meta.MediaStorageSOPClassUID = SecondaryCaptureImageStorage
ds.file_meta.MediaStorageSOPInstanceUID = "1.2.826.0.1.3680043.36.99"
ds.SOPClassUID, ds.SOPInstanceUID = SecondaryCaptureImageStorage, "1.2.826.0.1.3680043.36.99"
ds.Rows = ds.Columns = 512
ds.SamplesPerPixel, ds.PhotometricInterpretation = 1, "MONOCHROME2"
ds.BitsAllocated, ds.BitsStored, ds.HighBit, ds.PixelRepresentation = 16, 16, 15, 0
ds.NumberOfFrames = 200
ds.PixelData = frames.tobytes()
ds["PixelData"].VR = "OW"
ds.is_little_endian, ds.is_implicit_VR = True, False
ds.save_as("multi.dcm", write_like_original=False)
PY

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
"$build/bench/picture_decode" --pages multi.dcm > out/pages.txt
head -n 1 out/pages.txt
hyperfine -N -w 1 -r 5 \
    "$build/bench/picture_decode --all-pages multi.dcm" \
    "dcm2pnm +Fa +Wm +op multi.dcm out/pgm" \
    "dcm2pnm +Fa +Wm +on2 multi.dcm out/png" \
    "/usr/bin/python3 -c 'import pydicom; pydicom.dcmread(\"multi.dcm\").pixel_array'"
hyperfine -N -w 2 -r 20 "$build/bench/picture_decode --thumb 256x256 multi.dcm"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"

#pragma once
// JPEG previews that cameras keep in their maker notes, as ranges of the file:
//   Nikon    "Nikon\0\2": a TIFF header at +10 (offsets relative to it); its IFD0's
//            PreviewIFD (0x0011) holds JPEGInterchangeFormat/Length
//   Pentax   "AOC\0" and a byte order: an IFD at +6 whose offsets are the file's;
//            PreviewImageStart (0x0004) and PreviewImageLength (0x0003)
//   Olympus  "OLYMPUS\0" and a byte order: an IFD at +12 ("OM SYSTEM\0": +16) whose offsets
//            are relative to the note; CameraSettings (0x2020) holds PreviewImageStart
//            (0x0101) and PreviewImageLength (0x0102)
#include "picture/tiffraw/tiffstructure.h"

// Adds the maker note's preview of `tiff` (walked over `stream`) to `out`; returns the new
// count (at most `capacity`). Ranges are unchecked beyond lying inside the stream.
[[nodiscard]] i32 AddMakerNotePreview(cFileIOTarget* stream, const cTiffStructure& tiff,
                                      sTiffRange* out, i32 count, i32 capacity);

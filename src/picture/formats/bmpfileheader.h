#pragma once
// The BMP file header (14 bytes, little-endian), as the BMP step of the format factory tests
// it before it probes the DIB information header that follows at offset 14.
#include "base/streams.h"

// Reads exactly 14 bytes at offset 0 (a short read fails): "BM", both reserved words 0,
// and a pixel data offset that does not pass the file size the header records and leaves
// room for this header and the information header: at least 54, or 26 when the
// information header is the 12-byte OS/2 core header (ImageMagick's BMP2 and netpbm's
// -os2 output put the pixels right after it). The stream is left at offset 14.
[[nodiscard]] bool BmpFileHeaderOk(cFileIOTarget* stream);

// BmpFileHeaderOk that also gives the file-size field and the data offset.
[[nodiscard]] bool ReadBmpFileHeader(cFileIOTarget* stream, u32* fileSize, u32* dataOffset);

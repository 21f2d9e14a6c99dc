#pragma once
// The BMP file header (14 bytes, little-endian), as the BMP step of the format factory tests
// it before it probes the DIB information header that follows at offset 14.
#include "base/streams.h"

// Reads exactly 14 bytes at offset 0 (a short read fails): "BM", both reserved words 0,
// and a pixel data offset of at least 54 (this header and the smallest information header)
// that does not pass the file size the header records. The stream is left at offset 14.
[[nodiscard]] bool BmpFileHeaderOk(cFileIOTarget* stream);

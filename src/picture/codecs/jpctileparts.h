#pragma once
// The data check of a JPEG 2000 codestream, made before OpenJPEG sees it: OpenJPEG allocates
// an int32 for every sample of the declared image before reading a tile, and decodes a tile
// that has no tile-part to a flat picture without an error. So the codestream's tile-parts
// (T.800 A.4.2) are walked first, and a codestream fails when
// - a tile it declares has no tile-part with data after its SOD marker, or
// - its tile-part data is smaller than one byte per 8 code-blocks of the declared samples.
//
// The bound: a code-block holds at most 4096 samples (T.800 A.6.1: xcb + ycb <= 12), so a
// component of N samples is coded in at least N / 4096 code-blocks. A picture that is not
// flat has coefficients in the code-blocks of its lower resolutions - everything but the
// finest level's three detail bands, a quarter of the samples - and each included
// code-block costs at least a byte of packet header and data (T.800 B.10). A quarter of the
// code-blocks at a byte each is N / 16384 bytes; the bound, N / 32768 bytes, leaves half of
// that again. A 16384 x 16384 grey codestream thus needs 8 KB of tile data, and a file of a
// few hundred bytes declaring it fails before a sample is allocated.
#include "base/streams.h"
#include "base/types.h"

// Walks the codestream from the start of `stream`: a bare codestream (SOC first), or with
// `jp2File` the JP2 file whose first contiguous codestream box (jp2c) holds it. True when
// every declared tile has data and the data meets the bound above. The stream's position is
// left anywhere.
[[nodiscard]] bool CodestreamHoldsItsData(cFileIOTarget* stream, bool jp2File);

#pragma once
// Camera RAW development through LibRaw (its re-entrant build): the file in a stream
// becomes a deep RGB picture of LibRaw's output size (margins cropped, the camera's flip
// applied), developed with the camera's white balance as 16-bit samples.
//
// LibRaw runs OpenMP threads inside one call; the picture library starts none itself.
#include "picture/core/picture.h"

// Develops the RAW file in `stream` into `picture`. False, with `picture` left without
// pixels, when LibRaw refuses the file, a size is past the pixel cap (checked before the
// raw data is unpacked) or the stream is closed during development (LibRaw's next
// progress call then cancels it).
[[nodiscard]] bool DevelopRaw(cFileIOTarget* stream, cPictBase* picture);

// The size DevelopRaw gives the file, read from its headers without unpacking (LibRaw's
// output size, the flip applied). False where DevelopRaw fails before unpacking: LibRaw
// refuses the file, a size is past the pixel cap, or the data needs a decoder this build
// does not give LibRaw (lossy DNG).
[[nodiscard]] bool RawDevelopedSize(cFileIOTarget* stream, i32* width, i32* height);

#pragma once
// Fitting a picture into a box: the fitted size, an already decoded picture fitted into a
// box, and the thumbnail of a picture object that is not loaded yet.
//
// Fitting w x h into maxW x maxH: s = min(maxW / w, maxH / h), never above 1.0 (a picture
// is never enlarged); the fitted size is trunc(w * s + 0.5) x trunc(h * s + 0.5). A fitted
// side of 0 (a very thin picture, or a box side <= 0) fits nothing, unless the caller asks
// for such a side to become one pixel.
#include "base/streams.h"
#include "picture/core/picture.h"

// Result codes of the thumbnail functions.
enum : i32
{
    kThumbOk = 0,
    kThumbEmpty = 1,        // empty box, missing picture or stream, or a 0 side
    kThumbNoMemory = 2,     // the result could not be allocated, or resampling failed
    kThumbUnknown = 3,      // no format recognised the stream
    kThumbDecodeFailed = 4, // the image did not decode (a closed stream included)
    kThumbNoPreview = 5,    // no usable embedded preview and no full decode allowed
};

// What a fitted side that rounds to 0 becomes.
enum class eFitThinSide
{
    Refuse,   // the fit fails
    OnePixel, // the side is one pixel
};

// The fitted size of w x h in maxW x maxH; false (outputs untouched) when a side of the
// picture or the box is <= 0, or when a fitted side rounds to 0 and `thin` refuses it.
[[nodiscard]] bool PictFitSize(i32 width, i32 height, i32 maxW, i32 maxH, i32* fittedWidth,
                               i32* fittedHeight, eFitThinSide thin = eFitThinSide::Refuse);

// The thumbnail of `picture`, which came from the factory with `info` and is not loaded:
// - an embedded preview (when the info announces one) that fits the box is taken as it
//   is, even when smaller than the fitted size; a larger one is resampled into the box;
// - else, when `allowFullDecode`, the picture streams into a cleared out picture of the
//   fitted size when it renders while decoding, or loads whole and is resampled.
// Every failure leaves `out` untouched or allocated and cleared.
[[nodiscard]] i32 PictRenderThumbnail(const sPictInfo& info, cPictBase* picture,
                                      cFileIOTarget* stream, cPictBase* out, i32 maxW,
                                      i32 maxH, bool allowFullDecode, u32 background);

// Fits an already decoded 32-bit picture into the box: one that fits moves its pixels into
// `out`; a larger one is resampled into `out` on `background` and gives its own pixels up.
// `out` may be `source`.
[[nodiscard]] bool PictFitToBox(cPictBase* source, i32 maxW, i32 maxH, cPictBase* out,
                                u32 background = 0);

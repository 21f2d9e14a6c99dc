#pragma once
// Thumbnails: a picture of a file fitted into a box, made the cheapest way that gives a
// good result: the file's embedded preview, else a decode that streams straight into the
// box, else a full decode followed by resampling (see pictfit.h for the fitting rule).
#include "base/streams.h"
#include "picture/core/pictfit.h"

// Recognises `stream` (PictCreateFromStream) and renders its thumbnail into `out` with
// full decode allowed, on white with alpha 0 (0x00FFFFFF). An empty box answers
// kThumbEmpty before the stream is read.
[[nodiscard]] i32 PictThumbnailFromStream(cFileIOTarget* stream, cPictBase* out, i32 maxW,
                                          i32 maxH);

#pragma once
// Resampling a decoded picture into a render target.
#include "picture/core/picture.h"
#include "picture/core/picttarget.h"

// Draws `picture` (its 64-bit buffer when deep, else its 32-bit buffer) into `target`:
// - an image that fits (w <= tw and h <= th) is copied unscaled and centred, deep pixels
//   through the picture's deep mapping;
// - fit mode reduces it by area averaging to fit, centred, with one factor for both axes
//   (that of the longer side);
// - zoom mode shows it at the zoom (capped at 1.0, written back) from the pan (clamped in
//   source pixels, written back).
// The area averager reads deep channels as value / 256, whatever the picture's mapping.
// Target pixels the image does not cover get the background. False for a target without
// pixels or with a size below 1, a picture without pixels, an unknown mode, or zoom mode
// with a zoom <= 0.
[[nodiscard]] bool PictResample(sPictTarget* target, cPictBase* picture);

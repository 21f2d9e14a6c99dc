#pragma once
// A render target: a caller's 32-bit pixel area that a picture is drawn into, fitted or
// zoomed, either from decoded pixels (PictResample) or while a reader decodes (streaming).
#include "base/types.h"

class cPictBase;

enum : i32
{
    kPictTargetFit = 0,  // scale to fit, keep proportions, centre
    kPictTargetZoom = 1, // fixed scale with pan
};

struct sPictTarget
{
    u32* pixels = nullptr; // 0xAARRGGBB, rows bottom-up like every picture buffer; borrowed
    i32 width = 0;
    i32 height = 0;
    // The source pixel shown at the first column and row in zoom mode; the renderer
    // clamps them and writes the clamped values back.
    i32 panX = 0;
    i32 panY = 0;
    u32 background = 0; // every target pixel the image does not cover
    f64 zoom = 1.0;     // zoom mode only; capped at 1.0 and written back
    i32 mode = kPictTargetFit;
};

// A target over another picture's 32-bit pixels: its size, pan 0, background 0, zoom 1.0,
// fit mode. A deep or empty picture gives a target without pixels (which SetTarget and
// PictResample refuse); a null picture gives an all-zero target with zoom 1.0.
[[nodiscard]] sPictTarget PictTargetFromPicture(cPictBase* picture);

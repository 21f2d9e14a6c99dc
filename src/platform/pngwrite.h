#pragma once
// Writes 32-bit pixels (0xAARRGGBB) as an 8-bit RGB PNG (ISO/IEC 15948, colour type 2,
// filter type 0 on every row, one IDAT), for snapshots of canvases. Alpha is dropped:
// a window canvas is opaque.
#include "base/types.h"

#include <string>
#include <vector>

class cCanvas;

// False for a null or empty picture, sizes past the pixel cap or when memory is short.
[[nodiscard]] bool EncodePngRgb(const u32* pixels, i32 width, i32 height, i32 stride, std::vector<u8>& out);
// Encodes and writes the file (path in UTF-8), replacing it; false when either fails.
[[nodiscard]] bool SavePng(const std::string& path, const u32* pixels, i32 width, i32 height, i32 stride);
[[nodiscard]] bool SaveCanvasPng(const std::string& path, const cCanvas& canvas);

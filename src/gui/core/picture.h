#pragma once
// cPicture: a 32-bit bitmap of the toolkit. Pixels are 0xAARRGGBB with straight (not
// premultiplied) alpha, rows top-down with no padding (stride = width).
#include "base/buffers.h"

class cPicture
{
public:
    cPicture() = default;
    ~cPicture();
    cPicture(const cPicture&) = delete;
    cPicture& operator=(const cPicture&) = delete;

    i32 GetWidth() const { return m_width; }
    i32 GetHeight() const { return m_height; }
    // Null for an empty picture.
    u32* GetPixels() { return m_pixels; }
    const u32* GetPixels() const { return m_pixels; }

    // Replaces the pixels with width x height pixels, all 0 (transparent black).
    // False, leaving the picture empty, when a size is below 1, the size passes the
    // pixel cap or memory is short.
    [[nodiscard]] bool Allocate(i32 width, i32 height);
    // Allocate, then every pixel = argb.
    [[nodiscard]] bool CreateFilled(u32 argb, i32 width, i32 height);
    // Moves the pixels and size of `source` into this picture (its old pixels are
    // freed); `source` is left empty. Taking from itself changes nothing.
    void TakePixels(cPicture& source);
    // Frees the pixels; the picture becomes empty.
    void Free();

private:
    u32* m_pixels = nullptr;
    i32 m_width = 0;
    i32 m_height = 0;
};

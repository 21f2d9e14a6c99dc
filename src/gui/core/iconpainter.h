#pragma once
// Draws small theme pictures with smooth edges: shapes are drawn opaque on a memory
// canvas four times the picture's size, then every 4 x 4 block is averaged into one
// pixel. Coordinates are in picture pixels as floating point, so a shape may start at
// 2.5. The canvas starts transparent, and transparent pixels are 0x00000000, so the
// average is premultiplied alpha; ToPicture turns it back into straight alpha.
#include "base/types.h"

#include <memory>

class cCanvas;
class cPicture;

class cIconPainter
{
public:
    // A painter with no canvas (no canvas maker installed, or the size is refused)
    // draws nothing and makes no picture.
    cIconPainter(i32 width, i32 height);
    ~cIconPainter();
    cIconPainter(const cIconPainter&) = delete;
    cIconPainter& operator=(const cIconPainter&) = delete;

    // Colours are 0x00BBGGRR, drawn opaque.
    void Rect(f64 x, f64 y, f64 w, f64 h, u32 colour);
    // A rectangle with a `line`-wide border in `frame` around a `fill` inside.
    void FramedRect(f64 x, f64 y, f64 w, f64 h, f64 line, u32 frame, u32 fill);
    void Disc(f64 centreX, f64 centreY, f64 radius, u32 colour);
    // A filled convex polygon of up to 8 points (x0, y0, x1, y1, ...).
    void Polygon(const f64* points, int count, u32 colour);
    // A straight stroke of the given width with square ends.
    void Stroke(f64 x1, f64 y1, f64 x2, f64 y2, f64 width, u32 colour);

    // The averaged picture, or null when there is no canvas or memory is short.
    std::unique_ptr<cPicture> ToPicture() const;

private:
    static constexpr i32 kScale = 4;
    i32 m_width;
    i32 m_height;
    std::unique_ptr<cCanvas> m_canvas;
};

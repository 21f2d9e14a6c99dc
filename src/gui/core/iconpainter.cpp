#include "gui/core/iconpainter.h"

#include "gui/core/canvas.h"
#include "gui/core/picture.h"
#include "gui/core/resample.h"

#include <algorithm>
#include <cmath>
#include <vector>

cIconPainter::cIconPainter(i32 width, i32 height)
    : m_width(width), m_height(height), m_canvas(CreateMemoryCanvas(width * kScale, height * kScale))
{
}

cIconPainter::~cIconPainter() = default;

void cIconPainter::Rect(f64 x, f64 y, f64 w, f64 h, u32 colour)
{
    if (!m_canvas) {
        return;
    }
    const i32 left = i32(std::lround(x * kScale));
    const i32 top = i32(std::lround(y * kScale));
    const i32 right = i32(std::lround((x + w) * kScale));
    const i32 bottom = i32(std::lround((y + h) * kScale));
    m_canvas->FillRect(left, top, right - left, bottom - top, colour, colour);
}

void cIconPainter::FramedRect(f64 x, f64 y, f64 w, f64 h, f64 line, u32 frame, u32 fill)
{
    Rect(x, y, w, h, frame);
    Rect(x + line, y + line, w - 2 * line, h - 2 * line, fill);
}

void cIconPainter::Disc(f64 centreX, f64 centreY, f64 radius, u32 colour)
{
    if (!m_canvas) {
        return;
    }
    // One span per canvas row, sampled at the row's centre.
    const f64 cx = centreX * kScale;
    const f64 cy = centreY * kScale;
    const f64 r = radius * kScale;
    for (i32 row = i32(std::floor(cy - r)); row <= i32(std::ceil(cy + r)); ++row) {
        const f64 dy = row + 0.5 - cy;
        if (std::abs(dy) >= r) {
            continue;
        }
        const f64 half = std::sqrt(r * r - dy * dy);
        const i32 left = i32(std::lround(cx - half));
        const i32 right = i32(std::lround(cx + half));
        m_canvas->FillRect(left, row, right - left, 1, colour, colour);
    }
}

void cIconPainter::Polygon(const f64* points, int count, u32 colour)
{
    if (!m_canvas || count < 3 || count > 8) {
        return;
    }
    f64 top = points[1];
    f64 bottom = points[1];
    for (int i = 1; i < count; ++i) {
        top = std::min(top, points[2 * i + 1]);
        bottom = std::max(bottom, points[2 * i + 1]);
    }
    // Scanlines at row centres; a convex polygon gives one span per row.
    for (i32 row = i32(std::floor(top * kScale)); row < i32(std::ceil(bottom * kScale)); ++row) {
        const f64 y = (row + 0.5) / kScale;
        f64 low = 1e9;
        f64 high = -1e9;
        for (int i = 0; i < count; ++i) {
            const f64 x1 = points[2 * i];
            const f64 y1 = points[2 * i + 1];
            const f64 x2 = points[2 * ((i + 1) % count)];
            const f64 y2 = points[2 * ((i + 1) % count) + 1];
            if ((y < y1) == (y < y2)) {
                continue; // the edge does not cross this row
            }
            const f64 x = x1 + (y - y1) * (x2 - x1) / (y2 - y1);
            low = std::min(low, x);
            high = std::max(high, x);
        }
        if (high > low) {
            const i32 left = i32(std::lround(low * kScale));
            const i32 right = i32(std::lround(high * kScale));
            m_canvas->FillRect(left, row, right - left, 1, colour, colour);
        }
    }
}

void cIconPainter::Stroke(f64 x1, f64 y1, f64 x2, f64 y2, f64 width, u32 colour)
{
    const f64 length = std::hypot(x2 - x1, y2 - y1);
    if (length <= 0) {
        return;
    }
    // The stroke is the rectangle around the segment, widened by half the width
    // along and across it.
    const f64 ux = (x2 - x1) / length * width / 2;
    const f64 uy = (y2 - y1) / length * width / 2;
    const f64 corners[8] = {x1 - ux - uy, y1 - uy + ux, x2 + ux - uy, y2 + uy + ux,
                            x2 + ux + uy, y2 + uy - ux, x1 - ux + uy, y1 - uy - ux};
    Polygon(corners, 4, colour);
}

std::unique_ptr<cPicture> cIconPainter::ToPicture() const
{
    if (!m_canvas) {
        return nullptr;
    }
    auto picture = std::make_unique<cPicture>();
    std::vector<u32> narrowed(size_t(m_width) * size_t(m_height) * kScale);
    std::vector<u32> column(size_t(m_height) * kScale);
    std::vector<u32> shrunk(static_cast<size_t>(m_height));
    if (!picture->Allocate(m_width, m_height)) {
        return nullptr;
    }
    const u32* pixels = m_canvas->GetPixels();
    const i32 stride = m_canvas->GetStride();
    for (i32 row = 0; row < m_height * kScale; ++row) {
        if (!ResamplePixelRows(pixels + size_t(row) * stride, m_width * kScale,
                               narrowed.data() + size_t(row) * m_width, m_width)) {
            return nullptr;
        }
    }
    for (i32 x = 0; x < m_width; ++x) {
        for (i32 row = 0; row < m_height * kScale; ++row) {
            column[size_t(row)] = narrowed[size_t(row) * m_width + x];
        }
        if (!ResamplePixelRows(column.data(), m_height * kScale, shrunk.data(), m_height)) {
            return nullptr;
        }
        for (i32 y = 0; y < m_height; ++y) {
            // Premultiplied -> straight alpha.
            const u32 pixel = shrunk[size_t(y)];
            const u32 alpha = pixel >> 24;
            u32 straight = 0;
            if (alpha != 0) {
                straight = alpha << 24;
                for (int shift = 0; shift < 24; shift += 8) {
                    const u32 channel = (((pixel >> shift) & 0xFF) * 255 + alpha / 2) / alpha;
                    straight |= std::min(channel, 255u) << shift;
                }
            }
            picture->GetPixels()[size_t(y) * m_width + x] = straight;
        }
    }
    return picture;
}

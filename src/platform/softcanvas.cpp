#include "platform/softcanvas.h"

#include "gui/core/font.h"
#include "gui/core/picture.h"
#include "platform/pixelspan.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// The parts of `from` that `cut` does not cover, as up to four disjoint rectangles:
// the bands above and below the cut over the full width, then left and right of it.
void SubtractRect(const sRect& from, const sRect& cut, std::vector<sRect>& out)
{
    const sRect overlap = IntersectRects(from, cut);
    if (overlap.IsEmpty()) {
        out.push_back(from);
        return;
    }
    const sRect parts[4] = {
        RectFromEdges(from.x, from.y, from.Right(), overlap.y),
        RectFromEdges(from.x, overlap.Bottom(), from.Right(), from.Bottom()),
        RectFromEdges(from.x, overlap.y, overlap.x, overlap.Bottom()),
        RectFromEdges(overlap.Right(), overlap.y, from.Right(), overlap.Bottom()),
    };
    for (const sRect& part : parts) {
        if (!part.IsEmpty()) {
            out.push_back(part);
        }
    }
}

} // namespace

cSoftCanvas* cSoftCanvas::Create(i32 width, i32 height)
{
    if (!PixelBufferSizeOk(width, height, sizeof(u32))) {
        return nullptr;
    }
    std::unique_ptr<u32[]> pixels(new (std::nothrow) u32[size_t(width) * size_t(height)]());
    if (!pixels) {
        return nullptr;
    }
    return new (std::nothrow) cSoftCanvas(width, height, std::move(pixels));
}

cSoftCanvas::cSoftCanvas(i32 width, i32 height, std::unique_ptr<u32[]> pixels)
    : m_width(width), m_height(height), m_pixels(std::move(pixels))
{
    ResetDrawingState();
}

cSoftCanvas::~cSoftCanvas() = default;

void cSoftCanvas::ResetDrawingState()
{
    m_origin = {};
    m_textColour = 0;
    m_backColour = 0xFFFFFF;
    m_penColour = 0;
    m_penWidth = 1;
    m_font = nullptr;
    m_clipStack.clear();
    m_baseClip.assign(1, sRect{0, 0, m_width, m_height});
}

void cSoftCanvas::SetOrigin(i32 x, i32 y)
{
    m_origin = {x, y};
}

void cSoftCanvas::SetColors(u32 textColour, u32 backColour)
{
    m_textColour = textColour;
    m_backColour = backColour;
}

void cSoftCanvas::SelectFont(const cFontObject* font)
{
    m_font = font;
}

const cFontObject* cSoftCanvas::GetFont() const
{
    return m_font != nullptr ? m_font : GetDefaultUiFont();
}

void cSoftCanvas::SetPen(u32 colour, i32 width)
{
    m_penColour = colour;
    m_penWidth = std::max(width, 1);
}

sRect cSoftCanvas::ToCanvas(i64 x, i64 y, i64 w, i64 h) const
{
    if (w < 1 || h < 1) {
        return {};
    }
    const i64 left = x + m_origin.x;
    const i64 top = y + m_origin.y;
    return RectFromEdges(left, top, left + w, top + h);
}

void cSoftCanvas::SetBaseClip(const sRect& canvasRect)
{
    m_clipStack.clear();
    m_baseClip.clear();
    const sRect clip = IntersectRects(canvasRect, sRect{0, 0, m_width, m_height});
    if (!clip.IsEmpty()) {
        m_baseClip.push_back(clip);
    }
}

const std::vector<sRect>& cSoftCanvas::GetClipRects() const
{
    return m_clipStack.empty() ? m_baseClip : m_clipStack.back();
}

void cSoftCanvas::AddClip(const sRect& r)
{
    const sRect cut = ToCanvas(r.x, r.y, r.width, r.height);
    std::vector<sRect> clip;
    for (const sRect& part : GetClipRects()) {
        const sRect kept = IntersectRects(part, cut);
        if (!kept.IsEmpty()) {
            clip.push_back(kept);
        }
    }
    m_clipStack.push_back(std::move(clip));
}

void cSoftCanvas::ExcludeClip(const sRect& r)
{
    const sRect cut = ToCanvas(r.x, r.y, r.width, r.height);
    std::vector<sRect> clip;
    for (const sRect& part : GetClipRects()) {
        SubtractRect(part, cut, clip);
    }
    if (m_clipStack.empty()) {
        m_clipStack.push_back(std::move(clip));
    } else {
        m_clipStack.back() = std::move(clip);
    }
}

void cSoftCanvas::ApplyClip()
{
    if (!m_clipStack.empty()) {
        m_clipStack.pop_back();
    }
}

void cSoftCanvas::FillClipped(const sRect& r, u32 pixel)
{
    ForEachClippedRow(r, [&](i32 row, const sRect& part) {
        FillSpan(PixelRow(row) + part.x, size_t(part.width), pixel);
    });
}

void cSoftCanvas::FillRect(i32 x, i32 y, i32 w, i32 h, u32 fill, u32 outline)
{
    if (w < 1 || h < 1) {
        return;
    }
    const u32 edge = PixelFromColour(outline);
    FillClipped(ToCanvas(i64(x) + 1, i64(y) + 1, i64(w) - 2, i64(h) - 2), PixelFromColour(fill));
    FillClipped(ToCanvas(x, y, w, 1), edge);
    FillClipped(ToCanvas(x, i64(y) + h - 1, w, 1), edge);
    FillClipped(ToCanvas(x, i64(y) + 1, 1, i64(h) - 2), edge);
    FillClipped(ToCanvas(i64(x) + w - 1, i64(y) + 1, 1, i64(h) - 2), edge);
}

void cSoftCanvas::PlotPen(i32 canvasX, i32 canvasY, u32 pixel)
{
    if (m_penWidth == 1) {
        for (const sRect& clip : GetClipRects()) {
            if (clip.Contains(canvasX, canvasY)) {
                PixelRow(canvasY)[canvasX] = pixel;
                return;
            }
        }
        return;
    }
    // A wide pen is a square centred on the line's pixel.
    const i64 half = (m_penWidth - 1) / 2;
    FillClipped(RectFromEdges(canvasX - half, canvasY - half, canvasX - half + m_penWidth,
                              canvasY - half + m_penWidth),
                pixel);
}

void cSoftCanvas::DrawLine(i32 x1, i32 y1, i32 x2, i32 y2)
{
    const u32 pixel = PixelFromColour(m_penColour);
    const i64 startX = i64(x1) + m_origin.x;
    const i64 startY = i64(y1) + m_origin.y;
    const i64 dx = i64(x2) - x1;
    const i64 dy = i64(y2) - y1;
    if (dx == 0 && dy == 0) {
        return; // a line to its own start draws nothing: the end point is left out
    }
    if (m_penWidth == 1 && (dx == 0 || dy == 0)) {
        // Axis-parallel: the span from the start up to, not including, the end.
        const i64 left = dx >= 0 ? startX : startX + dx + 1;
        const i64 top = dy >= 0 ? startY : startY + dy + 1;
        FillClipped(RectFromEdges(left, top, left + std::abs(dx) + (dx == 0), top + std::abs(dy) + (dy == 0)),
                    pixel);
        return;
    }
    // Bresenham along the major axis, stopping before the end point. Steps are visited
    // only while they can still touch the canvas, so a line from far outside costs
    // no more than the canvas is long.
    const i64 steps = std::max(std::abs(dx), std::abs(dy));
    const i64 stepX = dx > 0 ? 1 : (dx < 0 ? -1 : 0);
    const i64 stepY = dy > 0 ? 1 : (dy < 0 ? -1 : 0);
    const bool xMajor = std::abs(dx) >= std::abs(dy);
    const i64 major = xMajor ? std::abs(dx) : std::abs(dy);
    const i64 minor = xMajor ? std::abs(dy) : std::abs(dx);
    const i64 margin = m_penWidth;
    i64 error = major / 2;
    i64 x = startX;
    i64 y = startY;
    for (i64 i = 0; i < steps; ++i) {
        if (x >= -margin && y >= -margin && x < m_width + margin && y < m_height + margin) {
            PlotPen(i32(x), i32(y), pixel);
        }
        error -= minor;
        if (error < 0) {
            error += major;
            if (xMajor) {
                y += stepY;
            } else {
                x += stepX;
            }
        }
        if (xMajor) {
            x += stepX;
        } else {
            y += stepY;
        }
    }
}

void cSoftCanvas::DrawPicture(i32 x, i32 y, const cPicture* picture, i32 width, i32 height)
{
    if (picture == nullptr || picture->GetPixels() == nullptr) {
        return;
    }
    const i32 sourceWidth = picture->GetWidth();
    const i32 sourceHeight = picture->GetHeight();
    const i32 targetWidth = width == -1 ? sourceWidth : width;
    const i32 targetHeight = height == -1 ? sourceHeight : height;
    const sRect target = ToCanvas(x, y, targetWidth, targetHeight);
    if (target.IsEmpty()) {
        return;
    }
    // Destination (canvas) pixel -> source index: floor((d + 0.5) x n / m), with d
    // counted from the picture's unclamped top-left corner.
    const i64 left = i64(x) + m_origin.x;
    const i64 top = i64(y) + m_origin.y;
    const u32* source = picture->GetPixels();
    if (targetWidth == sourceWidth && targetHeight == sourceHeight) {
        // At natural size the mapping below is the identity: a straight copy per row.
        ForEachClippedRow(target, [&](i32 row, const sRect& part) {
            const u32* sourceLine = source + size_t(row - top) * size_t(sourceWidth) + size_t(part.x - left);
            u32* line = PixelRow(row) + part.x;
            for (i32 column = 0; column < part.width; ++column) {
                line[column] = sourceLine[column] | 0xFF000000u;
            }
        });
        return;
    }
    ForEachClippedRow(target, [&](i32 row, const sRect& part) {
        const i64 d = row - top;
        const i64 sourceRow = ((2 * d + 1) * sourceHeight) / (2 * i64(targetHeight));
        const u32* sourceLine = source + size_t(sourceRow) * size_t(sourceWidth);
        u32* line = PixelRow(row);
        for (i32 column = part.x; column < part.Right(); ++column) {
            const i64 c = column - left;
            const i64 sourceColumn = ((2 * c + 1) * sourceWidth) / (2 * i64(targetWidth));
            line[column] = sourceLine[sourceColumn] | 0xFF000000u;
        }
    });
}

void cSoftCanvas::DrawPictureBlended(i32 x, i32 y, const cPicture* picture, u32 /*flag*/)
{
    if (picture == nullptr || picture->GetPixels() == nullptr) {
        return;
    }
    const sRect target = ToCanvas(x, y, picture->GetWidth(), picture->GetHeight());
    const i64 left = i64(x) + m_origin.x;
    const i64 top = i64(y) + m_origin.y;
    const u32* source = picture->GetPixels();
    ForEachClippedRow(target, [&](i32 row, const sRect& part) {
        const u32* sourceLine = source + size_t(row - top) * size_t(picture->GetWidth()) + size_t(part.x - left);
        BlendSpan(PixelRow(row) + part.x, sourceLine, size_t(part.width));
    });
}

cCanvas* cSoftCanvas::CreateOffscreenCanvas(i32 width, i32 height) const
{
    return Create(width, height);
}

void cSoftCanvas::CopyFrom(i32 x, i32 y, const cCanvas* source, i32 sourceX, i32 sourceY, i32 w, i32 h)
{
    if (source == nullptr || source->GetPixels() == nullptr) {
        return;
    }
    const i64 width = w == -1 ? i64(source->GetWidth()) - sourceX : w;
    const i64 height = h == -1 ? i64(source->GetHeight()) - sourceY : h;
    if (width < 1 || height < 1) {
        return;
    }
    // The part of the asked source rectangle that exists, moved to where it lands.
    const sRect wanted = RectFromEdges(sourceX, sourceY, sourceX + width, sourceY + height);
    const sRect available = IntersectRects(wanted, sRect{0, 0, source->GetWidth(), source->GetHeight()});
    if (available.IsEmpty()) {
        return;
    }
    const i64 shiftX = i64(x) + m_origin.x - sourceX;
    const i64 shiftY = i64(y) + m_origin.y - sourceY;
    const sRect target = RectFromEdges(available.x + shiftX, available.y + shiftY,
                                       available.Right() + shiftX, available.Bottom() + shiftY);
    const u32* sourcePixels = source->GetPixels();
    const size_t sourceStride = size_t(source->GetStride());
    for (const sRect& clip : GetClipRects()) {
        const sRect part = IntersectRects(target, clip);
        if (part.IsEmpty()) {
            continue;
        }
        // memmove and a bottom-up walk keep a copy within this canvas correct when the
        // areas overlap (scrolling).
        const bool upwards = source == this && shiftY > 0;
        for (i32 i = 0; i < part.height; ++i) {
            const i32 row = upwards ? part.Bottom() - 1 - i : part.y + i;
            const u32* from = sourcePixels + size_t(row - shiftY) * sourceStride + size_t(part.x - shiftX);
            std::memmove(PixelRow(row) + part.x, from,
                         size_t(part.width) * sizeof(u32));
        }
    }
}

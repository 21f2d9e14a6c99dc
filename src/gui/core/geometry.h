#pragma once
// Points, sizes and rectangles of the widget tree and the canvas. Rectangles are
// (x, y, width, height); an empty or negative size covers no pixel.
#include "base/types.h"

struct sPoint
{
    i32 x = 0;
    i32 y = 0;

    bool operator==(const sPoint&) const = default;
};

struct sSize
{
    i32 width = 0;
    i32 height = 0;

    bool operator==(const sSize&) const = default;
};

struct sRect
{
    i32 x = 0;
    i32 y = 0;
    i32 width = 0;
    i32 height = 0;

    bool operator==(const sRect&) const = default;
    bool IsEmpty() const { return width <= 0 || height <= 0; }
    // Edges are 64-bit: x + width of two large 32-bit values must not wrap.
    i64 Right() const { return i64(x) + width; }
    i64 Bottom() const { return i64(y) + height; }
    bool Contains(i32 px, i32 py) const
    {
        return px >= x && py >= y && px < Right() && py < Bottom();
    }
};

// The rectangle of the pixels that both cover; empty (0, 0, 0, 0) when they share none.
sRect IntersectRects(const sRect& a, const sRect& b);
// The smallest rectangle covering both; an empty one adds nothing.
sRect UnionRects(const sRect& a, const sRect& b);
// A rectangle given by 64-bit edges, clamped into the 32-bit range; empty when
// right <= left or bottom <= top.
sRect RectFromEdges(i64 left, i64 top, i64 right, i64 bottom);

#include "gui/core/geometry.h"

#include <algorithm>
#include <limits>

sRect RectFromEdges(i64 left, i64 top, i64 right, i64 bottom)
{
    constexpr i64 low = std::numeric_limits<i32>::min();
    constexpr i64 high = std::numeric_limits<i32>::max();
    left = std::clamp(left, low, high);
    top = std::clamp(top, low, high);
    right = std::clamp(right, low, high);
    bottom = std::clamp(bottom, low, high);
    if (right <= left || bottom <= top) {
        return {};
    }
    // A span of two clamped edges can exceed INT32_MAX; cut it there.
    return {i32(left), i32(top), i32(std::min(right - left, high)), i32(std::min(bottom - top, high))};
}

sRect UnionRects(const sRect& a, const sRect& b)
{
    if (a.IsEmpty()) {
        return b;
    }
    if (b.IsEmpty()) {
        return a;
    }
    return RectFromEdges(std::min<i64>(a.x, b.x), std::min<i64>(a.y, b.y),
                         std::max(a.Right(), b.Right()), std::max(a.Bottom(), b.Bottom()));
}

sRect IntersectRects(const sRect& a, const sRect& b)
{
    if (a.IsEmpty() || b.IsEmpty()) {
        return {};
    }
    return RectFromEdges(std::max<i64>(a.x, b.x), std::max<i64>(a.y, b.y),
                         std::min(a.Right(), b.Right()), std::min(a.Bottom(), b.Bottom()));
}

// Resizing a decoded picture into another picture: the width changes first, row by row,
// then the height, column by column from buffer row 0 (the bottom image row). Both use one
// 1-D rule per channel, alpha included:
// - enlarging (S < D): position p advances by S / D per output sample from 0.0; with
//   k = trunc(p) and f = p - k the output blends src[k] with its left neighbour
//   (f < 0.5: weights f + 0.5 and 0.5 - f) or its right neighbour (f > 0.5: weights
//   1.5 - f and f - 0.5); at f = 0.5 and at the row ends it is src[k];
// - reducing (S > D): output i is the area mean of [p, p + S / D): a partial first sample
//   weighs its covered part, whole samples 1, a partial last sample its covered part.
// Each channel is truncated (see TruncateMean). The positions are sums of repeated additions, not i * step:
// the exact sums decide the f = 0.5 cases.
#include "picture/core/picture.h"
#include "picture/core/pixelchannels.h"
#include "picture/core/samplespan.h"

#include <algorithm>

#include <cstring>

namespace {

// Norm: the factor the weighted sum is multiplied by.
bool BuildEnlargeSpans(i32 S, i32 D, _typebuf<sSampleSpan>& spans)
{
    if (!spans.Alloc(D)) {
        return false;
    }
    const f64 step = f64(S) / D;
    f64 p = 0.0;
    for (i32 i = 0; i < D; ++i, p += step) {
        sSampleSpan& span = spans.GetData()[i] = {};
        span.norm = 1.0;
        const i32 k = std::min(i32(p), S - 1);
        const f64 f = p - k;
        // Sums of two terms do not depend on their order: the neighbour may come first.
        if (f < 0.5 && k >= 1) {
            span.Add(k - 1, 0.5 - f);
            span.Add(k, f + 0.5);
        } else if (f > 0.5 && k < S - 1) {
            span.Add(k, 1.5 - f);
            span.Add(k + 1, f - 0.5);
        } else {
            span.Add(k, 1.0);
        }
    }
    return true;
}

bool BuildReduceSpans(i32 S, i32 D, _typebuf<sSampleSpan>& spans)
{
    if (!spans.Alloc(D)) {
        return false;
    }
    const f64 step = f64(S) / D;
    f64 p = 0.0;
    for (i32 i = 0; i < D; ++i) {
        const f64 end = p + step;
        sSampleSpan& span = spans.GetData()[i] = {};
        f64 total = 0.0;
        i64 index = i64(p);
        if (p > f64(index) && index < S) {
            const f64 weight = 1.0 - (p - f64(index));
            span.Add(i32(index), weight);
            total += weight;
            ++index;
        }
        for (; f64(index) + 1.0 <= end && index < S; ++index) {
            span.Add(i32(index), 1.0);
            total += 1.0;
        }
        if (end > f64(index) && index < S) {
            const f64 weight = end - f64(index);
            span.Add(i32(index), weight);
            total += weight;
        }
        span.norm = total > 0.0 ? 1.0 / total : 0.0;
        p = end;
    }
    return true;
}

bool BuildSpans(i32 S, i32 D, _typebuf<sSampleSpan>& spans)
{
    return S < D ? BuildEnlargeSpans(S, D, spans) : BuildReduceSpans(S, D, spans);
}

// An output sample from the source samples at src[index * stride].
template <class T>
T ResampleOne(const sSampleSpan& span, const T* src, i64 stride)
{
    T result = 0;
    for (i32 channel = 0; channel < 4; ++channel) {
        const f64 sum =
            span.WeightedSum([&](i32 index) { return f64(GetChannel(src[index * stride], channel)); });
        result |= ChannelBits<T>(TruncateMean<T>(sum * span.norm), channel);
    }
    return result;
}

enum class eAxis
{
    kRows,    // each row's samples are neighbours
    kColumns, // each column from buffer row 0 up
};

// Resamples every line along `axis` of a buffer with `lines` lines from S to D samples.
// Both loops run along the buffer's rows, so that memory is read and written in order.
template <class T>
bool ResampleAxis(const T* src, i32 lines, i32 S, T* dst, i32 D, eAxis axis)
{
    _typebuf<sSampleSpan> spans;
    if (!BuildSpans(S, D, spans)) {
        return false;
    }
    const sSampleSpan* span = spans.GetData();
    const i32 outer = axis == eAxis::kRows ? lines : D;
    const i32 inner = axis == eAxis::kRows ? D : lines;
    for (i32 o = 0; o < outer; ++o) {
        T* out = dst + i64(o) * inner;
        for (i32 n = 0; n < inner; ++n) {
            out[n] = axis == eAxis::kRows ? ResampleOne(span[n], src + i64(o) * S, 1)
                                          : ResampleOne(span[o], src + n, lines);
        }
    }
    return true;
}

template <class T>
bool ResizeBuffer(const T* src, i32 w, i32 h, i32 newWidth, i32 newHeight, _typebuf<T>& out)
{
    _typebuf<T> widened;
    const T* rows = src;
    if (newWidth != w) {
        if (!widened.Alloc(i64(newWidth) * h) ||
            !ResampleAxis(src, h, w, widened.GetData(), newWidth, eAxis::kRows)) {
            return false;
        }
        rows = widened.GetData();
    }
    if (!out.Alloc(i64(newWidth) * newHeight)) {
        return false;
    }
    if (newHeight != h) {
        return ResampleAxis(rows, newWidth, h, out.GetData(), newHeight, eAxis::kColumns);
    }
    std::memcpy(out.GetData(), rows, size_t(newWidth) * size_t(h) * sizeof(T));
    return true;
}

} // namespace

bool cPictBase::ResizeInto(i32 width, i32 height, cPictBase* destination)
{
    if (destination == nullptr || !HasPixels() ||
        !PixelBufferSizeOk(width, height, m_deep != 0 ? 8 : 4)) {
        return false;
    }
    // Built aside, so that the destination may be this picture.
    if (m_deep != 0) {
        _typebuf<u64> result;
        if (!ResizeBuffer(m_pixels64.GetData(), m_width, m_height, width, height, result)) {
            return false;
        }
        destination->m_pixels64 = std::move(result);
        destination->m_pixels32.Free();
    } else {
        _typebuf<u32> result;
        if (!ResizeBuffer(m_pixels32.GetData(), m_width, m_height, width, height, result)) {
            return false;
        }
        destination->m_pixels32 = std::move(result);
        destination->m_pixels64.Free();
    }
    destination->m_width = width;
    destination->m_height = height;
    return true;
}

// PictResample: unscaled copies, and the area averager that reduces a decoded picture into
// a render target.
//
// The averager gives destination column i the footprint [i * factor, (i + 1) * factor) in
// source columns from the origin (rows likewise): whole samples weigh 1, a partial first
// sample its covered part, a partial last sample its covered part when that exceeds 0.01.
// Each footprint is clipped to the picture and divided by the weight it actually covers,
// so that a factor rounded up, or a pan rounded to the right, never reads past the last
// column or row. A horizontal pass takes the mean of each source row under each column
// footprint; a vertical pass takes the mean of those over each row footprint, in source
// row order. When a destination size equals the picture's, that pass takes the samples as
// they are. Over equal heights the result is rounded (+0.5); otherwise the vertical mean is
// truncated (see TruncateMean).
#include "picture/core/resample.h"

#include "picture/core/pixelchannels.h"
#include "picture/core/samplespan.h"

#include <algorithm>

namespace {

constexpr f64 kDeepAverageScale = 0.00390625; // 1 / 256
constexpr f64 kIgnoredLastShare = 0.01;

struct sArea
{
    i32 left;
    i32 bottom;
    i32 width;
    i32 height;
};

void FillOutside(const sPictTarget& target, const sArea& inside)
{
    const i32 right = std::min(target.width, inside.left + inside.width);
    for (i32 row = 0; row < target.height; ++row) {
        u32* line = target.pixels + i64(row) * target.width;
        if (row < inside.bottom || row >= inside.bottom + inside.height) {
            std::fill(line, line + target.width, target.background);
        } else {
            std::fill(line, line + inside.left, target.background);
            std::fill(line + right, line + target.width, target.background);
        }
    }
}

// Copies the picture's block at (x0, y0) into the target area through `map` (buffer index
// -> 32-bit pixel); cells beyond the picture get the background.
template <class Map>
void CopyBlock(i32 w, i32 h, i32 x0, i32 y0, const sPictTarget& target, const sArea& area,
               Map map)
{
    for (i32 row = 0; row < area.height; ++row) {
        const i64 sourceRow = i64(y0) + row;
        u32* out = target.pixels + i64(area.bottom + row) * target.width + area.left;
        for (i32 column = 0; column < area.width; ++column) {
            const i64 sourceColumn = i64(x0) + column;
            out[column] = sourceRow < h && sourceColumn < w
                              ? map(sourceRow * w + sourceColumn)
                              : target.background;
        }
    }
}

// Footprints of `outputs` destination samples along an axis of `limit` source samples,
// starting at source sample `origin`. Norm: the weight covered (0 when none).
bool BuildAreaSpans(i32 outputs, f64 factor, i32 origin, i32 limit, bool asIs,
                    _typebuf<sSampleSpan>& spans)
{
    if (!spans.Alloc(outputs)) {
        return false;
    }
    for (i32 i = 0; i < outputs; ++i) {
        sSampleSpan& span = spans.GetData()[i] = {};
        const auto add = [&](i64 offset, f64 weight) {
            const i64 index = origin + offset;
            if (index < limit) {
                span.Add(i32(index), weight);
                span.norm += weight;
            }
        };
        if (asIs) {
            add(i, 1.0);
            continue;
        }
        const f64 start = i * factor;
        const f64 end = (i + 1) * factor;
        i64 sample = i64(start);
        if (start > f64(sample)) {
            add(sample, std::min(end, f64(sample) + 1.0) - start);
            ++sample;
        }
        for (; f64(sample) + 1.0 <= end && origin + sample < limit; ++sample) {
            add(sample, 1.0);
        }
        if (end - f64(sample) > kIgnoredLastShare) {
            add(sample, end - f64(sample));
        }
    }
    return true;
}

template <class T>
struct sAreaAverager
{
    const T* pixels;
    i32 w;
    i32 h;
    f64 channelScale; // 1 for 32-bit pixels, 1/256 for deep ones
    _typebuf<sSampleSpan> columns;
    _typebuf<sSampleSpan> rows;
    _typebuf<f64> rowMeans; // 4 per destination column: the means of one source row
    _typebuf<f64> sums;     // 4 per destination column: the weighted sum of row means
    i32 meansRow = -1;      // the source row whose means rowMeans holds

    void ComputeRowMeans(i32 row, i32 outputs)
    {
        if (row == meansRow) {
            return;
        }
        meansRow = row;
        const T* line = pixels + i64(row) * w;
        f64* means = rowMeans.GetData();
        for (i32 i = 0; i < outputs; ++i) {
            const sSampleSpan& span = columns.GetData()[i];
            for (i32 channel = 0; channel < 4; ++channel) {
                const f64 sum = span.WeightedSum(
                    [&](i32 x) { return f64(GetChannel(line[x], channel)) * channelScale; });
                means[i * 4 + channel] = span.norm > 0.0 ? sum / span.norm : 0.0;
            }
        }
    }

    void Run(const sPictTarget& target, const sArea& area, bool roundRows)
    {
        f64* total = sums.GetData();
        for (i32 j = 0; j < area.height; ++j) {
            u32* out = target.pixels + i64(area.bottom + j) * target.width + area.left;
            const sSampleSpan& rowSpan = rows.GetData()[j];
            std::fill(total, total + i64(area.width) * 4, 0.0);
            for (i32 k = 0; k < rowSpan.count; ++k) {
                const f64 weight = k == 0 ? rowSpan.firstWeight
                                   : k == rowSpan.count - 1 ? rowSpan.lastWeight
                                                            : 1.0;
                ComputeRowMeans(rowSpan.first + k, area.width);
                const f64* means = rowMeans.GetData();
                for (i32 m = 0; m < area.width * 4; ++m) {
                    total[m] += weight * means[m];
                }
            }
            for (i32 i = 0; i < area.width; ++i) {
                if (rowSpan.norm <= 0.0 || columns.GetData()[i].norm <= 0.0) {
                    out[i] = target.background;
                    continue;
                }
                u32 pixel = 0;
                for (i32 channel = 0; channel < 4; ++channel) {
                    const f64 mean = total[i * 4 + channel] / rowSpan.norm;
                    pixel |= TruncateMean<u32>(roundRows ? mean + 0.5 : mean) << (8 * channel);
                }
                out[i] = pixel;
            }
        }
    }
};

// Reduces the picture from source sample (x0, y0) into the target area by `factor`.
template <class T>
bool AreaResample(const T* pixels, i32 w, i32 h, f64 channelScale, i32 x0, i32 y0, f64 factor,
                  const sPictTarget& target, const sArea& area)
{
    sAreaAverager<T> averager{pixels, w, h, channelScale, {}, {}, {}, {}, -1};
    if (!BuildAreaSpans(area.width, factor, x0, w, area.width == w, averager.columns) ||
        !BuildAreaSpans(area.height, factor, y0, h, area.height == h, averager.rows) ||
        !averager.rowMeans.Alloc(i64(area.width) * 4) || !averager.sums.Alloc(i64(area.width) * 4)) {
        return false;
    }
    averager.Run(target, area, area.height == h);
    return true;
}

bool AreaResampleInto(cPictBase* picture, i32 x0, i32 y0, f64 factor, const sPictTarget& target,
                      const sArea& area)
{
    const i32 w = picture->GetWidth();
    const i32 h = picture->GetHeight();
    if (picture->IsDeep()) {
        return AreaResample(picture->Pixels64().GetData(), w, h, kDeepAverageScale, x0, y0,
                            factor, target, area);
    }
    return AreaResample(picture->Pixels32().GetData(), w, h, 1.0, x0, y0, factor, target, area);
}

} // namespace

bool PictResample(sPictTarget* target, cPictBase* picture)
{
    if (target == nullptr || target->pixels == nullptr || target->width < 1 ||
        target->height < 1 || picture == nullptr || !picture->HasPixels()) {
        return false;
    }
    if (target->mode != kPictTargetFit && target->mode != kPictTargetZoom) {
        return false;
    }
    if (target->mode == kPictTargetZoom && !(target->zoom > 0.0)) {
        return false;
    }
    const i32 w = picture->GetWidth();
    const i32 h = picture->GetHeight();
    const i32 tw = target->width;
    const i32 th = target->height;
    const bool deep = picture->IsDeep();
    const u32* pixels32 = picture->Pixels32().GetData();
    const u64* pixels64 = picture->Pixels64().GetData();

    if (w <= tw && h <= th) {
        const sArea area = {(tw - w) / 2, (th - h) / 2, w, h};
        FillOutside(*target, area);
        if (deep) {
            const sDeepMapping mapping = picture->GetDeepMapping();
            CopyBlock(w, h, 0, 0, *target, area,
                      [&](i64 index) { return mapping.MapPixel(pixels64[index]); });
        } else {
            CopyBlock(w, h, 0, 0, *target, area, [&](i64 index) { return pixels32[index]; });
        }
        return true;
    }
    if (target->mode == kPictTargetFit) {
        const f64 s = std::min(f64(tw) / w, f64(th) / h);
        const i32 sw = std::max(1, i32(w * s + 0.5));
        const i32 sh = std::max(1, i32(h * s + 0.5));
        const sArea area = {(tw - sw) / 2, (th - sh) / 2, sw, sh};
        FillOutside(*target, area);
        const f64 factor = w > h ? f64(w) / sw : f64(h) / sh;
        return AreaResampleInto(picture, 0, 0, factor, *target, area);
    }
    const f64 zoom = std::min(target->zoom, 1.0);
    target->zoom = zoom;
    const i32 sw = std::max(1, i32(w * zoom + 0.5));
    const i32 sh = std::max(1, i32(h * zoom + 0.5));
    // The pan is in source pixels here.
    const auto clampPan = [zoom](i32 pan, i32 scaled, i32 shown) {
        if (scaled <= shown) {
            return 0;
        }
        if (pan * zoom > scaled - shown) {
            pan = i32((scaled - shown) / zoom + 0.5);
        }
        return std::max(pan, 0);
    };
    target->panX = clampPan(target->panX, sw, tw);
    target->panY = clampPan(target->panY, sh, th);
    const i32 vw = std::min(tw, sw);
    const i32 vh = std::min(th, sh);
    const sArea area = {(tw - vw) / 2, (th - vh) / 2, vw, vh};
    FillOutside(*target, area);
    if (sw == w && sh == h) {
        // Unscaled: the area averager's reading of deep channels (value / 256).
        if (deep) {
            CopyBlock(w, h, target->panX, target->panY, *target, area,
                      [&](i64 index) { return DeepPixelTopBytes(pixels64[index]); });
        } else {
            CopyBlock(w, h, target->panX, target->panY, *target, area,
                      [&](i64 index) { return pixels32[index]; });
        }
        return true;
    }
    return AreaResampleInto(picture, target->panX, target->panY, 1.0 / zoom, *target, area);
}

// The streaming renderer: readers hand each decoded pixel to the picture, which places it
// in the attached target directly (scale 1), by nearest accumulation (scale below 0.5) or
// by splitting its area over at most 2 x 2 target cells (scale 0.5 to 1). Memory stays at
// one accumulator set of the rendered size, however large the image.
#include "picture/core/picture.h"

#include <algorithm>
#include <cstring>

namespace {

// trunc(value) for values already known to lie well inside the i64 range.
inline i64 Truncate(f64 value)
{
    return i64(value);
}

// min(trunc(sum / weight + 0.5), 255) with the reciprocal multiplied as written.
inline u32 CellChannel(f32 sum, f64 reciprocal)
{
    const f64 value = f64(sum) * reciprocal + 0.5;
    if (!(value > 0.0)) {
        return 0;
    }
    return value >= 255.0 ? 255 : u32(value);
}

} // namespace

sPictTarget PictTargetFromPicture(cPictBase* picture)
{
    sPictTarget target;
    if (picture != nullptr) {
        target.width = picture->GetWidth();
        target.height = picture->GetHeight();
        // A deep picture has no 32-bit buffer to draw into, and a buffer smaller than the
        // size would be written past its end.
        if (!picture->IsDeep() && picture->HasPixels()) {
            target.pixels = picture->Pixels32().GetData();
        }
    }
    return target;
}

bool cPictBase::SetTarget(sPictTarget* target)
{
    DetachTarget();
    if (target == nullptr || target->pixels == nullptr || target->width < 1 ||
        target->height < 1) {
        return false;
    }
    m_target = target;
    return true;
}

void cPictBase::DetachTarget()
{
    m_target = nullptr;
    m_accumulators.Free();
    m_weights.Free();
    m_columnSteps.Free();
    m_rowSteps.Free();
    m_nearestColumnStarts.Free();
    m_scale = 1.0;
}

void cPictBase::FillBackgroundOutside(i32 left, i32 bottom, i32 width, i32 height)
{
    const i32 targetWidth = m_target->width;
    const u32 background = m_target->background;
    const i32 right = std::min(targetWidth, std::max(0, left + width));
    const i32 clippedLeft = std::clamp(left, 0, targetWidth);
    for (i32 row = 0; row < m_target->height; ++row) {
        u32* line = m_target->pixels + i64(row) * targetWidth;
        if (row < bottom || row >= bottom + height) {
            std::fill(line, line + targetWidth, background);
        } else {
            std::fill(line, line + clippedLeft, background);
            std::fill(line + right, line + targetWidth, background);
        }
    }
}

bool cPictBase::BeginStreamRender()
{
    sPictTarget* target = m_target;
    DetachTarget();
    if (target == nullptr || target->pixels == nullptr || target->width < 1 ||
        target->height < 1 || m_width <= 0 || m_height <= 0) {
        return false;
    }
    const i32 w = m_width;
    const i32 h = m_height;
    const i32 tw = target->width;
    const i32 th = target->height;
    m_target = target;
    m_streamDeepMapping = GetDeepMapping();
    m_nearestRowY = INT32_MIN; // no row cached: any row maps to no cell or a fresh one
    m_nearestRowCell = -1;
    m_windowFirstCol = 0;
    m_windowLastCol = w - 1;
    m_windowFirstRow = 0;
    m_windowLastRow = h - 1;

    if (w <= tw && h <= th) {
        // Fits: placed unscaled in the middle, in either mode.
        target->panX = target->panY = m_panX = m_panY = 0;
        m_scale = 1.0;
        m_colMargin = (tw - w) / 2;
        m_rowMargin = (th - h) / 2;
        m_renderedWidth = w;
        m_renderedHeight = h;
        FillBackgroundOutside(m_colMargin, m_rowMargin, w, h);
        return true;
    }
    if (target->mode == kPictTargetFit) {
        const f64 s = std::min(f64(tw) / w, f64(th) / h);
        // A very long, thin image can round to 0 in one direction; it still takes a pixel.
        const i32 sw = std::max<i32>(1, i32(Truncate(w * s + 0.5)));
        const i32 sh = std::max<i32>(1, i32(Truncate(h * s + 0.5)));
        target->panX = target->panY = m_panX = m_panY = 0;
        m_colMargin = (tw - sw) / 2;
        m_rowMargin = (th - sh) / 2;
        FillBackgroundOutside(m_colMargin, m_rowMargin, sw, sh);
        // The scale of the longer side, so that side fills its sw or sh exactly.
        m_scale = w > h ? f64(sw) / w : f64(sh) / h;
        m_renderedWidth = std::max<i32>(1, i32(Truncate(w * m_scale + 0.5)));
        m_renderedHeight = std::max<i32>(1, i32(Truncate(h * m_scale + 0.5)));
    } else if (target->mode == kPictTargetZoom) {
        if (!(target->zoom > 0.0)) {
            m_target = nullptr;
            return false;
        }
        const f64 zoom = std::min(target->zoom, 1.0);
        target->zoom = zoom;
        const i32 sw = std::max<i32>(1, i32(Truncate(w * zoom + 0.5)));
        const i32 sh = std::max<i32>(1, i32(Truncate(h * zoom + 0.5)));
        i32 panX = sw > tw ? std::min(target->panX, sw - tw) : 0;
        i32 panY = sh > th ? std::min(target->panY, sh - th) : 0;
        panX = std::max(panX, 0);
        panY = std::max(panY, 0);
        target->panX = m_panX = panX;
        target->panY = m_panY = panY;
        const i32 vw = std::min(tw, sw);
        const i32 vh = std::min(th, sh);
        m_windowFirstCol = panX;
        m_windowLastCol = i32(std::min<i64>(INT32_MAX, panX + Truncate(vw / zoom + 0.5)));
        m_windowFirstRow = panY;
        m_windowLastRow = i32(std::min<i64>(INT32_MAX, panY + Truncate(vh / zoom + 0.5)));
        m_colMargin = (tw - vw) / 2;
        m_rowMargin = (th - vh) / 2;
        FillBackgroundOutside(m_colMargin, m_rowMargin, vw, vh);
        m_scale = zoom;
        m_renderedWidth = vw;
        m_renderedHeight = vh;
    } else {
        m_target = nullptr;
        return false;
    }
    if (m_scale < 1.0 && !PrepareAccumulators()) {
        DetachTarget();
        return false;
    }
    return true;
}

bool cPictBase::PrepareAccumulators()
{
    const i64 cells = i64(m_renderedWidth) * m_renderedHeight;
    if (!m_accumulators.Alloc(cells * 4) || !m_weights.Alloc(cells)) {
        return false;
    }
    std::memset(m_accumulators.GetData(), 0, size_t(cells) * 4 * sizeof(f32));
    std::memset(m_weights.GetData(), 0, size_t(cells) * sizeof(f64));
    if (m_scale >= 0.5) {
        return BuildSplitSteps(m_columnSteps, m_renderedWidth) &&
               BuildSplitSteps(m_rowSteps, m_renderedHeight);
    }
    return BuildNearestColumnStarts();
}

// A run of a row's pixels is summed in integers and added to the f32 sums at once. That
// equals adding its pixels one by one only while every sum stays an exact integer in f32
// (below 2^24): a cell spans at most 2 / s + 1 source columns and rows (cell 0 takes the
// values from -1 to 1), so with s >= 1/120 a cell holds at most 241^2 pixels and a channel
// sum at most 241^2 x 255 < 2^24. Smaller scales go pixel by pixel.
bool cPictBase::BuildNearestColumnStarts()
{
    if (m_scale * 120 < 1.0) {
        return true;
    }
    if (!m_nearestColumnStarts.Alloc(i64(m_renderedWidth) + 1)) {
        return false;
    }
    i64* starts = m_nearestColumnStarts.GetData();
    for (i64 column = 0; column <= m_renderedWidth; ++column) {
        // Close to the first source column of `column`, then exact by the same rounding
        // as single pixels take: the column is monotonic in x.
        i64 x = i64((f64(column) - 0.5) / m_scale) + m_panX;
        while (NearestColumn(x - 1) >= column) {
            --x;
        }
        while (NearestColumn(x) < column) {
            ++x;
        }
        starts[column] = x;
    }
    return true;
}

void cPictBase::AccumulateNearestRow(i32 x, i32 y, const u32* pixels, i32 count)
{
    if (y != m_nearestRowY) {
        SetNearestRow(y);
    }
    if (m_nearestRowCell < 0) {
        return;
    }
    const i64* starts = m_nearestColumnStarts.GetData();
    const i64 end = i64(x) + count;
    for (i64 column = std::max<i64>(0, NearestColumn(x)); column < m_renderedWidth; ++column) {
        const i64 runStart = std::max<i64>(x, starts[column]);
        const i64 runEnd = std::min(end, starts[column + 1]);
        if (runStart >= end) {
            break;
        }
        u32 blue = 0;
        u32 green = 0;
        u32 red = 0;
        u32 alpha = 0;
        for (i64 i = runStart - x; i < runEnd - x; ++i) {
            const u32 pixel = pixels[i];
            blue += pixel & 0xFF;
            green += pixel >> 8 & 0xFF;
            red += pixel >> 16 & 0xFF;
            alpha += pixel >> 24;
        }
        const i64 cell = m_nearestRowCell + column;
        f32* sum = m_accumulators.GetData() + cell * 4;
        sum[0] += f32(blue);
        sum[1] += f32(green);
        sum[2] += f32(red);
        sum[3] += f32(alpha);
        m_weights.GetData()[cell] += f64(std::max<i64>(0, runEnd - runStart));
    }
}

bool cPictBase::StreamRow(i32 x, i32 y, const u32* pixels, i32 count)
{
    if (m_target == nullptr) {
        return false;
    }
    if (m_scale < 0.5 && m_nearestColumnStarts.GetData() != nullptr) {
        AccumulateNearestRow(x, y, pixels, count);
        return true;
    }
    if (m_scale == 1.0) {
        const i64 row = i64(m_rowMargin) + y - m_panY;
        const i64 column = i64(m_colMargin) + x - m_panX;
        const i64 first = std::max<i64>(0, column);
        const i64 last = std::min<i64>(m_target->width, column + count);
        if (row >= 0 && row < m_target->height && first < last) {
            std::memcpy(m_target->pixels + row * m_target->width + first, pixels + (first - column),
                        size_t(last - first) * sizeof(u32));
        }
        return true;
    }
    for (i32 i = 0; i < count; ++i) {
        if (!StreamPixel(x + i, y, pixels[i])) {
            return false;
        }
    }
    return true;
}

bool cPictBase::StreamRow64(i32 x, i32 y, const u64* pixels, i32 count)
{
    // Mapped down a piece at a time, so that a row of any width needs no buffer.
    constexpr i32 kPiece = 256;
    u32 mapped[kPiece];
    const bool topByte = m_streamDeepMapping.IsTopByte();
    for (i32 done = 0; done < count; done += kPiece) {
        const i32 n = std::min(kPiece, count - done);
        for (i32 i = 0; i < n; ++i) {
            mapped[i] = topByte ? DeepPixelTopBytes(pixels[done + i])
                                : m_streamDeepMapping.MapPixel(pixels[done + i]);
        }
        if (!StreamRow(x + done, y, mapped, n)) {
            return false;
        }
    }
    return true;
}

// The split path's per-column (per-row) values for source offsets 0, 1, ... from the pan:
// the footprint [i*s, i*s + s) starts in cell trunc(i*s) and, when it reaches the next cell
// and that cell exists, gives the first cell the share trunc(i*s + s) - i*s. Offsets whose
// footprint starts past the last cell are dropped, so the table ends there; with s >= 0.5
// it has at most 2 * cells + 1 entries.
bool cPictBase::BuildSplitSteps(_typebuf<sSplitStep>& steps, i32 cells)
{
    const f64 s = m_scale;
    i64 count = 0;
    while (f64(count) * s < cells) {
        ++count;
    }
    if (!steps.Alloc(count)) {
        return false;
    }
    sSplitStep* step = steps.GetData();
    for (i64 i = 0; i < count; ++i) {
        const f64 start = f64(i) * s;
        const i64 first = Truncate(start);
        const i64 next = Truncate(start + s);
        step[i] = {i32(first), u8(next != first && first + 1 < cells), f64(next) - start};
    }
    return true;
}

void cPictBase::AddToCell(i64 cell, u32 pixel, f64 weight)
{
    if (cell < 0 || cell >= m_weights.GetCount()) {
        return;
    }
    f32* sum = m_accumulators.GetData() + cell * 4;
    sum[0] = f32(sum[0] + f64(pixel & 0xFF) * weight);
    sum[1] = f32(sum[1] + f64(pixel >> 8 & 0xFF) * weight);
    sum[2] = f32(sum[2] + f64(pixel >> 16 & 0xFF) * weight);
    sum[3] = f32(sum[3] + f64(pixel >> 24) * weight);
    m_weights.GetData()[cell] += weight;
}

void cPictBase::AddChannelToCell(i64 cell, u32 value, i32 channel, f64 weight)
{
    if (cell < 0 || cell >= m_weights.GetCount()) {
        return;
    }
    f32& sum = m_accumulators.GetData()[cell * 4 + channel];
    sum = f32(sum + f64(value) * weight);
    // The three colour planes of a pixel together count as one pixel; alpha adds none.
    if (channel < 3) {
        m_weights.GetData()[cell] += weight / 3;
    }
}

void cPictBase::SetNearestRow(i32 y)
{
    m_nearestRowY = y;
    const i64 row = Truncate((f64(y) - m_panY) * m_scale + 0.5);
    m_nearestRowCell = row >= 0 && row < m_renderedHeight ? row * m_renderedWidth : -1;
}

template <class Add>
void cPictBase::SplitFootprint(i32 x, i32 y, Add add)
{
    const i64 columnIndex = i64(x) - m_panX;
    const i64 rowIndex = i64(y) - m_panY;
    if (columnIndex < 0 || columnIndex >= m_columnSteps.GetCount() || rowIndex < 0 ||
        rowIndex >= m_rowSteps.GetCount()) {
        return;
    }
    const sSplitStep& column = m_columnSteps.GetData()[columnIndex];
    const sSplitStep& row = m_rowSteps.GetData()[rowIndex];
    const i64 cell = i64(row.cell) * m_renderedWidth + column.cell;
    const f64 fx = column.share;
    const f64 fy = row.share;
    if (row.crosses && column.crosses) {
        add(cell, fx * fy);
        add(cell + 1, (1 - fx) * fy);
        add(cell + m_renderedWidth, fx * (1 - fy));
        add(cell + m_renderedWidth + 1, (1 - fx) * (1 - fy));
    } else if (row.crosses) {
        add(cell, fy);
        add(cell + m_renderedWidth, 1 - fy);
    } else if (column.crosses) {
        add(cell, fx);
        add(cell + 1, 1 - fx);
    } else {
        add(cell, 1.0);
    }
}

void cPictBase::AccumulateSplit(i32 x, i32 y, u32 pixel)
{
    SplitFootprint(x, y, [&](i64 cell, f64 weight) { AddToCell(cell, pixel, weight); });
}

bool cPictBase::StreamChannel(i32 x, i32 y, u8 value, i32 channel)
{
    if (m_target == nullptr) {
        return false;
    }
    if (channel < 0 || channel > 3) {
        return true;
    }
    if (m_scale == 1.0) {
        const i64 column = i64(m_colMargin) + x - m_panX;
        const i64 row = i64(m_rowMargin) + y - m_panY;
        if (column >= 0 && column < m_target->width && row >= 0 && row < m_target->height) {
            m_target->pixels[row * m_target->width + column] |= u32(value) << (8 * channel);
        }
        return true;
    }
    if (m_accumulators.GetData() == nullptr) {
        return false;
    }
    if (m_scale < 0.5) {
        // Unlike StreamPixel, the pan is subtracted after scaling (see the header).
        const i64 column = Truncate(f64(x) * m_scale + 0.5) - m_panX;
        const i64 row = Truncate(f64(y) * m_scale + 0.5) - m_panY;
        if (column >= 0 && column < m_renderedWidth && row >= 0 && row < m_renderedHeight) {
            AddChannelToCell(row * m_renderedWidth + column, value, channel, 1.0);
        }
        return true;
    }
    SplitFootprint(x, y, [&](i64 cell, f64 weight) {
        AddChannelToCell(cell, value, channel, weight);
    });
    return true;
}

bool cPictBase::StreamChannel64(i32 x, i32 y, u16 value, i32 channel)
{
    return StreamChannel(x, y, u8(m_streamDeepMapping.MapChannel(value)), channel);
}

bool cPictBase::IsInStreamWindow(i32 x, i32 firstRow, i32 lastRow) const
{
    return x <= m_windowLastCol && firstRow <= m_windowLastRow && lastRow >= m_windowFirstRow;
}

// A cell's alpha becomes 255 times its weight, what adding an opaque alpha to each pixel
// in it would have summed; the image's own area of an unscaled target becomes opaque.
void cPictBase::MakeStreamedOpaque()
{
    if (m_target == nullptr) {
        return;
    }
    if (m_scale < 1.0) {
        f32* sums = m_accumulators.GetData();
        const f64* weights = m_weights.GetData();
        for (i64 cell = 0; sums != nullptr && cell < m_weights.GetCount(); ++cell) {
            sums[cell * 4 + 3] = f32(255.0 * weights[cell]);
        }
        return;
    }
    const i32 firstColumn = std::max(0, m_colMargin);
    const i32 endColumn = i32(std::min<i64>(m_target->width, i64(m_colMargin) + m_renderedWidth));
    const i32 endRow = i32(std::min<i64>(m_target->height, i64(m_rowMargin) + m_renderedHeight));
    for (i32 row = std::max(0, m_rowMargin); row < endRow; ++row) {
        u32* line = m_target->pixels + i64(row) * m_target->width;
        for (i32 column = firstColumn; column < endColumn; ++column) {
            line[column] |= 0xFF000000;
        }
    }
}

void cPictBase::EndStreamRender()
{
    if (m_target != nullptr && m_scale < 1.0 && m_accumulators.GetData() != nullptr) {
        const f32* sums = m_accumulators.GetData();
        const f64* weights = m_weights.GetData();
        for (i32 cy = 0; cy < m_renderedHeight; ++cy) {
            const i64 row = i64(m_rowMargin) + cy;
            for (i32 cx = 0; cx < m_renderedWidth; ++cx) {
                const i64 column = i64(m_colMargin) + cx;
                const i64 cell = i64(cy) * m_renderedWidth + cx;
                u32 pixel = 0; // a cell no pixel reached is transparent black
                if (weights[cell] != 0.0) {
                    const f64 reciprocal = 1.0 / weights[cell];
                    const f32* sum = sums + cell * 4;
                    pixel = CellChannel(sum[0], reciprocal) |
                            CellChannel(sum[1], reciprocal) << 8 |
                            CellChannel(sum[2], reciprocal) << 16 |
                            CellChannel(sum[3], reciprocal) << 24;
                }
                if (column >= 0 && column < m_target->width && row >= 0 &&
                    row < m_target->height) {
                    m_target->pixels[row * m_target->width + column] = pixel;
                }
            }
        }
    }
    DetachTarget();
}

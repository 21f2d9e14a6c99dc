#include "gui/document/docbox.h"

#include "gui/core/canvas.h"
#include "gui/core/font.h"
#include "gui/core/picture.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>

namespace {

constexpr char16_t kSpace[] = u" ";

// Reported sizes and the coordinates handed to children stay in 0..INT32_MAX.
i32 ClampCoordinate(i64 value)
{
    return i32(std::clamp<i64>(value, 0, INT32_MAX));
}

i64 Truncate(f64 value)
{
    return i64(std::trunc(std::clamp(value, f64(INT64_MIN / 2), f64(INT64_MAX / 2))));
}

const cFontObject* ResolveFont(cSiDocFontProvider* provider, i32 id, const cFontObject* contextFont)
{
    if (provider != nullptr) {
        if (const cFontObject* font = provider->GetFontFace(id)) {
            return font;
        }
    }
    return contextFont;
}

u32 Pick(u32 own, u32 inherited)
{
    return own != kSiDocInherit ? own : inherited;
}

// Cuts a length starting at `start` so that it ends at `limit` at the latest (a limit
// below 0 is none); never below 0.
i64 CutAt(i64 start, i64 length, i32 limit)
{
    if (limit >= 0 && start + length > limit) {
        length = limit - start;
    }
    return std::max<i64>(length, 0);
}

// A fixed size of -1 keeps `automatic`; other values replace it (negative ones as 0).
i32 ApplyFixed(i32 fixed, i32 automatic)
{
    return fixed == -1 ? automatic : std::max(fixed, 0);
}

void FillRectIfAny(cCanvas& canvas, i64 x, i64 y, i64 w, i64 h, u32 colour)
{
    if (w > 0 && h > 0) {
        canvas.FillRect(ClampCoordinate(x), ClampCoordinate(y), ClampCoordinate(w), ClampCoordinate(h), colour,
                        colour);
    }
}

bool Register(const sSiDocDrawContext& context, const char16_t* target, const sRect& area)
{
    if (context.target == nullptr || target == nullptr || area.width <= 0 || area.height <= 0) {
        return true;
    }
    return context.target->AddActiveArea(target, area.x, area.y, area.width, area.height);
}

} // namespace

// --- text and link boxes ------------------------------------------------------------

bool cSiDocText::SetText(const char16_t* text, i32 length)
{
    _guardchar<char16_t> copy;
    if (length < 0) {
        length = i32(std::min<size_t>(text != nullptr ? WideLength(text) : 0, INT32_MAX));
    }
    if (length > 0 && (text == nullptr || !copy.AssignN(text, size_t(length)))) {
        return false;
    }
    m_text = std::move(copy);
    m_length = i32(m_text.Length());
    m_cachedFont = nullptr;
    m_cachedSize = {-1, -1};
    return true;
}

sSize cSiDocText::FindSize(cCanvas& canvas, const sSiDocDrawContext& context)
{
    const cFontObject* font = ResolveFont(m_fontProvider, m_fontId, context.font);
    canvas.SelectFont(font);
    if (m_fixedWidth > 0 && m_fixedHeight > 0) {
        return {m_fixedWidth, m_fixedHeight};
    }
    if (m_cachedFont != font || m_cachedSize.width < 0) {
        // A line is 1.2 cells high; an empty text has no width.
        sSize measured{};
        const bool empty = m_length == 0;
        (void)canvas.MeasureTextW(empty ? kSpace : m_text.Get(), empty ? 1 : m_length, &measured);
        m_cachedSize = {empty ? 0 : measured.width, i32(f64(measured.height) * 1.2)};
        m_cachedFont = font;
    }
    return {ApplyFixed(m_fixedWidth, m_cachedSize.width), ApplyFixed(m_fixedHeight, m_cachedSize.height)};
}

bool cSiDocText::Measure(cCanvas* canvas, const sSiDocDrawContext& context, sSize& size)
{
    size = {};
    if (canvas == nullptr) {
        return false;
    }
    size = FindSize(*canvas, context);
    return true;
}

sRect cSiDocText::DrawCut(cCanvas* canvas, const sSiDocDrawContext& context, sSize& size)
{
    size = {};
    if (m_length == 0 || context.right == 0 || context.bottom == 0) {
        return {};
    }
    const sSize full = FindSize(*canvas, context);
    const i64 width = CutAt(context.x, full.width, context.right);
    const i64 height = CutAt(context.y, full.height, context.bottom);
    const bool cut = width != full.width || height != full.height;
    size = {i32(width), i32(height)};
    if (width == 0 || height == 0) {
        return {};
    }
    const sRect area{context.x, context.y, size.width, size.height};
    canvas->SetColors(Pick(m_textColour, context.textColour), Pick(m_background, context.background));
    if (cut) {
        canvas->AddClip(area);
    }
    (void)canvas->DrawTextInRectW(area.x, area.y, area.width, area.height, kAlignLeft, true, 0, 0, m_text.Get(),
                                  m_length);
    if (cut) {
        canvas->ApplyClip();
    }
    return area;
}

bool cSiDocText::Draw(cCanvas* canvas, const sSiDocDrawContext& context, sSize& size)
{
    size = {};
    if (canvas == nullptr) {
        return false;
    }
    (void)DrawCut(canvas, context, size);
    return true;
}

bool cSiDocLink::Draw(cCanvas* canvas, const sSiDocDrawContext& context, sSize& size)
{
    size = {};
    if (canvas == nullptr) {
        return false;
    }
    (void)Register(context, m_target, DrawCut(canvas, context, size));
    return true;
}

// --- image boxes --------------------------------------------------------------------

bool cSiDocImage::Measure(cCanvas* canvas, const sSiDocDrawContext& context, sSize& size)
{
    size = {};
    if (canvas == nullptr) {
        return false;
    }
    if (m_fixedWidth > 0 && m_fixedHeight > 0) {
        size = {m_fixedWidth, m_fixedHeight};
        return true;
    }
    if (m_picture == nullptr) {
        return false;
    }
    // Each fixed value applies on its own, as Draw uses it: line fitting then sees the
    // width that is drawn.
    size = {ApplyFixed(m_fixedWidth, m_picture->GetWidth()), ApplyFixed(m_fixedHeight, m_picture->GetHeight())};
    return true;
}

sRect cSiDocImage::DrawCut(cCanvas* canvas, const sSiDocDrawContext& context, sSize& size)
{
    size = {};
    if (m_picture == nullptr || context.right == 0 || context.bottom == 0) {
        return {};
    }
    const i32 pictureWidth = m_picture->GetWidth();
    const i32 pictureHeight = m_picture->GetHeight();
    const i64 width = CutAt(context.x, ApplyFixed(m_fixedWidth, pictureWidth), context.right);
    const i64 height = CutAt(context.y, ApplyFixed(m_fixedHeight, pictureHeight), context.bottom);
    size = {i32(width), i32(height)};
    if (width == 0 || height == 0) {
        return {};
    }
    const sRect area{context.x, context.y, size.width, size.height};
    if (m_mode == kSiDocImageNatural) {
        canvas->AddClip(area);
        canvas->DrawPicture(area.x, area.y, m_picture, -1, -1);
        canvas->ApplyClip();
        const u32 background = Pick(m_background, context.background);
        FillRectIfAny(*canvas, i64(area.x) + pictureWidth, area.y, width - pictureWidth, height, background);
        FillRectIfAny(*canvas, area.x, i64(area.y) + pictureHeight, std::min<i64>(width, pictureWidth),
                      height - pictureHeight, background);
    } else if (m_mode == kSiDocImageStretch) {
        canvas->DrawPicture(area.x, area.y, m_picture, area.width, area.height);
    }
    return area;
}

bool cSiDocImage::Draw(cCanvas* canvas, const sSiDocDrawContext& context, sSize& size)
{
    size = {};
    if (canvas == nullptr) {
        return false;
    }
    (void)DrawCut(canvas, context, size);
    return true;
}

bool cSiDocImageLink::Draw(cCanvas* canvas, const sSiDocDrawContext& context, sSize& size)
{
    size = {};
    if (canvas == nullptr) {
        return false;
    }
    (void)Register(context, m_target, DrawCut(canvas, context, size));
    return true;
}

// --- containers ---------------------------------------------------------------------

cSiDocContainer::~cSiDocContainer()
{
    m_children.DeleteAll();
}

bool cSiDocContainer::Draw(cCanvas* canvas, const sSiDocDrawContext& context, sSize& size)
{
    return Layout(canvas, context, size, ePass::Draw);
}

bool cSiDocContainer::Measure(cCanvas* canvas, const sSiDocDrawContext& context, sSize& size)
{
    return Layout(canvas, context, size, ePass::Measure);
}

bool cSiDocContainer::Layout(cCanvas* canvas, const sSiDocDrawContext& context, sSize& size, ePass pass)
{
    size = {};
    if (canvas == nullptr || context.depth >= kSiDocMaxLayoutDepth) {
        return false;
    }
    const bool drawing = pass == ePass::Draw;
    if (!drawing && m_fixedWidth > 0 && m_fixedHeight > 0) {
        size = {m_fixedWidth, m_fixedHeight};
        return true;
    }
    if (m_children.IsEmpty()) {
        size = {ApplyFixed(m_fixedWidth, 0), ApplyFixed(m_fixedHeight, 0)};
        if (drawing && m_fixedWidth != -1 && m_fixedHeight != -1 && m_background != kSiDocInherit) {
            FillRectIfAny(*canvas, context.x, context.y, size.width, size.height, m_background);
        }
        return drawing;
    }
    if (m_alignment < kSiDocAlignLeft || m_alignment > kSiDocAlignJustify) {
        return false;
    }

    // Step 1: the limits. Unbounded is kept apart from any number: -1 less a margin
    // would end every line at once.
    std::optional<i64> right;
    std::optional<i64> bottom;
    if (m_fixedWidth != -1) {
        right = i64(context.x) + m_fixedWidth;
    }
    if (context.right >= 0) {
        right = right ? std::min<i64>(*right, context.right) : context.right;
    }
    if (right) {
        *right -= m_marginRight;
    }
    if (m_fixedHeight != -1) {
        bottom = i64(context.y) + m_fixedHeight;
    }
    if (context.bottom >= 0) {
        bottom = bottom ? std::min<i64>(*bottom, context.bottom) : context.bottom;
    }
    if (bottom) {
        *bottom -= m_marginBottom;
    }

    // Step 2: the children's context and the space width.
    sSiDocDrawContext child = context;
    child.font = ResolveFont(m_fontProvider, m_fontId, context.font);
    child.textColour = Pick(m_textColour, context.textColour);
    child.background = Pick(m_background, context.background);
    child.bottom = bottom ? ClampCoordinate(*bottom) : -1;
    child.depth = context.depth + 1;
    canvas->SelectFont(child.font);
    sSize spaceSize{};
    (void)canvas->MeasureTextW(kSpace, 1, &spaceSize);
    const f64 space = spaceSize.width;
    auto placeAt = [&](const cSiDocBox& box, i64 x, i64 y) {
        child.x = ClampCoordinate(x);
        child.y = ClampCoordinate(y);
        child.right = right ? ClampCoordinate(*right - box.m_marginRight) : -1;
    };
    auto place = [&](cSiDocBox& box) {
        sSize placed{};
        if (drawing) {
            (void)box.Draw(canvas, child, placed);
        } else {
            placed = {box.m_measuredWidth, box.m_measuredHeight};
        }
        return placed;
    };

    i64 top = context.y;
    i64 widest = 0;
    for (auto it = m_children.begin(); it != m_children.end();) {
        // Step 3: gather a line.
        f64 x = context.x;
        i32 count = 0;
        i32 gaps = 0;
        bool previousWord = false;
        bool overflowed = false;
        auto lineEnd = it;
        for (; lineEnd != m_children.end(); ++lineEnd) {
            cSiDocBox* box = *lineEnd;
            if (box == nullptr) {
                continue;
            }
            if (count > 0 && box->m_break) {
                break;
            }
            // Measured where it will be placed: a container's lines end at the right limit,
            // so its height depends on its left edge.
            placeAt(*box, Truncate(x + box->m_marginLeft), top + box->m_marginTop);
            sSize measured{};
            (void)box->Measure(canvas, child, measured);
            box->m_measuredWidth = measured.width;
            box->m_measuredHeight = measured.height;
            const bool pair = previousWord && box->IsWord();
            const f64 advance =
                f64(box->m_marginLeft) + measured.width + f64(box->m_marginRight) + (pair ? space : 0.0);
            if (count > 0 && right && x + advance > f64(*right)) {
                overflowed = true;
                break;
            }
            x += advance;
            gaps += pair ? 1 : 0;
            previousWord = box->IsWord();
            ++count;
        }
        if (count == 0) {
            break;
        }

        // Step 4: where the line starts, and the gap of a justified line.
        f64 x0 = context.x;
        f64 gap = space;
        if (right) {
            const f64 limit = f64(*right);
            if (m_alignment == kSiDocAlignRight) {
                x0 = limit - (x - context.x);
            } else if (m_alignment == kSiDocAlignCentre) {
                x0 = context.x + (limit - x) * 0.5;
            } else if (m_alignment == kSiDocAlignJustify && overflowed && gaps >= 1) {
                gap = space + (limit - x) / gaps;
            }
        }

        if (count == 1) {
            // Step 5: a child alone on its line; its bottom margin is not added.
            while (*it == nullptr) {
                ++it;
            }
            cSiDocBox& box = **it;
            placeAt(box, Truncate(x0 + box.m_marginLeft), top + box.m_marginTop);
            const sSize placed = place(box);
            top += i64(box.m_marginTop) + placed.height;
            widest = std::max<i64>(widest, placed.width);
        } else {
            // Step 6: several children; x is whole after the first one.
            f64 lineX = x0;
            i64 lineHeight = 0;
            bool previous = false;
            for (; it != lineEnd; ++it) {
                cSiDocBox* box = *it;
                if (box == nullptr) {
                    continue;
                }
                const bool pair = previous && box->IsWord();
                placeAt(*box, Truncate(lineX + box->m_marginLeft) + (pair ? Truncate(gap) : 0),
                        top + box->m_marginTop);
                const sSize placed = place(*box);
                if (drawing) {
                    const u32 fill = Pick(box->m_background, child.background);
                    const i64 left = i64(child.x) - box->m_marginLeft;
                    const i64 outer = i64(box->m_marginLeft) + placed.width + box->m_marginRight;
                    FillRectIfAny(*canvas, left, child.y, box->m_marginLeft, placed.height, fill);
                    FillRectIfAny(*canvas, left, top, outer, box->m_marginTop, fill);
                    FillRectIfAny(*canvas, i64(child.x) + placed.width, child.y, box->m_marginRight, placed.height,
                                  fill);
                    FillRectIfAny(*canvas, left, i64(child.y) + placed.height, outer, box->m_marginBottom, fill);
                }
                lineX = f64(child.x) + placed.width + box->m_marginRight;
                lineHeight = std::max<i64>(lineHeight,
                                           i64(box->m_marginTop) + placed.height + box->m_marginBottom);
                previous = box->IsWord();
            }
            top += lineHeight;
            widest = std::max<i64>(widest, Truncate(lineX - context.x));
        }
        it = lineEnd;
    }

    // Step 7: the reported size.
    const i64 height = m_fixedHeight > 0 ? m_fixedHeight : top - context.y;
    i64 width = m_fixedWidth > 0 ? m_fixedWidth : widest;
    if (!drawing && m_fixedWidth <= 0 && right) {
        width = std::max(width, *right);
    }
    size = {ClampCoordinate(width), ClampCoordinate(height)};
    return true;
}

// The text calls of the software canvas: glyph drawing, measuring, "..." cutting and
// word-wrapped blocks. Layout decisions live in textlayout.cpp; this file turns them
// into pixels.
#include "gui/core/font.h"
#include "platform/pixelspan.h"
#include "platform/softcanvas.h"
#include "platform/textlayout.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr char16_t kEllipsis[] = u"...";
constexpr i32 kEllipsisLength = 3;

i32 CellHeightOf(const cFontObject* font)
{
    return font ? font->GetCellHeight() : 0;
}

cFontFace* FaceOf(const cFontObject* font)
{
    return font ? font->GetFace() : nullptr;
}

struct sCutText
{
    std::u16string text;
    i64 width = 0; // above the room when not even "..." fits
};

// The longest prefix of whole code points of `text` that fits `room` with "..." behind
// it. `advances` holds one value per unit of `text`.
sCutText CutWithEllipsis(cFontFace* face, const char16_t* text, i32 length, const i32* advances, i64 room)
{
    i32 ellipsisAdvances[kEllipsisLength];
    GetUnitAdvances(face, kEllipsis, kEllipsisLength, ellipsisAdvances);
    sCutText cut;
    cut.width = i64(ellipsisAdvances[0]) + ellipsisAdvances[1] + ellipsisAdvances[2];
    const i32 kept = cut.width > room ? 0 : FittingPrefix(text, length, advances, i32(room - cut.width));
    for (i32 i = 0; i < kept; ++i) {
        cut.width += advances[size_t(i)];
    }
    cut.text.assign(text, size_t(kept));
    cut.text.append(kEllipsis);
    return cut;
}

} // namespace

i32 cSoftCanvas::DrawGlyphRun(i32 canvasX, i32 canvasY, const char16_t* text, i32 length)
{
    cFontFace* face = FaceOf(GetFont());
    if (face == nullptr) {
        return 0;
    }
    const u32 textPixel = PixelFromColour(m_textColour);
    // Glyphs go where measuring put them, so that what is drawn is what was measured.
    std::vector<i32> advances(size_t(length) + 1);
    std::vector<sPlacedGlyph> glyphs;
    LayOutLine(face, text, length, advances.data(), &glyphs);
    i64 penX = canvasX;
    for (i32 i = 0; i < length; ++i) {
        penX += advances[size_t(i)];
    }
    for (const sPlacedGlyph& placed : glyphs) {
        const sGlyphImage* glyph = placed.image;
        if (glyph->width == 0 || glyph->height == 0) {
            continue;
        }
        const i64 left = i64(canvasX) + placed.x + glyph->left;
        const i64 top = i64(canvasY) + placed.y + glyph->top;
        const sRect box = RectFromEdges(left, top, left + glyph->width, top + glyph->height);
        ForEachClippedRow(box, [&](i32 row, const sRect& part) {
            const u8* mask = glyph->coverage + size_t(row - top) * size_t(glyph->width) + size_t(part.x - left);
            BlendMaskSpan(PixelRow(row) + part.x, mask, size_t(part.width), textPixel);
        });
    }
    return i32(std::clamp<i64>(penX - canvasX, 0, INT32_MAX));
}

void cSoftCanvas::DrawUnderline(i32 canvasX, i32 canvasY, i32 width)
{
    const cFontObject* font = GetFont();
    cFontFace* face = FaceOf(font);
    if (face == nullptr || !font->GetKey().underline) {
        return;
    }
    const sFontMetrics& metrics = face->GetMetrics();
    FillClipped(RectFromEdges(canvasX, i64(canvasY) + metrics.underlineTop, i64(canvasX) + width,
                              i64(canvasY) + metrics.underlineTop + metrics.underlineThickness),
                PixelFromColour(m_textColour));
}

void cSoftCanvas::DrawTextLine(i32 x, i32 y, bool boxed, const char16_t* text, i32 length, i32 width)
{
    if (boxed) {
        FillClipped(ToCanvas(x, y, width, CellHeightOf(GetFont())), PixelFromColour(m_backColour));
    }
    const sRect start = RectFromEdges(i64(x) + m_origin.x, i64(y) + m_origin.y, i64(x) + m_origin.x + 1,
                                      i64(y) + m_origin.y + 1);
    if (start.IsEmpty()) {
        return; // a pen position outside the 32-bit range draws nothing
    }
    DrawGlyphRun(start.x, start.y, text, length);
    DrawUnderline(start.x, start.y, width);
}

bool cSoftCanvas::MeasureTextW(const char16_t* text, i32 length, sSize* size) const
{
    if (size == nullptr || (text == nullptr && length > 0)) {
        return false;
    }
    const cFontObject* font = GetFont();
    length = ResolveTextLength(text, length);
    std::vector<i32> advances(size_t(length) + 1);
    GetUnitAdvances(FaceOf(font), text, length, advances.data());
    i64 width = 0;
    for (i32 i = 0; i < length; ++i) {
        width += advances[i];
    }
    size->width = i32(std::min<i64>(width, INT32_MAX));
    size->height = CellHeightOf(font);
    return true;
}

bool cSoftCanvas::MeasureTextA(const char* text, i32 length, sSize* size) const
{
    if (size == nullptr || (text == nullptr && length > 0)) {
        return false;
    }
    const i32 count = text == nullptr ? 0 : (length < 0 ? i32(std::char_traits<char>::length(text)) : length);
    std::u16string wide(size_t(count), u'\0');
    for (i32 i = 0; i < count; ++i) {
        wide[size_t(i)] = char16_t(u8(text[i])); // Latin-1 maps byte to code point
    }
    return MeasureTextW(wide.data(), count, size);
}

bool cSoftCanvas::FitTextW(const char16_t* text, i32 length, i32* edges) const
{
    if (text == nullptr && length > 0) {
        return false;
    }
    length = ResolveTextLength(text, length);
    if (length > 0 && edges == nullptr) {
        return false;
    }
    std::vector<i32> advances(size_t(length) + 1);
    GetUnitAdvances(FaceOf(GetFont()), text, length, advances.data());
    i32 edge = 0;
    for (i32 i = 0; i < length;) {
        const sCodePoint point = CodePointAt(text, length, i);
        edge += advances[i];
        for (i32 unit = 0; unit < point.units; ++unit) {
            edges[i + unit] = edge;
        }
        i += point.units;
    }
    return true;
}

bool cSoftCanvas::PlaceTextW(const char16_t* text, i32 length, sUnitPlace* places, bool* rightToLeft) const
{
    if (text == nullptr && length > 0) {
        return false;
    }
    length = ResolveTextLength(text, length);
    if (length > 0 && places == nullptr) {
        return false;
    }
    std::vector<i32> advances(size_t(length) + 1);
    LayOutLine(FaceOf(GetFont()), text, length, advances.data(), nullptr, places, rightToLeft);
    return true;
}

void cSoftCanvas::DrawTextW(i32 x, i32 y, bool boxed, const char16_t* text, i32 length)
{
    sSize size;
    if (!MeasureTextW(text, length, &size)) {
        return;
    }
    DrawTextLine(x, y, boxed, text, ResolveTextLength(text, length), size.width);
}

i32 cSoftCanvas::DrawTextInRectW(i32 x, i32 y, i32 w, i32 h, u32 align, bool boxed, i32 leftMargin,
                                 i32 rightMargin, const char16_t* text, i32 length)
{
    length = ResolveTextLength(text, length);
    const i64 room = i64(w) - leftMargin - rightMargin;
    if (length == 0 || room <= 0) {
        return -1;
    }
    const cFontObject* font = GetFont();
    std::vector<i32> advances(static_cast<size_t>(length));
    GetUnitAdvances(FaceOf(font), text, length, advances.data());
    i64 textWidth = 0;
    for (const i32 advance : advances) {
        textWidth += advance;
    }
    i64 start = i64(x) + leftMargin;
    sCutText cut;
    const char16_t* drawn = text;
    i32 drawnLength = length;
    if (textWidth <= room) {
        if (align == kAlignCentre) {
            start += (room - textWidth) / 2;
        } else if (align == kAlignRight) {
            start = i64(x) + w - rightMargin - textWidth;
        }
    } else {
        cut = CutWithEllipsis(FaceOf(font), text, length, advances.data(), room);
        if (cut.width > room) {
            return -1;
        }
        textWidth = cut.width;
        drawn = cut.text.data();
        drawnLength = i32(cut.text.size());
    }
    if (start < INT32_MIN || start > INT32_MAX) {
        return -1;
    }
    // C++ division truncates toward zero, also when the cell is taller than the box.
    const i64 top = i64(y) + (i64(h) - CellHeightOf(font)) / 2;
    AddClip(sRect{x, y, w, h});
    if (top >= INT32_MIN && top <= INT32_MAX) {
        DrawTextLine(i32(start), i32(top), boxed, drawn, drawnLength, i32(textWidth));
    }
    ApplyClip();
    return i32(start);
}

bool cSoftCanvas::DrawMultilineTextW(i32 x, i32 y, i32 w, i32 h, u32 align, f64 lineFactor,
                                     const char16_t* text, i32 length, i32* height)
{
    if (height != nullptr) {
        *height = 0;
    }
    if (text == nullptr || w < 1) {
        return false;
    }
    length = ResolveTextLength(text, length);
    std::u16string clean;
    clean.reserve(size_t(length));
    for (i32 i = 0; i < length; ++i) {
        if (text[i] != u'\r') {
            clean.push_back(text[i]);
        }
    }
    const cFontObject* font = GetFont();
    const i32 count = i32(clean.size());
    std::vector<i32> advances(size_t(count) + 1);
    GetUnitAdvances(FaceOf(font), clean.data(), count, advances.data());
    const std::vector<sTextLine> lines = BreakTextLines(clean.data(), count, advances.data(), w, TabStopWidth(FaceOf(font)));

    const f64 scaled = CellHeightOf(font) * lineFactor;
    const i64 advance = scaled > 0 && scaled < 1e9 ? i64(scaled) : 0;
    if (height != nullptr) {
        *height = i32(std::min<i64>(advance * i64(lines.size()), INT32_MAX));
    }
    if (h < 1) {
        return true;
    }
    // Only whole lines are drawn: a line cut through the middle reads as something else.
    // When lines are left over, the last whole one ends with "..." so that nothing is
    // lost silently. A box lower than one line still shows its first line, clipped.
    size_t shown = 0;
    while (shown < lines.size() && advance * i64(shown) + CellHeightOf(font) <= h) {
        ++shown;
    }
    shown = std::max(shown, std::min<size_t>(lines.size(), 1));
    AddClip(sRect{x, y, w, h});
    for (size_t index = 0; index < shown; ++index) {
        sTextLine line = lines[index];
        const i64 top = i64(y) + advance * i64(index);
        if (top >= i64(y) + h || top > INT32_MAX) {
            break;
        }
        sCutText cut;
        const char16_t* drawn = clean.data() + line.start;
        i32 drawnLength = line.end - line.start;
        if (index + 1 == shown && shown < lines.size()) {
            cut = CutWithEllipsis(FaceOf(font), drawn, drawnLength, advances.data() + line.start, w);
            drawn = cut.text.data();
            drawnLength = i32(cut.text.size());
            line.width = i32(cut.width);
            line.wrapped = false; // drawn as one run
        }
        const i64 spare = i64(w) - line.width;
        i64 lineX = x;
        if (align == kAlignCentre) {
            lineX += spare / 2;
        } else if (align == kAlignRight) {
            lineX += spare;
        }
        if (lineX < INT32_MIN || lineX > INT32_MAX) {
            continue;
        }
        // Justified lines are drawn word by word with the spare pixels shared out over
        // the g gaps: gap k gets floor((k+1)e/g) - floor(ke/g), so the last word ends
        // flush right. Other lines are drawn as one run.
        i32 gaps = 0;
        for (i32 i = line.start + 1; i < line.end; ++i) {
            gaps += clean[size_t(i)] == u' ' && clean[size_t(i) - 1] != u' ';
        }
        if (align != kAlignJustify || !line.wrapped || gaps == 0 || spare <= 0) {
            DrawTextLine(i32(lineX), i32(top), false, drawn, drawnLength, line.width);
            continue;
        }
        i64 penX = lineX;
        i32 gap = 0;
        i32 i = line.start;
        while (clean[size_t(i)] == u' ') { // spaces that open a paragraph are no gap
            penX += advances[size_t(i)];
            ++i;
        }
        while (i < line.end) {
            i32 wordEnd = i;
            i32 wordWidth = 0;
            while (wordEnd < line.end && clean[size_t(wordEnd)] != u' ') {
                wordWidth += advances[size_t(wordEnd)];
                ++wordEnd;
            }
            DrawTextLine(i32(penX), i32(top), false, clean.data() + i, wordEnd - i, wordWidth);
            penX += wordWidth;
            i = wordEnd;
            if (i == line.end) {
                break;
            }
            while (i < line.end && clean[size_t(i)] == u' ') {
                penX += advances[size_t(i)];
                ++i;
            }
            penX += (i64(gap) + 1) * spare / gaps - i64(gap) * spare / gaps;
            ++gap;
        }
    }
    ApplyClip();
    return true;
}

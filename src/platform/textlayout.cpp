#include "platform/textlayout.h"

#include "gui/core/font.h"

#include <algorithm>
#include <memory>
#include <string>

namespace {

i32 SumAdvances(const i32* advances, i32 start, i32 end)
{
    i32 sum = 0;
    for (i32 i = start; i < end; ++i) {
        sum += advances[i];
    }
    return sum;
}

// The width of units [start, end) placed `pen` pixels into a line.
i32 PlacedWidth(const char16_t* text, const i32* advances, i32 start, i32 end, i64 pen, i32 tabWidth)
{
    i64 at = pen;
    for (i32 i = start; i < end; ++i) {
        at += text[i] == u'\t' && tabWidth > 0 ? tabWidth - at % tabWidth : advances[i];
    }
    return i32(std::min<i64>(at - pen, INT32_MAX));
}

i32 ClampedPen(i64 pen)
{
    return i32(std::clamp<i64>(pen, 0, INT32_MAX));
}

// The places of one shaped piece that starts `pen` pixels into the line. A face without
// places runs left to right, each code point a cluster.
void PlacePiece(const sShapedText& shaped, const char16_t* text, i32 length, i64 pen, sUnitPlace* places)
{
    if (!shaped.unitPlaces.empty()) {
        for (i32 unit = 0; unit < length; ++unit) {
            const sUnitPlace& place = shaped.unitPlaces[size_t(unit)];
            places[unit] = {ClampedPen(pen + place.left), ClampedPen(pen + place.right), place.rightToLeft};
        }
        return;
    }
    for (i32 unit = 0; unit < length;) {
        const i32 units = CodePointAt(text, length, unit).units;
        const i64 right = pen + shaped.unitAdvances[size_t(unit)];
        std::fill(places + unit, places + unit + units, sUnitPlace{ClampedPen(pen), ClampedPen(right), false});
        pen = right;
        unit += units;
    }
}

} // namespace

i32 ResolveTextLength(const char16_t* text, i32 length)
{
    if (text == nullptr) {
        return 0;
    }
    if (length < 0) {
        return i32(std::char_traits<char16_t>::length(text));
    }
    return length;
}

sCodePoint CodePointAt(const char16_t* text, i32 length, i32 index)
{
    // A high surrogate (D800-DBFF) followed by a low one (DC00-DFFF) is one code point.
    const char16_t unit = text[index];
    if (unit >= 0xD800 && unit <= 0xDBFF && index + 1 < length && text[index + 1] >= 0xDC00 &&
        text[index + 1] <= 0xDFFF) {
        const char32_t value = 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (text[index + 1] - 0xDC00);
        return {value, 2};
    }
    return {unit, 1};
}

bool IsLayoutControl(char32_t codePoint)
{
    return codePoint < 0x20;
}

i32 TabStopWidth(cFontFace* face)
{
    return face ? 8 * face->GetGlyph(U' ')->advance : 0;
}

void LayOutLine(cFontFace* face, const char16_t* text, i32 length, i32* advances, std::vector<sPlacedGlyph>* glyphs,
                sUnitPlace* places, bool* rightToLeft)
{
    // Tab stops counted from the line's start.
    const i64 tabWidth = TabStopWidth(face);
    if (rightToLeft != nullptr) {
        *rightToLeft = false;
    }
    bool firstPiece = true;
    i64 pen = 0;
    i32 i = 0;
    while (i < length) {
        if (IsLayoutControl(text[i])) {
            const i32 advance = text[i] == u'\t' && tabWidth > 0 ? i32(tabWidth - pen % tabWidth) : 0;
            if (places != nullptr) {
                places[i] = {ClampedPen(pen), ClampedPen(pen + advance), false};
            }
            pen = text[i] == u'\n' ? 0 : pen + advance;
            advances[i++] = advance;
            continue;
        }
        // The text between controls is shaped as a whole.
        i32 end = i;
        while (end < length && !IsLayoutControl(text[end])) {
            ++end;
        }
        if (face == nullptr) {
            std::fill(advances + i, advances + end, 0);
            if (places != nullptr) {
                std::fill(places + i, places + end, sUnitPlace{});
            }
            i = end;
            continue;
        }
        const std::shared_ptr<const sShapedText> shaped = face->Shape(text + i, end - i);
        if (glyphs != nullptr) {
            for (const sShapedGlyph& glyph : shaped->glyphs) {
                glyphs->push_back({glyph.image, pen + glyph.x, glyph.y});
            }
        }
        if (places != nullptr) {
            PlacePiece(*shaped, text + i, end - i, pen, places + i);
        }
        if (rightToLeft != nullptr && firstPiece) {
            *rightToLeft = shaped->rightToLeft;
        }
        firstPiece = false;
        for (i32 unit = i; unit < end; ++unit) {
            advances[unit] = shaped->unitAdvances[size_t(unit - i)];
            pen += advances[unit];
        }
        i = end;
    }
}

void GetUnitAdvances(cFontFace* face, const char16_t* text, i32 length, i32* advances)
{
    LayOutLine(face, text, length, advances, nullptr);
}

i32 FittingPrefix(const char16_t* text, i32 length, const i32* advances, i32 room)
{
    i32 used = 0;
    i32 i = 0;
    while (i < length) {
        const sCodePoint point = CodePointAt(text, length, i);
        if (used + advances[i] > room) {
            break;
        }
        used += advances[i];
        i += point.units;
    }
    return i;
}

std::vector<sTextLine> BreakTextLines(const char16_t* text, i32 length, const i32* advances, i32 width,
                                      i32 tabWidth)
{
    std::vector<sTextLine> lines;
    i32 position = 0;
    while (position < length) {
        i32 paragraphEnd = position;
        while (paragraphEnd < length && text[paragraphEnd] != u'\n') {
            ++paragraphEnd;
        }
        // Greedy filling: a word joins the line when the line, the spaces before the
        // word and the word fit; otherwise the spaces are dropped and the word opens
        // the next line. Spaces that open a paragraph belong to its first line.
        sTextLine line;
        line.start = position;
        line.end = position;
        bool lineHasWord = false;
        i32 i = position;
        while (i < paragraphEnd) {
            i32 wordStart = i;
            while (wordStart < paragraphEnd && text[wordStart] == u' ') {
                ++wordStart;
            }
            if (wordStart == paragraphEnd) {
                break; // spaces that end the paragraph are dropped
            }
            i32 wordEnd = wordStart;
            while (wordEnd < paragraphEnd && text[wordEnd] != u' ') {
                ++wordEnd;
            }
            const i32 spaces = SumAdvances(advances, i, wordStart);
            const i32 word = PlacedWidth(text, advances, wordStart, wordEnd, i64(line.width) + spaces, tabWidth);
            if (lineHasWord && line.width + spaces + word > width) {
                line.wrapped = true;
                lines.push_back(line);
                line = sTextLine{wordStart, wordEnd, PlacedWidth(text, advances, wordStart, wordEnd, 0, tabWidth),
                                 false};
            } else {
                line.end = wordEnd;
                line.width += spaces + word;
            }
            lineHasWord = true;
            i = wordEnd;
        }
        lines.push_back(line);
        position = paragraphEnd + 1; // past the line feed; a final one opens nothing
    }
    return lines;
}

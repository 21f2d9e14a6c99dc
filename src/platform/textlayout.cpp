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

void LayOutLine(cFontFace* face, const char16_t* text, i32 length, i32* advances, std::vector<sPlacedGlyph>* glyphs)
{
    // Tab stops every eight space widths, counted from the line's start.
    const i64 tabWidth = face ? 8 * i64(face->GetGlyph(U' ')->advance) : 0;
    i64 pen = 0;
    i32 i = 0;
    while (i < length) {
        if (IsLayoutControl(text[i])) {
            const i32 advance = text[i] == u'\t' && tabWidth > 0 ? i32(tabWidth - pen % tabWidth) : 0;
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
            i = end;
            continue;
        }
        const std::shared_ptr<const sShapedText> shaped = face->Shape(text + i, end - i);
        if (glyphs != nullptr) {
            for (const sShapedGlyph& glyph : shaped->glyphs) {
                glyphs->push_back({glyph.image, pen + glyph.x, glyph.y});
            }
        }
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

std::vector<sTextLine> BreakTextLines(const char16_t* text, i32 length, const i32* advances, i32 width)
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
            const i32 word = SumAdvances(advances, wordStart, wordEnd);
            if (lineHasWord && line.width + spaces + word > width) {
                line.wrapped = true;
                lines.push_back(line);
                line = sTextLine{wordStart, wordEnd, word, false};
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

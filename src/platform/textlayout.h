#pragma once
// Platform-neutral pieces of text layout used by the software canvas: walking UTF-16
// code points, per-unit advances, "..." cutting and word wrapping. They work on unit
// advances so that tests can drive them with any widths.
#include "base/types.h"

#include <vector>

class cFontFace;
struct sGlyphImage;
struct sUnitPlace;

// The resolved length of a text argument: -1 = up to the terminating 0; a null text
// counts as empty.
i32 ResolveTextLength(const char16_t* text, i32 length);

// The code point at `index` and how many units it takes (2 for a surrogate pair, else
// 1; a lone surrogate is returned as itself).
struct sCodePoint
{
    char32_t value;
    i32 units;
};
sCodePoint CodePointAt(const char16_t* text, i32 length, i32 index);

// C0 controls (below U+0020) lay text out instead of showing a glyph: a tab advances
// to the next multiple of eight space widths from the line's start, a CR (the first
// half of a CR LF break), a line feed and the other controls take no room and draw
// nothing.
bool IsLayoutControl(char32_t codePoint);
// The distance between tab stops: eight space widths of the face (0 without a face).
i32 TabStopWidth(cFontFace* face);

// One glyph of a laid-out line: pen position from the line's start and offset below
// the baseline.
struct sPlacedGlyph
{
    const sGlyphImage* image;
    i64 x;
    i32 y;
};
// Lays out one line: the text between controls is shaped by the face, controls act as
// above. advances[i] = the advance of unit i (a cluster's on its first unit, 0 on the
// others); `glyphs` (may be null) receives the glyphs to draw; `places` (may be null)
// receives every unit's place and `rightToLeft` (may be null) the direction of the
// line's first paragraph piece. Without a face every advance is 0.
void LayOutLine(cFontFace* face, const char16_t* text, i32 length, i32* advances, std::vector<sPlacedGlyph>* glyphs,
                sUnitPlace* places = nullptr, bool* rightToLeft = nullptr);
// LayOutLine's advances alone.
void GetUnitAdvances(cFontFace* face, const char16_t* text, i32 length, i32* advances);

// The number of leading units, ending on a code-point boundary, whose advances add up
// to at most `room`.
i32 FittingPrefix(const char16_t* text, i32 length, const i32* advances, i32 room);

// One line of wrapped text: units [start, end) with no spaces at either end of a
// wrap, its width, and whether it ended by wrapping (false: at a line feed or the end).
struct sTextLine
{
    i32 start = 0;
    i32 end = 0;
    i32 width = 0;
    bool wrapped = false;
};
// Breaks text (carriage returns already removed) into lines of at most `width`: a line
// feed forces a break, lines break at spaces, a word wider than the line stands alone.
// A final line feed does not open another line; empty text gives no line. A tab
// reaches the next multiple of `tabWidth` from the start of the line it lands on (its
// entry in `advances` is not used), as each line is drawn on its own; 0 = tabs take
// their advances.
std::vector<sTextLine> BreakTextLines(const char16_t* text, i32 length, const i32* advances,
                                      i32 width, i32 tabWidth = 0);

#pragma once
// Shaping with HarfBuzz, the stand-in for the platform's script engine: a line is cut
// into runs of one face and one script (characters common to all scripts, such as
// spaces, digits and combining marks, stay in the run around them when its face has
// them), each run is shaped as a whole, so kerning, combining marks, Arabic joining
// and Indic clusters come out as the fonts define them. Advances are rounded to whole
// pixels per glyph, as the hinted glyphs are drawn. A line mixing directions is cut
// at its embedding levels too (FriBidi) and its runs are placed in display order.
// Shaped lines are kept per text.
#include "gui/core/font.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <hb.h>

#include <map>
#include <memory>
#include <string>
#include <unordered_map>

// What the shaper asks of its face. Called under the face's lock.
class cShapingSource
{
public:
    // The face that draws `codePoint` (a fallback face when the primary lacks it).
    virtual FT_Face FaceFor(char32_t codePoint) = 0;
    // The image of glyph `index` of `face` (one of FaceFor's answers).
    virtual const sGlyphImage* GlyphAt(FT_Face face, FT_UInt index) = 0;

protected:
    ~cShapingSource() = default;
};

class cTextShaper
{
public:
    cTextShaper() = default;
    ~cTextShaper();
    cTextShaper(const cTextShaper&) = delete;
    cTextShaper& operator=(const cTextShaper&) = delete;

    // The caller MUST serialise calls (its face's lock).
    std::shared_ptr<const sShapedText> Shape(const char16_t* text, i32 length, cShapingSource& source);

private:
    hb_font_t* FontFor(FT_Face face);

    std::map<FT_Face, hb_font_t*> m_fonts;
    hb_buffer_t* m_buffer = nullptr;
    std::unordered_map<std::u16string, std::shared_ptr<const sShapedText>> m_shaped;
    size_t m_shapedUnits = 0;
};

#pragma once
// Fonts through FreeType, matched with fontconfig: the stand-in for GDI's fonts.
//
// A key w x h is read as a GDI LOGFONT: h is the cell height (usWinAscent +
// usWinDescent of the OS/2 table map to h pixels) and w the average character width
// (xAvgCharWidth maps to w pixels; 0 keeps the face's proportions). So
//   em_y = h x unitsPerEm / (usWinAscent + usWinDescent),
//   em_x = w x unitsPerEm / xAvgCharWidth,
// set with FT_Set_Char_Size(em_x x 64, em_y x 64, 72, 72). Glyphs are hinted and their
// advances rounded to whole pixels, as GDI measures them. Bold and italic come from
// the face fontconfig picks; when it has neither, the outline is emboldened or
// sheared by 0.2. DejaVu Sans stands in when fontconfig finds nothing that loads.
#include "gui/core/font.h"

#include <string>

class cFreeTypeFontEngine final : public cFontEngine
{
public:
    // Null when FreeType cannot start.
    static std::unique_ptr<cFreeTypeFontEngine> Create();
    ~cFreeTypeFontEngine() override;

    std::unique_ptr<cFontFace> CreateFace(const sFontKey& key) override;

    // The font file fontconfig picks for a family name and style (what fc-match answers),
    // empty when it picks none.
    static std::string MatchFontFile(const std::string& family, bool bold, bool italic, int* index);

private:
    explicit cFreeTypeFontEngine(void* library);
    void* m_library; // FT_Library, kept opaque so this header needs no FreeType header
};

// The guaranteed face, used when fontconfig gives no loadable file.
constexpr const char* kFallbackFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

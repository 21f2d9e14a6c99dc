// Font fallback: a label in seven scripts draws no missing-glyph box, and each script's
// character comes from the font fc-match picks for it, as the same glyph hb-shape finds
// in that font.
#include "base/utf.h"
#include "gui/core/font.h"
#include "platform/drawtesttools.h"
#include "platform/pngwrite.h"
#include "platform/softcanvas.h"
#include "platform/softgraphics.h"
#include "platform/textlayout.h"
#include "support/testsupport.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <cmath>
#include <cstdio>
#include <regex>
#include <vector>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

constexpr char16_t kMixedLabel[] =
    u"Grüße Straße · Καλημέρα κόσμε · Здравствуй, мир · 你好世界 · こんにちは世界 · مرحبا بالعالم · नमस्ते दुनिया";

// The glyph index hb-shape gives `codePoint` alone in the font fc-match picks for it.
std::string ReferenceGlyph(char32_t codePoint)
{
    char hex[16];
    std::snprintf(hex, sizeof hex, "%x", unsigned(codePoint));
    const std::string file = drawtest::RunCommand(std::string("fc-match -f '%{file}' 'Tahoma:charset=") + hex + "'");
    const std::string output = drawtest::RunCommand("hb-shape --no-glyph-names --no-positions --no-clusters "
                                                    "--features=-isol,-init,-medi,-fina,-ccmp,-locl '" +
                                                    file + "' --unicodes=U+" + hex);
    return output.substr(0, output.find_first_of("]\n")) ;
}

// The UI face's em in 26.6 pixels for a 5 x 13 cell, read with FreeType from the file
// fontconfig picks: em_y = 13 x unitsPerEm / (usWinAscent + usWinDescent), em_x = 5 x
// unitsPerEm / xAvgCharWidth.
std::pair<long, long> UiEm()
{
    const std::string file = drawtest::RunCommand("fc-match -f '%{file}' Tahoma");
    std::pair<long, long> em{0, 0};
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    if (FT_Init_FreeType(&library) == 0 && FT_New_Face(library, file.c_str(), 0, &face) == 0) {
        if (const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2))) {
            em.first = std::lround(5.0 * face->units_per_EM / os2->xAvgCharWidth * 64);
            em.second = std::lround(13.0 * face->units_per_EM / (os2->usWinAscent + os2->usWinDescent) * 64);
        }
        FT_Done_Face(face);
    }
    FT_Done_FreeType(library);
    return em;
}

// Arabic joining and Devanagari clusters: the glyphs and their whole-pixel advances
// equal hb-shape's for the font fc-match picks for the script, at the UI face's em.
TEST(FontFallback, ShapedLinesEqualHbShape)
{
    QEL_REQUIRE(qeltest::HaveTool("fc-match") && qeltest::HaveTool("hb-shape"),
                "fc-match (fontconfig) and hb-shape (libharfbuzz-bin)");
    ASSERT_TRUE(InstallSoftwareGraphics(eTextFont::System));
    const auto [emX, emY] = UiEm();
    ASSERT_GT(emY, 0);
    cFontFace* face = GetDefaultUiFont()->GetFace();
    for (const char* line : {"مرحبا بالعالم", "नमस्ते दुनिया", "AVATAR Wagen"}) {
        _guardchar<char16_t> wide;
        ASSERT_TRUE(Utf8ToWideString(line, -1, wide));
        const std::u16string text = wide.GetOrEmpty();
        char hex[16];
        std::snprintf(hex, sizeof hex, "%x", unsigned(text[0]));
        const std::string file = drawtest::RunCommand(std::string("fc-match -f '%{file}' 'Tahoma:charset=") + hex + "'");
        const std::string output = drawtest::RunCommand(
            "hb-shape --font-funcs=ft --ft-load-flags=0 --no-glyph-names --no-clusters --font-size=" +
            std::to_string(emX) + "," + std::to_string(emY) + " '" + file + "' '" + line + "'");
        std::vector<u32> glyphs;
        i64 width = 0;
        const std::regex glyph(R"((\d+)(?:@-?\d+,-?\d+)?\+(-?\d+))");
        for (auto it = std::sregex_iterator(output.begin(), output.end(), glyph); it != std::sregex_iterator(); ++it) {
            glyphs.push_back(u32(std::stoul((*it)[1])));
            width += (std::stol((*it)[2]) + 32) >> 6;
        }
        const std::shared_ptr<const sShapedText> shaped = face->Shape(text.data(), i32(text.size()));
        std::vector<u32> ours;
        for (const sShapedGlyph& placed : shaped->glyphs) {
            ours.push_back(placed.image->glyphIndex);
        }
        EXPECT_EQ(ours, glyphs) << line << " in " << file;
        sSize size;
        std::unique_ptr<cCanvas> canvas(cSoftCanvas::Create(10, 10));
        canvas->SelectFont(GetDefaultUiFont());
        ASSERT_TRUE(canvas->MeasureTextW(text.data(), i32(text.size()), &size));
        EXPECT_EQ(size.width, width) << line;
    }
}

// A right-to-left word inside a left-to-right line keeps its place: the line shows "ab ",
// then the word as it shows alone (its letters right to left), then " cd".
TEST(FontFallback, BidiLinesPlaceRunsInDisplayOrder)
{
    ASSERT_TRUE(InstallSoftwareGraphics(eTextFont::System));
    cFontFace* face = GetDefaultUiFont()->GetFace();
    const auto ids = [&](const std::u16string& text) {
        std::vector<u32> glyphs;
        for (const sShapedGlyph& placed : face->Shape(text.data(), i32(text.size()))->glyphs) {
            glyphs.push_back(placed.image->glyphIndex);
        }
        return glyphs;
    };
    std::vector<u32> expected = ids(u"ab ");
    for (const std::u16string& part : {std::u16string(u"مرحبا"), std::u16string(u" cd")}) {
        const std::vector<u32> more = ids(part);
        expected.insert(expected.end(), more.begin(), more.end());
    }
    EXPECT_EQ(ids(u"ab مرحبا cd"), expected);
}

TEST(FontFallback, EveryScriptOfAMixedLabelHasItsGlyph)
{
    QEL_REQUIRE(qeltest::HaveTool("fc-match") && qeltest::HaveTool("hb-shape"),
                "fc-match (fontconfig) and hb-shape (libharfbuzz-bin)");
    QEL_REQUIRE(qeltest::PathExists("/usr/share/fonts/truetype/noto/NotoSansDevanagari-Regular.ttf"),
                "fonts-noto-core and a CJK font (fonts-wqy-zenhei)");
    ASSERT_TRUE(InstallSoftwareGraphics(eTextFont::System));
    cFontFace* face = GetDefaultUiFont()->GetFace();
    ASSERT_NE(face, nullptr);
    const i32 length = ResolveTextLength(kMixedLabel, -1);
    for (i32 i = 0; i < length;) {
        const sCodePoint point = CodePointAt(kMixedLabel, length, i);
        i += point.units;
        EXPECT_NE(face->GetGlyph(point.value)->glyphIndex, 0u) << "U+" << std::hex << u32(point.value);
    }
    // One character of each script against the reference tools.
    for (char32_t sample : {U'ß', U'λ', U'ж', U'中', U'の', U'ب', U'क'}) {
        EXPECT_EQ("[" + std::to_string(face->GetGlyph(sample)->glyphIndex), ReferenceGlyph(sample))
            << "U+" << std::hex << u32(sample);
    }

    std::unique_ptr<cCanvas> canvas(cSoftCanvas::Create(700, 24));
    canvas->FillRect(0, 0, 700, 24, 0xFFFFFF, 0xFFFFFF);
    canvas->SelectFont(GetDefaultUiFont());
    canvas->SetColors(0x000000, 0xFFFFFF);
    canvas->DrawTextW(4, 5, false, kMixedLabel, -1);
    if (const char* folder = std::getenv("QEL_SNAPSHOT_OUT")) {
        EXPECT_TRUE(SaveCanvasPng(std::string(folder) + "/mixed_scripts.png", *canvas));
    }
}

} // namespace

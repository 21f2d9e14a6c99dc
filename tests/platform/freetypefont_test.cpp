// FreeType text against fontconfig's own choice (fc-match) and HarfBuzz's FreeType
// advances (hb-shape) for DejaVu Sans, the face "Tahoma" resolves to on our systems.
#include "gui/core/font.h"
#include "platform/drawtesttools.h"
#include "platform/freetypefont.h"
#include "platform/softcanvas.h"
#include "platform/softgraphics.h"
#include "support/testsupport.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <cmath>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace {

class FreeTypeFont : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(InstallSoftwareGraphics(eTextFont::System));
        canvas.reset(cSoftCanvas::Create(200, 40));
        ASSERT_NE(canvas, nullptr);
    }
    void TearDown() override { canvas.reset(); }

    std::unique_ptr<cCanvas> canvas;
};

TEST_F(FreeTypeFont, PicksTheFileFcMatchPicks)
{
    QEL_REQUIRE(qeltest::HaveTool("fc-match"), "fc-match (fontconfig)");
    for (const char* pattern : {"Tahoma", "Tahoma:bold", "Tahoma:italic", "NoSuchFaceAnywhere"}) {
        const std::string family = std::string(pattern).substr(0, std::string(pattern).find(':'));
        const bool bold = std::string(pattern).find(":bold") != std::string::npos;
        const bool italic = std::string(pattern).find(":italic") != std::string::npos;
        const std::string expected =
            drawtest::RunCommand(std::string("fc-match -f '%{file}' '") + pattern + "'");
        EXPECT_EQ(cFreeTypeFontEngine::MatchFontFile(family, bold, italic, nullptr), expected) << pattern;
    }
}

// em_y = h x unitsPerEm / (usWinAscent + usWinDescent), em_x = w x unitsPerEm /
// xAvgCharWidth, read here from the font with FreeType itself.
struct sEmSizes
{
    f64 x = 0;
    f64 y = 0;
};
sEmSizes GdiEmSizes(const char* file, i32 width, i32 height)
{
    sEmSizes em;
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    if (FT_Init_FreeType(&library) != 0) {
        return em;
    }
    if (FT_New_Face(library, file, 0, &face) == 0) {
        const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        if (os2 != nullptr) {
            em.y = f64(height) * face->units_per_EM / (os2->usWinAscent + os2->usWinDescent);
            em.x = width == 0 ? em.y : f64(width) * face->units_per_EM / os2->xAvgCharWidth;
        }
        FT_Done_Face(face);
    }
    FT_Done_FreeType(library);
    return em;
}

// hb-shape's advances in pixels for the 26.6 sizes (x, y).
std::vector<f64> HarfBuzzAdvances(const std::string& file, const std::string& text, long sizeX, long sizeY,
                                  bool hinted)
{
    const std::string output = drawtest::RunCommand(
        std::string("hb-shape --font-funcs=ft --no-glyph-names --no-clusters --font-size=") + std::to_string(sizeX) +
        "," + std::to_string(sizeY) + (hinted ? " --ft-load-flags=0 " : " ") + file + " '" + text + "'");
    std::vector<f64> advances;
    const std::regex advance(R"(\+(-?\d+))");
    for (auto it = std::sregex_iterator(output.begin(), output.end(), advance); it != std::sregex_iterator(); ++it) {
        advances.push_back(std::stod((*it)[1]) / 64.0);
    }
    return advances;
}

TEST_F(FreeTypeFont, AdvancesAgreeWithHarfBuzzAtTheUiSizes)
{
    QEL_REQUIRE(qeltest::HaveTool("hb-shape"), "hb-shape (libharfbuzz-bin)");
    const std::string file = cFreeTypeFontEngine::MatchFontFile("Tahoma", false, false, nullptr);
    QEL_REQUIRE(!file.empty(), "a face for Tahoma");
    const std::string text = "Hello World, quick brown fox 0123";
    const std::u16string wide(text.begin(), text.end());
    for (const i32 width : {0, 5}) {
        const sEmSizes em = GdiEmSizes(file.c_str(), width, 13);
        ASSERT_GT(em.y, 8.0);
        const long sizeX = std::lround(em.x * 64);
        const long sizeY = std::lround(em.y * 64);
        const std::vector<f64> natural = HarfBuzzAdvances(file, text, sizeX, sizeY, false);
        const std::vector<f64> hinted = HarfBuzzAdvances(file, text, sizeX, sizeY, true);
        ASSERT_EQ(natural.size(), text.size());
        ASSERT_EQ(hinted.size(), text.size());

        canvas->SelectFont(GetCachedFont(width, 13, nullptr, false, false, false));
        std::vector<i32> edges(text.size());
        ASSERT_TRUE(canvas->FitTextW(wide.data(), i32(wide.size()), edges.data()));
        f64 hintedTotal = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            const i32 ours = edges[i] - (i == 0 ? 0 : edges[i - 1]);
            EXPECT_LE(std::abs(ours - natural[i]), 1.0) << "width " << width << " glyph '" << text[i] << "'";
            // hb-shape leaves hinted advances fractional where the hinter leaves them
            // alone; a GDI-style measure counts whole pixels per glyph.
            hintedTotal += std::round(hinted[i]);
        }
        EXPECT_LE(std::abs(edges.back() - hintedTotal), 1.0) << "width " << width;
        sSize size;
        ASSERT_TRUE(canvas->MeasureTextW(wide.data(), -1, &size));
        EXPECT_EQ(size.width, edges.back());
        EXPECT_EQ(size.height, 13);
    }
}

TEST_F(FreeTypeFont, UnknownFacesFallBackAndMissingGlyphsStillAdvance)
{
    canvas->SelectFont(GetCachedFont(5, 13, u"NoSuchFaceAnywhere", false, false, false));
    sSize size;
    ASSERT_TRUE(canvas->MeasureTextW(u"abc", -1, &size));
    EXPECT_GT(size.width, 10);
    // A lone surrogate and an unassigned code point draw the missing glyph.
    ASSERT_TRUE(canvas->MeasureTextW(u"\xDC80\U000E0FFF", -1, &size));
    EXPECT_GT(size.width, 0);
}

// Jobs measure while the GUI thread draws: glyphs are made once, whichever thread asks
// first, and every thread sees the same advances.
TEST_F(FreeTypeFont, ThreadsShareGlyphsOfOneFace)
{
    cFontObject* font = GetCachedFont(7, 15, nullptr, false, false, false);
    std::u16string text;
    for (char16_t c = 0x20; c < 0x250; ++c) {
        text += c;
    }
    std::vector<i32> widths(4);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            std::unique_ptr<cCanvas> own(cSoftCanvas::Create(64, 16));
            own->SelectFont(font);
            sSize size;
            for (int round = 0; round < 3; ++round) {
                (void)own->MeasureTextW(text.data(), i32(text.size()), &size);
                own->DrawTextW(-t * 100, 0, false, text.data(), i32(text.size()));
            }
            widths[t] = size.width;
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_GT(widths[0], 1000);
    for (int t = 1; t < 4; ++t) {
        EXPECT_EQ(widths[t], widths[0]);
    }
}

} // namespace

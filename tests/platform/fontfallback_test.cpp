// Text in every script against HarfBuzz's own tool: each line's glyphs and whole-pixel
// advances equal hb-shape's for the font fc-match picks for its script (fallback,
// Arabic joining, Devanagari clusters, Latin kerning), so a label in seven scripts
// shows no missing glyph (index 0); the Arabic and Devanagari lines also draw as
// hb-view draws them. (Display order across directions: editbidi_test.cpp.)
#include "base/utf.h"
#include "gui/core/font.h"
#include "platform/drawtesttools.h"
#include "platform/pngwrite.h"
#include "platform/softcanvas.h"
#include "platform/softgraphics.h"
#include "support/scratchfolder.h"
#include "support/testsupport.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <cmath>
#include <cstdio>
#include <memory>
#include <regex>
#include <string>
#include <vector>

namespace {

// The glyph ids of `text` shaped by the UI font, and its measured width.
std::vector<u32> Shaped(const std::u16string& text, i32* width)
{
    std::vector<u32> ids;
    for (const sShapedGlyph& glyph : GetDefaultUiFont()->GetFace()->Shape(text.data(), i32(text.size()))->glyphs) {
        ids.push_back(glyph.image->glyphIndex);
    }
    std::unique_ptr<cCanvas> canvas(cSoftCanvas::Create(1, 1));
    canvas->SelectFont(GetDefaultUiFont());
    sSize size;
    *width = canvas->MeasureTextW(text.data(), i32(text.size()), &size) ? size.width : -1;
    return ids;
}

// hb-shape's arguments for the UI face's 5 x 13 cell: em_x = 5 x unitsPerEm /
// xAvgCharWidth, em_y = 13 x unitsPerEm / (usWinAscent + usWinDescent), in 26.6.
std::string UiFontSize()
{
    const std::string file = drawtest::RunCommand("fc-match -f '%{file}' Tahoma");
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    std::string size;
    if (FT_Init_FreeType(&library) == 0 && FT_New_Face(library, file.c_str(), 0, &face) == 0) {
        if (const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2))) {
            size = std::to_string(std::lround(5.0 * face->units_per_EM / os2->xAvgCharWidth * 64)) + "," +
                   std::to_string(std::lround(13.0 * face->units_per_EM / (os2->usWinAscent + os2->usWinDescent) * 64));
        }
        FT_Done_Face(face);
    }
    FT_Done_FreeType(library);
    return size;
}

TEST(FontFallback, LinesInEveryScriptAsHbShapeShapesThem)
{
    QEL_REQUIRE(qeltest::HaveTool("fc-match") && qeltest::HaveTool("hb-shape") &&
                    qeltest::PathExists("/usr/share/fonts/truetype/noto/NotoSansDevanagari-Regular.ttf"),
                "fc-match, hb-shape (libharfbuzz-bin), fonts-noto-core and fonts-wqy-zenhei");
    ASSERT_TRUE(InstallSoftwareGraphics(eTextFont::System));
    const std::string size = UiFontSize();
    for (const char* line : {"Grüße AVATAR", "Καλημέρα", "Здравствуй", "你好世界", "こんにちは", "مرحبا بالعالم",
                             "नमस्ते दुनिया"}) {
        _guardchar<char16_t> wide;
        ASSERT_TRUE(Utf8ToWideString(line, -1, wide));
        const std::u16string text = wide.GetOrEmpty();
        char hex[16];
        std::snprintf(hex, sizeof hex, "%x", unsigned(text[0]));
        const std::string file = drawtest::RunCommand(std::string("fc-match -f '%{file}' 'Tahoma:charset=") + hex + "'");
        // hb-shape and hb-view read the text argument through the locale: the child gets a
        // UTF-8 one whatever the caller's (a bare container or cron job has none).
        const std::string output = drawtest::RunCommand("LC_ALL=C.UTF-8 hb-shape --font-funcs=ft --ft-load-flags=0 --no-glyph-names "
                                                        "--no-clusters --font-size=" + size + " '" + file + "' '" +
                                                        line + "'");
        std::vector<u32> ids;
        i32 width = 0;
        const std::regex glyph(R"((\d+)(?:@-?\d+,-?\d+)?\+(-?\d+))");
        for (auto it = std::sregex_iterator(output.begin(), output.end(), glyph); it != std::sregex_iterator(); ++it) {
            ids.push_back(u32(std::stoul((*it)[1])));
            width += i32((std::stol((*it)[2]) + 32) >> 6);
        }
        i32 ourWidth = 0;
        EXPECT_EQ(Shaped(text, &ourWidth), ids) << line << " in " << file;
        EXPECT_EQ(ourWidth, width) << line;
        EXPECT_EQ(std::count(ids.begin(), ids.end(), 0u), 0) << line;
        if (text[0] < 0x600 || text[0] > 0x97F) {
            continue;
        }
        // Drawn pixels against hb-view's (cairo) for the same file and size, each cut to
        // the box around its ink: edge shades differ by at most 52 of 255; a glyph out of
        // order or one pixel off puts ink (255) against paper. ImageMagick compares.
        long sizeX = 0, sizeY = 0;
        ASSERT_EQ(std::sscanf(size.c_str(), "%ld,%ld", &sizeX, &sizeY), 2);
        const qeltest::cScratchFolder folder;
        std::unique_ptr<cCanvas> canvas(cSoftCanvas::Create(120, 30));
        canvas->FillRect(0, 0, 120, 30, 0xFFFFFF, 0xFFFFFF);
        canvas->SelectFont(GetDefaultUiFont());
        canvas->DrawTextW(8, 8, false, text.data(), -1);
        ASSERT_TRUE(SaveCanvasPng(folder.PathOf("ours.png"), *canvas));
        const std::string error = drawtest::RunCommand(
            "cd " + folder.Path() + " && LC_ALL=C.UTF-8 hb-view --font-funcs=ft --ft-load-flags=0 -o theirs.png --font-size=" +
            std::to_string(sizeX / 64.0) + "," + std::to_string(sizeY / 64.0) + " '" + file + "' '" + line +
            "' && mogrify -trim +repage -alpha off ours.png theirs.png && compare -metric PAE ours.png theirs.png null: 2>&1");
        ASSERT_NE(error.find('('), std::string::npos) << line << ": " << error; // sizes differ
        EXPECT_LE(std::stod(error.substr(error.find('(') + 1)), 64 / 255.0) << line << ": " << error;
    }
}

} // namespace

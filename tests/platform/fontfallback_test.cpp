// Text in every script against HarfBuzz's own tool: each line's glyphs and whole-pixel
// advances equal hb-shape's for the font fc-match picks for its script (fallback,
// Arabic joining, Devanagari clusters, Latin kerning), so a label in seven scripts
// shows no missing glyph (index 0); a right-to-left word keeps its place in a
// left-to-right line.
#include "base/utf.h"
#include "gui/core/font.h"
#include "platform/drawtesttools.h"
#include "platform/pngwrite.h"
#include "platform/softcanvas.h"
#include "platform/softgraphics.h"
#include "support/testsupport.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
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
        const std::string output = drawtest::RunCommand("hb-shape --font-funcs=ft --ft-load-flags=0 --no-glyph-names "
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
    }
    // "ab " + the word as it shows alone + " cd".
    i32 ignored = 0;
    std::vector<u32> expected = Shaped(u"ab ", &ignored);
    for (const char16_t* part : {u"مرحبا", u" cd"}) {
        const std::vector<u32> more = Shaped(part, &ignored);
        expected.insert(expected.end(), more.begin(), more.end());
    }
    EXPECT_EQ(Shaped(u"ab مرحبا cd", &ignored), expected);
}

// A grey image: coverage 0 (paper) to 255 (ink), cut to the box around its ink.
struct sInk
{
    i32 width = 0;
    i32 height = 0;
    std::vector<i32> coverage;
    i32 At(i32 x, i32 y) const { return coverage[size_t(y) * size_t(width) + size_t(x)]; }
};
sInk InkOf(const drawtest::sRgbImage& image)
{
    i32 left = image.width, top = image.height, right = -1, bottom = -1;
    for (i32 y = 0; y < image.height; ++y) {
        for (i32 x = 0; x < image.width; ++x) {
            if ((image.pixels[size_t(y) * size_t(image.width) + size_t(x)] & 0xFF) != 0xFF) {
                left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
            }
        }
    }
    sInk ink;
    ink.width = std::max(0, right - left + 1);
    ink.height = std::max(0, bottom - top + 1);
    for (i32 y = top; y <= bottom; ++y) {
        for (i32 x = left; x <= right; ++x) {
            ink.coverage.push_back(255 - i32(image.pixels[size_t(y) * size_t(image.width) + size_t(x)] & 0xFF));
        }
    }
    return ink;
}

// The Arabic and Devanagari lines drawn by us and by hb-view (the same font file and
// size, black on white), compared pixel by pixel over the box around the ink. cairo
// (under hb-view) and FreeType shade edge pixels slightly differently, by at most 52 of
// 255 on these lines; a glyph out of order or a pixel off, unjoined Arabic or a broken
// Devanagari cluster puts full ink (255) against paper, so 64 separates the two.
TEST(FontFallback, ArabicAndHindiDrawAsHbViewDrawsThem)
{
    QEL_REQUIRE(qeltest::HaveTool("hb-view") && qeltest::PathExists("/usr/bin/python3"),
                "hb-view (libharfbuzz-bin) and python3-pil");
    ASSERT_TRUE(InstallSoftwareGraphics(eTextFont::System));
    long sizeX = 0, sizeY = 0;
    ASSERT_EQ(std::sscanf(UiFontSize().c_str(), "%ld,%ld", &sizeX, &sizeY), 2);
    char size[64];
    std::snprintf(size, sizeof size, "%.6f,%.6f", sizeX / 64.0, sizeY / 64.0);
    for (const char* line : {"مرحبا بالعالم", "नमस्ते दुनिया"}) {
        _guardchar<char16_t> wide;
        ASSERT_TRUE(Utf8ToWideString(line, -1, wide));
        char hex[16];
        std::snprintf(hex, sizeof hex, "%x", unsigned(wide.Get()[0]));
        const std::string file = drawtest::RunCommand(std::string("fc-match -f '%{file}' 'Tahoma:charset=") + hex + "'");
        const sInk theirs = InkOf(drawtest::ReadPpm(drawtest::RunCommand(
            std::string("hb-view --font-funcs=ft --ft-load-flags=0 -O png --font-size=") + size + " '" + file + "' '" +
            line + "' | /usr/bin/python3 -c 'import sys; from PIL import Image; "
            "Image.open(sys.stdin.buffer).convert(\"RGB\").save(sys.stdout.buffer, \"PPM\")'")));
        std::unique_ptr<cCanvas> canvas(cSoftCanvas::Create(120, 30));
        canvas->FillRect(0, 0, 120, 30, 0xFFFFFF, 0xFFFFFF);
        canvas->SelectFont(GetDefaultUiFont());
        canvas->SetColors(0x000000, 0xFFFFFF);
        canvas->DrawTextW(8, 8, false, wide.Get(), -1);
        if (const char* folder = std::getenv("QEL_SNAPSHOT_OUT")) { // for the eye, beside hb-view's
            EXPECT_TRUE(SaveCanvasPng(std::string(folder) + "/script_" + hex + ".png", *canvas));
        }
        const sInk ours = InkOf({120, 30, std::vector<u32>(canvas->GetPixels(), canvas->GetPixels() + 120 * 30)});
        ASSERT_GT(theirs.width, 20) << line << ": hb-view drew nothing";
        ASSERT_EQ(ours.width, theirs.width) << line;
        ASSERT_EQ(ours.height, theirs.height) << line;
        i32 worst = 0;
        for (i32 y = 0; y < ours.height; ++y) {
            for (i32 x = 0; x < ours.width; ++x) {
                worst = std::max(worst, std::abs(ours.At(x, y) - theirs.At(x, y)));
            }
        }
        EXPECT_LE(worst, 64) << line << " in " << file;
    }
}

} // namespace

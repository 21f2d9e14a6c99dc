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

#include <cstdio>
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

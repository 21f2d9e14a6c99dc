// The property display area: its content height against Python's textwrap with the
// fixed-advance test font (5 px, bold 6 px, 13 px cells), the one resize action per
// change, and the body painted to the end of a tall content.
#include "controlstest.h"
#include "gui/controls/propdisp.h"

using namespace qeltest;

namespace {

using PropDispArea = cFormTest;

// Lines of `text` wrapped to `columns` as textwrap does, paragraph by paragraph.
i32 OracleLines(const std::string& text, i32 columns)
{
    const std::string script = "import sys,textwrap; print(sum(max(1,len(textwrap.wrap(p," + std::to_string(columns) +
                               ",break_long_words=False,break_on_hyphens=False))) for p in sys.argv[1].split('\\n')))";
    i32 exitCode = -1;
    const std::string out = drawtest::RunCommand("/usr/bin/python3 -c \"" + script + "\" '" + text + "'", &exitCode);
    return exitCode == 0 ? std::stoi(out) : -1;
}

TEST_F(PropDispArea, ContentHeightFollowsTheWrappedTextsOncePerChange)
{
    cPropDispAreaChild area;
    form.GetClientPanel()->AttachChild(&area, 10, 50, 470, 234);
    area.SetSpacing(10);
    area.SetSpacing(-1);
    const std::string header = "What is new in version 2.0 release: a header long enough to need a second line here";
    std::string body;
    for (i32 word = 0; word < 400; ++word) {
        body += (word % 37 == 36 ? "\n" : " ") + std::string(size_t(1 + word * 7 % 11), char('a' + word % 26));
    }
    const i32 headerLines = OracleLines(header, 445 / 6);
    const i32 bodyLines = OracleLines(body.substr(1), 445 / 5);
    const std::u16string wideHeader(header.begin(), header.end());
    const std::u16string wideBody(body.begin() + 1, body.end());
    const struct
    {
        const char16_t* header;
        i32 height;
    } cases[] = {{wideHeader.c_str(), 13 * headerLines + 10 + 10 + 13 * bodyLines}, {nullptr, 10 + 13 * bodyLines}};
    for (const auto& entry : cases) {
        ASSERT_TRUE(area.SetTexts(entry.header, wideBody.c_str()));
        const size_t before = form.Find(7, &area).size();
        for (i32 paint = 0; paint < 10; ++paint) {
            area.Invalidate();
            host->Pump();
        }
        ASSERT_EQ(form.Find(7, &area).size(), before + 1);
        // With the oracle's height in place the same texts post nothing.
        area.SetContentHeight(entry.height);
        ASSERT_TRUE(area.SetTexts(entry.header, wideBody.c_str()));
        host->Pump();
        EXPECT_EQ(form.Find(7, &area).size(), before + 1) << (entry.header != nullptr ? "header" : "body only");
    }
    // At the end of the content the last body line is painted (the body's clip reaches
    // far past a 32-bit bottom edge).
    ASSERT_TRUE(area.ScrollTo(0, area.GetScrollMaxY()));
    const sPoint origin = area.GetOriginInRoot();
    const cCanvas* canvas = host->GetCanvas(window);
    bool inked = false;
    for (i32 x = 5; x < 450 && !inked; ++x) {
        for (i32 y = 234 - 10 - 13; y < 234 - 10 && !inked; ++y) {
            inked = (PixelAt(canvas, origin.x + x, origin.y + y) & 0xFFFFFF) != (ThemePixel(45) & 0xFFFFFF);
        }
    }
    EXPECT_TRUE(inked);
    EXPECT_EQ(area.GetContentHeight(), 10 + 13 * bodyLines);
}

} // namespace

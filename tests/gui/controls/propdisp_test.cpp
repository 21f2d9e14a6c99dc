// The property display area: its content height against Python's textwrap with the
// fixed-advance test font (5 px, bold 6 px, 13 px cells), one resize action per change,
// and the body painted to the end of a tall content.
#include "gui/controls/propdisp.h"
#include "gui/controlstest.h"

using namespace qeltest;

namespace {

using PropDispArea = cFormTest;

TEST_F(PropDispArea, ContentHeightFollowsTheWrappedTextsOncePerChange)
{
    cPropDispAreaChild area;
    form.GetClientPanel()->AttachChild(&area, 10, 0, 470, 234);
    area.SetSpacing(10);
    area.SetSpacing(-1);
    const std::string header =
        "What is new in version 2.0 release: a header long enough to need a second line here";
    std::string body = "x";
    for (i32 word = 0; word < 400; ++word) {
        body += (word % 37 == 36 ? "\n" : " ") +
                std::string(size_t(1 + word * 7 % 11), char('a' + word % 26));
    }
    // Lines of the header at 445 / 6 columns and of the body at 445 / 5, paragraph by paragraph.
    const std::string lines =
        RunCommand("/usr/bin/python3 -c \"import sys,textwrap; print(*(sum(max(1,len(textwrap.wrap("
                   "p,w,break_long_words=False,break_on_hyphens=False))) for p in t.split('\\n')) "
                   "for t,w in ((sys.argv[1],74),(sys.argv[2],89))))\" '" +
                   header + "' '" + body + "'");
    const i32 headerLines = std::stoi(lines), bodyLines = std::stoi(lines.substr(lines.find(' ')));
    const std::u16string wideHeader(header.begin(), header.end()),
        wideBody(body.begin(), body.end());
    for (const char16_t* headerText : {wideHeader.c_str(), static_cast<const char16_t*>(nullptr)}) {
        ASSERT_TRUE(area.SetTexts(headerText, wideBody.c_str()));
        const size_t before = form.Find(7, &area).size();
        for (i32 paint = 0; paint < 10; ++paint) {
            area.Invalidate();
            host->Pump();
        }
        ASSERT_EQ(form.Find(7, &area).size(), before + 1);
        // With the oracle's height in place the same texts post nothing.
        area.SetContentHeight(headerText != nullptr ? 13 * headerLines + 10 + 10 + 13 * bodyLines
                                                    : 10 + 13 * bodyLines);
        ASSERT_TRUE(area.SetTexts(headerText, wideBody.c_str()));
        host->Pump();
        EXPECT_EQ(form.Find(7, &area).size(), before + 1)
            << (headerText != nullptr ? "header" : "body only");
    }
    // The first body line at the top and the last one at the end of the content are
    // painted: the body's clip reaches far past a 32-bit bottom edge.
    for (const i32 top : {5, 234 - 10 - 13}) {
        ASSERT_EQ(area.ScrollTo(0, top == 5 ? 0 : area.GetScrollMaxY()), top != 5);
        i32 inked = 0;
        for (i32 at = 0; at < 445 * 13; ++at) {
            inked += ElementPixel(*host, &area, 5 + at % 445, top + at / 445) != ThemePixel(45);
        }
        EXPECT_GT(inked, 0) << top;
    }
}

} // namespace

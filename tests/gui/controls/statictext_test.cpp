// Labels and links: greyed text, where the icon goes in every text mode (the clip and
// the "nothing drawn" cases included), word wrapping against Python's textwrap, the
// measured size, setters that redraw only on change, and the link's release action.
#include "gui/controls/statictext.h"
#include "gui/controlstest.h"
#include "gui/core/font.h"
#include "gui/core/keys.h"
#include "gui/core/panel.h"
#include "gui/core/theme.h"
#include "platform/drawtesttools.h"

#include <sstream>
#include <string>
#include <vector>

namespace {

using qeltest::ElementPixel;
using qeltest::SolidPicture;
using qeltest::ThemePixel;

constexpr u32 kGreen = 0xFF00FF00;
// Ink of the test font: a 4 x 9 block per character, 2 rows below the cell top.
constexpr i32 kInkTop = 2;

class LabelTest : public qeltest::cFormTest
{
protected:
    // The first x in row y of the element whose pixel is `pixel`; -1 when none is.
    i32 FirstX(cChildElement* element, i32 y, u32 pixel)
    {
        for (i32 x = 0; x < element->GetWidth(); ++x) {
            if (ElementPixel(*host, element, x, y) == pixel) {
                return x;
            }
        }
        return -1;
    }
};

// Mode 2 wraps into W - indent - x - 3 pixels, that is N = 37 characters of 5 pixels;
// Python's textwrap breaks the same text into the same lines.
TEST_F(LabelTest, WrappedModeBreaksLikeTextwrap)
{
    QEL_REQUIRE(qeltest::PathExists("/usr/bin/python3"), "python3");
    const std::string text = "Labels in mode two wrap their text at spaces, so that words stay whole and "
                             "no line runs past the right edge of the label, and a word longer than a line "
                             "stands on a line of its own: Pneumonoultramicroscopicsilicovolcanoconiosis "
                             "ends here.";
    int exitCode = -1;
    const std::string wrapped = drawtest::RunCommand(
        "printf '%s' '" + text +
            "' | /usr/bin/python3 -c 'import sys,textwrap;print(\"\\n\".join(textwrap.wrap(sys.stdin.read(),37,"
            "break_long_words=False,break_on_hyphens=False)))'",
        &exitCode);
    ASSERT_EQ(exitCode, 0);
    std::vector<std::string> lines;
    std::istringstream in(wrapped);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    ASSERT_GE(lines.size(), 5u);

    cStaticElement label;
    form.AttachChild(&label, 0, 0, 200, 130);
    label.SetTextMode(kTextWrapped);
    label.SetIndent(7);
    std::u16string wide(text.begin(), text.end());
    label.SetText(wide.c_str(), 0u, true);
    host->Pump();
    // Lines start at x = 7 + 3 and y = 3, each trunc(13 x 1.2) = 15 lower; the clip
    // is 130 - 6 high, so every line shows.
    for (size_t index = 0; index < lines.size(); ++index) {
        const i32 inkY = 3 + 15 * i32(index) + kInkTop + 4;
        for (i32 column = 0; column < 37; ++column) {
            const bool ink = size_t(column) < lines[index].size() && lines[index][size_t(column)] != ' ';
            // A long word runs past the wrap width and is clipped at x 197.
            if (10 + 5 * column >= 197) {
                break;
            }
            EXPECT_EQ(ElementPixel(*host, &label, 10 + 5 * column, inkY) == 0xFF000000u, ink)
                << "line " << index << " column " << column << ": " << lines[index];
        }
    }
}

// The link posts its plain action on the left button's release only, never while it
// or an ancestor is disabled, and shows the hand cursor (its colours are in labels.png).
TEST_F(LabelTest, LinkPostsOnLeftReleaseWhileEnabled)
{
    cLinkElement link;
    form.AttachChild(&link, 10, 10, 60, 20);
    link.SetText(u"Link", 0u, true);
    link.SetTag(42);
    host->Pump();
    EXPECT_EQ(link.GetTag(), 42u);

    host->MouseMove(20, 20);
    EXPECT_EQ(host->GetCursor(window), kCursorHand);
    host->MouseDown(20, 20);
    host->Pump();
    EXPECT_TRUE(form.Find(0, &link).empty());
    host->MouseUp(20, 20);
    host->Pump();
    EXPECT_EQ(form.Find(0, &link).size(), 1u);

    host->Click(20, 20, kMouseRight);
    host->Pump();
    EXPECT_EQ(form.Find(0, &link).size(), 1u);

    link.Disable();
    host->Click(20, 20);
    host->Pump();
    EXPECT_EQ(form.Find(0, &link).size(), 1u);

}

TEST_F(LabelTest, SettersRedrawOnlyOnChange)
{
    qeltest::cPaintCounting<cStaticElement> label;
    form.AttachChild(&label, 0, 0, 50, 20);
    host->Pump();
    auto paintsAfter = [&](auto change) {
        label.paints = 0;
        change();
        host->Pump();
        return label.paints;
    };
    EXPECT_EQ(label.GetLabelFont(), label.GetDefaultFont());
    EXPECT_EQ(paintsAfter([&] { label.SetFont(nullptr); }), 0);
    EXPECT_EQ(label.GetLabelFont(), label.GetDefaultFont());
    EXPECT_EQ(paintsAfter([&] { label.SetFont(label.GetBoldFont()); }), 1);
    EXPECT_EQ(paintsAfter([&] { label.SetFont(nullptr); }), 1);
    EXPECT_EQ(label.GetLabelFont(), label.GetDefaultFont());
    EXPECT_EQ(paintsAfter([&] { label.SetColours(label.GetTextColour(), label.GetBackColour(), GetTheme()->GetColour(0)); }), 0);
    EXPECT_EQ(paintsAfter([&] { label.SetBackColour(0x123456); }), 1);
    EXPECT_EQ(paintsAfter([&] { label.SetTextMode(kTextCut); }), 0);
    EXPECT_EQ(paintsAfter([&] { label.SetIndent(0); }), 0);
    EXPECT_EQ(paintsAfter([&] { label.SetIndent(2); }), 1);
    auto icon = SolidPicture(kGreen, 4, 4);
    EXPECT_EQ(paintsAfter([&] { label.SetIcon(icon.get(), false); }), 0);
    EXPECT_EQ(paintsAfter([&] { label.SetIcon(icon.get(), true); }), 0);
    EXPECT_EQ(paintsAfter([&] { label.SetText(u"quiet", 0u, false); }), 0);
    EXPECT_EQ(paintsAfter([&] { label.SetText(u"loud", 0u, true); }), 1);

    _guardchar<char16_t> copy;
    ASSERT_TRUE(label.CopyText(copy));
    EXPECT_EQ(std::u16string(copy.GetOrEmpty()), u"loud");
    label.ClearText();
    EXPECT_EQ(label.GetText()[0], 0);
}

} // namespace

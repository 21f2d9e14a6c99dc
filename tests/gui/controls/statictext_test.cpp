// Labels and links: greyed text, where the icon goes in every text mode (the clip and
// the "nothing drawn" cases included), word wrapping against Python's textwrap, the
// measured size, setters that redraw only on change, and the link's release action.
#include "controlstest.h"
#include "gui/controls/statictext.h"
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

// The hook sees a disabled label's colours before the greying (which the golden shows),
// and only while the label is disabled.
TEST_F(LabelTest, DisabledColoursPassTheHook)
{
    class cHookLabel : public cStaticElement
    {
    public:
        void OnDisabledColours(u32& text, u32& back) override
        {
            ++calls;
            text = 0xFFFFFF;
        }
        i32 calls = 0;
    };
    cHookLabel label;
    cPanelChild* panel = form.GetClientPanel();
    panel->AttachChild(&label, 10, 10, 100, 20);
    label.SetText(u"Hello", 0u, true);
    host->Pump();
    EXPECT_EQ(label.calls, 0);
    panel->Disable();
    host->Pump();
    EXPECT_GE(label.calls, 1);
    // Mode 0 centres the 13-pixel cell in (3, 1, 95, 18); white greyed: (255 + 196) / 2.
    EXPECT_EQ(ElementPixel(*host, &label, 3, 3 + kInkTop), 0xFFE1E1E1u);
}

// Where the icon lands: in front of the text wherever the text starts, at x 3 for left
// text, and at x 3 too when the text was cut away entirely or clipped in mode 1 (the
// icon lies left of the clip, which must be gone by then).
TEST_F(LabelTest, IconSitsInFrontOfTheTextInEveryMode)
{
    struct sCase
    {
        i32 mode;
        u32 align;
        i32 indent;
        i32 width;
        const char16_t* text;
        i32 iconX;
    };
    // Icon 8 wide: the text area starts at x = 3 + 8 + 5 = 16.
    const sCase cases[] = {
        {kTextCut, 0, 0, 100, u"Hi", 3},
        {kTextCut, 2, 0, 100, u"Hi", 75},        // text at 16 + 82 - 10 = 88
        {kTextCut, 1, 0, 100, u"Hi", 3 + 36},    // text at 16 + (82 - 10) / 2 = 52
        {kTextCut, 0, 6, 100, u"Hi", 3},         // the indent moves the text, not the icon
        {kTextCut, 0, 0, 30, u"Hi there", 3},    // 12 pixels of room: not even "..." is drawn
        {kTextClipped, 0, 0, 100, u"Hi", 3},
        {kTextClipped, 1, 0, 100, u"Hi", 3 + 35}, // free width 81: text at 16 + 35
        {kTextClipped, 2, 4, 100, u"Hi", 66},    // text at 16 + 71 - 4 = 83, start without the indent
        {kTextClipped, 0, 0, 40, u"abcdefghij", 3}, // wider than the room: drawn from x, clipped
        {kTextWrapped, 2, 0, 100, u"Hi", 3},
        {kTextWrapped, 0, 0, 100, nullptr, 3},
    };
    auto icon = SolidPicture(kGreen, 8, 8);
    for (const sCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << "mode " << c.mode << " align " << c.align << " indent " << c.indent
                                          << " width " << c.width);
        cStaticElement label;
        form.AttachChild(&label, 10, 100, c.width, 20);
        label.SetTextMode(c.mode);
        label.SetIndent(c.indent);
        label.SetIcon(icon.get(), true);
        label.SetText(c.text, c.align, true);
        host->Pump();
        // y = (20 - 8 + 1) / 2 = 6.
        EXPECT_EQ(FirstX(&label, 6, kGreen), c.iconX);
        EXPECT_EQ(FirstX(&label, 5, kGreen), -1);
        EXPECT_EQ(ElementPixel(*host, &label, c.iconX, 13), kGreen);
    }
}

// Mode 1 clips the text to (x, 1, W - x - 3, H - 2) when it is wider than that.
TEST_F(LabelTest, ClippedModeClipsAtTheRightMargin)
{
    cStaticElement wide;
    form.AttachChild(&wide, 10, 130, 40, 20);
    wide.SetTextMode(kTextClipped);
    wide.SetText(u"abcdefghijklmnop", 0u, true);
    host->Pump();
    // The clip ends at 40 - 3: the block of the seventh character (33..36) shows, the
    // eighth (38..41) does not.
    EXPECT_EQ(ElementPixel(*host, &wide, 36, 5), 0xFF000000u);
    EXPECT_EQ(ElementPixel(*host, &wide, 38, 5), ThemePixel(0));
}

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

// Six pixels or less leave no room for wrapped text; the icon still shows. A large
// indent leaves a negative width, which draws nothing.
TEST_F(LabelTest, WrappedModeNeedsHeightAndWidth)
{
    auto icon = SolidPicture(kGreen, 2, 2);
    cStaticElement flat;
    form.AttachChild(&flat, 0, 0, 100, 6);
    flat.SetTextMode(kTextWrapped);
    flat.SetIcon(icon.get(), true);
    flat.SetText(u"Hidden", 0u, true);
    cStaticElement indented;
    form.AttachChild(&indented, 0, 20, 100, 40);
    indented.SetTextMode(kTextWrapped);
    indented.SetIndent(1000);
    indented.SetText(u"Nowhere", 0u, true);
    host->Pump();
    EXPECT_EQ(ElementPixel(*host, &flat, 3, 2), kGreen);
    for (i32 x = 6; x < 100; ++x) {
        ASSERT_NE(ElementPixel(*host, &flat, x, 4), 0xFF000000u) << x;
        ASSERT_NE(ElementPixel(*host, &indented, x, 8), 0xFF000000u) << x;
    }
}

TEST_F(LabelTest, MeasureContentCountsIconTextAndIndent)
{
    auto small = SolidPicture(kGreen, 8, 10);
    auto tall = SolidPicture(kGreen, 8, 20);
    struct sCase
    {
        const char16_t* text;
        const cPicture* icon;
        i32 indent;
        i32 mode;
        sSize size;
    };
    const sCase cases[] = {
        {nullptr, nullptr, 0, kTextCut, {6, 0}},
        {u"", small.get(), 4, kTextCut, {6 + 4 + 13, 14}},
        {u"Hello", nullptr, 0, kTextCut, {6 + 25, 15}},
        {u"Hello", nullptr, 3, kTextWrapped, {6 + 3 + 25, 19}},
        {u"Hello", tall.get(), 0, kTextClipped, {6 + 13 + 25, 24}},
    };
    for (const sCase& c : cases) {
        cStaticElement label;
        form.AttachChild(&label, 0, 0, 10, 10);
        label.SetText(c.text, 0u, false);
        label.SetIcon(c.icon, false);
        label.SetIndent(c.indent);
        label.SetTextMode(c.mode);
        sSize size;
        ASSERT_TRUE(label.MeasureContent(&size));
        EXPECT_EQ(size, c.size) << "indent " << c.indent << " mode " << c.mode;
        EXPECT_FALSE(label.MeasureContent(nullptr));
    }
    // Text cannot be measured outside a window; an empty label needs no measuring.
    cStaticElement loose;
    sSize size;
    EXPECT_TRUE(loose.MeasureContent(&size));
    loose.SetText(u"Hello", 0u, false);
    EXPECT_FALSE(loose.MeasureContent(&size));
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

} // namespace

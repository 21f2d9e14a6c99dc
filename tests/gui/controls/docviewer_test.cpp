#include "gui/controls/docviewer.h"
#include "gui/core/keys.h"

#include "controlstest.h"
#include "support/fakedesktop.h"

#include <fstream>

using namespace qeltest;

namespace {

constexpr u32 kWhitePixel = 0xFFFFFFFF;

// A root that counts the pages drawn from it.
class cCountingRoot : public cSiDocContainer
{
public:
    bool Draw(cCanvas* canvas, const sSiDocDrawContext& context, sSize& size) override
    {
        ++layouts;
        return cSiDocContainer::Draw(canvas, context, size);
    }
    i32 layouts = 0;
};

// A viewer that records the links it would open and the areas it is given.
class cTestViewer : public cPaintCounting<cSiDocViewer>
{
public:
    void OpenLink(const char16_t* target) override
    {
        opened.push_back(target);
        if (openForReal) {
            cSiDocViewer::OpenLink(target);
        }
    }
    bool AddActiveArea(const char16_t* target, i32 x, i32 y, i32 width, i32 height) override
    {
        rightmost = std::max(rightmost, x + width);
        return cSiDocViewer::AddActiveArea(target, x, y, width, height);
    }
    std::vector<std::u16string> opened;
    bool openForReal = false;
    i32 rightmost = 0;
};

// A 300 x 200 viewer at the form's top-left, focusable so that keys reach it.
class DocViewerTest : public cFormTest
{
protected:
    void SetUp() override
    {
        cFormTest::SetUp();
        ASSERT_TRUE(form.AttachChild(&viewer, 0, 0, 300, 200));
        viewer.SetFocusable(true);
        viewer.Activate();
    }
    void TearDown() override
    {
        viewer.SetDocument(nullptr);
        cFormTest::TearDown();
    }
    // `lines` lines of `words` links each ("w<line>.<word>", 4 or 5 units), each line
    // starting with a forced break; the targets are the words themselves.
    void Fill(i32 lines, i32 words)
    {
        for (i32 line = 0; line < lines; ++line) {
            for (i32 word = 0; word < words; ++word) {
                auto* link = new cSiDocLink();
                const std::string text = "w" + std::to_string(line % 10) + "." + std::to_string(word % 10);
                ASSERT_TRUE(link->SetText(std::u16string(text.begin(), text.end()).c_str(), -1));
                link->m_target = link->GetText();
                link->m_break = word == 0;
                ASSERT_TRUE(root.m_children.Append(link));
            }
        }
    }
    void Show()
    {
        ASSERT_TRUE(viewer.SetDocument(&root));
        host->Pump();
    }
    u32 Pixel(i32 x, i32 y) { return ElementPixel(*host, &viewer, x, y); }

    cTestViewer viewer;
    cCountingRoot root;
};

} // namespace

// Keys move the bar without laying out again; Home and End at their end change nothing;
// a height-only resize keeps the page, a new width lays out again; the same document
// twice is refused and keeps the page.
TEST_F(DocViewerTest, ScrollingAndResizingOnlyBlit)
{
    Fill(40, 3); // 600 pixels high
    Show();
    EXPECT_EQ(viewer.GetContentHeight(), 600);
    const std::vector<std::pair<i32, i32>> steps{{kVkDown, 15},  {kVkRight, 30},     {kVkUp, 15},
                                                 {kVkLeft, 0},   {kVkPageDown, 200}, {kVkPageUp, 0},
                                                 {kVkEnd, 400},  {kVkHome, 0}};
    for (auto [key, expected] : steps) {
        host->KeyDown(key);
        EXPECT_EQ(viewer.GetScrollY(), expected) << key;
    }
    host->Pump();
    const i32 paints = viewer.paints;
    host->KeyDown(kVkHome);
    host->Pump();
    EXPECT_EQ(viewer.paints, paints) << "Home at the top repaints nothing";
    host->KeyDown(kVkEnd);
    host->Pump();
    host->KeyDown(kVkEnd);
    host->Pump();
    EXPECT_EQ(viewer.paints, paints + 1) << "End at the bottom repaints nothing";
    EXPECT_FALSE(viewer.SetDocument(&root));
    viewer.SetBounds(0, 0, 300, 150);
    host->Pump();
    EXPECT_EQ(root.layouts, 1);
    viewer.SetBounds(0, 0, 250, 150);
    host->Pump();
    EXPECT_EQ(root.layouts, 2);
}

// A page taller than the view is laid out beside the vertical bar; a short one uses the
// whole width and shows the background below itself and after SetDocument(nullptr).
TEST_F(DocViewerTest, LayoutLeavesRoomForTheBarAndFillsBelow)
{
    Fill(30, 12); // 12 words of 20 or 25 pixels each need about 300 pixels
    Show();
    EXPECT_LE(viewer.rightmost, 300 - cScrollableElement::kBarSize);
    sPoint stale{-1, -1}; // a text pixel of the long document
    for (i32 x = 0; x < 20 && stale.x < 0; ++x) {
        for (i32 y = 15; y < 30 && stale.x < 0; ++y) {
            stale = Pixel(x, y) != kWhitePixel ? sPoint{x, y} : stale;
        }
    }
    ASSERT_GE(stale.x, 0);
    viewer.rightmost = 0;
    cSiDocContainer shortRoot;
    shortRoot.m_background = 0x0000FF; // red
    auto* word = new cSiDocText();
    ASSERT_TRUE(word->SetText(u"short", -1) && shortRoot.m_children.Append(word));
    ASSERT_TRUE(viewer.SetDocument(&shortRoot));
    host->Pump();
    EXPECT_EQ(Pixel(24, 13), 0xFFFF0000u) << "the text's cell";
    EXPECT_EQ(Pixel(25, 13), kWhitePixel);
    EXPECT_EQ(Pixel(stale.x, stale.y), kWhitePixel) << "the background below the document";
    EXPECT_EQ(Pixel(299, 199), kWhitePixel) << "no bar over a short document";
    ASSERT_TRUE(viewer.SetDocument(nullptr));
    host->Pump();
    EXPECT_EQ(Pixel(0, 0), kWhitePixel);
}

// The hand shows over links; a press and release on the same link opens it once, press
// on one link and release on another opens nothing; the right button opens nothing.
TEST_F(DocViewerTest, LinksOpenOnPressAndReleaseOnTheSameLink)
{
    Fill(1, 2); // "w0.0" at 0..19 and "w0.1" at 25..44, 15 high
    Show();
    host->MouseMove(5, 5);
    EXPECT_EQ(host->GetCursor(window), kCursorHand);
    host->MouseMove(22, 5);
    EXPECT_EQ(host->GetCursor(window), kCursorArrow);
    host->MouseDown(5, 5);
    host->MouseUp(30, 5);
    host->Click(30, 5, kMouseRight);
    host->MouseDown(19, 14);
    host->MouseUp(0, 0);
    host->Pump();
    EXPECT_EQ(viewer.opened, std::vector<std::u16string>{u"w0.0"});
    EXPECT_FALSE(host->HasMouseCapture(window));
}

// The default OpenLink hands the target, as one unexpanded argument, to the desktop's
// xdg-open and refuses what is no web or mail address or existing absolute path.
TEST_F(DocViewerTest, DefaultOpenLinkUsesOnlyTheDesktopAllowList)
{
    cFakeDesktop desktop;
    const std::string file = desktop.Folder().PathOf("read me.txt");
    std::ofstream(file) << "x";
    const std::vector<std::string> targets{"https://example.com/a?b=1", "javascript:x", "https://x/$(id)",
                                           "file:///etc/passwd", "ls -l", "-h", "relative/path",
                                           "https://example.org/a b", "mailto:a@b", file};
    std::vector<std::u16string> wide;
    for (const std::string& target : targets) {
        wide.push_back(WideName(target));
    }
    for (const std::u16string& target : wide) {
        auto* link = new cSiDocLink();
        ASSERT_TRUE(link->SetText(u"link", -1) && root.m_children.Append(link));
        link->m_target = target.c_str();
        link->m_break = true;
    }
    Show();
    viewer.openForReal = true;
    for (size_t i = 0; i < targets.size(); ++i) {
        host->Click(5, i32(i) * 15 + 5);
    }
    host->Pump();
    EXPECT_EQ(viewer.opened.size(), targets.size());
    const std::string expected = targets[0] + '\0' + targets[2] + '\0' + targets[8] + '\0' + file + '\0';
    EXPECT_TRUE(WaitFor([&] { return desktop.Log().size() >= expected.size(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // nothing more arrives
    EXPECT_EQ(desktop.Log(), expected);
}

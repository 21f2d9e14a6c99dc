#include "gui/document/docviewer.h"
#include "gui/core/keys.h"

#include "gui/controlstest.h"
#include "support/fakedesktop.h"

#include <algorithm>
#include <set>
#include <sstream>

using namespace qeltest;

namespace {

// Counts the pages drawn from the root, the links opened and the right edge of links.
class cTestViewer : public cPaintCounting<cSiDocViewer>
{
public:
    void OpenLink(const char16_t* target) override
    {
        opened.push_back(target);
        cSiDocViewer::OpenLink(target);
    }
    bool AddActiveArea(const char16_t* target, i32 x, i32 y, i32 width, i32 height) override
    {
        rightmost = std::max(rightmost, x + width);
        layouts += x == 0 && y == 0 ? 1 : 0;
        return cSiDocViewer::AddActiveArea(target, x, y, width, height);
    }
    std::vector<std::u16string> opened;
    i32 rightmost = 0;
    i32 layouts = 0;
};

// A focusable 300 x 200 viewer at the form's top-left.
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
    // `lines` lines of `words` links "w<line>.<word>" (20 pixels each), targeting
    // targets[line] or else the words themselves.
    void Show(i32 lines, i32 words, const std::vector<std::u16string>& targets = {})
    {
        for (i32 i = 0; i < lines * words; ++i) {
            auto* link = new cSiDocLink();
            const std::u16string text = u"w" + std::u16string(1, u'0' + i / words % 10) + u"." + char16_t(u'0' + i % words % 10);
            ASSERT_TRUE(link->SetText(text.c_str(), -1) && root.m_children.Append(link));
            link->m_target = targets.empty() ? link->GetText() : targets[size_t(i / words)].c_str();
            link->m_break = i % words == 0;
        }
        ASSERT_TRUE(viewer.SetDocument(&root));
        host->Pump();
    }
    u32 Pixel(i32 x, i32 y) { return ElementPixel(*host, &viewer, x, y); }

    cTestViewer viewer;
    cSiDocContainer root;
};

} // namespace

// A page taller than the view is laid out beside the bar (12 words need 295 pixels). Keys
// move the bar, Home and End at their end repaint nothing, scrolling and a height-only
// resize never lay out again, a new width does; the same document twice keeps the page. A
// short document shows the background below itself, no document only background.
TEST_F(DocViewerTest, ScrollingAndResizingOnlyBlit)
{
    Show(40, 12); // 80 lines beside the bar
    EXPECT_LE(viewer.rightmost, 300 - cScrollableElement::kBarSize);
    std::vector<i32> offsets;
    for (i32 key : {kVkDown, kVkRight, kVkUp, kVkLeft, kVkPageDown, kVkPageUp, kVkEnd, kVkHome}) {
        host->KeyDown(key);
        offsets.push_back(viewer.GetScrollY());
    }
    EXPECT_EQ(offsets, (std::vector<i32>{15, 30, 15, 0, 200, 0, 1000, 0}));
    host->Pump();
    const i32 paints = viewer.paints;
    for (i32 key : {kVkHome, kVkEnd, kVkEnd}) {
        host->KeyDown(key);
        host->Pump();
    }
    EXPECT_EQ(viewer.paints, paints + 1);
    EXPECT_FALSE(viewer.SetDocument(&root));
    viewer.SetBounds(0, 0, 300, 150);
    host->Pump();
    EXPECT_EQ(viewer.layouts, 1);
    viewer.SetBounds(0, 0, 250, 150);
    host->Pump();
    EXPECT_EQ(viewer.layouts, 2);
    host->KeyDown(kVkHome);
    ASSERT_NE(Pixel(2, 20), 0xFFFFFFFFu) << "a glyph of the second line";
    cSiDocContainer shortRoot;
    auto* word = new cSiDocText();
    ASSERT_TRUE(word->SetText(u"short", -1) && shortRoot.m_children.Append(word));
    ASSERT_TRUE(viewer.SetDocument(&shortRoot));
    host->Pump();
    EXPECT_EQ(Pixel(2, 20), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(249, 149), 0xFFFFFFFFu) << "no bar";
    ASSERT_TRUE(viewer.SetDocument(nullptr));
    host->Pump();
    EXPECT_EQ(Pixel(2, 6), 0xFFFFFFFFu);
}

// The hand over links. Press and release on one link opens it, press on one and release on
// another (or the right button) opens nothing. The default OpenLink gives the desktop's
// xdg-open one unexpanded argument, only for web and mail addresses and existing absolute
// paths.
TEST_F(DocViewerTest, LinksOpenOnlyThroughTheDesktopAllowList)
{
    cFakeDesktop desktop;
    const std::string file = desktop.Folder().PathOf("read me.txt");
    std::ofstream(file) << "x";
    std::vector<std::u16string> targets;
    for (std::string target : {"https://example.com/a?b=1", "javascript:x", "https://x/$(id)", "file:///etc/passwd",
                               "ls -l", "-h", "relative/path", "https://example.org/a b", "mailto:a@b", file.c_str()}) {
        targets.push_back(WideName(target));
    }
    Show(10, 2, targets);
    host->MouseMove(5, 5);
    EXPECT_EQ(host->GetCursor(window), kCursorHand);
    host->MouseMove(22, 5);
    EXPECT_EQ(host->GetCursor(window), kCursorArrow);
    host->MouseDown(5, 5);
    host->MouseUp(5, 20); // another link
    host->Click(5, 5, kMouseRight);
    for (i32 line = 0; line < 10; ++line) {
        host->MouseDown(5, line * 15 + 5);
        host->MouseUp(30, line * 15 + 5); // the other word of the same link
    }
    EXPECT_FALSE(host->HasMouseCapture(window));
    // Each opener is its own process, so they may log in any order.
    std::multiset<std::string> expected{"https://example.com/a?b=1", "https://x/$(id)", "mailto:a@b", file};
    EXPECT_TRUE(WaitFor([&] {
        const std::string log = desktop.Log();
        return std::count(log.begin(), log.end(), '\0') >= 4;
    }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // nothing more arrives
    std::multiset<std::string> logged;
    std::istringstream log(desktop.Log());
    for (std::string argument; std::getline(log, argument, '\0');) {
        logged.insert(argument);
    }
    EXPECT_EQ(logged, expected);
    EXPECT_EQ(viewer.opened.size(), 10u);
}

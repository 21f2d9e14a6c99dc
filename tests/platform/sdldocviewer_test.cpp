// The document viewer in a real window: GPL-3 scrolled by keys typed with xdotool (what the
// X server shows of its top and end), and links opened by real clicks through the desktop's
// xdg-open.
#include "base/fileio.h"
#include "gui/document/docviewer.h"
#include "gui/document/plaintextdoc.h"
#include "sdltesttools.h"
#include "support/fakedesktop.h"

namespace {

using qeltest::cRunScript;
using qeltest::HexWindowId;
using qeltest::X11WindowOf;

// Keeps the link areas of the page it draws, in page coordinates.
class cAreaViewer : public cSiDocViewer
{
public:
    void ClearActiveAreas() override
    {
        areas.clear();
        cSiDocViewer::ClearActiveAreas();
    }
    bool AddActiveArea(const char16_t* target, i32 x, i32 y, i32 width, i32 height) override
    {
        areas.push_back({target, {x + width / 2, y + height / 2}});
        return cSiDocViewer::AddActiveArea(target, x, y, width, height);
    }
    // The centre of the last area of `target`; (-1, -1) when there is none.
    sPoint Centre(const std::u16string& target) const
    {
        sPoint found{-1, -1};
        for (const auto& [areaTarget, centre] : areas) {
            found = areaTarget == target ? centre : found;
        }
        return found;
    }

    std::vector<std::pair<std::u16string, sPoint>> areas;
};

class SdlDocViewer : public qeltest::cSdlTest
{
protected:
    // The darkest grey level (0 black, 1 white) of rows [top, top + rows) of the window
    // left of the bar, as the X server shows them.
    double Darkest(const std::string& id, i32 top, i32 rows)
    {
        const std::string shot = ::testing::TempDir() + "sdldocviewer" + std::to_string(top) + ".png";
        std::string level;
        const std::string crop = std::to_string(600 - cScrollableElement::kBarSize) + "x" + std::to_string(rows) +
                                 "+0+" + std::to_string(top);
        if (!RunTool({"import", "-window", id, shot}) ||
            !RunTool({"convert", shot, "-crop", crop, "-colorspace", "Gray", "-format", "%[fx:minima]", "info:"}, &level)) {
            return -1;
        }
        return std::stod(level);
    }
};

// End shows the last line above the 8 pixels of bottom padding, Home the first line below
// the top padding. A press on one link released on another opens nothing; a click on
// https://fsf.org/ opens it once.
TEST_F(SdlDocViewer, LicenceScrollsByKeysAndOpensClickedLinks)
{
    QEL_REQUIRE_X_TOOLS();
    QEL_REQUIRE(qeltest::HaveTool("import") && qeltest::HaveTool("convert"), "ImageMagick (imagemagick)");
    qeltest::cFakeDesktop desktop;
    cSiDocLoader loader; // outlives the viewer, which the run deletes
    cFileIO file;
    sSiDocTextOptions options;
    ASSERT_TRUE(file.Create("/usr/share/common-licenses/GPL-3", FileMode::Read) &&
                LoadPlainTextDocument(file, options, loader));
    auto* viewer = new cAreaViewer;
    viewer->SetFocusable(true);
    ASSERT_TRUE(viewer->SetDocument(loader.GetRoot()));
    i32 endScroll = -1, maxScroll = -1, homeScroll = -1;
    double endPadding = -1, endLine = -1, homePadding = -1, homeLine = -1;
    sPoint fsf{}, licenses{}, whyNot{};
    cRunScript runner;
    runner.Post([&] {
        ASSERT_TRUE(WaitForFocus(viewer->GetWindow()));
        viewer->Activate();
        ASSERT_TRUE(viewer->GetWidth() == 600 && viewer->GetHeight() == 400);
        const std::string id = HexWindowId(X11WindowOf(viewer->GetWindow()));
        ASSERT_TRUE(PumpUntil([&] { return viewer->areas.size() == 4; }));
        ASSERT_TRUE(Xdo({"key", "End"}));
        PumpUntil([&] { return viewer->GetScrollY() > 0; });
        Settle();
        endScroll = viewer->GetScrollY();
        maxScroll = viewer->GetScrollMaxY();
        endPadding = Darkest(id, 400 - options.padding, options.padding);
        endLine = Darkest(id, 400 - options.padding - 15, 15);
        // Press on the last https://www.gnu.org/licenses/, release on the last link.
        licenses = viewer->Centre(u"https://www.gnu.org/licenses/");
        whyNot = viewer->Centre(u"https://www.gnu.org/licenses/why-not-lgpl.html");
        ASSERT_TRUE(Xdo({"mousemove", "--window", id, std::to_string(licenses.x), std::to_string(licenses.y - endScroll),
                         "mousedown", "1", "mousemove", "--window", id, std::to_string(whyNot.x),
                         std::to_string(whyNot.y - endScroll), "mouseup", "1"}));
        Settle();
        ASSERT_TRUE(Xdo({"key", "Home"}));
        PumpUntil([&] { return viewer->GetScrollY() == 0; });
        Settle();
        homeScroll = viewer->GetScrollY();
        homePadding = Darkest(id, 0, options.padding);
        homeLine = Darkest(id, options.padding, 15);
        fsf = viewer->Centre(u"https://fsf.org/");
        ASSERT_TRUE(Xdo({"mousemove", "--window", id, std::to_string(fsf.x), std::to_string(fsf.y), "click", "1"}));
        Settle();
        viewer->EndModal(1);
    });
    EXPECT_EQ(Maker()->RunModalOver(u"GPL-3", 600, 400, viewer, nullptr, false), 1);
    EXPECT_GT(maxScroll, 0);
    EXPECT_EQ(endScroll, maxScroll);
    EXPECT_EQ(endPadding, 1.0) << "the bottom padding is background";
    EXPECT_LT(endLine, 0.5) << "the last line shows above it";
    EXPECT_EQ(homeScroll, 0);
    EXPECT_EQ(homePadding, 1.0);
    EXPECT_LT(homeLine, 0.5);
    EXPECT_GT(whyNot.y, licenses.y);
    EXPECT_GE(licenses.y - endScroll, 0) << "both links show at the end";
    const std::string expected = std::string("https://fsf.org/") + '\0';
    EXPECT_TRUE(qeltest::WaitFor([&] { return desktop.Log().size() >= expected.size(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // nothing more arrives
    EXPECT_EQ(desktop.Log(), expected);
}

} // namespace

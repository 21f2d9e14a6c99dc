// Popup menus: fitting to the screen, the chosen id and every way of dismissal, focus
// moving inside without closing, entry order, picture-only entries, separators and
// scrolling.
#include "gui/controls/popupmenu.h"
#include "gui/controls/pushbutton.h"
#include "gui/controlstest.h"
#include "gui/core/imagelist.h"
#include "gui/core/keys.h"
#include "gui/core/scrollable.h"
#include "gui/core/theme.h"

#include <functional>
#include <vector>

namespace {

using qeltest::PixelAt;
using qeltest::SolidPicture;

void AddItem(tPopupItems& items, i32 id, const char16_t* text, i32 iconId = -1, bool separator = false)
{
    sPopupItem* item = items.GetOrAdd(id);
    ASSERT_NE(item, nullptr);
    ASSERT_TRUE(item->text.Assign(text));
    item->iconId = iconId;
    item->separator = separator;
}

// The entry buttons of a popup window, top to bottom.
std::vector<cButtonChild*> Entries(cWindowTranslator& window)
{
    std::vector<cButtonChild*> entries;
    for (cChildElement* child : window.GetRoot()->GetChildren()) {
        if (auto* button = dynamic_cast<cButtonChild*>(child)) {
            entries.push_back(button);
        }
    }
    return entries;
}

class PopupTest : public qeltest::cFormTest
{
protected:
    void SetUp() override
    {
        cFormTest::SetUp();
        AddItem(items, 10, u"Open");
        AddItem(items, 20, u"Save here");
        AddItem(items, 30, u"Delete");
    }

    // Runs the popup with `script` driving it; returns the popup's result and, in
    // `rect`, where its window was.
    i32 RunWith(const std::function<i32()>& show, const cHeadlessHost::tModalScript& script, sRect* rect = nullptr)
    {
        host->PushModalScript([&](cHeadlessHost& h, cWindowTranslator& popup) {
            if (rect != nullptr) {
                h.GetWindowRect(&popup, *rect);
            }
            script(h, popup);
        });
        const i32 result = show();
        EXPECT_EQ(host->GetPendingScriptCount(), 0u);
        EXPECT_EQ(host->GetTopWindow(), window);
        return result;
    }

    tPopupItems items;
};

TEST_F(PopupTest, RectangleIsFittedToTheScreen)
{
    struct sCase
    {
        sRect asked;
        sSize screen;
        sRect window;
    };
    const sCase cases[] = {
        {{100, 100, 57, 60}, {1024, 768}, {100, 100, 57, 62}},
        {{967, 100, 57, 60}, {1024, 768}, {967, 100, 57, 62}},   // touching the edge is fine
        {{500, 10, 2000, 60}, {1024, 768}, {0, 10, 2000, 62}},   // wider than the screen
        {{500, 10, 1024, 60}, {1024, 768}, {0, 10, 1024, 62}},
        {{10, 300, 57, 600}, {1024, 768}, {10, 300, 57, 470}},   // more room below: cut to it
        {{10, 700, 57, 1000}, {1024, 768}, {10, 0, 57, 702}},    // more room above: cut to y
        {{10, 700, 57, 400}, {1024, 768}, {10, 300, 57, 402}},   // opens above, whole
        {{1000, 750, 57, 60}, {0, 0}, {1000, 750, 57, 62}},      // no screen size: as asked
    };
    for (const sCase& c : cases) {
        host->SetScreenSize(c.screen.width, c.screen.height);
        sRect rect;
        RunWith([&] { return ShowPopupMenuAt(&form, items, c.asked.x, c.asked.y, c.asked.width, c.asked.height,
                                             sPopupStyle()); },
                [](cHeadlessHost& h, cWindowTranslator&) { h.KeyDown(kVkEscape); }, &rect);
        EXPECT_EQ(rect, c.window) << c.asked.x << "," << c.asked.y << " " << c.asked.width << "x" << c.asked.height;
    }
}

// The entry pressed gives its id; Escape, a press outside, the window losing the focus
// and a run left open give -1. Moving the focus among the entries keeps the menu open.
TEST_F(PopupTest, ResultIsTheChosenIdOrMinusOne)
{
    struct sCase
    {
        const char* what;
        std::function<void(cHeadlessHost&, cWindowTranslator&)> drive;
        i32 result;
    };
    const sCase cases[] = {
        {"click on the second entry", [](cHeadlessHost& h, cWindowTranslator&) { h.Click(20, 1 + 20 + 10); }, 20},
        {"escape", [](cHeadlessHost& h, cWindowTranslator&) { h.KeyDown(kVkEscape); }, -1},
        {"press outside", [](cHeadlessHost& h, cWindowTranslator&) { h.MouseDown(-5, 30); }, -1},
        {"press below", [](cHeadlessHost& h, cWindowTranslator&) { h.MouseDown(20, 62); }, -1},
        {"focus lost", [](cHeadlessHost& h, cWindowTranslator& w) { h.Activate(false, &w); }, -1},
        {"arrows then enter",
         [](cHeadlessHost& h, cWindowTranslator& w) {
             h.KeyDown(kVkDown);
             h.KeyDown(kVkDown);
             h.Pump();
             EXPECT_FALSE(w.IsRunEnded());
             EXPECT_TRUE(Entries(w)[2]->HasFocus());
             h.KeyDown(kVkReturn);
         },
         30},
        {"click, focus moves into an entry, then release elsewhere",
         [](cHeadlessHost& h, cWindowTranslator& w) {
             h.MouseDown(20, 31);
             h.Pump();
             EXPECT_TRUE(Entries(w)[1]->HasFocus());
             EXPECT_FALSE(w.IsRunEnded());
             h.MouseUp(20, 100);
             h.Pump();
             EXPECT_FALSE(w.IsRunEnded());
         },
         -1},
        {"a plain action of another source",
         [](cHeadlessHost& h, cWindowTranslator& w) {
             PostAction(w.GetRoot(), nullptr);
             h.Pump();
             EXPECT_FALSE(w.IsRunEnded());
         },
         -1},
    };
    for (const sCase& c : cases) {
        sPopupStyle style;
        style.preselectedId = 10;
        const i32 result = RunWith([&] { return ShowPopupMenu(&form, items, 100, 100, &style); }, c.drive);
        EXPECT_EQ(result, c.result) << c.what;
    }
}

} // namespace

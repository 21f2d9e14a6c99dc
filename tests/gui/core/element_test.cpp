// The widget tree: placement, routing of mouse and keys, focus, capture, hover, double
// click and what the tree forgets when elements go.
#include "gui/core/keys.h"
#include "gui/guitest.h"

#include <algorithm>

namespace {

using qeltest::cProbe;
using qeltest::tLog;

// The log without hover and move entries, which every press also produces.
tLog Presses(const tLog& log)
{
    tLog kept;
    std::copy_if(log.begin(), log.end(), std::back_inserter(kept), [](const std::string& entry) {
        return entry.find("Hover") == std::string::npos && entry.find("Move") == std::string::npos;
    });
    return kept;
}

// "x,y,w,h" of an element's rectangle.
std::string Rect(const cChildElement& element)
{
    sRect r = element.GetRect();
    return std::to_string(r.x) + "," + std::to_string(r.y) + "," + std::to_string(r.width) + "," +
           std::to_string(r.height);
}

// Negative places count from the far edge (value + size + 1), sizes from the edge stop at
// 0, anchors keep the distance to the far edges, AddChildAt replaces an earlier place and
// SetBounds drops it; the rows give the rectangle at parent sizes 97 x 134, 200 x 50 and
// 8 x 12.
TEST(ElementPlacement, PlacesFollowTheParentsSize)
{
    const struct
    {
        i32 x, y, width, height;
        u32 anchors; // ~0u: AddChildAt
        const char* rects[3];
    } cases[] = {
        {-52, -33, 42, 25, ~0u, {"46,102,42,25", "149,18,42,25", "-43,-20,42,25"}},
        {5, 5, -11, -21, ~0u, {"5,5,87,114", "5,5,190,30", "5,5,0,0"}},
        {-11, 0, 10, -1, ~0u, {"87,0,10,134", "190,0,10,50", "-2,0,10,12"}},
        {80, 10, 10, 10, kAnchorRight, {"80,10,10,10", "183,10,10,10", "-9,10,10,10"}},
        {10, 80, 10, 10, kAnchorRight | kAnchorBottom, {"10,80,10,10", "113,-4,10,10", "-79,-42,10,10"}},
        {7, 7, 7, 7, 0, {"7,7,7,7", "7,7,7,7", "7,7,7,7"}},
    };
    for (const auto& c : cases) {
        cChildElement parent;
        parent.SetBounds(0, 0, 97, 134);
        cChildElement child;
        ASSERT_TRUE(parent.AttachChild(&child, 1, 2, 3, 4));
        if (c.anchors == ~0u) {
            ASSERT_TRUE(parent.AddChildAt(&child, c.x, c.y, c.width, c.height));
        } else {
            ASSERT_TRUE(parent.DetachChild(&child));
            ASSERT_TRUE(parent.AttachChild(&child, c.x, c.y, c.width, c.height, c.anchors));
        }
        EXPECT_EQ(parent.GetChildren().size(), 1u);
        const sSize sizes[] = {{97, 134}, {200, 50}, {8, 12}};
        for (i32 i = 0; i < 3; ++i) {
            parent.SetBounds(0, 0, sizes[i].width, sizes[i].height);
            EXPECT_EQ(Rect(child), c.rects[i]) << c.x << "," << c.y << " at " << sizes[i].width;
        }
    }
    // SetBounds drops the place.
    cChildElement parent;
    parent.SetBounds(0, 0, 100, 100);
    cChildElement child;
    ASSERT_TRUE(parent.AddChildAt(&child, -11, 0, 10, -1));
    child.SetBounds(7, 7, 7, 7);
    parent.SetBounds(0, 0, 300, 300);
    EXPECT_EQ(Rect(child), "7,7,7,7");
}

TEST(ElementTree, RefusesCyclesAndDestructionDetachesWithoutDeleting)
{
    cChildElement outer;
    auto middle = std::make_unique<cChildElement>();
    cChildElement inner;
    ASSERT_TRUE(outer.AttachChild(middle.get(), 0, 0, 10, 10));
    ASSERT_TRUE(middle->AttachChild(&inner, 0, 0, 5, 5));
    EXPECT_FALSE(inner.AttachChild(&outer, 0, 0, 1, 1));
    EXPECT_FALSE(inner.AttachChild(&inner, 0, 0, 1, 1));
    EXPECT_FALSE(outer.DetachChild(&inner));

    middle.reset();
    EXPECT_TRUE(outer.GetChildren().empty());
    EXPECT_EQ(inner.GetParent(), nullptr);
}

class ElementInput : public qeltest::cGuiTest
{
protected:
    void SetUp() override
    {
        cGuiTest::SetUp();
        root = std::make_unique<cProbe>(&log, "root");
        left = std::make_unique<cProbe>(&log, "left");
        leftButton = std::make_unique<cProbe>(&log, "a", true);
        right = std::make_unique<cProbe>(&log, "right");
        rightButton = std::make_unique<cProbe>(&log, "b", true);
        window = Open(root.get(), 200, 100);
        ASSERT_NE(window, nullptr);
        root->AttachChild(left.get(), 0, 0, 100, 100);
        left->AttachChild(leftButton.get(), 10, 10, 40, 20);
        root->AttachChild(right.get(), 100, 0, 100, 100);
        right->AttachChild(rightButton.get(), 10, 10, 40, 20);
        log.clear();
    }

    tLog log;
    std::unique_ptr<cProbe> root, left, leftButton, right, rightButton;
    cWindowTranslator* window = nullptr;
};

TEST_F(ElementInput, PressesReachTheTopmostVisibleChildInItsCoordinates)
{
    host->Click(115, 12);
    EXPECT_EQ(Presses(log), (tLog{"root:FocusByClick(0)", "right:FocusByClick(0)", "b:FocusByClick(0)",
                                  "b:FocusGained(0)", "b:GotFocus", "b:Press(5,2,1)", "b:Release(5,2,1)"}));

    // Of two overlapping siblings the later-attached one is on top; a hidden one is
    // passed over.
    cProbe cover(&log, "cover");
    right->AttachChild(&cover, 0, 0, 30, 30);
    log.clear();
    host->Click(115, 12);
    EXPECT_EQ(Presses(log), (tLog{"cover:Press(15,12,1)", "cover:Release(15,12,1)"}));
    cover.Hide();
    log.clear();
    host->Click(115, 12);
    EXPECT_EQ(Presses(log), (tLog{"b:Press(5,2,1)", "b:Release(5,2,1)"}));
}

TEST_F(ElementInput, FocusNotificationsFollowTheTreePaths)
{
    host->Click(15, 15);
    EXPECT_EQ(Presses(log), (tLog{"root:FocusByClick(0)", "left:FocusByClick(0)", "a:FocusByClick(0)",
                                  "a:FocusGained(0)", "a:GotFocus", "a:Press(5,5,1)", "a:Release(5,5,1)"}));
    log.clear();
    host->MouseDown(115, 15, kMouseRight, true, false);
    EXPECT_EQ(Presses(log), (tLog{"a:DropFocus", "left:DropFocus", "a:FocusLost", "right:FocusByClick(1)",
                                  "b:FocusByClick(1)", "b:FocusGained(1,ctrl)", "b:GotFocus", "b:Press(5,5,2)"}));

    // Focus moving to a descendant leaves no subtree: no DropFocus.
    right->SetFocusable(true);
    right->Activate();
    log.clear();
    rightButton->Activate();
    EXPECT_EQ(log, (tLog{"right:FocusLost", "b:SetFocus", "b:FocusGained(2)", "b:GotFocus"}));
}

TEST_F(ElementInput, UnavailableElementsNeverTakeTheFocusButStillGetInput)
{
    host->Click(15, 15);
    ASSERT_TRUE(leftButton->HasFocus());

    // Pressing an element that cannot take the focus keeps it where it is.
    log.clear();
    rightButton->Disable();
    host->Click(115, 15);
    EXPECT_TRUE(leftButton->HasFocus());
    EXPECT_EQ(Presses(log), (tLog{"b:EnabledChanged", "b:Press(5,5,1)", "b:Release(5,5,1)"}));
    rightButton->Activate();
    EXPECT_TRUE(leftButton->HasFocus());

    // Disabling an ancestor of the holder drops the focus and tells the subtree.
    log.clear();
    left->Disable();
    EXPECT_EQ(window->GetFocus(), nullptr);
    EXPECT_EQ(log, (tLog{"a:DropFocus", "left:DropFocus", "root:DropFocus", "a:FocusLost", "left:EnabledChanged",
                         "a:EnabledChanged"}));
    EXPECT_FALSE(leftButton->IsEnabledInTree());
    left->Enable();
    EXPECT_TRUE(leftButton->IsEnabledInTree());

    leftButton->Activate();
    ASSERT_TRUE(leftButton->HasFocus());
    left->Hide();
    EXPECT_EQ(window->GetFocus(), nullptr);
    leftButton->Activate();
    EXPECT_EQ(window->GetFocus(), nullptr);
}

TEST_F(ElementInput, CaptureHolderGetsEveryPressUntilReleasedOrHidden)
{
    leftButton->CaptureMouse();
    EXPECT_TRUE(host->HasMouseCapture(window));
    host->MouseDown(150, 50);
    host->MouseMove(-20, 300);
    host->MouseUp(-20, 300);
    EXPECT_EQ(Presses(log), (tLog{"root:FocusByClick(0)", "left:FocusByClick(0)", "a:FocusByClick(0)",
                                  "a:FocusGained(0)", "a:GotFocus", "a:Press(140,40,1)", "a:Release(-30,290,1)"}));
    EXPECT_NE(std::find(log.begin(), log.end(), "a:Move(-30,290)"), log.end());

    left->Hide();
    EXPECT_FALSE(leftButton->HasMouseCapture());
    EXPECT_FALSE(host->HasMouseCapture(window));
    log.clear();
    host->Click(150, 50);
    EXPECT_EQ(Presses(log), (tLog{"right:Press(50,50,1)", "right:Release(50,50,1)"}));
}

TEST_F(ElementInput, DoubleClickNeedsTheSameElementWithin500MsAnd4Pixels)
{
    struct sCase
    {
        u32 delay;
        i32 dx;
        i32 dy;
        bool doubleClick;
    };
    const sCase cases[] = {
        {499, 4, 0, true}, {500, 0, -4, true}, {501, 0, 0, false}, {100, 5, 0, false}, {100, 0, 5, false},
    };
    for (const sCase& c : cases) {
        host->AdvanceTime(10000);
        host->Click(20, 20);
        host->AdvanceTime(c.delay);
        log.clear();
        host->MouseDown(20 + c.dx, 20 + c.dy);
        host->MouseUp(20 + c.dx, 20 + c.dy);
        bool sawDouble = std::find(log.begin(), log.end(), "a:DoubleClick") != log.end();
        EXPECT_EQ(sawDouble, c.doubleClick) << c.delay << " ms, " << c.dx << "/" << c.dy << " px";
    }

    // A third quick press starts a new pair; presses on two elements never pair.
    host->AdvanceTime(10000);
    log.clear();
    host->Click(20, 20);
    host->Click(20, 20);
    host->Click(20, 20);
    EXPECT_EQ(std::count(log.begin(), log.end(), "a:DoubleClick"), 1);
    host->AdvanceTime(10000);
    log.clear();
    host->Click(49, 20);
    host->Click(51, 20);
    EXPECT_EQ(std::count(log.begin(), log.end(), "a:DoubleClick"), 0);
}

TEST_F(ElementInput, KeysBubbleFromTheFocusAndArrowsMoveAmongSiblings)
{
    cProbe first(&log, "first", true);
    cProbe second(&log, "second", true);
    cProbe third(&log, "third", true);
    for (cProbe* probe : {&first, &second, &third}) {
        probe->m_arrowNavigable = true;
    }
    cProbe bar(&log, "bar");
    root->AttachChild(&bar, 0, 0, 10, 10);
    bar.AttachChild(&first, 0, 0, 1, 1);
    bar.AttachChild(&second, 1, 0, 1, 1);
    bar.AttachChild(&third, 2, 0, 1, 1);
    second.Disable();

    first.Activate();
    log.clear();
    host->KeyDown(kVkRight);
    EXPECT_TRUE(third.HasFocus());
    EXPECT_EQ(log[0], "first:Key(39)");
    EXPECT_EQ(log[1], "bar:Key(39)");

    // A parent that handles the arrow itself wins over the navigation.
    bar.m_consumedKey = kVkLeft;
    host->KeyDown(kVkLeft);
    EXPECT_TRUE(third.HasFocus());
    // Unhandled keys climb to the root.
    log.clear();
    host->KeyDown('Q');
    EXPECT_EQ(log, (tLog{"third:Key(81)", "bar:Key(81)", "root:Key(81)"}));
}

TEST_F(ElementInput, DestroyedHoldersAreForgottenBeforeTheNextEvent)
{
    host->Click(15, 15);
    leftButton->CaptureMouse();
    host->MouseMove(20, 20);
    ASSERT_EQ(window->GetHover(), leftButton.get());
    leftButton.reset();
    EXPECT_EQ(window->GetFocus(), nullptr);
    EXPECT_EQ(window->GetCapture(), nullptr);
    EXPECT_EQ(window->GetHover(), nullptr);
    EXPECT_FALSE(host->HasMouseCapture(window));
    // The next events must not touch the freed element (ASan would report it).
    host->Click(20, 20);
    host->KeyDown(kVkTab);
    host->Click(20, 20);

    // Detaching forgets the same way without deleting.
    rightButton->Activate();
    right->DetachChild(rightButton.get());
    EXPECT_EQ(window->GetFocus(), nullptr);
    EXPECT_FALSE(rightButton->CanTakeFocus());
}

} // namespace

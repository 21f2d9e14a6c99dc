// The simple grid and the picture element in real windows: grid keys typed by xdotool, and
// the picture element's hint windows where xwininfo finds them.
#include "gui/controls/grid.h"
#include "gui/controls/pictureelement.h"
#include "gui/core/canvas.h"
#include "gui/core/hint.h"
#include "sdltesttools.h"

namespace {

using qeltest::cRunScript;
using qeltest::HexWindowId;
using qeltest::X11WindowOf;
using qeltest::XwininfoValue;

// One column of ten 30-pixel rows, as the language choice shows them; records its own
// cell actions as "code(cell)".
class cLanguageStyleGrid : public cSimpleGridChild
{
public:
    bool DefaultFocusCapable() override { return true; }
    void PaintCell(cCanvas& canvas, i32, bool selected) override
    {
        canvas.FillRect(0, 0, 280, 30, selected ? 0x804020 : 0xF0E0D0, 0);
    }
    i32 GetCellWidth() override { return 280; }
    i32 GetCellHeight() override { return 30; }
    i32 GetCellCount() override { return 10; }
    i32 GetRowGap() override { return 0; }
    i32 GetMaxColumnGap() override { return 0; }
    bool OnAction(cChildElement* source, cChildAction* action) override
    {
        if (auto* cell = dynamic_cast<cCellAction*>(action); cell != nullptr && source == this) {
            actions.push_back(std::to_string(cell->GetCode()) + "(" + std::to_string(cell->GetCell()) + ")");
        }
        return cSimpleGridChild::OnAction(source, action);
    }

    std::vector<std::string> actions;
};

class SdlGrid : public qeltest::cSdlTest
{
protected:
    // Runs `root` in a 300 x 200 dialog and `script` inside the run once it holds the focus.
    void RunDialog(cChildElement* root, const std::function<void()>& script)
    {
        cRunScript runner;
        runner.Post([&] {
            ASSERT_TRUE(WaitForFocus(root->GetWindow()));
            script();
            root->EndModal(1);
        });
        EXPECT_EQ(Maker()->RunModalOver(u"grid", 300, 200, root, nullptr, false), 1);
    }
};

TEST_F(SdlGrid, TypedKeysMoveAndActivateTheSelection)
{
    QEL_REQUIRE_X_TOOLS();
    auto* grid = new cLanguageStyleGrid;
    std::vector<std::string> actions;
    RunDialog(grid, [&] {
        ASSERT_TRUE(Xdo({"key", "--delay", "30", "Down", "Down", "End", "Home", "Return"}));
        PumpUntil([&] { return grid->actions.size() >= 5; });
        Settle();
        actions = grid->actions;
    });
    EXPECT_EQ(actions, (std::vector<std::string>{"7(0)", "7(1)", "7(9)", "7(0)", "8(0)"}));
}

// Zone (10, 20)-(49, 39) opens its hint below itself, zone (60, 20)-(99, 39) above; a
// click on active zone 5 posts 7, a double click 7, 8, 7.
TEST_F(SdlGrid, PictureHintsOpenWhereTheZonesSayAndZonesTakeRealClicks)
{
    QEL_REQUIRE_X_TOOLS();
    // The run deletes its root, which leaves its children alone.
    auto element = std::make_unique<cPictureElement>();
    auto* recorder = new qeltest::cRecorder;
    ASSERT_TRUE(element->SetHintZone(1, 10, 20, 49, 39, u"below", 0) &&
                element->SetHintZone(2, 60, 20, 99, 39, u"above", 1) &&
                element->SetActiveZone(5, 0, 100, 99, 149));
    ASSERT_TRUE(recorder->AttachChild(element.get(), 0, 0, 300, 200));
    std::string dialog, below, above;
    bool closed = false;
    i32 pressed = -1;
    std::vector<std::string> actions;
    RunDialog(recorder, [&] {
        const std::string id = HexWindowId(X11WindowOf(element->GetWindow()));
        ASSERT_TRUE(RunTool({"xwininfo", "-id", id}, &dialog));
        // The xwininfo of the hint that replaces the open one (if any) once the pointer is
        // at (x, y) of the element.
        auto hintAt = [&](const char* x, const char* y, std::string& info) {
            const cHintMaster* before = element->GetHint();
            ASSERT_TRUE(Xdo({"mousemove", "--window", id, x, y}));
            ASSERT_TRUE(PumpUntil([&] {
                return element->GetHint() != nullptr && element->GetHint() != before && element->GetHint()->GetWindow();
            }));
            Settle();
            ASSERT_TRUE(RunTool({"xwininfo", "-id", HexWindowId(X11WindowOf(element->GetHint()->GetWindow()))}, &info));
        };
        hintAt("30", "30", below);
        hintAt("80", "30", above);
        ASSERT_TRUE(Xdo({"mousemove", "--window", id, "150", "60"}));
        closed = PumpUntil([&] { return element->GetHint() == nullptr; });
        // The double click lies too far from the single one to pair with it.
        ASSERT_TRUE(Xdo({"mousemove", "--window", id, "50", "120", "click", "1", "mousemove", "--window", id, "60",
                         "130", "click", "--repeat", "2", "--delay", "80", "1"}));
        PumpUntil([&] { return recorder->actions.size() >= 4; });
        Settle();
        pressed = element->GetPressedZone();
        actions = recorder->actions;
    });
    const i32 originX = XwininfoValue(dialog, "Absolute upper-left X:");
    const i32 originY = XwininfoValue(dialog, "Absolute upper-left Y:");
    EXPECT_EQ(XwininfoValue(below, "Absolute upper-left X:"), originX + 12) << below;
    EXPECT_EQ(XwininfoValue(below, "Absolute upper-left Y:"), originY + 41);
    EXPECT_EQ(XwininfoValue(above, "Absolute upper-left X:"), originX + 62) << above;
    EXPECT_EQ(XwininfoValue(above, "Absolute upper-left Y:") + XwininfoValue(above, "Height:"), originY + 20);
    EXPECT_TRUE(closed);
    EXPECT_EQ(pressed, 5);
    EXPECT_EQ(actions, (std::vector<std::string>{"Code(7)", "Code(7)", "Code(8)", "Code(7)"}));
}

} // namespace

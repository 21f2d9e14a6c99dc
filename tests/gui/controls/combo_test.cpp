// Combo boxes: where the list opens, the list keys reaching the combo through its field
// over sparse indices, read-only presses, the codes the form sees, the band behind the
// arrow and the reviewed pictures tests/data/gui/controls/combo.png and combo_list.png
// (made with QEL_SNAPSHOT_OUT=<folder> tests_gui_controls --gtest_filter=ComboTest.Picture).
#include "gui/controls/combo.h"
#include "gui/controlstest.h"
#include "gui/core/keys.h"

#include <string>

namespace {

// A recording form at screen (0, 368), 400 x 400, reaching the screen's bottom, with a
// combo of twelve entries at screen (100, 500).
class ComboTest : public qeltest::cGuiTest
{
protected:
    void SetUp() override
    {
        cGuiTest::SetUp();
        window = Open(&form, 400, 400, 0, 368);
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(form.AttachChild(&combo, 100, 132, 190, 22));
        for (i32 index = 0; index < 12; ++index) {
            ASSERT_TRUE(combo.SetItem(index, (u"Entry " + std::u16string(1, char16_t(u'a' + index))).c_str(), 0, -1));
        }
        host->Pump();
    }
    void Key(i32 vk, bool alt = false)
    {
        host->KeyDown(vk, false, false, alt, window);
        host->Pump();
    }
    qeltest::cRecordingForm form;
    cWindowTranslator* window = nullptr;
    cComboBoxChild combo;
};

auto Escape = [](cHeadlessHost& h, cWindowTranslator& popup) { h.KeyDown(kVkEscape, false, false, false, &popup); };

// Up and Down step in index order over sparse indices, stopping at the ends without a
// post; without a selection nothing opens; Alt+Down and F4 open the list; Enter and
// Escape become the combo's 7 and 8 and stop there. SetItem on the selected entry
// shows its text without a post.
TEST_F(ComboTest, KeysThroughTheField)
{
    combo.Clear();
    for (i32 index : {9, 2, 40}) {
        ASSERT_TRUE(combo.SetItem(index, u"x", 0, -1));
    }
    combo.Activate();
    Key(kVkDown);
    EXPECT_TRUE(host->GetRunLog().empty());
    ASSERT_TRUE(combo.Select(9, false));
    std::vector<i32> visited;
    for (i32 vk : {kVkDown, kVkDown, kVkUp, kVkUp, kVkUp}) {
        Key(vk);
        visited.push_back(combo.GetSelectedIndex());
    }
    EXPECT_EQ(visited, (std::vector<i32>{40, 40, 9, 2, 2}));
    EXPECT_EQ(form.Find(7, &combo).size(), 3u);
    host->PushModalScript(Escape);
    host->PushModalScript(Escape);
    Key(kVkDown, true);
    Key(0x73);
    EXPECT_EQ(host->GetRunLog().size(), 2u);
    Key(kVkReturn);
    Key(kVkEscape);
    ASSERT_TRUE(combo.SetItem(2, u"renamed", 0, -1));
    EXPECT_EQ(std::u16string(combo.GetText()), u"renamed");
    EXPECT_EQ(form.Find(7, &combo).size(), 4u);
    EXPECT_EQ(form.Find(8, &combo).size(), 1u);
    EXPECT_TRUE(form.Find(7, combo.GetField()).empty());
    EXPECT_EQ(form.okCount + form.cancelCount, 0);
    EXPECT_FALSE(combo.SetItem(-1, u"x", 0, -1));
}

// A read-only combo opens only for a press and a release both inside it: a release
// outside clears the pending press, so a later release inside opens nothing.
TEST_F(ComboTest, ReadOnlyPressAndRelease)
{
    combo.SetEditable(false);
    host->MouseDown(120, 142);
    host->MouseUp(20, 20);
    host->MouseUp(120, 142);
    host->PushModalScript(Escape);
    host->Click(150, 142);
    EXPECT_EQ(host->GetRunLog().size(), 1u);
}

// Closed, focused and disabled; and the list open under the first. The arrow's band
// continues the field's frame without a line between them.
TEST_F(ComboTest, Picture)
{
    cComboBoxChild focused, disabled;
    ASSERT_TRUE(form.AttachChild(&focused, 100, 160, 190, 22));
    ASSERT_TRUE(form.AttachChild(&disabled, 100, 188, 190, 22));
    ASSERT_TRUE(combo.Select(1, false));
    ASSERT_TRUE(focused.SetTextN(u"typed", -1));
    ASSERT_TRUE(disabled.SetTextN(u"disabled", -1));
    focused.Activate();
    disabled.Disable();
    host->Pump();
    std::unique_ptr<cCanvas> canvas(CreateMemoryCanvas(200, 84));
    canvas->CopyFrom(0, 0, host->GetCanvas(window), 95, 129, 200, 84);
    qeltest::ExpectMatchesGolden(*canvas, "combo.png");
    host->PushModalScript([](cHeadlessHost& h, cWindowTranslator& popup) {
        qeltest::ExpectMatchesGolden(*h.GetCanvas(&popup), "combo_list.png");
        h.KeyDown(kVkEscape, false, false, false, &popup);
    });
    (void)combo.DropDown();
}

} // namespace

// List view: layout numbers, the key, mouse and type-ahead rules as tables over the
// recorded actions, scrolling under the header, header-click sorting, one test per
// decided fault fix, pixel probes and goldens.
#include "base/clock.h"
#include "gui/controls/listview.h"
#include "gui/controls/sortproviders.h"
#include "gui/controlstest.h"
#include "gui/core/imagelist.h"
#include "gui/core/keys.h"
#include "testhooks/basehooks.h"

#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using qeltest::sActionRecord;

constexpr i32 kListX = 10;
constexpr i32 kListY = 10;
// Test font rows: 13 + 4 pixels, the first below the 1-pixel frame and 20-pixel header.
constexpr i32 kRowHeight = 17;
constexpr i32 kFirstRowTop = 21;

class ListViewTest : public qeltest::cFormTest
{
protected:
    void SetUp() override
    {
        cFormTest::SetUp();
        form.AttachChild(&list, kListX, kListY, 300, 200);
        ASSERT_TRUE(list.AddColumn(0, u"Name", 100, 0));
        ASSERT_TRUE(list.AddColumn(1, u"Size", 60, 2));
        ASSERT_TRUE(list.AddColumn(2, u"Type", 80, 0));
    }
    // Items 0..count-1 with the given names (else "item k") in column 0.
    void Fill(i32 count, const std::vector<std::u16string>& names = {})
    {
        list.BeginUpdate();
        for (i32 id = 0; id < count; ++id) {
            const std::u16string name =
                size_t(id) < names.size() ? names[size_t(id)] : u"item " + std::u16string(1, char16_t(u'a' + id % 26));
            ASSERT_TRUE(list.SetCell(id, 0, name.c_str(), -1, 0));
            ASSERT_TRUE(list.SetCell(id, 1, u"12", -1, u32(id)));
        }
        list.EndUpdate(false);
        list.Activate();
        host->Pump();
        form.Take();
    }
    // Window point inside display row `row`, `x` pixels into the list.
    void ClickRow(i32 row, i32 x = 50, bool ctrl = false, bool shift = false, i32 button = kMouseLeft)
    {
        host->AdvanceTime(1000);
        const i32 y = kListY + kFirstRowTop + row * kRowHeight + 8 - list.GetScrollY();
        host->MouseDown(kListX + x, y, button, ctrl, shift);
        host->MouseUp(kListX + x, y, button, ctrl, shift);
    }
    // The list's actions since the last call.
    std::vector<sActionRecord> Actions()
    {
        host->Pump();
        return form.Take(&list);
    }
    std::vector<i32> Selected()
    {
        std::vector<i32> ids;
        for (i32 id = list.GetNextSelectedItemId(-1); id >= 0; id = list.GetNextSelectedItemId(id)) {
            ids.push_back(id);
        }
        return ids;
    }
    sActionRecord Change(i32 id, i32 previous, i32 ctrl = 0, i32 shift = 0)
    {
        return {&list, cListViewChild::kItemChangedCode, id, {previous, ctrl, shift}};
    }
    sActionRecord Item(i32 code, i32 id = -1) { return {&list, code, id}; }

    cListViewChild list;
};

// Fault fix: a negative row spacing could give rows of 0 pixels or less whose tops
// collide; every row keeps at least 1 pixel and its own top, and hit testing finds it.
TEST_F(ListViewTest, NegativeRowSpacingKeepsRowsApart)
{
    Fill(4);
    list.SetRowSpacing(-40);
    for (i32 id = 0; id < 4; ++id) {
        EXPECT_EQ(list.GetRowTop(id), kFirstRowTop + id);
    }
    host->AdvanceTime(1000);
    host->Click(kListX + 50, kListY + kFirstRowTop + 2);
    EXPECT_EQ(list.GetCurrentItemId(), 2);
}

// Keys with multi-selection, and the real-input sequence "Down Down shift+Down ctrl+A F5
// BackSpace Delete": the posted actions and the selection after each.
TEST_F(ListViewTest, KeysFollowTheTable)
{
    Fill(6);
    list.SetMultiSelect(true);
    struct sStep { i32 vk; bool shift, ctrl; std::vector<sActionRecord> posted; std::vector<i32> selected; i32 current; };
    const std::vector<sStep> steps = {
        {kVkDown, false, false, {Change(0, -1)}, {0}, 0},
        {kVkDown, false, false, {Change(1, 0)}, {1}, 1},
        {kVkDown, true, false, {Change(2, 1, 0, 1)}, {1, 2}, 2},
        {kVkA, false, true, {Change(0, 2, 0, 1)}, {0, 1, 2, 3, 4, 5}, 0},
        {kVkF5, false, false, {Item(cListViewChild::kRefreshCode)}, {0, 1, 2, 3, 4, 5}, 0},
        {kVkBack, false, false, {Item(cListViewChild::kBackspaceCode)}, {0, 1, 2, 3, 4, 5}, 0},
        {kVkDelete, false, false, {Item(cListViewChild::kDeleteCode)}, {0, 1, 2, 3, 4, 5}, 0},
        // Already current: nothing new is posted, the others are deselected.
        {kVkHome, false, false, {}, {0}, 0},
        {kVkUp, false, false, {}, {0}, 0},
        {kVkDown, false, true, {Change(1, 0, 1, 0)}, {0, 1}, 1},
        {kVkEnd, false, false, {Change(5, 1)}, {5}, 5},
        {kVkDown, false, false, {}, {5}, 5},
        {kVkReturn, false, false, {Item(cListViewChild::kItemActivatedCode, 5)}, {5}, 5},
        {kVkEscape, false, false, {Change(-1, 5)}, {}, -1},
    };
    for (const sStep& step : steps) {
        SCOPED_TRACE(&step - steps.data());
        host->KeyDown(step.vk, step.shift, step.ctrl);
        EXPECT_EQ(Actions(), step.posted);
        EXPECT_EQ(Selected(), step.selected);
        EXPECT_EQ(list.GetCurrentItemId(), step.current);
    }
    // A change of the multi-selection flag clears the selection, even an empty one.
    list.SelectItemById(3);
    list.SetMultiSelect(false);
    EXPECT_TRUE(Selected().empty());
}

// Presses with multi-selection and check boxes: the selection and the code-8 ids of
// every rule, the check-box zone, the double click and a press below the last row.
TEST_F(ListViewTest, MouseFollowsTheTable)
{
    Fill(6);
    list.SetMultiSelect(true);
    list.SetCheckBoxes(true);
    struct sPress { i32 row, x; bool ctrl, shift; i32 button; std::vector<sActionRecord> posted; std::vector<i32> selected; };
    const std::vector<sPress> presses = {
        {1, 50, false, false, kMouseLeft, {Change(1, -1)}, {1}},
        {3, 50, false, true, kMouseLeft, {Change(3, 1, 0, 1)}, {1, 2, 3}},
        {2, 50, true, false, kMouseLeft, {Change(-1, -1, 1, 0)}, {1, 3}},
        {1, 50, false, false, kMouseRight, {}, {1, 3}},
        {1, 50, false, true, kMouseLeft, {}, {1, 3}},
        {3, 50, false, false, kMouseLeft, {Change(-1, -1)}, {3}},
        {3, 50, false, false, kMouseLeft, {}, {3}},
        {4, 5, false, false, kMouseLeft, {Item(cListViewChild::kItemCheckedCode, 4)}, {3}},
        {5, 50, false, false, kMouseLeft, {Change(5, 3)}, {5}},
        {8, 50, false, false, kMouseLeft, {Change(-1, 5)}, {}},
    };
    for (const sPress& press : presses) {
        SCOPED_TRACE(&press - presses.data());
        ClickRow(press.row, press.x, press.ctrl, press.shift, press.button);
        std::vector<sActionRecord> posted = Actions();
        std::erase_if(posted, [](const sActionRecord& r) { return r.code == cChildElement::cContextAction::kCode; });
        EXPECT_EQ(posted, press.posted);
        EXPECT_EQ(Selected(), press.selected);
    }
    EXPECT_TRUE(list.IsItemChecked(4));
    // The double click's second press changes nothing and posts code 7.
    ClickRow(0);
    host->Click(kListX + 50, kListY + kFirstRowTop + 8);
    EXPECT_EQ(Actions(), (std::vector<sActionRecord>{Change(0, -1), Item(cListViewChild::kItemActivatedCode, 0)}));
}

// Fault fix: an item without a cell in the first column: its press, check-box toggle
// and double click use its own first cell instead of a missing one.
TEST_F(ListViewTest, ItemWithoutFirstColumnCellUsesItsFirstCell)
{
    Fill(2);
    ASSERT_TRUE(list.SetCell(9, 2, u"only type", -1, 0));
    list.SetCheckBoxes(true);
    ClickRow(2);
    EXPECT_EQ(list.GetCurrentItemId(), 9);
    ClickRow(2, 5);
    EXPECT_TRUE(list.IsItemChecked(9));
    host->Click(kListX + 50, kListY + kFirstRowTop + 2 * kRowHeight + 8);
    host->Click(kListX + 50, kListY + kFirstRowTop + 2 * kRowHeight + 8);
    const auto actions = Actions();
    ASSERT_FALSE(actions.empty());
    EXPECT_EQ(actions.back(), Item(cListViewChild::kItemActivatedCode, 9));
}

// The test clock drives the type-ahead pauses.
class cTestClock
{
public:
    cTestClock()
    {
        const sClockHook hook{[](void* context) { return static_cast<cTestClock*>(context)->m_us; }, nullptr, this};
        SetClockHook(&hook);
    }
    ~cTestClock() { SetClockHook(nullptr); }
    void Advance(u32 ms) { m_us += u64(ms) * 1000; }

private:
    u64 m_us = 5'000'000;
};

// Within 400 ms characters build a prefix; after a pause the search restarts after the
// current item; it does not wrap. Fault fix: with no current item the first item can be
// found by its first letter.
TEST_F(ListViewTest, TypeAheadFollowsThePauses)
{
    cTestClock clock;
    Fill(5, {u"Apple", u"avocado", u"banana", u"Blueberry", u"cherry"});
    struct sStep { u32 pause; char16_t unit; i32 current; };
    const sStep steps[] = {{1000, u'a', 0}, {1000, u'a', 1}, {399, u'p', 1}, {401, u'b', 2},
                           {100, u'L', 3},  {401, u'b', 3},  {401, u'a', 3}, {401, u'c', 4}};
    for (const sStep& step : steps) {
        clock.Advance(step.pause);
        const char16_t text[] = {step.unit, 0};
        host->TypeText(text);
        EXPECT_EQ(list.GetCurrentItemId(), step.current) << &step - steps;
    }
}

// Header clicks: ascending, then descending on the same column, code 12 each time; a
// 64-bit provider without key function leaves the order but still posts; a column
// without provider ignores the click. Fault fix: giving a column its own provider again
// keeps it alive.
TEST_F(ListViewTest, HeaderClicksSortAndPost)
{
    Fill(4, {u"b", u"B", u"a", u"ab"});
    auto* names = new cListViewChild::cListViewNameSortProvider;
    ASSERT_TRUE(list.SetSortProvider(0, names));
    ASSERT_TRUE(list.SetSortProvider(0, names));
    ASSERT_TRUE(list.SetSortProvider(1, new cListViewChild::cListViewU64PramSortProvider));
    auto clickHeader = [&](i32 x) {
        host->AdvanceTime(1000);
        host->Click(kListX + x, kListY + 10);
        host->Pump();
    };
    clickHeader(20);
    EXPECT_EQ(list.GetDisplayOrder(), (std::vector<i32>{1, 2, 3, 0}));
    clickHeader(20);
    EXPECT_EQ(list.GetDisplayOrder(), (std::vector<i32>{0, 3, 2, 1}));
    clickHeader(130);
    EXPECT_EQ(list.GetDisplayOrder(), (std::vector<i32>{0, 3, 2, 1}));
    clickHeader(200);
    EXPECT_EQ(Actions(), (std::vector<sActionRecord>{Item(cListViewChild::kSortedCode, 0),
                                                      Item(cListViewChild::kSortedCode, 0),
                                                      Item(cListViewChild::kSortedCode, 1)}));
}

// Fault fix: the list's lock is re-entered on the GUI thread: a handler of the list's
// own action empties, refills and sorts the list inside a batch.
TEST_F(ListViewTest, HandlerMayRefillAndSortInsideABatch)
{
    Fill(3, {u"c", u"a", u"b"});
    ASSERT_TRUE(list.SetSortProvider(0, new cListViewChild::cListViewNameSortProvider));
    form.onRecord = [&](const sActionRecord& record) {
        if (record.code != cListViewChild::kItemActivatedCode) {
            return;
        }
        list.BeginUpdate();
        EXPECT_TRUE(list.DeleteAllItems());
        ASSERT_TRUE(list.SetCell(4, 0, u"z", -1, 0));
        ASSERT_TRUE(list.SetCell(6, 0, u"y", -1, 0));
        EXPECT_TRUE(list.SortByColumn(0));
        EXPECT_TRUE(list.EndUpdate(true));
    };
    list.SelectItemById(1);
    host->KeyDown(kVkReturn);
    host->Pump();
    EXPECT_EQ(list.GetDisplayOrder(), (std::vector<i32>{6, 4}));
    EXPECT_EQ(list.GetRowTop(4), kFirstRowTop + kRowHeight);
}

// A list with header, icons and check boxes, items 1..3 selected, against the goldens.
class ListViewPaintTest : public ListViewTest
{
protected:
    void SetUp() override
    {
        ListViewTest::SetUp();
        form.AttachChild(&other, 400, 10, 60, 20);
        icons[0] = qeltest::SolidPicture(0xFF3070D0, 12, 12);
        icons[1] = qeltest::SolidPicture(0xFFD07030, 12, 12);
        images.Set(0, icons[0].get());
        images.Set(1, icons[1].get());
        list.SetImageLists(&images, nullptr, nullptr);
        list.SetCheckBoxes(true);
        list.SetMultiSelect(true);
        const char16_t* names[] = {u"readme.txt", u"picture.png", u"a rather long file name.bin", u"notes",
                                   u"setup.exe", u"zeta"};
        list.BeginUpdate();
        for (i32 id = 0; id < 6; ++id) {
            ASSERT_TRUE(list.SetCell(id, 0, names[id], id % 2, 0));
            ASSERT_TRUE(list.SetCell(id, 1, u"1234", -1, 0));
            ASSERT_TRUE(list.SetCell(id, 2, id == 3 ? nullptr : u"File", -1, 0));
        }
        list.EndUpdate(false);
        list.SetItemChecked(0, true, false);
        list.SetItemChecked(2, true, false);
        list.Activate();
        list.SelectItemById(1);
        host->KeyDown(kVkDown, true);
        host->KeyDown(kVkDown, true);
        host->Pump();
    }
    void ExpectGolden(const std::string& name)
    {
        host->Pump();
        qeltest::ExpectPartMatchesGolden(*host->GetCanvas(window), kListX, kListY, list.GetWidth(), list.GetHeight(), name);
    }

    cButtonChild other;
    std::unique_ptr<cPicture> icons[2];
    sImageList images;
};

// Goldens hold the pixels: the selection's outline and fill, the check boxes and the frame.
TEST_F(ListViewPaintTest, FocusedAndWholeRowSelection)
{
    ExpectGolden("listview_focused.png");
    list.SetWholeRowSelection(true, true);
    ExpectGolden("listview_wholerow.png");
}

TEST_F(ListViewPaintTest, UnfocusedScrolledAndEmptyLists)
{
    other.Activate();
    ExpectGolden("listview_unfocused.png");
    ASSERT_TRUE(list.AddColumn(2, u"Type", 300, 0));
    host->Pump();
    list.ScrollTo(80, 0);
    EXPECT_EQ(list.GetScrollX(), 80);
    ExpectGolden("listview_hscrolled.png");
    list.SetText(u"This folder is empty.");
    list.DeleteAllItems();
    ExpectGolden("listview_empty.png");
}

// Rows in order of creation at 21, 38, ...; an item without a cell in an added column
// leaves a 13-pixel gap; batches defer the layout.
TEST_F(ListViewTest, LayoutPlacesRowsInCreationOrder)
{
    list.BeginUpdate();
    ASSERT_TRUE(list.SetCell(5, 0, u"five", -1, 0));
    ASSERT_TRUE(list.SetCell(2, 0, u"two", -1, 0));
    ASSERT_TRUE(list.SetCell(7, 9, u"unseen", -1, 0));
    ASSERT_TRUE(list.SetCell(3, 2, u"three", -1, 0));
    EXPECT_FALSE(list.SetCell(-1, 0, u"negative", -1, 0));
    EXPECT_EQ(list.GetRowTop(5), -1);
    EXPECT_TRUE(list.EndUpdate(false));
    EXPECT_FALSE(list.EndUpdate(false));
    EXPECT_EQ(list.GetDisplayOrder(), (std::vector<i32>{5, 2, 7, 3}));
    EXPECT_EQ(list.GetRowTop(5), kFirstRowTop);
    EXPECT_EQ(list.GetRowTop(2), kFirstRowTop + kRowHeight);
    EXPECT_EQ(list.GetRowTop(7), -1);
    EXPECT_EQ(list.GetRowTop(3), kFirstRowTop + 2 * kRowHeight + 13);
    EXPECT_EQ(list.GetContentHeight(), kFirstRowTop + 3 * kRowHeight + 13);
    // A 16-pixel icon makes a row 20 high; the user value 0 keeps the stored one.
    auto icon = qeltest::SolidPicture(0xFF2060C0, 16, 16);
    sImageList images;
    images.Set(4, icon.get());
    list.SetImageLists(&images, nullptr, nullptr);
    ASSERT_TRUE(list.SetCell(5, 1, u"5", 4, 77));
    ASSERT_TRUE(list.SetCell(5, 1, nullptr, 4, 0));
    EXPECT_EQ(list.GetCellData(5, 1), 77u);
    EXPECT_EQ(list.GetRowTop(2), kFirstRowTop + 20);
    list.ShowHeader(false);
    EXPECT_EQ(list.GetRowTop(5), 1);
}

// 100 rows in a view of 100 pixels under the header: Page Down moves 5 rows; every key
// keeps the current row wholly in the view below the header, and at the end of the
// range the last row ends at the view's bottom.
TEST_F(ListViewTest, NavigationKeepsTheCurrentRowInView)
{
    list.SetBounds(kListX, kListY, 300, kFirstRowTop + 100);
    Fill(100);
    const sRect view = list.GetViewRect();
    ASSERT_EQ(view.height, 100);
    host->KeyDown(kVkDown);
    host->KeyDown(kVkPageDown);
    EXPECT_EQ(list.GetCurrentItemId(), 5);
    std::mt19937 random(1001);
    const i32 keys[] = {kVkUp, kVkDown, kVkHome, kVkEnd, kVkPageUp, kVkPageDown};
    for (i32 round = 0; round < 300; ++round) {
        host->KeyDown(keys[random() % 6]);
        const i64 top = i64(list.GetRowTop(list.GetCurrentItemId())) - list.GetScrollY();
        ASSERT_TRUE(top >= view.y && top + kRowHeight <= view.Bottom()) << round << ": " << top;
    }
    host->KeyDown(kVkEnd);
    EXPECT_EQ(list.GetRowTop(99) + kRowHeight - list.GetScrollY(), view.Bottom());
    EXPECT_EQ(list.GetScrollY(), list.GetScrollMaxY());
}

} // namespace

// The tree view with the test font (advance 5, cell 13): layout numbers, keys, mouse and
// the actions they post, the colours of each row state, the two decided fixes, a walk of
// a real folder tree against Python's os.walk, and the reviewed picture
// tests/data/gui/controls/treeview.png (made with QEL_SNAPSHOT_OUT=<folder>
// tests_gui_controls --gtest_filter=TreeViewTest.Picture).
#include "gui/controls/edit.h"
#include "gui/controls/treeview.h"
#include "gui/controlstest.h"
#include "gui/core/imagelist.h"
#include "gui/core/keys.h"
#include "support/filehelpers.h"
#include "support/scratchfolder.h"
#include "support/shellcommand.h"
#include "system/folders.h"

#include <string>
#include <vector>

namespace {

using tItem = cTreeViewChild::cTreeViewItem;

// Keeps the point of the last context action it posted.
class cPointTree : public cTreeViewChild
{
public:
    bool OnAction(cChildElement* source, cChildAction* action) override
    {
        if (auto* context = dynamic_cast<cTreeItemCtxAction*>(action); context != nullptr && source == this) {
            point = {context->GetX(), context->GetY()};
        }
        return cTreeViewChild::OnAction(source, action);
    }
    sPoint point;
};

class TreeViewTest : public qeltest::cFormTest
{
protected:
    void SetUp() override
    {
        cFormTest::SetUp();
        ASSERT_TRUE(form.AttachChild(&tree, 10, 10, 300, 200));
        ASSERT_TRUE(form.AttachChild(&other, 320, 10, 100, 21));
    }
    tItem* Add(tItem* parent, const char16_t* text, i32 icon = -1)
    {
        auto* item = new tItem;
        EXPECT_TRUE(item->SetText(text));
        item->iconId = icon;
        EXPECT_TRUE(tree.InsertItem(parent, item, nullptr));
        return item;
    }
    // A (A1, A2 (A2a)), B (B1).
    void BuildSample()
    {
        a = Add(nullptr, u"A");
        Add(a, u"A1");
        Add(Add(a, u"A2"), u"A2a");
        Add(Add(nullptr, u"B"), u"B1");
    }
    std::u16string Current() { return tree.GetCurrentItem() ? tree.GetCurrentItem()->GetText() : u"-"; }
    void Key(i32 vk, bool ctrl = false)
    {
        host->KeyDown(vk, false, ctrl, false, window);
        host->Pump();
    }
    void ClickAt(cChildElement* element, i32 button = kMouseLeft)
    {
        const sPoint origin = element->GetOriginInRoot();
        host->Click(origin.x + 2, origin.y + 2, button, window);
        host->Pump();
    }

    cPointTree tree;
    cEditChild other;
    tItem* a = nullptr;
};

// Row sizes with and without an icon (the golden holds the expanders and an icon row):
// "Computer" is 2 x 3 margin + 16 + 5 icon gap + 8 x 5 = 67 wide, max(16 + 4, 13 + 2)
// high; an icon id without an image list shows no icon; collapsing hides the child; the
// row margin widens and heightens every row.
TEST_F(TreeViewTest, LayoutNumbers)
{
    tree.Relayout();
    EXPECT_EQ(tree.GetContentHeight(), 1);
    sImageList images;
    auto icon = qeltest::SolidPicture(0xFF3366CC, 16, 16);
    images.Set(0, icon.get());
    tree.SetImageList(&images, 0, 0);
    tItem* computer = Add(nullptr, u"Computer", 0);
    tItem* abc = Add(computer, u"abc");
    EXPECT_EQ(computer->GetRow()->GetRect(), (sRect{17, 1, 67, 20}));
    EXPECT_EQ(abc->GetRow()->GetRect(), (sRect{33, 21, 21, 15}));
    computer->collapsed = true;
    tree.SetImageList(nullptr, 0, 0);
    EXPECT_FALSE(abc->GetRow()->IsVisible());
    EXPECT_EQ(computer->GetRow()->GetRect(), (sRect{17, 1, 46, 15}));
    tree.SetRowMargin(4);
    EXPECT_EQ(computer->GetRow()->GetRect(), (sRect{17, 1, 50, 19}));
    EXPECT_EQ(tree.GetContentHeight(), 20);
}

// Keys from the focused row; each move posts code 8, '+'/'-' and the keypad post 10.
TEST_F(TreeViewTest, KeysMoveAndToggle)
{
    BuildSample();
    ASSERT_TRUE(tree.SetCurrentItem(a, true));
    host->Pump();
    struct sStep
    {
        i32 vk;
        bool ctrl;
        char16_t typed;
        const char16_t* current;
    };
    const sStep steps[] = {
        {kVkDown, false, 0, u"A1"},   {kVkDown, false, 0, u"A2"},  {kVkDown, false, 0, u"A2a"},
        {kVkDown, false, 0, u"B"},    {kVkDown, false, 0, u"B1"},  {kVkDown, false, 0, u"B1"},
        {kVkUp, false, 0, u"B"},      {kVkUp, false, 0, u"A2a"},   {kVkUp, true, 0, u"A2a"},
        {kVkLeft, false, 0, u"A2"},   {kVkUp, true, 0, u"A1"},     {kVkRight, false, 0, u"A1"},
        {kVkDown, true, 0, u"A2"},    {kVkLeft, false, 0, u"A"},   {kVkLeft, false, 0, u"A"},
        {0, false, u'-', u"A"},       {kVkDown, false, 0, u"B"},   {kVkUp, false, 0, u"A"},
        {0x6B, false, u'+', u"A"},    {0x6D, false, 0, u"A"},      {kVkRight, false, 0, u"A1"},
    };
    for (const sStep& step : steps) {
        if (step.vk != 0) {
            Key(step.vk, step.ctrl);
        }
        if (step.typed != 0) {
            const char16_t text[2] = {step.typed, 0};
            host->TypeText(text, window);
            host->Pump();
        }
        EXPECT_EQ(Current(), step.current) << &step - steps;
    }
    // '-', then keypad Add with its '+' (the second finds A expanded), keypad Subtract;
    // Right expands without notice.
    EXPECT_EQ(form.Find(cTreeViewChild::kExpandedCode, &tree).size(), 3u);
    EXPECT_EQ(form.Find(cTreeViewChild::kCurrentChangedCode, &tree).size(), 14u);
    Key(kVkReturn);
    EXPECT_EQ(form.Find(cTreeViewChild::kActivatedCode, &tree).size(), 1u);
}

TEST_F(TreeViewTest, MouseOnRowsAndExpanders)
{
    BuildSample();
    tItem* a1 = a->GetFirstChildItem();
    ClickAt(a1->GetExpander()); // a leaf's expander neither selects nor toggles
    EXPECT_EQ(Current(), u"-");
    EXPECT_TRUE(form.actions.empty());
    ClickAt(a->GetNextItem()->GetExpander());
    EXPECT_EQ(Current(), u"B");
    EXPECT_TRUE(a->GetNextItem()->collapsed);
    EXPECT_EQ(form.Find(cTreeViewChild::kExpandedCode, &tree).size(), 1u);
    ClickAt(a1->GetRow());
    EXPECT_EQ(Current(), u"A1");
    const sPoint origin = a1->GetRow()->GetOriginInRoot();
    host->Click(origin.x + 3, origin.y + 4, kMouseLeft, window); // the second click is a double click
    host->Click(origin.x + 3, origin.y + 4, kMouseRight, window);
    host->Pump();
    EXPECT_EQ(form.Find(cTreeViewChild::kActivatedCode, &tree).size(), 1u);
    ASSERT_EQ(form.Find(cTreeViewChild::kContextCode, &tree).size(), 1u);
    EXPECT_EQ(tree.point, (sPoint{a1->GetRow()->GetRect().x + 3, a1->GetRow()->GetRect().y + 4}));
    EXPECT_EQ(form.Find(cTreeViewChild::kCurrentChangedCode, &tree).size(), 2u);
}

// The current row stays marked while the focus is elsewhere and is normal again once
// another row is chosen (the golden holds the theme's colours of each state); an item's
// own text colour holds while the row is not selected, and a selected row shows the
// selected-text colour whatever its own (grey on the blue band would be unreadable).
TEST_F(TreeViewTest, MarkAndItemTextColour)
{
    BuildSample();
    cTreeItemElement* row = a->GetRow();
    const u32 normalBack = row->GetBackColour();
    ClickAt(row);
    const u32 selectedText = row->GetTextColour();
    host->MouseMove(0, 299, window);
    other.Activate();
    EXPECT_NE(row->GetBackColour(), normalBack);
    ClickAt(a->GetNextItem()->GetRow());
    EXPECT_EQ(row->GetBackColour(), normalBack);
    a->textColour = 0x808080;
    tree.Relayout();
    EXPECT_EQ(row->GetTextColour(), 0x808080u);
    ClickAt(row);
    EXPECT_EQ(row->GetTextColour(), selectedText);
}

// Decided fix: an action queued for an item deleted before dispatch reaches nobody.
TEST_F(TreeViewTest, ActionForDeletedItemStops)
{
    BuildSample();
    a->collapsed = true;
    ASSERT_TRUE(tree.ExpandItem(a, true));
    ASSERT_TRUE(tree.DeleteAllItems());
    host->Pump();
    EXPECT_TRUE(form.Find(cTreeViewChild::kExpandedCode).empty());
}

// Decided fix: with no row to go to, keys and the focus do nothing (keys still count).
TEST_F(TreeViewTest, EmptyTreeKeysAndFocusDoNothing)
{
    tree.Activate();
    host->Pump();
    EXPECT_TRUE(tree.HasFocus());
    EXPECT_TRUE(tree.KeyDown(kVkDown, false, false, false));
    tree.SuspendUpdates();
    Add(nullptr, u"no row yet");
    EXPECT_TRUE(tree.KeyDown(kVkUp, false, false, false));
    tree.OnGotFocus();
    host->Pump();
    EXPECT_TRUE(form.actions.empty());
}

// Down from the first row of a fully expanded real folder tree visits exactly the
// pre-order of os.walk with names sorted by their bytes; Up walks it back.
TEST_F(TreeViewTest, DownWalksARealFolderTreeInPreOrder)
{
    QEL_REQUIRE(qeltest::PathExists("/usr/bin/python3"), "python3");
    qeltest::cScratchFolder top;
    const std::string root = top.Path();
    qeltest::RunCommand("cd " + qeltest::ShellQuote(root) +
                        " && mkdir -p 'a b/.hid/x' B/a/b/c/d/e/f 'caf\xc3\xa9/z' .dot a/1 a/2/3");
    std::vector<std::pair<tItem*, std::u16string>> pending{{nullptr, u""}};
    while (!pending.empty()) {
        auto [parent, relative] = pending.back();
        pending.pop_back();
        cFolderListing listing;
        ASSERT_TRUE(listing.Enumerate((qeltest::WideName(root) + relative).c_str()));
        for (i32 i = 0; i < listing.GetCount(); ++i) {
            const sFolderEntry* entry = listing.GetEntry(i);
            tItem* item = Add(parent, entry->m_name.Get());
            pending.push_back({item, relative + u"/" + entry->m_name.Get()});
        }
    }
    const std::string expected = qeltest::RunCommand(
        "/usr/bin/python3 -c 'import os,sys\n"
        "top = sys.argv[1].encode()\n"
        "for folder, dirs, files in os.walk(top):\n"
        "    dirs.sort(key=os.fsencode)\n"
        "    if folder != top: print(os.path.basename(folder).decode())' " +
        qeltest::ShellQuote(root));
    ASSERT_TRUE(tree.SetCurrentItem(tree.GetFirstItem(), true));
    host->Pump();
    std::vector<std::u16string> visited{tree.GetCurrentItem()->GetText()};
    std::string seen = qeltest::NameBytes(visited.back().c_str()) + "\n";
    for (Key(kVkDown); visited.back() != tree.GetCurrentItem()->GetText(); Key(kVkDown)) {
        visited.push_back(tree.GetCurrentItem()->GetText());
        seen += qeltest::NameBytes(visited.back().c_str()) + "\n";
    }
    EXPECT_EQ(seen, expected);
    for (size_t i = visited.size(); i-- > 1;) {
        Key(kVkUp);
        EXPECT_EQ(tree.GetCurrentItem()->GetText(), visited[i - 1]);
    }
}

// Expanders in all four states, a hovered, a selected and a marked row.
TEST_F(TreeViewTest, Picture)
{
    sImageList images;
    images.Set(0, GetTheme()->GetImage(kImageFolder));
    tree.SetImageList(&images, 0, 0);
    BuildSample();
    tItem* b = a->GetNextItem();
    b->collapsed = true;
    Add(nullptr, u"C", 0);
    tree.Relayout();
    ClickAt(b->GetRow());
    ASSERT_TRUE(tree.SetCurrentItem(a->GetLastChildItem()->GetFirstChildItem(), false));
    const sPoint origin = a->GetRow()->GetOriginInRoot();
    host->MouseMove(origin.x + 2, origin.y + 2, window);
    host->Pump();
    qeltest::ExpectPartMatchesGolden(*host->GetCanvas(window), 10, 10, 120, 100, "treeview.png");
}

} // namespace

// The edit box with the test font (advance 5, cell 13): keys, runs, hit tests and
// scrolling as tables, the selection rule against an anchor model, the clipboard at the
// maximum, the context menu and the reviewed picture tests/data/gui/controls/
// edit.png (made with QEL_SNAPSHOT_OUT=<folder> tests_gui_controls --gtest_filter=EditTest.Picture).
#include "gui/controls/edit.h"
#include "gui/controls/pushbutton.h"
#include "gui/controlstest.h"
#include "gui/core/keys.h"

#include <string>

namespace {

class EditTest : public qeltest::cFormTest
{
protected:
    void SetUp() override
    {
        cFormTest::SetUp();
        ASSERT_TRUE(form.AttachChild(&edit, 10, 10, 100, 21));
        edit.Activate();
    }
    void Key(i32 vk, bool shift = false, bool ctrl = false) { host->KeyDown(vk, shift, ctrl, false, window); }
    // Text, caret and selection as "ab[cd]|e": '|' the caret, [ ] the selected units.
    std::u16string Show()
    {
        std::u16string shown;
        for (i32 i = 0; i <= edit.GetLength(); ++i) {
            shown += std::u16string(i == edit.GetCaret() ? u"|" : u"") + (i == edit.GetSelectionStart() ? u"[" : u"") +
                     (i < edit.GetLength() ? std::u16string(1, edit.GetBuffer()[i]) : u"") + (i == edit.GetSelectionEnd() ? u"]" : u"");
        }
        return shown;
    }
    // Sets the state Show() prints: the text, then the caret walked from the anchor.
    void Place(const std::u16string& state)
    {
        std::u16string text;
        i32 marks[3] = {0, -1, -1}; // caret, start, end
        for (char16_t unit : state) {
            const size_t mark = std::u16string_view(u"|[]").find(unit);
            mark != std::u16string_view::npos ? void(marks[mark] = i32(text.size())) : text.push_back(unit);
        }
        ASSERT_TRUE(edit.SetTextN(text.c_str(), -1));
        while (edit.GetCaret() < (marks[1] < 0 ? marks[0] : marks[marks[0] == marks[1] ? 2 : 1])) {
            Key(kVkRight);
        }
        while (edit.GetCaret() != marks[0]) {
            Key(edit.GetCaret() < marks[0] ? kVkRight : kVkLeft, true);
        }
        ASSERT_EQ(Show(), state);
    }
    cEditChild edit;
};

// The clipboard holds "Q" before the key.
struct sKeyRow { const char16_t* before; i32 vk; bool shift, ctrl, readOnly; const char16_t *after, *clipboard; };

// Every key in writable and read-only fields; Enter posts 7 and reaches OnOK, Escape
// clears a selection and only without one posts 8 and reaches OnCancel.
TEST_F(EditTest, KeysTable)
{
    const sKeyRow rows[] = {
        {u"foo bar|", kVkBack, 0, 0, 0, u"foo ba|", u"Q"},      {u"fo[o b]|ar", kVkBack, 0, 0, 0, u"fo|ar", u"Q"},
        {u"|foo", kVkBack, 0, 0, 0, u"|foo", u"Q"},            {u"f|oo", kVkDelete, 0, 0, 0, u"f|o", u"Q"},
        {u"f|[oo]", kVkDelete, 0, 0, 0, u"f|", u"Q"},          {u"fo|o", kVkEnd, 0, 0, 0, u"foo|", u"Q"},
        {u"fo|o", kVkDown, 0, 0, 0, u"foo|", u"Q"},            {u"f|oo", kVkHome, 0, 0, 0, u"|foo", u"Q"},
        {u"f|oo", kVkUp, 0, 0, 0, u"|foo", u"Q"},              {u"f|oo", kVkEnd, 1, 0, 0, u"f[oo]|", u"Q"},
        {u"fo|o", kVkHome, 1, 0, 0, u"|[fo]o", u"Q"},          {u"foo bar|", kVkLeft, 0, 1, 0, u"foo |bar", u"Q"},
        {u"foo |bar", kVkLeft, 0, 1, 0, u"foo| bar", u"Q"},    {u"foo| bar", kVkLeft, 0, 1, 0, u"|foo bar", u"Q"},
        {u"|foo bar", kVkRight, 0, 1, 0, u"foo| bar", u"Q"},   {u"foo| bar", kVkRight, 0, 1, 0, u"foo |bar", u"Q"},
        {u"f[o]|o", kVkLeft, 0, 0, 0, u"f|oo", u"Q"},          {u"fo|o", kVkRight, 0, 0, 0, u"foo|", u"Q"},
        {u"[foo]|", kVkEscape, 0, 0, 0, u"foo|", u"Q"},        {u"foo|", kVkEscape, 0, 0, 0, u"foo|", u"Q"},
        {u"fo|o", kVkReturn, 0, 0, 0, u"fo|o", u"Q"},          {u"ab|c", 'A', 0, 1, 0, u"[abc]|", u"Q"},
        {u"[abc]|d", kVkHome, 1, 0, 0, u"|abcd", u"Q"},        {u" a[bcd]|ef", kVkLeft, 1, 1, 0, u" |[a]bcdef", u"Q"},
        {u"a😀|b", kVkLeft, 0, 0, 0, u"a|😀b", u"Q"},          {u"a|😀b", kVkRight, 0, 0, 0, u"a😀|b", u"Q"},
        {u"a😀|b", kVkBack, 0, 0, 0, u"a|b", u"Q"},            {u"a|😀b", kVkDelete, 0, 0, 0, u"a|b", u"Q"},
        {u"f[oo]|", 'C', 0, 1, 0, u"f[oo]|", u"oo"},           {u"f[oo]|", kVkInsert, 0, 1, 0, u"f[oo]|", u"oo"},
        {u"f|oo", 'V', 0, 1, 0, u"fQ|oo", u"Q"},               {u"f|oo", kVkInsert, 1, 0, 0, u"fQ|oo", u"Q"},
        {u"f[oo]|", 'X', 0, 1, 0, u"f|", u"oo"},               {u"f[oo]|", kVkDelete, 1, 0, 0, u"f|", u"oo"},
        {u"f[oo]|", 'X', 0, 1, 1, u"f[oo]|", u"oo"},           {u"f[oo]|", kVkDelete, 1, 0, 1, u"f[oo]|", u"Q"},
        {u"fo|o", kVkBack, 0, 0, 1, u"fo|o", u"Q"},            {u"fo|o", kVkDelete, 0, 0, 1, u"fo|o", u"Q"},
        {u"f|oo", 'V', 0, 1, 1, u"f|oo", u"Q"},                {u"fo|o", 'B', 0, 1, 0, u"fo|o", u"Q"},
    };
    for (const sKeyRow& row : rows) {
        edit.SetReadOnly(false);
        Place(row.before);
        edit.SetReadOnly(row.readOnly);
        ASSERT_TRUE(form.SetClipboardText(u"Q", -1));
        Key(row.vk, row.shift, row.ctrl);
        _guardchar<char16_t> clipboard;
        EXPECT_TRUE(form.GetClipboardText(clipboard) && Show() + u" " + clipboard.Get() == row.after + (u" " + std::u16string(row.clipboard)))
            << std::string(row.before, row.before + WideLength(row.before)) << " " << row.vk;
    }
    host->Pump();
    EXPECT_EQ(form.actions, (std::vector<qeltest::sActionRecord>{{&edit, 8, -1}, {&edit, 7, -1}}));
    EXPECT_EQ(form.okCount * 10 + form.cancelCount, 11);
}

// The whole tail survives a paste at the maximum; no cut splits a pair; a full field
// takes no unit but still loses its selection to one.
TEST_F(EditTest, PasteAndTypingKeepTheTailAtTheMaximum)
{
    ASSERT_TRUE(edit.SetMaxLength(10));
    ASSERT_TRUE(form.SetClipboardText(u"XYZ", -1));
    Place(u"|abcdefghi");
    Key('V', false, true);
    EXPECT_EQ(Show(), u"X|abcdefghi");
    Place(u"ab[cde]|fghi");
    Key('V', false, true);
    EXPECT_EQ(Show(), u"abXYZ|fghi");
    ASSERT_TRUE(form.SetClipboardText(u"😀😀", -1));
    Key('V', false, true);
    host->TypeText(u"Q😀z");
    EXPECT_EQ(Show(), u"abXYZQ|fghi");
    Place(u"ab[X]|YZQfghi");
    host->TypeText(u"s");
    EXPECT_EQ(Show(), u"abs|YZQfghi");
}

// A click right after SetTextN raised the maximum, before any paint, lands where a
// paint in between would put it: 50 pixels left of the caret's column 98.
TEST_F(EditTest, ClickBeforePaintUsesFreshEdges)
{
    for (bool paint : {false, true}) {
        ASSERT_TRUE(edit.SetTextN(std::u16string(400, u'w').c_str(), -1));
        Key(kVkEnd);
        paint ? host->Pump() : void();
        host->AdvanceTime(1000);
        host->Click(60, 20);
        EXPECT_EQ(edit.GetCaret(), 400 - 10) << paint;
    }
}

// Entries are the captions' first letters; `choice` is the entry pressed.
struct sMenuRow { const char16_t* state; bool readOnly; const char16_t *clipboard, *entries, *choice, *after; };

// Entries per state and each entry's effect through a scripted popup: while it runs the
// selection stays and no focus-lost or context code is posted; it is at least 100 wide.
TEST_F(EditTest, ContextMenuEntriesAndResults)
{
    const sMenuRow rows[] = {
        {u"a[bc]|d", false, u"Z", u"CCPDS", u"Cut (Ctrl+X)", u"a|d"},
        {u"a[bc]|d", false, u"", u"CCDS", u"Copy (Ctrl+C)", u"a[bc]|d"},
        {u"a[bc]|d", true, u"Z", u"CS", u"Select all (Ctrl+A)", u"[abcd]|"},
        {u"[abcd]|", false, u"Z", u"CCPD", u"Delete (Del)", u"|"},
        {u"ab|cd", false, u"Z", u"PS", u"Paste (Ctrl+V)", u"abZ|cd"},
        {u"[abcd]|", true, u"", u"C", u"Copy (Ctrl+C)", u"[abcd]|"},
    };
    for (const sMenuRow& row : rows) {
        Place(row.state);
        edit.SetReadOnly(row.readOnly);
        ASSERT_TRUE(form.SetClipboardText(row.clipboard, -1));
        std::u16string entries, during;
        sRect rect;
        host->PushModalScript([&](cHeadlessHost& h, cWindowTranslator& popup) {
            during = Show() + (h.GetWindowRect(&popup, rect) && rect.width >= 100 ? u"" : u" narrow");
            for (cChildElement* child : popup.GetRoot()->GetChildren()) {
                if (dynamic_cast<cButtonChild*>(child) != nullptr) {
                    entries += child->GetText()[0];
                    CompareWide(child->GetText(), row.choice) == 0 ? void(PostAction(child, nullptr)) : void();
                }
            }
        });
        host->Click(30, 20, kMouseRight);
        EXPECT_EQ(entries + u" " + during + u" " + Show(), std::u16string(row.entries) + u" " + row.state + u" " + row.after);
        edit.SetReadOnly(false);
    }
    EXPECT_TRUE(form.actions.empty());
}

// Empty with a cue, an unfocused selection, scrolled long text, read-only, disabled,
// and a focused selection under the pointer.
TEST_F(EditTest, Picture)
{
    cEditChild fields[5];
    const char16_t* texts[] = {u"", u"unfocused selection", u"a scrolled text that is longer than the field",
                               u"read-only", u"disabled"};
    for (i32 i = 0; i < 5; ++i) {
        ASSERT_TRUE(form.AttachChild(&fields[i], 10, 40 + 26 * i, 100, 21));
        ASSERT_TRUE(fields[i].SetTextN(texts[i], -1));
    }
    ASSERT_TRUE(fields[0].SetCueText(u"Search"));
    fields[1].SelectAll();
    fields[2].Activate();
    host->KeyDown(kVkEnd, false, false, false, window);
    fields[3].SetReadOnly(true);
    fields[4].Disable();
    host->MouseMove(50, 120);
    host->Pump();
    ASSERT_TRUE(edit.SetTextN(u"focused selection", -1));
    edit.Activate();
    host->MouseMove(50, 20);
    host->Pump();
    std::unique_ptr<cCanvas> canvas(CreateMemoryCanvas(120, 180));
    canvas->CopyFrom(0, 0, host->GetCanvas(window), 0, 0, 120, 180);
    qeltest::ExpectMatchesGolden(*canvas, "edit.png");
}

// A refused maximum changes nothing; SetTextN keeps the cap without splitting a pair;
// ClearText and SetMaxLength reset caret and selection (the next unit lands in the
// text); SelectAll from a selection at 0 selects everything, not the complement.
TEST_F(EditTest, MaximumClearingAndSelectAll)
{
    Place(u"a[bc]|");
    EXPECT_FALSE(edit.SetMaxLength(-1) || edit.SetMaxLength(cEditChild::kMaxLengthLimit + 1) || edit.SetMaxLength(0x7FFFFFFF));
    EXPECT_EQ(Show(), u"a[bc]|");
    edit.ClearText();
    host->TypeText(u"x");
    Place(u"x[y]|");
    ASSERT_TRUE(edit.SetMaxLength(5));
    host->TypeText(u"k");
    EXPECT_EQ(Show(), u"k|");
    for (const char16_t* state : {u"|[abc]de", u"[abcde]|", u"a|[b]cde"}) {
        Place(state);
        edit.SelectAll();
        EXPECT_EQ(Show(), u"[abcde]|");
    }
    ASSERT_TRUE(edit.SetTextN((std::u16string(cEditChild::kMaxLengthLimit - 1, u'a') + u"😀b").c_str(), -1));
    EXPECT_EQ(edit.GetLength(), cEditChild::kMaxLengthLimit - 1);
}

// Split at each glyph's middle from the text start at x 2 (ties left), a pair being one
// 10-pixel glyph; double clicks select the run under the point.
TEST_F(EditTest, HitTestAndDoubleClickTables)
{
    ASSERT_TRUE(edit.SetTextN(u"abcdef😀", -1));
    for (i32 x = 0; x < 60; ++x) {
        const i32 along = std::max(x - 2, 0);
        EXPECT_EQ(edit.IndexAt(x), along < 30 ? (along + 2) / 5 : (along <= 35 ? 6 : 8)) << x;
    }
    ASSERT_TRUE(edit.SetTextN(u"  ab cd ", -1));
    const char16_t* runs[] = {u"[  ]|ab cd ", u"[  ]|ab cd ", u"  [ab]| cd ", u"  [ab]| cd ",
                              u"  ab[ ]|cd ", u"  ab [cd]| ", u"  ab [cd]| ", u"  ab cd[ ]|"};
    for (i32 x = 2; x < 60; x += 5) {
        host->AdvanceTime(1000);
        host->Click(10 + x, 20);
        host->Click(10 + x, 20);
        // Past the end of a text that ends blank nothing is selected.
        EXPECT_EQ(Show(), (x - 2) / 5 < 8 ? runs[(x - 2) / 5] : u"  ab cd |") << x;
    }
}

} // namespace

// The edit box with the test font (advance 5, cell 13): keys, runs, hit tests and
// scrolling as tables, the selection rule against an anchor model, the clipboard at the
// maximum, the context menu, colours and the reviewed picture tests/data/gui/controls/
// edit.png (made with QEL_SNAPSHOT_OUT=<folder> tests_gui_controls --gtest_filter=EditTest.Picture).
#include "controlstest.h"
#include "gui/controls/edit.h"
#include "gui/core/keys.h"
#include "gui/controls/pushbutton.h"

#include <random>
#include <string>

namespace {

using qeltest::ElementPixel;
using qeltest::ThemePixel;

class EditTest : public qeltest::cFormTest
{
protected:
    void SetUp() override
    {
        cFormTest::SetUp();
        ASSERT_TRUE(form.AttachChild(&edit, 10, 10, 100, 21));
        edit.Activate();
        host->Pump();
    }
    void Key(i32 vk, bool shift = false, bool ctrl = false)
    {
        host->KeyDown(vk, shift, ctrl, false, window);
        host->Pump();
    }
    // Text, caret and selection as "ab[cd]|e": '|' the caret, [ ] the selected units.
    std::u16string Show()
    {
        std::u16string shown;
        for (i32 i = 0; i <= edit.GetLength(); ++i) {
            shown += std::u16string(i == edit.GetCaret() ? u"|" : u"") + (i == edit.GetSelectionStart() ? u"[" : u"");
            if (i < edit.GetLength()) {
                shown += edit.GetBuffer()[i] + std::u16string(i == edit.GetSelectionEnd() ? u"]" : u"");
            }
        }
        return shown;
    }
    // Sets the state Show() would print: the text, then the caret walked from the anchor.
    void Place(const std::u16string& state)
    {
        std::u16string text;
        i32 caret = 0, start = -1, end = -1;
        for (char16_t unit : state) {
            i32& mark = unit == u'|' ? caret : (unit == u'[' ? start : end);
            if (unit == u'|' || unit == u'[' || unit == u']') {
                mark = i32(text.size());
            } else {
                text += unit;
            }
        }
        const i32 anchor = start < 0 ? caret : (caret == start ? end : start);
        ASSERT_TRUE(edit.SetTextN(text.c_str(), -1));
        while (edit.GetCaret() < anchor) {
            Key(kVkRight);
        }
        while (edit.GetCaret() != caret) {
            Key(edit.GetCaret() < caret ? kVkRight : kVkLeft, true);
        }
        ASSERT_EQ(Show(), state);
    }
    cEditChild edit;
};

struct sKeyRow
{
    const char16_t* before;
    i32 vk;
    bool shift, ctrl, readOnly;
    const char16_t* after;
    const char16_t* clipboard; // after the key; it holds "Q" before
};

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
        {u"[foo]|", kVkEscape, 0, 0, 0, u"foo|", u"Q"},        {u"ab|c", 'A', 0, 1, 0, u"[abc]|", u"Q"},
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
        EXPECT_TRUE(form.GetClipboardText(clipboard));
        EXPECT_EQ(Show() + u" " + clipboard.GetOrEmpty(), row.after + std::u16string(u" ") + row.clipboard)
            << std::string(row.before, row.before + WideLength(row.before)) << " key " << row.vk;
    }
    EXPECT_TRUE(form.actions.empty());
}

// Enter posts 7 and reaches the form's OnOK; Escape clears a selection, and only the
// second Escape posts 8 and reaches OnCancel.
TEST_F(EditTest, EnterAndEscapePostAndBubble)
{
    Place(u"[ab]|");
    Key(kVkReturn);
    Key(kVkEscape);
    EXPECT_EQ(form.okCount, 1);
    EXPECT_EQ(form.cancelCount, 0);
    Key(kVkEscape);
    EXPECT_EQ(form.cancelCount, 1);
    EXPECT_EQ(form.Find(7, &edit).size(), 1u);
    EXPECT_EQ(form.Find(8, &edit).size(), 1u);
}

// The anchor model: the selection is [min(anchor, caret), max - 1]; a plain move or a
// click sets the anchor to the caret, a Shift move keeps it. Steps skip whole pairs.
TEST_F(EditTest, SelectionFollowsAnAnchorModel)
{
    const std::u16string texts[] = {u"  ab cd\tef  ", u"😀x😀"};
    std::mt19937 random(20);
    for (i32 sequence = 0; sequence < 100000; ++sequence) {
        const std::u16string& text = texts[sequence % 2];
        ASSERT_TRUE(edit.SetTextN(text.c_str(), -1));
        i32 anchor = 0, caret = 0;
        auto step = [&](i32 at, bool forward) {
            const bool pair = forward ? at + 1 < i32(text.size()) && text[at] >= 0xD800 && text[at] < 0xDC00
                                      : at >= 2 && text[at - 1] >= 0xDC00 && text[at - 1] < 0xE000;
            return std::clamp(at + (forward ? 1 : -1) * (pair ? 2 : 1), 0, i32(text.size()));
        };
        for (i32 move = 0; move < 6; ++move) {
            const u32 pick = random() % 8;
            const bool shift = pick < 6 && random() % 4 != 0;
            i32 target = -1;
            switch (pick) {
            case 0: host->KeyDown(kVkLeft, shift, false, false, window); target = step(caret, false); break;
            case 1: host->KeyDown(kVkRight, shift, false, false, window); target = step(caret, true); break;
            case 2: host->KeyDown(kVkHome, shift, false, false, window); target = 0; break;
            case 3: host->KeyDown(kVkEnd, shift, false, false, window); target = i32(text.size()); break;
            case 4: host->KeyDown(kVkLeft, shift, true, false, window); break;
            case 5: host->KeyDown(kVkRight, shift, true, false, window); break;
            case 6: host->AdvanceTime(1000); host->Click(10 + i32(random() % 100), 20); break;
            default: edit.SelectAll(); break;
            }
            ASSERT_TRUE(target < 0 || edit.GetCaret() == target) << sequence;
            caret = edit.GetCaret();
            anchor = pick == 7 ? 0 : (shift ? anchor : caret);
            const bool any = anchor != caret;
            ASSERT_EQ(edit.GetSelectionStart(), any ? std::min(anchor, caret) : -1) << sequence << " move " << move;
            ASSERT_EQ(edit.GetSelectionEnd(), any ? std::max(anchor, caret) - 1 : -1) << sequence;
        }
    }
}

// Split at each glyph's middle from the text start at x 2 (ties left), a pair being one
// 10-pixel glyph; double clicks select the run under the point.
TEST_F(EditTest, HitTestAndDoubleClickTables)
{
    ASSERT_TRUE(edit.SetTextN(u"abcdef😀", -1));
    for (i32 x = 0; x < 60; ++x) {
        const i32 along = std::max(x - 2, 0);
        const i32 expected = along < 30 ? (along + 2) / 5 : (along <= 35 ? 6 : 8);
        EXPECT_EQ(edit.IndexAt(x), expected) << x;
    }
    ASSERT_TRUE(edit.SetTextN(u"  ab cd ", -1));
    const char16_t* runs[] = {u"[  ]|ab cd ", u"[  ]|ab cd ", u"  [ab]| cd ", u"  [ab]| cd ",
                              u"  ab[ ]|cd ", u"  ab [cd]| ", u"  ab [cd]| ", u"  ab cd[ ]|"};
    for (i32 x = 2; x < 60; x += 5) {
        host->AdvanceTime(1000);
        host->Click(10 + x, 20);
        host->Click(10 + x, 20);
        // Past the end of a text that ends blank nothing is selected.
        const std::u16string expected = (x - 2) / 5 < 8 ? runs[(x - 2) / 5] : u"  ab cd |";
        EXPECT_EQ(Show(), expected) << x;
    }
}

// 30 units in a 100-pixel field: the caret at 151 moves the offset to -53; Backspace
// back to caret 12 puts the caret at 8 < 100 / 8, so the offset becomes -53 + 25.
TEST_F(EditTest, ScrollNumbersAndCaretColumn)
{
    ASSERT_TRUE(edit.SetTextN(std::u16string(30, u'm').c_str(), -1));
    Key(kVkEnd);
    EXPECT_EQ(edit.GetScrollOffset(), -53);
    for (i32 caret = 30; caret > 12; --caret) {
        Key(kVkBack);
    }
    EXPECT_EQ(edit.GetScrollOffset(), -28);
    i32 rows = 0, top = -1;
    for (i32 y = 0; y < 21; ++y) {
        if (ElementPixel(*host, &edit, -28 + 1 + 5 * 12, y) == ThemePixel(4)) {
            rows += 1;
            top = top < 0 ? y : top;
        }
    }
    EXPECT_EQ(rows, 13);
    EXPECT_EQ(top, 4);
}

// The whole tail survives a paste at the maximum; pairs are never split by a cut.
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
    EXPECT_EQ(Show(), u"abXYZ|fghi");
    host->TypeText(u"Q😀z");
    EXPECT_EQ(Show(), u"abXYZQ|fghi");
    Place(u"ab[X]|YZQfghi");
    host->TypeText(u"s");
    EXPECT_EQ(Show(), u"abs|YZQfghi");
}

// Bounds of SetMaxLength: a refused length changes nothing; SetTextN keeps the cap.
TEST_F(EditTest, MaxLengthIsCheckedAndTextsAreCut)
{
    Place(u"ab|c");
    for (i32 bad : {-1, cEditChild::kMaxLengthLimit + 1, 0x7FFFFFFF}) {
        EXPECT_FALSE(edit.SetMaxLength(bad));
        EXPECT_EQ(Show(), u"ab|c");
    }
    std::u16string huge(cEditChild::kMaxLengthLimit - 1, u'a');
    ASSERT_TRUE(edit.SetTextN((huge + u"😀b").c_str(), -1));
    EXPECT_EQ(edit.GetLength(), cEditChild::kMaxLengthLimit - 1);
}

// Clearing resets caret and selection: the next unit lands in the text, not behind it.
TEST_F(EditTest, ClearTextAndSetMaxLengthResetTheCaret)
{
    Place(u"a[bc]|");
    edit.ClearText();
    host->TypeText(u"x");
    EXPECT_EQ(Show(), u"x|");
    Place(u"xy[z]|");
    ASSERT_TRUE(edit.SetMaxLength(5));
    host->TypeText(u"k");
    EXPECT_EQ(Show(), u"k|");
}

// SelectAll with a selection starting at 0 selects everything, not the complement.
TEST_F(EditTest, SelectAllFromAnySelection)
{
    for (const char16_t* state : {u"|[abc]de", u"[abcde]|", u"a|[b]cde"}) {
        Place(state);
        edit.SelectAll();
        EXPECT_EQ(Show(), u"[abcde]|");
    }
}

// A click right after SetTextN raised the maximum, before any paint, lands where a
// paint in between would put it (the edges follow the text, not the paint).
TEST_F(EditTest, ClickBeforePaintUsesFreshEdges)
{
    const std::u16string longText(400, u'w');
    i32 carets[2];
    for (bool paint : {false, true}) {
        ASSERT_TRUE(edit.SetTextN(longText.c_str(), -1));
        host->KeyDown(kVkEnd, false, false, false, window);
        if (paint) {
            host->Pump();
        }
        host->AdvanceTime(1000);
        host->Click(60, 20);
        carets[paint] = edit.GetCaret();
    }
    EXPECT_EQ(carets[0], carets[1]);
    EXPECT_EQ(carets[1], 400 - (98 - 48) / 5);
}

// A drag ends when the capture is taken away or the focus goes: later plain moves
// select nothing.
TEST_F(EditTest, DragEndsWithoutCaptureOrFocus)
{
    cEditChild other;
    ASSERT_TRUE(form.AttachChild(&other, 10, 40, 100, 21));
    ASSERT_TRUE(edit.SetTextN(u"abcdefgh", -1));
    for (bool byFocus : {false, true}) {
        edit.Activate();
        host->AdvanceTime(1000);
        host->MouseDown(13, 20);
        host->MouseMove(23, 20);
        EXPECT_EQ(Show(), u"[ab]|cdefgh");
        if (byFocus) {
            other.Activate();
        } else {
            form.CaptureMouse();
            form.ReleaseMouse();
        }
        host->MouseMove(43, 20);
        EXPECT_EQ(edit.GetSelectionEnd(), byFocus ? -1 : 1);
        host->MouseUp(43, 20);
    }
}

// Background, text and border per state (hover wins the border only), the cue in 8,
// the selection 10 on 17 focused and on 18 not.
TEST_F(EditTest, StateColours)
{
    cEditChild other;
    ASSERT_TRUE(form.AttachChild(&other, 10, 40, 100, 21));
    ASSERT_TRUE(other.SetCueText(u"cue"));
    ASSERT_TRUE(edit.SetTextN(u"abcdef", -1));
    auto probe = [&](cEditChild& field, i32 back, i32 text, i32 border) {
        host->Pump();
        EXPECT_EQ(ElementPixel(*host, &field, 0, 0), ThemePixel(border)) << back;
        EXPECT_EQ(ElementPixel(*host, &field, 80, 10), ThemePixel(back)) << back;
        EXPECT_EQ(ElementPixel(*host, &field, 4, 10), ThemePixel(text)) << back;
    };
    host->MouseMove(200, 200);
    probe(other, 27, 8, 32);
    host->MouseMove(50, 50);
    probe(other, 28, 8, 33);
    edit.Activate();
    edit.ClearSelection();
    probe(edit, 29, 4, 34);
    host->MouseMove(50, 20);
    probe(edit, 29, 4, 33);
    edit.SelectAll();
    probe(edit, 29, 10, 33);
    EXPECT_EQ(ElementPixel(*host, &edit, 6, 4), ThemePixel(17));
    other.Activate();
    edit.SelectAll();
    host->MouseMove(200, 200);
    probe(edit, 27, 10, 32);
    EXPECT_EQ(ElementPixel(*host, &edit, 6, 4), ThemePixel(18));
    edit.Disable();
    edit.ClearSelection();
    probe(edit, 30, 5, 35);
}

struct sMenuRow
{
    const char16_t* state;
    bool readOnly;
    const char16_t* clipboard;
    const char16_t* entries; // the captions' first letters
    const char16_t* choice;  // the entry pressed
    const char16_t* after;
};

// Entries per state and each entry's effect through a scripted popup: while it runs the
// selection stays and no focus-lost code is posted; the popup is at least 100 wide.
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
            h.GetWindowRect(&popup, rect);
            during = Show();
            for (cChildElement* child : popup.GetRoot()->GetChildren()) {
                if (dynamic_cast<cButtonChild*>(child) == nullptr) {
                    continue;
                }
                entries += child->GetText()[0];
                if (CompareWide(child->GetText(), row.choice) == 0) {
                    (void)PostAction(child, nullptr);
                }
            }
            h.Pump();
        });
        host->Click(30, 20, kMouseRight);
        host->Pump();
        EXPECT_EQ(entries, row.entries);
        EXPECT_EQ(during, row.state);
        EXPECT_GE(rect.width, 100);
        EXPECT_EQ(Show(), row.after);
        edit.SetReadOnly(false);
    }
    EXPECT_TRUE(form.Find(9).empty());
    EXPECT_TRUE(form.Find(2).empty());
}

// Empty with a cue, focused with a selection, the same unfocused, scrolled long text,
// read-only, disabled.
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
    ASSERT_TRUE(edit.SetTextN(u"focused selection", -1));
    edit.Activate();
    host->MouseMove(300, 200);
    host->Pump();
    std::unique_ptr<cCanvas> canvas(CreateMemoryCanvas(120, 180));
    canvas->CopyFrom(0, 0, host->GetCanvas(window), 0, 0, 120, 180);
    qeltest::ExpectMatchesGolden(*canvas, "edit.png");
}

} // namespace

// An edit box driven by random operations on the headless host: each byte pair is an
// operation and its argument (keys with modifiers, units incl. surrogate halves, mouse
// at an x, double clicks, pastes and texts of fuzzer bytes as UTF-16, maximum lengths
// 0..300, clearing, the read-only flags, a scripted context-menu choice, focus); every
// 8th operation paints. After each: 0 <= caret <= length <= maximum, a terminated
// buffer, a selection inside the text, an offset <= 0, and no lone surrogate while the
// input held none.
// Links: qel_base qel_platform qel_gui_core qel_gui_controls
#include "gui/controls/edit.h"
#include "gui/core/actions.h"
#include "gui/core/application.h"
#include "gui/core/form.h"
#include "gui/core/keys.h"
#include "gui/core/translator.h"
#include "gui/core/windowmaker.h"
#include "platform/headlesshost.h"
#include "platform/softgraphics.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// True when every surrogate in `text` is half of a pair.
bool WellFormed(const char16_t* text, size_t length)
{
    for (size_t i = 0; i < length; ++i) {
        const bool high = text[i] >= 0xD800 && text[i] < 0xDC00;
        if (high && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            ++i;
        } else if (text[i] >= 0xD800 && text[i] < 0xE000) {
            return false;
        }
    }
    return true;
}

void Require(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "edit_ops: %s\n", what);
        std::abort();
    }
}

struct sWorld
{
    sWorld()
    {
        (void)InstallSoftwareGraphics(eTextFont::FixedTest);
        (void)application.SetUpWindowSystem(&host);
        sWindowParams params;
        params.screenRect = {0, 0, 300, 100};
        if (application.GetWindowMaker()->OpenWindow(&form, params) == nullptr ||
            !form.AttachChild(&edit, 10, 10, 100, 21) || !form.AttachChild(&other, 10, 40, 100, 21)) {
            std::abort();
        }
    }
    cHeadlessHost host;
    cCIApplication application;
    cCustomForm form;
    cEditChild edit, other;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    static sWorld world;
    cEditChild& edit = world.edit;
    cHeadlessHost& host = world.host;
    // Each input starts from the same state: released mouse, no hover, empty
    // clipboard, default flags, the field focused.
    host.MouseUp(0, 0);
    host.MouseMove(290, 90);
    (void)world.form.SetClipboardText(u"", -1);
    edit.SetReadOnly(false);
    edit.SetSelectableWhileReadOnly(true);
    edit.SetSelectAllOnFocus(true);
    Require(edit.SetMaxLength(256), "maximum 256");
    world.other.Activate();
    edit.Activate();
    host.AdvanceTime(1000);
    bool wellFormed = true;
    static const i32 kKeys[16] = {kVkBack,  kVkDelete, kVkReturn, kVkEscape, kVkEnd, kVkHome, kVkLeft, kVkUp,
                                  kVkRight, kVkDown,   kVkInsert, 'A',       'C',    'V',     'X',     'B'};
    for (size_t at = 0; at + 1 < size; at += 2) {
        const u8 op = data[at] % 16, arg = data[at + 1];
        std::u16string units;
        for (size_t i = at + 2; i + 1 < size && units.size() < size_t(arg % 64); i += 2) {
            const char16_t unit = char16_t(data[i] | data[i + 1] << 8);
            units += unit == 0 ? u'0' : unit;
        }
        wellFormed = wellFormed && (op == 2 ? false : (op != 7 && op != 8) || WellFormed(units.data(), units.size()));
        host.AdvanceTime(600);
        switch (op) {
        case 0: host.KeyDown(kKeys[arg & 15], arg & 16, arg & 32, arg & 64); break;
        case 1: host.TypeText(arg < 192 ? std::u16string(1, char16_t(0x20 + arg)).c_str() : u"😀"); break;
        case 2: host.TypeText(arg & 1 ? u"\xD83D" : u"\xDE00"); break;
        case 3: host.MouseDown(arg, 20); break;
        case 4: host.MouseMove(arg, arg & 1 ? 20 : 50); break;
        case 5: host.MouseUp(arg, 20); break;
        case 6: host.Click(arg, 20); host.Click(arg, 20); break;
        case 7: (void)world.form.SetClipboardText(units.c_str(), -1); host.KeyDown('V', false, true, false); break;
        case 8: (void)edit.SetTextN(units.c_str(), arg & 1 ? -1 : i32(units.size())); break;
        case 9: (void)edit.SetMaxLength(arg * 300 / 255); break;
        case 10: edit.ClearText(); break;
        case 11: edit.SetReadOnly(arg & 1), edit.SetSelectableWhileReadOnly(arg & 2), edit.SetSelectAllOnFocus(arg & 4); break;
        case 12:
            // With a clipboard text the menu opens for a writable field (Paste) or one
            // with text (Select all or Copy), so every script pushed is used.
            (void)world.form.SetClipboardText(u"c", -1);
            if (!edit.IsReadOnly() || edit.GetLength() > 0) {
                host.PushModalScript([arg](cHeadlessHost&, cWindowTranslator& popup) {
                    const auto& entries = popup.GetRoot()->GetChildren();
                    (void)PostAction(entries[arg % entries.size()], nullptr);
                });
                host.Click(10 + arg % 100, 20, kMouseRight);
            }
            break;
        case 13: (arg & 1 ? world.other : edit).Activate(); break;
        case 14: edit.SelectAll(); break;
        default: host.Pump(); break;
        }
        if (at % 16 == 14) {
            host.Pump();
        }
        const i32 length = edit.GetLength(), start = edit.GetSelectionStart(), end = edit.GetSelectionEnd();
        Require(edit.GetCaret() >= 0 && edit.GetCaret() <= length && length <= edit.GetMaxLength(), "caret or length");
        Require(edit.GetBuffer()[length] == 0, "terminator");
        Require((start == -1 && end == -1) || (start >= 0 && start <= end && end < length), "selection");
        Require(edit.GetScrollOffset() <= 0, "offset");
        Require(!wellFormed || WellFormed(edit.GetBuffer(), size_t(length)), "lone surrogate");
    }
    host.Pump();
    return 0;
}

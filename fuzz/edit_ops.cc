// An edit box driven by random operations on the headless host: each byte picks one
// (keys with modifiers, units incl. surrogate halves, mouse at an x, double clicks,
// pastes and texts of fuzzer bytes as UTF-16, maximum lengths 0..300, clearing, the
// read-only flags, a scripted context-menu choice, focus), the next byte is its
// argument, and every 8th operation paints. After each: 0 <= caret <= length <=
// maximum, a terminated buffer, a selection inside the text, an offset <= 0, and no
// lone surrogate while the input held none.
// Links: qel_base qel_platform qel_gui_core qel_gui_controls
#include "gui/controls/edit.h"
#include "gui/core/actions.h"
#include "gui/core/application.h"
#include "gui/core/form.h"
#include "gui/core/keys.h"
#include "gui/core/windowmaker.h"
#include "platform/headlesshost.h"
#include "platform/softgraphics.h"

#include <cstdlib>
#include <string>

namespace {

bool IsSurrogate(char16_t unit) { return unit >= 0xD800 && unit < 0xE000; }

// True when `text` pairs every surrogate.
bool WellFormed(const char16_t* text, i32 length)
{
    for (i32 i = 0; i < length; ++i) {
        const bool pair = i + 1 < length && text[i] < 0xDC00 && IsSurrogate(text[i]) && text[i + 1] >= 0xDC00 &&
                          IsSurrogate(text[i + 1]);
        i += pair;
        if (!pair && IsSurrogate(text[i])) {
            return false;
        }
    }
    return true;
}

struct sWorld
{
    sWorld()
    {
        (void)InstallSoftwareGraphics(eTextFont::FixedTest);
        (void)application.SetUpWindowSystem(&host);
        sWindowParams params;
        params.screenRect = {0, 0, 300, 100};
        window = application.GetWindowMaker()->OpenWindow(&form, params);
        (void)form.AttachChild(&edit, 10, 10, 100, 21);
        (void)form.AttachChild(&other, 10, 40, 100, 21);
    }
    cHeadlessHost host;
    cCIApplication application;
    cCustomForm form;
    cEditChild edit;
    cEditChild other;
    cWindowTranslator* window = nullptr;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    static sWorld world;
    cEditChild& edit = world.edit;
    cHeadlessHost& host = world.host;
    edit.SetReadOnly(false);
    if (!edit.SetMaxLength(256) || world.window == nullptr) {
        std::abort();
    }
    edit.Activate();
    bool wellFormed = true;
    static const i32 kKeys[16] = {kVkBack, kVkDelete, kVkReturn, kVkEscape, kVkEnd,    kVkHome, kVkLeft, kVkUp,
                                  kVkRight, kVkDown, kVkInsert, 'A',       'C',       'V',     'X',     'B'};
    for (size_t at = 0; at + 1 < size; at += 2) {
        const u8 arg = data[at + 1];
        std::u16string units;
        for (size_t i = at + 2; i + 1 < size && units.size() < size_t(arg % 64); i += 2) {
            units += char16_t(data[i] | data[i + 1] << 8) == 0 ? u'0' : char16_t(data[i] | data[i + 1] << 8);
        }
        host.AdvanceTime(600);
        switch (data[at] % 16) {
        case 0: host.KeyDown(kKeys[arg & 15], arg & 16, arg & 32, arg & 64); break;
        case 1: host.TypeText(arg < 192 ? std::u16string(1, char16_t(0x20 + arg)).c_str() : u"😀"); break;
        case 2: host.TypeText(arg & 1 ? u"\xD83D" : u"\xDE00"); wellFormed = false; break;
        case 3: host.MouseDown(arg, 20); break;
        case 4: host.MouseMove(arg, arg & 1 ? 20 : 50); break;
        case 5: host.MouseUp(arg, 20); break;
        case 6: host.Click(arg, 20); host.Click(arg, 20); break;
        case 7: (void)world.form.SetClipboardText(units.c_str(), -1); host.KeyDown('V', false, true, false); break;
        case 8: (void)edit.SetTextN(units.c_str(), arg & 1 ? -1 : i32(units.size())); break;
        case 9: (void)edit.SetMaxLength(arg * 300 / 255); break;
        case 10: edit.ClearText(); break;
        case 11: edit.SetReadOnly(arg & 1); edit.SetSelectableWhileReadOnly(arg & 2); edit.SetSelectAllOnFocus(arg & 4); break;
        case 12:
            // The menu opens for a writable field (Paste) or one with text (Select all or Copy).
            (void)world.form.SetClipboardText(u"c", -1);
            if (edit.IsReadOnly() && edit.GetLength() == 0) {
                break;
            }
            host.PushModalScript([arg](cHeadlessHost& h, cWindowTranslator& popup) {
                const auto& entries = popup.GetRoot()->GetChildren();
                (void)PostAction(entries[arg % entries.size()], nullptr);
            });
            host.Click(10 + arg % 100, 20, kMouseRight);
            break;
        case 13: (arg & 1 ? world.other : edit).Activate(); break;
        case 14: edit.SelectAll(); break;
        default: host.Pump(); break;
        }
        wellFormed = wellFormed && (data[at] % 16 != 7 && data[at] % 16 != 8 || WellFormed(units.c_str(), i32(units.size())));
        if ((at / 2) % 8 == 7) {
            host.Pump();
        }
        const i32 length = edit.GetLength(), start = edit.GetSelectionStart(), end = edit.GetSelectionEnd();
        if (edit.GetCaret() < 0 || edit.GetCaret() > length || length > edit.GetMaxLength() ||
            edit.GetBuffer()[length] != 0 || (start != -1 || end != -1) && (start < 0 || start > end || end >= length) ||
            edit.GetScrollOffset() > 0 || (wellFormed && !WellFormed(edit.GetBuffer(), length))) {
            std::abort();
        }
    }
    host.Pump();
    return 0;
}

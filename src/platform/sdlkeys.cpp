#include "platform/sdlkeys.h"

#include "gui/core/keys.h"

#include <SDL.h>

namespace {

// Windows virtual-key numbers beyond those the core names in keys.h.
enum : i32
{
    kVkApplication = 0x5D,
    kVkNumPad0 = 0x60,
    kVkMultiply = 0x6A,
    kVkAdd = 0x6B,
    kVkSubtract = 0x6D,
    kVkDecimal = 0x6E,
    kVkDivide = 0x6F,
    kVkF1 = 0x70,
};

// Keypad digits 0-9 without NumLock: the keys printed under the digits. 5 has none.
constexpr i32 kKeypadNavigation[10] = {kVkInsert, kVkEnd,   kVkDown, kVkPageDown, kVkLeft,
                                       0,         kVkRight, kVkHome, kVkUp,       kVkPageUp};

i32 KeypadDigit(i32 sym)
{
    switch (sym) {
    case SDLK_KP_0: return 0;
    case SDLK_KP_1: return 1;
    case SDLK_KP_2: return 2;
    case SDLK_KP_3: return 3;
    case SDLK_KP_4: return 4;
    case SDLK_KP_5: return 5;
    case SDLK_KP_6: return 6;
    case SDLK_KP_7: return 7;
    case SDLK_KP_8: return 8;
    case SDLK_KP_9: return 9;
    default: return -1;
    }
}

} // namespace

i32 VirtualKeyFromSdl(i32 sym, u32 modifiers)
{
    // SDL gives letters as lower-case key codes whatever Shift says; virtual keys are the
    // upper-case letters.
    if (sym >= SDLK_a && sym <= SDLK_z) {
        return 'A' + (sym - SDLK_a);
    }
    if (sym >= SDLK_0 && sym <= SDLK_9) {
        return '0' + (sym - SDLK_0);
    }
    if (sym >= SDLK_F1 && sym <= SDLK_F12) {
        return kVkF1 + (sym - SDLK_F1);
    }
    if (i32 digit = KeypadDigit(sym); digit >= 0) {
        return (modifiers & KMOD_NUM) != 0 ? kVkNumPad0 + digit : kKeypadNavigation[digit];
    }
    switch (sym) {
    case SDLK_BACKSPACE: return kVkBack;
    case SDLK_TAB: return kVkTab;
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return kVkReturn;
    case SDLK_ESCAPE: return kVkEscape;
    case SDLK_SPACE: return kVkSpace;
    case SDLK_PAGEUP: return kVkPageUp;
    case SDLK_PAGEDOWN: return kVkPageDown;
    case SDLK_END: return kVkEnd;
    case SDLK_HOME: return kVkHome;
    case SDLK_LEFT: return kVkLeft;
    case SDLK_UP: return kVkUp;
    case SDLK_RIGHT: return kVkRight;
    case SDLK_DOWN: return kVkDown;
    case SDLK_INSERT: return kVkInsert;
    case SDLK_DELETE: return kVkDelete;
    case SDLK_APPLICATION: return kVkApplication;
    case SDLK_KP_MULTIPLY: return kVkMultiply;
    case SDLK_KP_PLUS: return kVkAdd;
    case SDLK_KP_MINUS: return kVkSubtract;
    case SDLK_KP_PERIOD: return kVkDecimal;
    case SDLK_KP_DIVIDE: return kVkDivide;
    default: return 0;
    }
}

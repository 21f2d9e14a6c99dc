// Key codes the X tests cannot reach with xdotool alone: the numeric pad with and
// without NumLock, against the Windows virtual-key table (VK_NUMPAD0..9 = 0x60..0x69,
// VK_INSERT 0x2D, VK_END 0x23, VK_DOWN 0x28, VK_NEXT 0x22, VK_LEFT 0x25, VK_RIGHT 0x27,
// VK_HOME 0x24, VK_UP 0x26, VK_PRIOR 0x21).
#include "platform/sdlkeys.h"

#include <SDL.h>
#include <gtest/gtest.h>

namespace {

TEST(SdlKeys, TheNumericPadFollowsNumLock)
{
    const i32 pad[10] = {SDLK_KP_0, SDLK_KP_1, SDLK_KP_2, SDLK_KP_3, SDLK_KP_4,
                         SDLK_KP_5, SDLK_KP_6, SDLK_KP_7, SDLK_KP_8, SDLK_KP_9};
    const i32 withoutNumLock[10] = {0x2D, 0x23, 0x28, 0x22, 0x25, 0, 0x27, 0x24, 0x26, 0x21};
    for (i32 digit = 0; digit < 10; ++digit) {
        EXPECT_EQ(VirtualKeyFromSdl(pad[digit], KMOD_NUM), 0x60 + digit) << digit;
        EXPECT_EQ(VirtualKeyFromSdl(pad[digit], KMOD_NUM | KMOD_LSHIFT), 0x60 + digit) << digit;
        EXPECT_EQ(VirtualKeyFromSdl(pad[digit], KMOD_NONE), withoutNumLock[digit]) << digit;
    }
    // The operators and Enter do not depend on it.
    for (u32 modifiers : {u32(KMOD_NONE), u32(KMOD_NUM)}) {
        EXPECT_EQ(VirtualKeyFromSdl(SDLK_KP_MULTIPLY, modifiers), 0x6A);
        EXPECT_EQ(VirtualKeyFromSdl(SDLK_KP_DIVIDE, modifiers), 0x6F);
        EXPECT_EQ(VirtualKeyFromSdl(SDLK_KP_PERIOD, modifiers), 0x6E);
        EXPECT_EQ(VirtualKeyFromSdl(SDLK_KP_ENTER, modifiers), 0x0D);
    }
}

// Letters and digits keep their own numbers, F1 and F12 bound the function keys, and
// what the widgets never see (modifier keys alone, letters outside A-Z) maps to nothing.
TEST(SdlKeys, EdgesOfTheRangesAndKeysLeftOut)
{
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_a, KMOD_NONE), 0x41);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_z, KMOD_CAPS | KMOD_SHIFT), 0x5A);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_0, KMOD_NONE), 0x30);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_9, KMOD_NONE), 0x39);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_F1, KMOD_NONE), 0x70);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_F12, KMOD_NONE), 0x7B);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_APPLICATION, KMOD_NONE), 0x5D);
    for (i32 sym : {i32(SDLK_F13), i32(SDLK_LSHIFT), i32(SDLK_RCTRL), i32(SDLK_LALT), i32(SDLK_NUMLOCKCLEAR),
                    0xFC /* ü */, i32(SDLK_UNKNOWN), i32(SDLK_MINUS)}) {
        EXPECT_EQ(VirtualKeyFromSdl(sym, KMOD_NONE), 0) << sym;
    }
}

} // namespace

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

} // namespace

#pragma once
// SDL key codes -> the Windows virtual-key numbers the widgets compare against.
//
// Only the keys the widgets act on are mapped: editing and navigation keys, letters,
// digits, the numeric pad and F1-F12. Modifier keys alone are not keys to the widgets
// (their state travels with every press), so they map to nothing.
#include "base/types.h"

// The virtual key of an SDL key press (`sym` = SDL_Keycode, `modifiers` = SDL_Keymod);
// 0 for keys the toolkit does not use. The numeric pad follows NumLock: digits with it,
// the navigation keys printed on them without it.
i32 VirtualKeyFromSdl(i32 sym, u32 modifiers);

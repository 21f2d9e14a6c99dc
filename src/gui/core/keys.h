#pragma once
// Input codes of the widget tree. Keys are Windows virtual-key numbers, so widget code
// compares against the same values on every host; each host maps its own key codes onto
// them once.
#include "base/types.h"

enum : i32
{
    kVkBack = 0x08,
    kVkTab = 0x09,
    kVkReturn = 0x0D,
    kVkEscape = 0x1B,
    kVkSpace = 0x20,
    kVkPageUp = 0x21,
    kVkPageDown = 0x22,
    kVkEnd = 0x23,
    kVkHome = 0x24,
    kVkLeft = 0x25,
    kVkUp = 0x26,
    kVkRight = 0x27,
    kVkDown = 0x28,
    kVkInsert = 0x2D,
    kVkDelete = 0x2E,
    kVkA = 0x41,
    kVkF4 = 0x73,
    kVkF5 = 0x74,
};

// Mouse buttons as OnMouseButton receives them.
enum : i32
{
    kMouseLeft = 1,
    kMouseRight = 2,
};

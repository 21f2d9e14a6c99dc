#pragma once
// The built-in fixed-advance test font, so that layout numbers in tests are exact. A
// font asked for as w x h has an advance of w per UTF-16 unit (a surrogate pair is 2w),
// a cell of h with the ascent at h - 3, and every unit other than the space draws a
// solid (w - 1) x (h - 4) block at (pen x, cell top + 2). A width of 0 counts as h / 2.
#include "gui/core/font.h"

class cTestFontEngine final : public cFontEngine
{
public:
    std::unique_ptr<cFontFace> CreateFace(const sFontKey& key) override;
};

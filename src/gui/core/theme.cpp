#include "gui/core/theme.h"

#include "gui/core/canvas.h"
#include "gui/core/picture.h"
#include "gui/core/themeimages.h"

#include <map>

namespace {

// A light theme in the manner of the classic desktop: grey forms, white controls,
// blue selections.
const std::map<i32, u32>& Colours()
{
    static const std::map<i32, u32> colours = {
        {0, ColourFromRgb(0xF0, 0xF0, 0xF0)},  // form and panel background
        {4, ColourFromRgb(0x00, 0x00, 0x00)},  // text
        {5, ColourFromRgb(0x6D, 0x6D, 0x6D)},  // disabled text
        {7, ColourFromRgb(0x00, 0x66, 0xCC)},  // link
        {8, ColourFromRgb(0x8C, 0x8C, 0x8C)},  // edit cue text
        {9, ColourFromRgb(0xFF, 0xFF, 0xFF)},  // selected text
        {10, ColourFromRgb(0xFF, 0xFF, 0xFF)}, // edit selected text
        {14, ColourFromRgb(0xFF, 0xFF, 0xFF)}, // control fill
        {15, ColourFromRgb(0xE5, 0xF3, 0xFB)}, // tree hover
        {16, ColourFromRgb(0x00, 0x55, 0xAA)}, // focused selection
        {17, ColourFromRgb(0x00, 0x55, 0xAA)}, // edit selection
        {18, ColourFromRgb(0xD9, 0xD9, 0xD9)}, // unfocused selection and marks
        {21, ColourFromRgb(0x82, 0x87, 0x90)}, // frame
        {25, ColourFromRgb(0x00, 0x55, 0xAA)}, // list outline, focused
        {26, ColourFromRgb(0xAB, 0xAD, 0xB3)}, // list outline, unfocused
        {27, ColourFromRgb(0xFF, 0xFF, 0xFF)}, // edit background: normal
        {28, ColourFromRgb(0xFF, 0xFF, 0xFF)}, //   hover
        {29, ColourFromRgb(0xFF, 0xFF, 0xFF)}, //   focused
        {30, ColourFromRgb(0xF0, 0xF0, 0xF0)}, //   disabled
        {32, ColourFromRgb(0xAB, 0xAD, 0xB3)}, // edit border: normal
        {33, ColourFromRgb(0x7E, 0xB4, 0xEA)}, //   hover
        {34, ColourFromRgb(0x56, 0x9D, 0xE5)}, //   focused
        {35, ColourFromRgb(0xD9, 0xD9, 0xD9)}, //   disabled
        {42, ColourFromRgb(0xF0, 0xF0, 0xF0)}, // splitter band
        {43, ColourFromRgb(0xC8, 0xC8, 0xC8)}, // splitter line
        {44, ColourFromRgb(0xAB, 0xAD, 0xB3)}, // property area frame
        {45, ColourFromRgb(0xFF, 0xFF, 0xFF)}, // property area fill
        {52, ColourFromRgb(0xFC, 0xFC, 0xFC)}, // button inner line
        {53, ColourFromRgb(0xAD, 0xAD, 0xAD)}, // button frame A, B: normal
        {54, ColourFromRgb(0x70, 0x70, 0x70)},
        {55, ColourFromRgb(0x56, 0x9D, 0xE5)}, //   focused
        {56, ColourFromRgb(0x3C, 0x7F, 0xB1)},
        {57, ColourFromRgb(0x7E, 0xB4, 0xEA)}, //   hovered and pressed
        {58, ColourFromRgb(0x3C, 0x7F, 0xB1)},
        {59, ColourFromRgb(0xCC, 0xCC, 0xCC)}, //   disabled
        {60, ColourFromRgb(0xBF, 0xBF, 0xBF)},
        {61, ColourFromRgb(0x00, 0x33, 0x99)}, // message first line
    };
    return colours;
}

const std::map<i32, i32>& Metrics()
{
    // The form frame: toolbar row at y 4, inset 5, 26 high; button bar 25 high, 7 from
    // the bottom and 10 from the right; list header 20 high.
    static const std::map<i32, i32> metrics = {{3, 4}, {4, 5}, {5, 26}, {7, 25}, {8, 7}, {9, 10}, {23, 20}};
    return metrics;
}

} // namespace

cCITheme::cCITheme() = default;
cCITheme::~cCITheme() = default;

u32 cCITheme::GetColour(i32 index) const
{
    const auto found = Colours().find(index);
    return found == Colours().end() ? 0 : found->second;
}

i32 cCITheme::GetMetric(i32 index, i32 /*variant*/) const
{
    const auto found = Metrics().find(index);
    return found == Metrics().end() ? 0 : found->second;
}

const cPicture* cCITheme::GetImage(eThemeImage image) const
{
    std::lock_guard guard(m_imagesLock);
    auto found = m_images.find(image);
    if (found != m_images.end()) {
        return found->second.get();
    }
    std::unique_ptr<cPicture> drawn = DrawThemeImage(image);
    if (!drawn) {
        return nullptr; // unknown value, or no canvas yet: try again next time
    }
    const cPicture* result = drawn.get();
    m_images.emplace(image, std::move(drawn));
    return result;
}

cCITheme* GetTheme()
{
    static cCITheme theme;
    return &theme;
}

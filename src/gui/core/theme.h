#pragma once
// The process theme: numbered colours (0x00BBGGRR), metrics and images, read by every
// widget's ApplyStyle. Images are drawn in code the first time they are asked for.
//
// Colours: 0 form and panel background; 4 text; 5 disabled text; 7 link; 8 edit cue;
// 9 selected text; 10 edit selected text; 14 control fill; 15 tree hover; 16 focused
// selection; 17 edit selection; 18 unfocused selection and marks; 21 frame; 25/26 list
// outline focused/unfocused; 27-30 edit background normal, hover, focused, disabled;
// 32-35 edit border in the same order; 42/43 splitter band/line; 44/45 property area
// frame/fill; 52 button inner line; 53/54, 55/56, 57/58, 59/60 button frame colours A/B
// of states 0, 1, 2-3 and 4; 61 message first line.
// Metrics: 3, 4, 5 frame toolbar top, side inset and height; 7, 8, 9 button bar
// height, bottom margin and right margin; 23 list header height.
// Images: see eThemeImage (themeimagenames.h).
#include "base/types.h"
#include "gui/core/themeimagenames.h"

#include <map>
#include <memory>
#include <mutex>

class cPicture;

class cCITheme
{
public:
    cCITheme();
    ~cCITheme();
    cCITheme(const cCITheme&) = delete;
    cCITheme& operator=(const cCITheme&) = delete;

    // 0x00BBGGRR; 0 for an index the theme does not define.
    u32 GetColour(i32 index) const;
    // The metric in pixels; 0 for an unknown index. `variant` is kept for callers that
    // pass one; this theme has one value per index.
    i32 GetMetric(i32 index, i32 variant = 0) const;
    // The image, drawn on first use and kept for the theme's life; null for a value the
    // theme does not define or when no memory canvas can be made.
    const cPicture* GetImage(eThemeImage image) const;
    // The theme's own font face, or null: forms then use the UI face ("Tahoma").
    const char16_t* GetFontFace() const { return nullptr; }

private:
    mutable std::mutex m_imagesLock;
    mutable std::map<eThemeImage, std::unique_ptr<cPicture>> m_images;
};

// The theme of the process.
cCITheme* GetTheme();

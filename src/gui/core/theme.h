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
// Images: 23-27 button faces of states 0-4 (stretched by the buttons); 28 combo arrow;
// 30-35 check boxes (off, on, focused off, focused on, disabled off, disabled on);
// 42 computer; 43 disk or network place; 44 network row; 48 folder; 60 file; 63 other
// object; 68-71 expanders (collapsed, expanded, leaf with a sibling below, last leaf);
// 72 overflow chevron; 73-76 message icons information, question, warning, error;
// 77 OK; 78 cancel or stop; 80 open or select; 81 save; 82 home; 83 places; 84 new
// folder; 145/146 path crumb separators.
#include "base/types.h"

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
    // The image of an index, drawn on first use and kept for the theme's life; null
    // for an unknown index or when no memory canvas can be made.
    const cPicture* GetImage(i32 index) const;
    // The theme's own font face, or null: forms then use the UI face ("Tahoma").
    const char16_t* GetFontFace() const { return nullptr; }

private:
    mutable std::mutex m_imagesLock;
    mutable std::map<i32, std::unique_ptr<cPicture>> m_images;
};

// The theme of the process.
cCITheme* GetTheme();

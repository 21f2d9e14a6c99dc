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
// Images: see eThemeImage.
#include "base/types.h"

#include <map>
#include <memory>
#include <mutex>

class cPicture;

// The theme's images by what they show; the values are the system's image indices.
enum eThemeImage : i32
{
    // Button faces, stretched by the buttons, in the order of the button states.
    kImageButtonNormal = 23,
    kImageButtonFocused = 24,
    kImageButtonHovered = 25,
    kImageButtonPressed = 26,
    kImageButtonDisabled = 27,
    kImageComboArrow = 28,
    // Check boxes.
    kImageCheckOff = 30,
    kImageCheckOn = 31,
    kImageCheckFocusedOff = 32,
    kImageCheckFocusedOn = 33,
    kImageCheckDisabledOff = 34,
    kImageCheckDisabledOn = 35,
    // Objects of the file choosers.
    kImageComputer = 42,
    kImagePlace = 43, // a disk or network place
    kImageNetwork = 44,
    kImageFolder = 48,
    kImageFile = 60,
    kImageOtherObject = 63,
    // Tree expanders.
    kImageExpanderClosed = 68,
    kImageExpanderOpen = 69,
    kImageExpanderLeaf = 70, // a leaf with a sibling below
    kImageExpanderLastLeaf = 71,
    kImageOverflow = 72, // the toolbar's overflow chevron
    // Message icons, in the order of the message box's icon kinds.
    kImageInformation = 73,
    kImageQuestion = 74,
    kImageWarning = 75,
    kImageError = 76,
    // Button pictures.
    kImageOk = 77,
    kImageCancel = 78, // cancel or stop
    kImageOpen = 80,   // open or select
    kImageSave = 81,
    kImageHome = 82,
    kImagePlaces = 83,
    kImageNewFolder = 84,
    // Path crumb separators: closed (a chevron to the right) and open (pointing down).
    kImageCrumb = 145,
    kImageCrumbOpen = 146,
};

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

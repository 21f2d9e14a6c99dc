#pragma once
// The theme's images by name, shared by the theme and the code that draws them.
#include "base/types.h"

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

#pragma once
// Popup menus: a small modal window at a screen point that shows the entries of an item
// map as buttons and returns the id of the entry pressed, or -1.
//
// Entries are shown in ascending id order, so callers order a menu by the ids they
// choose. An entry shows when it has a text or an icon that the image list holds; a
// separator line goes above an entry that asks for one.
//
// The run ends with the entry's id when its button is pressed, and with -1 on Escape,
// on a mouse press outside the popup, and when the focus leaves the popup (its window
// is deactivated or loses the grab). Focus moving among the popup's own entries keeps
// it open.
#include "base/keytree.h"
#include "base/texts.h"
#include "base/types.h"
#include "gui/controls/pushbutton.h"
#include "gui/core/geometry.h"

class cChildElement;
class cFontObject;
struct sImageList;

struct sPopupItem
{
    // An entry without text shows only when its icon is in the image list.
    _guardchar<char16_t> text;
    // Given to the entry's button as its hint.
    _guardchar<char16_t> hint;
    // The caller's own value; the popup does not read it.
    u32 value = 0;
    // An id in the image list given to the show call; -1 = none.
    i32 iconId = -1;
    // Below 1 = automatic: the taller of text and picture plus 7.
    i32 rowHeight = -1;
    // A separator line is drawn above the entry.
    bool separator = false;
};

// Entry id -> entry.
using tPopupItems = _keytree<i32, sPopupItem>;

// How a popup looks. Colours are 0x00BBGGRR; kKeepColour leaves a button state's
// colour as the button has it.
struct sPopupStyle
{
    // Background theme colour 14, text theme colour 4, frame theme colour 21.
    sPopupStyle();

    i32 minimumWidth = 0;
    const sImageList* imageList = nullptr; // borrowed
    // The entry with this id takes the focus when the menu opens; -1 = none.
    i32 preselectedId = -1;
    u32 backColour;
    u32 textColour;
    u32 hoverBackColour = kKeepColour;
    u32 hoverTextColour = kKeepColour;
    u32 pressedBackColour = kKeepColour;
    u32 pressedTextColour = kKeepColour;
    u32 focusBackColour = kKeepColour;
    u32 focusTextColour = kKeepColour;
    u32 frameColour;
    // Null: the regular UI font.
    cFontObject* font = nullptr;
};

// Shows the menu with its top-left at the screen point (x, y) and returns the chosen
// id or -1. With a style it runs ShowPopupMenuStyled; without one it measures the
// entries in `element`'s regular UI font without pictures and shows them in the default
// colours. -1 without an element or font, when measuring fails, or for an empty map.
i32 ShowPopupMenu(cChildElement* element, const tPopupItems& items, i32 x, i32 y,
                  const sPopupStyle* style = nullptr);
// Measures with the style's font and image list and shows the menu at least
// style.minimumWidth wide.
i32 ShowPopupMenuStyled(cChildElement* element, const tPopupItems& items, i32 x, i32 y, const sPopupStyle& style);
// The size the entries need: (widest entry + 2, sum of the row heights + 3 per
// separator), where an entry's width is that of a button with its text and picture
// (cButtonChild::MeasureWidth). Measured through `element`'s window; false without an
// element, font or size, or when a text cannot be measured.
[[nodiscard]] bool MeasurePopupItems(cChildElement* element, const tPopupItems& items, const sImageList* imageList,
                                     sSize* size, const cFontObject* font);
// Shows the menu in a popup window of width x (height + 2) at (x, y), moved and cut to
// fit the screen: a popup passing the right edge moves left (to 0 when it is wider than
// the screen); one passing the bottom opens above the point when there is more room
// above (cut to that room), else it is cut to the room below. A -1 background, text or
// frame colour takes its theme default. -1 for an empty map or without a window.
i32 ShowPopupMenuAt(cChildElement* element, const tPopupItems& items, i32 x, i32 y, i32 width, i32 height,
                    const sPopupStyle& style);

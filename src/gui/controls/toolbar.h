#pragma once
// cToolBarChild: a row of push buttons addressed by id, laid out in ascending id order.
// A press of a button reaches the form as a cTbButtonAction (code 7) with the id; a
// left press on the bar between buttons posts a plain action with code 8.
//
// Overflow: when the buttons are wider than the bar, mode 1 keeps the buttons below the
// leading id limit and as many of the last ids as fit, mode 2 keeps the first ids that
// fit; the buttons between are hidden and an overflow button (theme image kImageOverflow) takes
// their place. It opens a popup menu of the hidden buttons that are enabled when it
// opens, and a choice is posted only if that button is still enabled by then. Mode 0
// never hides a button: the row may run past the right edge.
//
// Buttons get style 5 (flat until hovered), the bar's fill colour and picture layout 0
// with left-aligned captions; their width is their preferred width.
#include "base/keytree.h"
#include "base/types.h"
#include "gui/controls/popupmenu.h"
#include "gui/controls/pushbutton.h"
#include "gui/core/actions.h"
#include "gui/core/element.h"

#include <vector>

struct sImageList;

// Overflow modes.
enum : i32
{
    kOverflowNone = 0,
    kOverflowKeepEnds = 1,    // leading ids and the last ids that fit
    kOverflowKeepLeading = 2, // the first ids that fit
};

class cToolBarChild : public cChildElement
{
public:
    // Posted by the bar to itself for a press of one of its buttons.
    class cTbButtonAction : public cChildAction
    {
    public:
        enum : i32 { kCode = 7 };
        explicit cTbButtonAction(i32 id) : cChildAction(kCode), m_id(id) {}
        i32 GetId() const { return m_id; }

    private:
        i32 m_id;
    };
    // The code of the plain action a left press on the bar itself posts.
    enum : i32 { kBarPressCode = 8 };
    // The overflow menu is at most this high; a taller one scrolls.
    enum : i32 { kMenuHeightLimit = 200 };

    // Adds, changes or removes the button of `id` (MUST be 0 or more: the overflow
    // menu answers -1 for "none"; a negative id is refused with false).
    // - text null and picture id below 0: removes the button (false when there is none);
    // - a new id: the button gets the caption (null allowed) and the pictures of each
    //   state image list under the picture id; false when it cannot be made or
    //   OnButtonAdded refuses it;
    // - an existing id: a different non-null text replaces the caption, a different
    //   picture id takes that id's pictures; laid out only when something changed.
    bool SetButton(i32 id, const char16_t* text, i32 pictureId);
    bool RemoveButton(i32 id);
    // Removes every button; the overflow button and its menu go with them.
    void RemoveAllButtons(bool redraw);
    // False for an id without a button.
    bool EnableButton(i32 id, bool enable);
    // The pictures of button state `state` (0..4, others ignored) come from `list`
    // (borrowed) under each button's picture id.
    void SetStateImageList(i32 state, const sImageList* list);
    // One state's caption colour on every button.
    void SetButtonTextColour(i32 state, u32 colour);
    // Applies the focusable flag to every button; a button that held the focus when
    // the flag is cleared hands it to the bar (which takes it only when focusable).
    void SetButtonsFocusable(bool focusable);
    // Both lay out only when the buttons are wider than the bar.
    void SetOverflowMode(i32 mode);
    // Negative values count as 0.
    void SetLeadingIdLimit(i32 limit);
    // The sum of the buttons' preferred widths; forms size the bar with it.
    i32 GetTotalWidth();
    // Null for an id without a button.
    cButtonChild* GetButton(i32 id);
    cButtonChild* GetOverflowButton() { return &m_overflow; }
    // The overflow menu as it would open now: the buttons the last layout hid for want
    // of room that are enabled, ascending, each with its caption, picture id and the
    // bar's height as row height; `size` = (widest preferred width, sum of the rows).
    void BuildOverflowMenu(tPopupItems& items, sSize& size);

    // Makes the button object of a new id.
    virtual cButtonChild* CreateButton();
    // Called after a button was made and set up; false removes it again.
    virtual bool OnButtonAdded(i32 id, cButtonChild* button) { return true; }

    void ApplyStyle() override;
    void OnPaint(cCanvas& canvas) override;
    void OnResize() override;
    void OnMouseButton(i32 x, i32 y, i32 button, bool down) override;
    // Plain code-0 presses of the bar's buttons become cTbButtonAction (or, when that
    // cannot be allocated, a plain code-0 action of the bar); the overflow button's
    // press opens the overflow menu. Everything else passes on.
    bool OnAction(cChildElement* source, cChildAction* action) override;
    void SetTransparent(bool transparent) override;

private:
    struct sSlot
    {
        i32 id;
        cButtonChild* button;
        i32 width;
    };

    void Layout();
    void PlaceButtons(const std::vector<sSlot>& slots, size_t begin, size_t end, i64& x, i32 height);
    void TakePictures(cButtonChild* button, i32 pictureId);
    void PostButtonAction(i32 id);
    void ShowOverflowMenu();

    _keytree<i32, i32> m_pictureIds;
    _keytree<i32, cButtonChild*, eValueOwnership::Owned> m_buttons;
    const sImageList* m_stateLists[kButtonStateCount] = {};
    i32 m_leadingIdLimit = 0;
    i32 m_overflowMode = kOverflowNone;
    cButtonChild m_overflow;
    // The ids the last layout hid for want of room, ascending.
    std::vector<i32> m_overflowIds;
    // The bar height the buttons were last laid out for.
    i32 m_laidOutHeight = -1;
    bool m_buttonsFocusable = true;
    u32 m_fillColour = 0;
    u32 m_textColour = 0;
};

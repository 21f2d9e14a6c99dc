#pragma once
// cSISelectableElement: a text label that can be hovered and selected, the row of the
// tree view. While its selectable flag is set it takes the focus, and its shown colours
// follow its state (the frame always in the background colour):
//
//   state       colours (text / background)   becomes so when
//   selected    theme 9 / 16                  it gets the focus, or SetSelected
//   hovered     theme 4 / 15                  the pointer is over it (not selected)
//   normal      theme 4 / 14                  otherwise
//
// Actions it posts to itself (bubbling to its parent):
//   7 cSelectableSelectAction  the focus came from a mouse press (with the press's Ctrl
//                              and Shift), or SetSelected with notify (0, 0); never for
//                              a focus given by code, so a program's selection is no click
//   8 plain                    Enter or Space, or a double click
#include "base/types.h"
#include "gui/controls/statictext.h"
#include "gui/core/actions.h"

class cSISelectableElement : public cStaticElement
{
public:
    class cSelectableSelectAction : public cChildAction
    {
    public:
        enum : i32 { kCode = 7 };
        cSelectableSelectAction(bool ctrl, bool shift) : cChildAction(kCode), m_ctrl(ctrl), m_shift(shift) {}
        bool GetCtrl() const { return m_ctrl != 0; }
        bool GetShift() const { return m_shift != 0; }

    private:
        u8 m_ctrl;
        u8 m_shift;
    };
    enum : i32 { kActivateCode = 8 };

    // Only when not selected: selects and shows the selected colours; with notify posts
    // the select action (0, 0) and then takes the focus.
    void SetSelected(bool notify);
    bool IsSelected() const { return m_selected; }
    bool IsHovered() const { return m_hovered; }
    void SetSelectable(bool selectable);

    // The normal colours; shown at once only while neither hovered nor selected.
    void SetNormalTextColour(u32 colour);
    void SetNormalBackColour(u32 colour);
    u32 GetNormalTextColour() const { return m_normal.text; }
    u32 GetNormalBackColour() const { return m_normal.back; }
    // The element's own text colour, normal and hovered; selected text keeps the
    // selected-text colour, which is what stays legible on the selection's band.
    void SetOwnTextColour(u32 colour);

    void ApplyStyle() override;
    void OnHoverStart() override;
    void OnHoverEnd() override;
    void OnFocusGained(i32 kind, bool ctrl, bool shift) override;
    void OnFocusLost() override;
    bool OnKeyDown(i32 vk) override;
    void OnDoubleClick(i32 x, i32 y) override;
    bool DefaultFocusable() override { return m_selectable; }

private:
    struct sColours
    {
        u32 text = 0;
        u32 back = 0;
    };
    // Shows the colours of the current state.
    void ShowStateColours();
    void PostSelect(bool ctrl, bool shift);

    sColours m_normal;
    sColours m_hover;
    sColours m_selectedColours;
    bool m_selected = false;
    bool m_hovered = false;
    bool m_selectable = true;
};

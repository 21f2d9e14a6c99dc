#include "gui/controls/selectable.h"

#include "gui/core/keys.h"
#include "gui/core/theme.h"

#include <new>

namespace {

enum : i32
{
    kColourText = 4,
    kColourSelectedText = 9,
    kColourFill = 14,
    kColourHover = 15,
    kColourSelection = 16,
};

} // namespace

void cSISelectableElement::ApplyStyle()
{
    cStaticElement::ApplyStyle();
    const cCITheme* theme = GetTheme();
    m_normal = {theme->GetColour(kColourText), theme->GetColour(kColourFill)};
    m_hover = {theme->GetColour(kColourText), theme->GetColour(kColourHover)};
    m_selectedColours = {theme->GetColour(kColourSelectedText), theme->GetColour(kColourSelection)};
    ShowStateColours();
}

void cSISelectableElement::ShowStateColours()
{
    const sColours& shown = m_selected ? m_selectedColours : m_hovered ? m_hover : m_normal;
    SetColours(shown.text, shown.back, shown.back);
}

// A null action would reach the parent as a plain code 0: nothing is posted then.
void cSISelectableElement::PostSelect(bool ctrl, bool shift)
{
    if (auto* action = new (std::nothrow) cSelectableSelectAction(ctrl, shift)) {
        (void)PostAction(this, action);
    }
}

void cSISelectableElement::SetSelected(bool notify)
{
    if (m_selected) {
        return;
    }
    m_selected = true;
    ShowStateColours();
    if (notify) {
        PostSelect(false, false);
        Activate();
    }
}

void cSISelectableElement::SetSelectable(bool selectable)
{
    m_selectable = selectable;
    SetFocusable(selectable);
}

void cSISelectableElement::SetNormalTextColour(u32 colour)
{
    m_normal.text = colour;
    ShowStateColours();
}

void cSISelectableElement::SetNormalBackColour(u32 colour)
{
    m_normal.back = colour;
    ShowStateColours();
}

void cSISelectableElement::SetOwnTextColour(u32 colour)
{
    m_normal.text = colour;
    m_hover.text = colour;
    ShowStateColours();
}

void cSISelectableElement::OnHoverStart()
{
    if (m_selectable) {
        m_hovered = true;
        ShowStateColours();
    }
}

void cSISelectableElement::OnHoverEnd()
{
    if (m_selectable) {
        m_hovered = false;
        ShowStateColours();
    }
}

void cSISelectableElement::OnFocusGained(i32 kind, bool ctrl, bool shift)
{
    if (!m_selectable) {
        return;
    }
    m_selected = true;
    ShowStateColours();
    Invalidate(); // the icon is drawn again with the new background
    if (kind == kFocusByLeftPress || kind == kFocusByRightPress) {
        PostSelect(ctrl, shift);
    }
}

void cSISelectableElement::OnFocusLost()
{
    if (m_selectable) {
        m_selected = false;
        ShowStateColours();
    }
}

bool cSISelectableElement::OnKeyDown(i32 vk)
{
    if (m_selectable && (vk == kVkReturn || vk == kVkSpace)) {
        (void)PostCode(kActivateCode);
        return true;
    }
    return false;
}

void cSISelectableElement::OnDoubleClick(i32 x, i32 y)
{
    cStaticElement::OnDoubleClick(x, y);
    if (m_selectable) {
        (void)PostCode(kActivateCode);
    }
}

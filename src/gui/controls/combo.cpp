#include "gui/controls/combo.h"

#include "gui/core/actions.h"
#include "gui/core/canvas.h"
#include "gui/core/keys.h"
#include "gui/core/theme.h"

#include <algorithm>
#include <typeinfo>

namespace {

// The arrow button's width; the field takes the rest.
constexpr i32 kButtonWidth = 19;
// Theme: the field's disabled border.
constexpr i32 kDisabledBorderColour = 21;

} // namespace

cComboBoxChild::cComboBoxChild() = default;

cComboBoxChild::~cComboBoxChild() = default;

// --- entries ---------------------------------------------------------------------------------------

bool cComboBoxChild::SetItem(i32 index, const char16_t* text, u32 value, i32 iconId)
{
    if (index < 0) {
        return false;
    }
    sPopupItem* item = m_items.GetOrAdd(index);
    if (item == nullptr || !item->text.Assign(text)) {
        return false;
    }
    item->value = value;
    item->iconId = iconId;
    if (index == m_selected) {
        (void)m_field.SetTextN(item->text.Get(), -1);
    }
    return true;
}

u32 cComboBoxChild::GetItemValue(i32 index) const
{
    const sPopupItem* item = m_items.FindIntKeyValue(index);
    return item != nullptr ? item->value : 0;
}

bool cComboBoxChild::Select(i32 index, bool post)
{
    if (index < 0) {
        m_field.ClearText();
        m_selected = -1;
    } else {
        const sPopupItem* item = m_items.FindIntKeyValue(index);
        if (item == nullptr || !m_field.SetTextN(item->text.Get(), -1)) {
            return false;
        }
        m_selected = index;
    }
    if (post) {
        // A failed allocation posts a plain code-0 action instead.
        (void)PostAction(this, new (std::nothrow) cChildAction(kComboChanged));
    }
    return true;
}

void cComboBoxChild::Clear()
{
    m_field.ClearText();
    m_selected = -1;
    m_items.Clear();
}

void cComboBoxChild::SetEditable(bool editable)
{
    m_field.SetCursorKind(editable ? kCursorIBeam : kCursorArrow);
    m_field.SetReadOnly(!editable);
    m_field.SetSelectAllOnFocus(editable);
}

bool cComboBoxChild::DropDown()
{
    sSize measured;
    sPoint origin;
    if (!MeasurePopupItems(this, m_items, m_imageList, &measured, GetDefaultFont()) || !GetScreenOrigin(origin)) {
        return false;
    }
    sPopupStyle style;
    style.imageList = m_imageList;
    style.preselectedId = m_selected;
    const i32 chosen = ShowPopupMenuAt(this, m_items, origin.x, origin.y + GetHeight(), GetWidth(),
                                       std::min(measured.height, m_dropDownHeight), style);
    return chosen >= 0 && Select(chosen, true);
}

// --- keys ------------------------------------------------------------------------------------------

bool cComboBoxChild::IsListKey(i32 vk, bool shift, bool ctrl, bool alt)
{
    const bool plain = !shift && !ctrl && !alt;
    return ((vk == kVkUp || vk == kVkDown || vk == kVkF4) && plain) || (vk == kVkDown && alt && !shift && !ctrl);
}

void cComboBoxChild::OnListKey(i32 vk, bool alt)
{
    if (vk == kVkF4 || alt) {
        (void)DropDown();
        return;
    }
    if (m_selected < 0) {
        return;
    }
    const tPopupItems::cNode* node = m_items.Find(m_selected);
    if (node == nullptr) {
        (void)Select(-1, true);
        return;
    }
    const tPopupItems::cNode* next = vk == kVkUp ? tPopupItems::Prev(node) : tPopupItems::Next(node);
    if (next != nullptr) {
        (void)Select(next->GetKey(), true);
    }
}

bool cComboBoxChild::cComboField::KeyDown(i32 vk, bool shift, bool ctrl, bool alt)
{
    if (IsListKey(vk, shift, ctrl, alt) && m_owner->IsEnabledInTree()) {
        m_owner->OnListKey(vk, alt);
        return true;
    }
    return cEditChild::KeyDown(vk, shift, ctrl, alt);
}

bool cComboBoxChild::KeyDown(i32 vk, bool shift, bool ctrl, bool alt)
{
    if (IsEnabledInTree()) {
        if (IsListKey(vk, shift, ctrl, alt)) {
            OnListKey(vk, alt);
            return true;
        }
        // The field's Enter and Escape have become the combo's codes 7 and 8.
        if (vk == kVkReturn || vk == kVkEscape) {
            return true;
        }
    }
    return cChildElement::KeyDown(vk, shift, ctrl, alt);
}

// --- mouse, focus and actions ----------------------------------------------------------------------

void cComboBoxChild::MouseButton(i32 x, i32 y, i32 button, bool down, bool ctrl, bool shift)
{
    // A press whose capture was taken away (the combo disabled or hidden) is over.
    m_pressed = m_pressed && HasMouseCapture();
    if (button == kMouseLeft && m_field.IsReadOnly() && IsEnabledInTree() && (down || m_pressed)) {
        // The capture brings the release here wherever it happens, so a release outside
        // ends the press without opening the list.
        if (down) {
            m_pressed = true;
            CaptureMouse();
            return;
        }
        m_pressed = false;
        ReleaseMouse();
        if (ContainsPoint(x, y)) {
            (void)DropDown();
        }
        return;
    }
    cChildElement::MouseButton(x, y, button, down, ctrl, shift);
}

void cComboBoxChild::OnFocusGained(i32 kind, bool ctrl, bool shift)
{
    m_field.Activate();
}

bool cComboBoxChild::OnAction(cChildElement* source, cChildAction* action)
{
    const bool plain = typeid(*action) == typeid(cChildAction);
    if (plain && source == &m_button && action->GetCode() == 0) {
        (void)DropDown();
        return true;
    }
    if (plain && source == &m_field && (action->GetCode() == kComboChanged || action->GetCode() == kComboEscape)) {
        (void)PostAction(this, new (std::nothrow) cChildAction(action->GetCode()));
        return true;
    }
    return cChildElement::OnAction(source, action);
}

bool cComboBoxChild::OnDrawBackground(cCanvas& canvas, const sRect& rect)
{
    const i32 h = GetHeight();
    if (rect.y != 0 || rect.height != h) {
        return cChildElement::OnDrawBackground(canvas, rect);
    }
    // The canvas origin is the button's top-left: the frame's left edge falls outside.
    canvas.FillRect(-1, 0, rect.width + 1, h, m_field.GetBackColour(cEditChild::kEditNormal),
                    m_field.GetBorderColour(cEditChild::kEditNormal));
    return true;
}

void cComboBoxChild::ApplyStyle()
{
    cChildElement::ApplyStyle();
    m_selected = -1;
    m_imageList = nullptr;
    m_dropDownHeight = kDefaultDropDownHeight;
    m_pressed = false;
    SetMinSize(20, 19);
    SetMaxSize(0x7FFFFFFF, 38);
    (void)AddChildAt(&m_field, 0, 0, -(kButtonWidth + 1), -1);
    m_field.SetSelectableWhileReadOnly(false);
    m_field.SetBorderColour(cEditChild::kEditDisabled, GetTheme()->GetColour(kDisabledBorderColour));
    (void)AddChildAt(&m_button, -(kButtonWidth + 1), 0, kButtonWidth, -1);
    m_button.SetFocusable(false);
    m_button.SetTransparent(true);
    m_button.GetPictureRef(kButtonNormal).Set(GetTheme()->GetImage(kImageComboArrow));
    m_button.SetStyle(kStyleFramed, true);
}

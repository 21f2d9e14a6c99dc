#include "gui/controls/checkbox.h"

#include "gui/core/actions.h"
#include "gui/core/keys.h"
#include "gui/core/theme.h"

void cCheckBoxChild::SetChecked(bool checked, bool post)
{
    const u8 state = checked ? 1 : 0;
    if (state == m_checked) {
        return;
    }
    m_checked = state;
    OnCheckChanged();
    if (post) {
        (void)PostAction(this, nullptr);
    }
}

const cPicture* cCheckBoxChild::GetCheckedPicture()
{
    return GetTheme()->GetImage(kImageCheckOn);
}

const cPicture* cCheckBoxChild::GetUncheckedPicture()
{
    return GetTheme()->GetImage(kImageCheckOff);
}

const cPicture* cCheckBoxChild::GetCheckedFocusedPicture()
{
    return GetTheme()->GetImage(kImageCheckFocusedOn);
}

const cPicture* cCheckBoxChild::GetUncheckedFocusedPicture()
{
    return GetTheme()->GetImage(kImageCheckFocusedOff);
}

const cPicture* cCheckBoxChild::GetCheckedDisabledPicture()
{
    return GetTheme()->GetImage(kImageCheckDisabledOn);
}

const cPicture* cCheckBoxChild::GetUncheckedDisabledPicture()
{
    return GetTheme()->GetImage(kImageCheckDisabledOff);
}

const cPicture* cCheckBoxChild::ChoosePicture()
{
    const bool checked = IsChecked();
    if (!IsEnabledInTree()) {
        return checked ? GetCheckedDisabledPicture() : GetUncheckedDisabledPicture();
    }
    if (HasFocus()) {
        return checked ? GetCheckedFocusedPicture() : GetUncheckedFocusedPicture();
    }
    return checked ? GetCheckedPicture() : GetUncheckedPicture();
}

void cCheckBoxChild::OnCheckChanged()
{
    SetIcon(ChoosePicture(), true);
}

void cCheckBoxChild::ApplyStyle()
{
    cStaticElement::ApplyStyle();
    m_checked = 0;
    OnCheckChanged();
}

void cCheckBoxChild::OnPaint(cCanvas& canvas)
{
    SetIcon(ChoosePicture(), false);
    cStaticElement::OnPaint(canvas);
}

void cCheckBoxChild::Toggle()
{
    m_checked = m_checked != 0 ? 0 : 1;
    OnCheckChanged();
    (void)PostAction(this, nullptr);
}

void cCheckBoxChild::OnMouseButton(i32 x, i32 y, i32 button, bool down)
{
    // Input reaches disabled elements too: a disabled option must not change.
    if (button == kMouseLeft && !down && IsEnabledInTree() && ContainsPoint(x, y)) {
        Toggle();
    }
}

bool cCheckBoxChild::OnKeyDown(i32 vk)
{
    if (vk != kVkSpace || !IsEnabledInTree()) {
        return false;
    }
    Toggle();
    return true;
}

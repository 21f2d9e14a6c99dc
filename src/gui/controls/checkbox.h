#pragma once
// cCheckBoxChild: a label whose icon shows a check mark (the theme's check box images).
//
// Behaviour, only while the box and its ancestors are enabled:
//   left release inside   toggles, shows the new picture, posts a plain code-0 action
//   Space                 the same; the key is consumed (other keys pass on)
//   left press            nothing (the core's focus by click shows the focused picture)
// SetChecked with the current state neither redraws nor posts. Attaching resets the
// state to unchecked, so callers set it after attaching.
#include "base/types.h"
#include "gui/controls/statictext.h"

class cPicture;

class cCheckBoxChild : public cStaticElement
{
public:
    // Only a change is stored (non-zero = checked), shown and, with `post`, posted.
    void SetChecked(bool checked, bool post);
    bool IsChecked() const { return m_checked != 0; }

    // Chooses the picture for the state: disabled (the box or an ancestor), else
    // focused, else plain; sets it as the icon, redrawing on a change.
    virtual void OnCheckChanged();
    virtual const cPicture* GetCheckedPicture();
    virtual const cPicture* GetUncheckedPicture();
    virtual const cPicture* GetCheckedFocusedPicture();
    virtual const cPicture* GetUncheckedFocusedPicture();
    virtual const cPicture* GetCheckedDisabledPicture();
    virtual const cPicture* GetUncheckedDisabledPicture();

    void ApplyStyle() override;
    // Only the element whose own flag changed hears of it, so a box inside a disabled
    // panel chooses its picture again here.
    void OnPaint(cCanvas& canvas) override;
    void OnMouseButton(i32 x, i32 y, i32 button, bool down) override;
    bool OnKeyDown(i32 vk) override;
    void OnEnabledChanged() override { OnCheckChanged(); }
    void OnGotFocus() override { OnCheckChanged(); }
    void OnFocusLost() override { OnCheckChanged(); }
    bool DefaultFocusCapable() override { return true; }
    bool DefaultFocusable() override { return true; }

private:
    const cPicture* ChoosePicture();
    void Toggle();

    u8 m_checked = 0;
};

#pragma once
// cCustomForm: the base of every form. A form is the root of a modal window; its widgets
// go on the embedded client panel, and button bars sit on the form itself below it.
//
// Layout (theme metrics m): the client panel lies at (5, T) with size (W - 10, H - T - B),
// where T = 2 x m3 + m5 leaves room for a toolbar in the frame above it and B = m7 + m8
// for the button bar below; it follows every resize.
//
// Keys reaching the form unhandled: Tab and Shift+Tab move the focus in tree order,
// Enter calls OnOK (end code 1), Escape OnCancel (end code 0).
#include "base/types.h"
#include "gui/core/actions.h"
#include "gui/core/element.h"
#include "gui/core/panel.h"

class cCustomForm : public cChildElement
{
public:
    // Posted by a form to itself once created (code 7). Widgets number their own codes
    // from 7 as well, so the form answers only its own action of this type.
    class cFormCreatedAction : public cChildAction
    {
    public:
        enum : i32 { kCode = 7 };
        cFormCreatedAction() : cChildAction(kCode) {}
    };

    cPanelChild* GetClientPanel() { return &m_clientPanel; }

    // Attaches the client panel and posts the created action.
    void OnCreate() override;
    // Fills the form with theme colour 0.
    void OnPaint(cCanvas& canvas) override;
    // The created action gives the focus to the first focusable element unless one has
    // it already.
    bool OnAction(cChildElement* source, cChildAction* action) override;
    bool KeyDown(i32 vk, bool shift, bool ctrl, bool alt) override;

    virtual void OnOK() { EndModal(1); }
    virtual void OnCancel() { EndModal(0); }
    // Asked when the user closes the window; true lets OnCancel run.
    virtual bool CanCloseSelf() { return true; }

private:
    void MoveFocusInTabOrder(bool backwards);

    cPanelChild m_clientPanel;
};

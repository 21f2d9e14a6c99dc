#pragma once
// cNewFolderNameReqForm: the small modal form that asks for the name of a new folder.
// The choosers create the folder and report clashes themselves; the form only collects
// a non-empty name, exactly as typed (no trimming, no check of the characters). Its
// texts come from the language section "ciom::filechoose".
#include "base/texts.h"
#include "base/types.h"
#include "gui/controls/edit.h"
#include "gui/controls/toolbar.h"
#include "gui/core/form.h"
#include "gui/core/imagelist.h"

class cNewFolderNameReqForm : public cCustomForm
{
public:
    // The caller's text: preset into the box when not empty, and the name on OK.
    void SetResult(_guardchar<char16_t>* result) { m_result = result; }

    const char* GetFormId() override { return "ciom::filechoose"; }
    void ApplyStyle() override;
    void OnCreate() override;
    // Button 1 of the bar is OnOK, button 2 OnCancel; every action then also goes to the
    // form base.
    bool OnAction(cChildElement* source, cChildAction* action) override;
    // A non-empty box ends the run with 1 and its text in the result; an empty one
    // takes the focus again and the form stays open.
    void OnOK() override;

private:
    // The bar's pictures live as long as the form (and outlive the bar): a list kept
    // past the application would point at pictures of a theme that is gone.
    sImageList m_images;
    cEditChild m_nameBox;
    cToolBarChild m_buttonBar;
    _guardchar<char16_t>* m_result = nullptr;
};

// Runs `form` (null: a new one; a given form belongs to the call on every path) over
// `parent`, titled "Enter new folder name", client 250 x 100. True only when the run
// ended with OK: a run that could not be shown (-1) is no confirmed name. False for a
// null parent or result.
bool RequestNewFolderName(cChildElement* parent, _guardchar<char16_t>* result, cNewFolderNameReqForm* form = nullptr);

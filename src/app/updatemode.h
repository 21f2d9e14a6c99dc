#pragma once
// The program's "update" mode: checks one installed product for a newer version and
// either shows the update form or tells the outcome in a message box over a small
// "Waiting for response..." form (so the box always has an owner window).
#include "base/types.h"
#include "gui/controls/statictext.h"
#include "gui/core/form.h"

// Message kinds of RunUpdateResultMessage.
enum : i32
{
    kUpdateMessageNotice = 1,  // ShowWarningMessage (its caption reads "Information")
    kUpdateMessageError = 2,   // ShowErrorMessage
    kUpdateMessageWarning = 3, // ShowInfoMessage
    kUpdateMessageConfirm = 4, // AskConfirmation: 1 for the first button
};

class cWLMsgForm : public cCustomForm
{
public:
    // The message is the form's own text (SetText).
    explicit cWLMsgForm(i32 kind) : m_kind(kind) {}

    const char* GetFormId() override { return "pkgm::resp"; }
    // The label, then a plain action to itself that opens the message box once the form
    // is up.
    void OnCreate() override;
    // That action shows the box of the kind and ends the run with its answer; a kind
    // outside 1..4 ends it with 0 at once.
    bool OnAction(cChildElement* source, cChildAction* action) override;

private:
    cStaticElement m_label;
    i32 m_kind;
};

// Runs a cWLMsgForm with `kind` and `text` (caption text 0 of "pkgm::resp", client
// 350 x 110, centred on the screen) and returns its end code; 0 without a window when
// the language has no "pkgm::resp" section.
i32 RunUpdateResultMessage(i32 kind, const char16_t* text);

// The mode: 1 for a QEL_UPDATE_BASE_URL that is not an https origin (refused before
// anything else, without a message box), a code name that is empty or holds '/', a
// product without a recorded version and a failed check; 0 otherwise (no newer version,
// or the update form was shown whatever it answered). Each failure also puts one line on
// standard error (updatereport.h). `quiet` suppresses the outcome messages, not the
// update form and not those lines.
i32 RunUpdateMode(const char16_t* codename, bool quiet);

#pragma once
// The stock message box: an icon, a bold first line, further plain lines and one or two
// buttons at the bottom right, run as a nested modal dialog over any element of a
// running form. Its texts come from the language section "ciom::messages".
//
// Results: the dialog ends with 1 for "Ok", "Yes" or Enter and with 0 for "No" or
// Escape. MessageBox and the Show... wrappers answer true for any non-zero end, which
// includes -1, a run that could not be shown at all; the Ask... wrappers answer true
// only for a real "Yes", so that an unshown question never counts as consent.
#include "base/types.h"
#include "gui/controls/statictext.h"
#include "gui/controls/toolbar.h"
#include "gui/core/form.h"

#include <memory>
#include <vector>

// Icon kinds.
enum : i32
{
    kMessageInformation = 0,
    kMessageQuestion = 1,
    kMessageWarning = 2,
    kMessageError = 3,
};

// Button kinds.
enum : i32
{
    kMessageOk = 0,    // one button, "Ok"
    kMessageYesNo = 1, // "Yes" and "No"
};

class cMessageForm : public cCustomForm
{
public:
    // One line of the message and the label that shows it.
    struct cStrTokenItem
    {
        _guardchar<char16_t> text;
        cStaticElement label;
        i32 width = 0; // measured, with the icon's room for the lines beside it
    };

    cMessageForm(i32 iconKind, i32 buttonKind) : m_iconKind(iconKind), m_buttonKind(buttonKind) {}

    // Cuts `text` into lines at line feeds (an empty line is a line, a final line feed
    // adds none) and measures them through `parent`'s window: the first line in the
    // bold font plus 37 for the icon, the others in the regular font. A line wider than
    // the screen allows (screen width - 30, beside the icon - 37 more) is wrapped at
    // spaces, else between characters, into further lines. When the lines would make the
    // window taller than the screen, those that do not fit give way to a last line
    // "...". False when memory is short.
    bool SetMessage(cChildElement* parent, const char16_t* text);
    // The client size the lines need: (widest + 30, 115 + trunc(1.5 x (lines - 1) x
    // line height)), 105 high without lines. The window opens at least as wide as the
    // buttons and the icon column need (OnCreate).
    sSize GetDialogSize() const;

    const char* GetFormId() override { return "ciom::messages"; }
    // Fills the message image list on first use: 0 and 1 the button pictures (theme
    // images kImageOk, kImageCancel), 10 + icon kind the icons (kImageInformation on).
    void ApplyStyle() override;
    void OnCreate() override;
    // The toolbar's button 1 is OnOK, button 2 OnCancel.
    bool OnAction(cChildElement* source, cChildAction* action) override;

private:
    // The client height for `count` lines.
    i32 HeightFor(size_t count) const;
    // Appends a line of `text` measured in `font`, `indent` to the right.
    bool AddLine(cChildElement* parent, const cFontObject* font, const std::u16string& text, i32 indent);
    // Keeps the window within `screenHeight`: the lines past those that fit become "...".
    bool FitHeight(cChildElement* parent, const cFontObject* font, i32 screenHeight);

    cStaticElement m_iconLabel;
    cToolBarChild m_toolbar;
    std::vector<std::unique_ptr<cStrTokenItem>> m_lines;
    i32 m_iconKind;
    i32 m_buttonKind;
    size_t m_boldLines = 0; // the first line and the pieces it wrapped into
    i32 m_lineWidth = 0;
    i32 m_lineHeight = 0;
};

// Shows `text` (lines separated by line feeds) under `caption`, or, when that is null,
// under the "ciom::messages" text of `captionIndex`, with an icon kind and a button
// kind. False at once for a null parent or text; otherwise true for any non-zero end
// of the run.
bool MessageBox(cChildElement* parent, const char16_t* text, const char16_t* caption, i32 captionIndex,
                i32 iconKind, i32 buttonKind);

// The Show... names look swapped against their captions: ShowWarningMessage shows
// "Information" with the information icon and ShowInfoMessage "Warning" with the warning
// icon. They stay so: callers are written against these captions (a "no update is
// required" notice goes through ShowWarningMessage and must read "Information").
bool ShowWarningMessage(cChildElement* parent, const char16_t* text, const char16_t* caption);
bool ShowInfoMessage(cChildElement* parent, const char16_t* text, const char16_t* caption);
bool ShowErrorMessage(cChildElement* parent, const char16_t* text, const char16_t* caption);
// "Confirm" with "Yes" and "No" and the question icon (AskQuestion) or the warning icon
// (AskConfirmation); true only when "Yes" ended the box.
bool AskQuestion(cChildElement* parent, const char16_t* text, const char16_t* caption);
bool AskConfirmation(cChildElement* parent, const char16_t* text, const char16_t* caption);

#include "gui/controls/messagebox.h"

#include "gui/core/font.h"
#include "gui/core/imagelist.h"
#include "gui/core/theme.h"

#include <algorithm>
#include <new>

namespace {

// Image ids of the message image list: the button pictures and, from 10 on, the icon of
// each icon kind.
constexpr i32 kOkPicture = 0;
constexpr i32 kCancelPicture = 1;
constexpr i32 kFirstIcon = 10;
constexpr i32 kIconKinds = 4;
// Room the icon takes left of the first line.
constexpr i32 kIconRoom = 37;

// Strings of "ciom::messages".
enum : i32
{
    kTextOk = 0,
    kTextYes = 1,
    kTextNo = 2,
    kTextInformation = 3,
    kTextWarning = 4,
    kTextError = 5,
    kTextConfirm = 6,
};

// Filled once and kept for the whole program, like the theme images it points at.
sImageList& MessageImages()
{
    static sImageList images;
    return images;
}

// The raw end code: 1 "Ok"/"Yes", 0 "No"/Escape, -1 when no window could show it; 0 for
// a null parent or text and when memory is short.
i32 RunMessageBox(cChildElement* parent, const char16_t* text, const char16_t* caption, i32 captionIndex,
                  i32 iconKind, i32 buttonKind)
{
    if (parent == nullptr || text == nullptr) {
        return 0;
    }
    cMessageForm* form = new (std::nothrow) cMessageForm(iconKind, buttonKind);
    if (form == nullptr) {
        return 0;
    }
    if (!form->SetMessage(parent, text)) {
        delete form;
        return 0;
    }
    if (caption == nullptr) {
        caption = cChildElement::GetLangStringVia(form, parent, captionIndex);
    }
    const sSize size = form->GetDialogSize();
    return parent->RunModal(caption, size.width, size.height, form, false);
}

} // namespace

// --- the form ----------------------------------------------------------------------------------

bool cMessageForm::SetMessage(cChildElement* parent, const char16_t* text)
{
    // The form has no window yet: its lines are measured through the parent's.
    const cFontObject* regular = parent->GetFont(5, 13, GetUiFontName(), false, false, false);
    const cFontObject* bold = parent->GetFont(6, 13, GetUiFontName(), true, false, false);
    const char16_t* start = text;
    while (*start != 0) {
        const char16_t* end = start;
        while (*end != 0 && *end != u'\n') {
            ++end;
        }
        std::unique_ptr<cStrTokenItem> line(new (std::nothrow) cStrTokenItem);
        if (line == nullptr || !line->text.AssignN(start, size_t(end - start))) {
            return false;
        }
        const bool first = m_lines.empty();
        sSize size;
        if (parent->MeasureText(line->text.GetOrEmpty(), size, first ? bold : regular)) {
            m_lineWidth = std::max(m_lineWidth, size.width + (first ? kIconRoom : 0));
            m_lineHeight = std::max(m_lineHeight, size.height);
        }
        m_lines.push_back(std::move(line));
        start = *end != 0 ? end + 1 : end;
    }
    return true;
}

sSize cMessageForm::GetDialogSize() const
{
    if (m_lines.empty()) {
        return {m_lineWidth + 30, 105};
    }
    return {m_lineWidth + 30, 115 + i32(1.5 * f64(m_lines.size() - 1) * m_lineHeight)};
}

void cMessageForm::ApplyStyle()
{
    cCustomForm::ApplyStyle();
    sImageList& images = MessageImages();
    if (images.Get(kOkPicture) == nullptr) {
        const cCITheme* theme = GetTheme();
        images.Set(kOkPicture, theme->GetImage(77));
        images.Set(kCancelPicture, theme->GetImage(78));
        for (i32 kind = 0; kind < kIconKinds; ++kind) {
            images.Set(kFirstIcon + kind, theme->GetImage(73 + kind));
        }
    }
}

void cMessageForm::OnCreate()
{
    cCustomForm::OnCreate();
    const cCITheme* theme = GetTheme();
    const u32 back = theme->GetColour(0);
    cPanelChild* panel = GetClientPanel();
    const i32 panelWidth = panel->GetWidth();
    const i32 lineStep = i32(1.5 * m_lineHeight);
    i32 y = 42;
    for (size_t index = 0; index < m_lines.size(); ++index) {
        cStaticElement& label = m_lines[index]->label;
        if (index == 0) {
            panel->AttachChild(&label, 42, (29 - m_lineHeight) / 2, panelWidth - 47, m_lineHeight + 2);
            label.SetTextColour(theme->GetColour(61));
            label.SetFont(GetBoldFont());
        } else {
            panel->AttachChild(&label, 5, y, panelWidth - 10, m_lineHeight + 2);
            y += lineStep;
        }
        label.SetBackColour(back);
        label.SetFrameColour(back);
        (void)label.SetText(m_lines[index]->text.Get(), 0u, false);
    }

    // The button bar sits on the form, below the client panel, at the bottom right.
    const i32 barHeight = theme->GetMetric(7);
    AttachChild(&m_toolbar, 0, 0, 0, barHeight);
    m_toolbar.SetTransparent(true);
    m_toolbar.SetStateImageList(kButtonNormal, &MessageImages());
    if (m_buttonKind == kMessageOk) {
        (void)m_toolbar.SetButton(1, GetLangString(kTextOk), kOkPicture);
    } else if (m_buttonKind == kMessageYesNo) {
        (void)m_toolbar.SetButton(1, GetLangString(kTextYes), kOkPicture);
        (void)m_toolbar.SetButton(2, GetLangString(kTextNo), kCancelPicture);
    }
    const i32 barWidth = m_toolbar.GetTotalWidth();
    AddChildAt(&m_toolbar, -(theme->GetMetric(9) + barWidth), -1 - theme->GetMetric(8) - barHeight, barWidth,
               barHeight);

    panel->AttachChild(&m_iconLabel, 5, 0, 33, 29);
    m_iconLabel.SetIcon(MessageImages().Get(kFirstIcon + m_iconKind), false);
    m_iconLabel.SetBackColour(back);
    m_iconLabel.SetFrameColour(back);
}

bool cMessageForm::OnAction(cChildElement* source, cChildAction* action)
{
    if (source == &m_toolbar) {
        if (auto* press = dynamic_cast<cToolBarChild::cTbButtonAction*>(action)) {
            if (press->GetId() == 1) {
                OnOK();
                return true;
            }
            if (press->GetId() == 2) {
                OnCancel();
                return true;
            }
        }
    }
    return cCustomForm::OnAction(source, action);
}

// --- the runners ---------------------------------------------------------------------------------

bool MessageBox(cChildElement* parent, const char16_t* text, const char16_t* caption, i32 captionIndex,
                i32 iconKind, i32 buttonKind)
{
    if (parent == nullptr || text == nullptr) {
        return false;
    }
    return RunMessageBox(parent, text, caption, captionIndex, iconKind, buttonKind) != 0;
}

bool ShowWarningMessage(cChildElement* parent, const char16_t* text, const char16_t* caption)
{
    return MessageBox(parent, text, caption, kTextInformation, kMessageInformation, kMessageOk);
}

bool ShowInfoMessage(cChildElement* parent, const char16_t* text, const char16_t* caption)
{
    return MessageBox(parent, text, caption, kTextWarning, kMessageWarning, kMessageOk);
}

bool ShowErrorMessage(cChildElement* parent, const char16_t* text, const char16_t* caption)
{
    return MessageBox(parent, text, caption, kTextError, kMessageError, kMessageOk);
}

bool AskQuestion(cChildElement* parent, const char16_t* text, const char16_t* caption)
{
    return RunMessageBox(parent, text, caption, kTextConfirm, kMessageQuestion, kMessageYesNo) == 1;
}

bool AskConfirmation(cChildElement* parent, const char16_t* text, const char16_t* caption)
{
    return RunMessageBox(parent, text, caption, kTextConfirm, kMessageWarning, kMessageYesNo) == 1;
}

#include "gui/dialogs/newfolderform.h"

#include "gui/core/theme.h"

#include <new>

namespace {

// Texts of "ciom::filechoose".
enum : i32
{
    kTextCue = 0,
    kTextAccept = 1,
    kTextCancel = 2,
    kTextTitle = 3,
};

enum : i32
{
    kAcceptButton = 1,
    kCancelButton = 2,
    kAcceptPicture = 0,
    kCancelPicture = 1,
};

} // namespace

void cNewFolderNameReqForm::ApplyStyle()
{
    cCustomForm::ApplyStyle();
    const cCITheme* theme = GetTheme();
    m_images.Set(kAcceptPicture, theme->GetImage(kImageOk));
    m_images.Set(kCancelPicture, theme->GetImage(kImageCancel));
}

void cNewFolderNameReqForm::OnCreate()
{
    cCustomForm::OnCreate();
    GetClientPanel()->AddChildAt(&m_nameBox, 5, 0, -11, 20);
    (void)m_nameBox.SetCueText(GetLangString(kTextCue));
    if (m_result != nullptr && !m_result->IsEmpty()) {
        (void)m_nameBox.SetTextN(m_result->Get(), -1);
    }
    m_nameBox.Activate();

    // The button bar as the message box places it: bottom right inside the frame.
    const cCITheme* theme = GetTheme();
    AttachChild(&m_buttonBar, 0, 0, 1, 24);
    m_buttonBar.SetTransparent(true);
    m_buttonBar.SetStateImageList(kButtonNormal, &m_images);
    (void)m_buttonBar.SetButton(kAcceptButton, GetLangString(kTextAccept), kAcceptPicture);
    (void)m_buttonBar.SetButton(kCancelButton, GetLangString(kTextCancel), kCancelPicture);
    const i32 barWidth = m_buttonBar.GetTotalWidth();
    const i32 barHeight = theme->GetMetric(7);
    AddChildAt(&m_buttonBar, -(theme->GetMetric(9) + barWidth), -1 - theme->GetMetric(8) - barHeight, barWidth,
               barHeight);
}

bool cNewFolderNameReqForm::OnAction(cChildElement* source, cChildAction* action)
{
    if (source == &m_buttonBar) {
        if (auto* press = dynamic_cast<cToolBarChild::cTbButtonAction*>(action)) {
            if (press->GetId() == kAcceptButton) {
                OnOK();
            } else if (press->GetId() == kCancelButton) {
                OnCancel();
            }
        }
    }
    return cCustomForm::OnAction(source, action);
}

void cNewFolderNameReqForm::OnOK()
{
    const char16_t* text = m_nameBox.GetText();
    if (text == nullptr || *text == 0) {
        m_nameBox.Activate();
        return;
    }
    if (m_result != nullptr && !m_result->Assign(text)) {
        return;
    }
    EndModal(1);
}

bool RequestNewFolderName(cChildElement* parent, _guardchar<char16_t>* result, cNewFolderNameReqForm* form)
{
    if (parent == nullptr || result == nullptr) {
        delete form;
        return false;
    }
    if (form == nullptr) {
        form = new (std::nothrow) cNewFolderNameReqForm;
        if (form == nullptr) {
            return false;
        }
    }
    form->SetResult(result);
    const char16_t* title = cChildElement::GetLangStringVia(form, parent, kTextTitle);
    return parent->RunModal(title, 250, 100, form, false) == 1;
}

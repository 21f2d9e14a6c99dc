#pragma once
// cSoftUpdateInfoForm: the window that tells the user that a newer version exists, shows
// its release notes and, on "Install", downloads the new installer to a file the user
// chooses and starts it. Texts from "pkgm::updi".
//
// Layout (client panel 490 x 384 in the 500 x 450 window): the header label at
// (10, 0, 470, 45), the release notes at (10, 50, 470, 234), the two links at y 294 and
// 314, and the "Install" and "Not now" buttons on the form itself at (245, 418) and
// (375, 418), 115 x 25 each.
//
// Install downloads into a hidden temporary file beside the chosen path and renames it
// over that path only when the download is complete, so a failed or stopped download
// never touches an existing file and leaves nothing behind. The installer is given mode
// 0775 and started; the form ends with 1 only then and stays open after any failure,
// which it also reports on standard error (updatereport.h). A chosen path that is, by
// the time the download is complete, neither a regular file nor a symbolic link (a
// device, a FIFO, a folder) is left as it is, with the "cannot create" message; a link is
// replaced, never followed.
// The links come from the network: they only ever go to the desktop's handler.
#include "gui/controls/propdisp.h"
#include "gui/controls/pushbutton.h"
#include "gui/controls/statictext.h"
#include "gui/core/form.h"
#include "net/update/updatecheck.h"

class cSoftUpdateInfoForm : public cCustomForm
{
public:
    // Disables an element for its own life.
    class cLockGuard
    {
      public:
        explicit cLockGuard(cChildElement* element) : m_element(element) { m_element->Disable(); }
        ~cLockGuard() { m_element->Enable(); }
        cLockGuard(const cLockGuard&) = delete;
        cLockGuard& operator=(const cLockGuard&) = delete;

      private:
        cChildElement* m_element;
    };

    // `record` is borrowed and MUST outlive the form.
    explicit cSoftUpdateInfoForm(const sUpdateInfo* record) : m_record(record) {}

    const char* GetFormId() override { return "pkgm::updi"; }
    void OnCreate() override;
    bool OnAction(cChildElement* source, cChildAction* action) override;
    // Enter: Install.
    void OnOK() override { OnInstall(); }
    void OnCancel() override { EndModal(0); }
    void OnInstall();

private:
    // Hands a link to the desktop's handler; an error message when that fails.
    void OpenLink(const char16_t* address);

    cStaticElement m_headerLabel;
    cPropDispAreaChild m_notes;
    cLinkElement m_webSiteLink;
    cLinkElement m_downloadLink;
    cButtonChild m_installButton;
    cButtonChild m_notNowButton;
    const sUpdateInfo* m_record;
};

// Runs the form over `record` modally (caption text 0, client 500 x 450, not resizable),
// under `parent`'s window or, without one, centred on the screen. True only when the
// installer was started.
bool ShowUpdateInfoForm(const sUpdateInfo* record, cChildElement* parent);

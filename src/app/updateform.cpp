#include "app/updateform.h"

#include "app/downloadform.h"
#include "app/installerchooser.h"
#include "base/config.h"
#include "base/fileio.h"
#include "base/format.h"
#include "base/paths.h"
#include "base/utf.h"
#include "gui/core/application.h"
#include "gui/core/theme.h"
#include "gui/core/windowmaker.h"
#include "gui/dialogs/messagebox.h"
#include "net/update/installerpath.h"
#include "net/update/updatereport.h"
#include "system/access.h"
#include "system/shellopen.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

namespace {

// Texts of "pkgm::updi".
enum : i32
{
    kTextCaption = 0,
    kTextHeader = 1,
    kTextNotesHeader = 2,
    kTextInstall = 3,
    kTextNotNow = 4,
    kTextSaveTitle = 5,
    kTextAllFiles = 6,
    kTextCannotCreate = 7,
    kTextRetry = 8,
    kTextCannotStart = 9,
    kTextWebSite = 10,
    kTextDownloadLink = 11,
    kTextOverwrite = 12,
    kTextDownloading = 13,
    kTextServerError = 14,
    kTextWriteFailed = 15,
};

constexpr i32 kFormWidth = 500;
constexpr i32 kFormHeight = 450;
constexpr u32 kHeaderTextColour = 0x734D32;
constexpr u32 kWhite = 0xFFFFFF;
constexpr u32 kNotesFrameColour = 0xE4E0DC;
constexpr u32 kLinkColour = 0xC98C2F;
constexpr i32 kNotesSpacing = 10;
constexpr i32 kNotesLineStep = 14;
constexpr char kInstallerFolderKey[] = "installer/temp";
// Owner and group everything, others read and execute: mode 0775.
constexpr i32 kRightsAll = 7;
constexpr i32 kRightsReadExecute = 5;

// `format` with its "%s" conversions filled by `argument`, in a string as long as it
// needs (a fixed buffer would cut long product names and versions).
_guardchar<char16_t> FormatWithText(const char16_t* format, const char16_t* argument)
{
    _guardchar<char16_t> out;
    if (format == nullptr) {
        return out;
    }
    const size_t formatLength = WideLength(format);
    const size_t argumentLength = WideLength(argument);
    size_t conversions = 0;
    for (size_t i = 0; i < formatLength; ++i) {
        conversions += format[i] == u'%' ? 1 : 0;
    }
    const size_t capacity = formatLength + conversions * argumentLength + 1;
    char16_t* buffer = out.Allocate(capacity);
    if (buffer != nullptr) {
        out.Truncate(FormatWide(buffer, capacity + 1, format, argument));
    }
    return out;
}

constexpr char kStageSave[] = "cannot save the installer";
constexpr char kStageDownload[] = "download failed";

// Why the chosen path cannot take the installer; errno MUST still tell why the last step
// failed.
std::string SaveFailureText(const cInstallerPath& target)
{
    const int error = errno;
    return target.IsReplaceable() ? std::strerror(error) : "not a regular file";
}

} // namespace

void cSoftUpdateInfoForm::OnCreate()
{
    cCustomForm::OnCreate();
    cPanelChild* panel = GetClientPanel();
    const char16_t* empty = u"";

    panel->AddChildAt(&m_headerLabel, 10, 0, -21, 45);
    const char16_t* face = GetTheme()->GetFontFace();
    m_headerLabel.SetFont(GetFont(8, 20, face != nullptr ? face : u"Tahoma", false, false, false));
    m_headerLabel.SetColours(kHeaderTextColour, kWhite, kWhite);
    m_headerLabel.SetTextMode(kTextWrapped);
    const char16_t* productName =
        m_record != nullptr ? m_record->m_productName.GetOrEmpty() : empty;
    const _guardchar<char16_t> header = FormatWithText(GetLangString(kTextHeader), productName);
    (void)m_headerLabel.SetText(header.GetOrEmpty());

    panel->AddChildAt(&m_notes, 10, 50, -21, -151);
    m_notes.SetColours(kNotesFrameColour, kWhite, kHeaderTextColour);
    m_notes.SetSpacing(kNotesSpacing);
    const char16_t* version = m_record != nullptr ? m_record->m_newVersion.GetOrEmpty() : empty;
    const _guardchar<char16_t> notesHeader =
        FormatWithText(GetLangString(kTextNotesHeader), version);
    (void)m_notes.SetTexts(notesHeader.Get(),
                           m_record != nullptr ? m_record->m_releaseNotes.Get() : nullptr);
    m_notes.SetLineSteps(0, kNotesLineStep);

    cFontObject* linkFont = GetFont(6, 14, nullptr, true, true, false);
    const struct
    {
        cLinkElement* link;
        i32 y;
        i32 text;
    } links[] = {{&m_webSiteLink, -91, kTextWebSite}, {&m_downloadLink, -71, kTextDownloadLink}};
    for (const auto& entry : links) {
        panel->AddChildAt(entry.link, 10, entry.y, -21, 20);
        entry.link->SetTextColour(kLinkColour);
        entry.link->SetFont(linkFont);
        (void)entry.link->SetText(GetLangString(entry.text));
    }

    AddChildAt(&m_installButton, -256, -33, 115, 25);
    (void)m_installButton.SetCaption(GetLangString(kTextInstall));
    AddChildAt(&m_notNowButton, -126, -33, 115, 25);
    (void)m_notNowButton.SetCaption(GetLangString(kTextNotNow));
}

bool cSoftUpdateInfoForm::OnAction(cChildElement* source, cChildAction* action)
{
    if (source == &m_notes) {
        if (auto* resize = dynamic_cast<cPropDispAreaChild::cPropDispResizeAction*>(action)) {
            m_notes.SetContentHeight(resize->GetHeight());
            return true;
        }
    }
    if (action->GetCode() == 0 && m_record != nullptr) {
        if (source == &m_installButton) {
            OnInstall();
            return true;
        }
        if (source == &m_notNowButton) {
            EndModal(0);
            return true;
        }
        if (source == &m_webSiteLink) {
            OpenLink(m_record->m_webSiteAddress.Get());
            return true;
        }
        if (source == &m_downloadLink) {
            OpenLink(m_record->m_downloadAddress.Get());
            return true;
        }
    }
    return cCustomForm::OnAction(source, action);
}

void cSoftUpdateInfoForm::OpenLink(const char16_t* address)
{
    // Without a desktop handler (no xdg-open) or for a refused address nothing would
    // show at all: the form says so as for a failed start.
    if (!ShellOpenLink(address)) {
        (void)ShowErrorMessage(this, GetLangString(kTextCannotStart), nullptr);
    }
}

void cSoftUpdateInfoForm::OnInstall()
{
    if (m_record == nullptr) {
        return;
    }
    cLockGuard lock(&m_installButton);
    const char16_t* address = m_record->m_downloadAddress.GetOrEmpty();
    const char16_t* slash = nullptr;
    for (const char16_t* unit = address; *unit != 0; ++unit) {
        slash = *unit == u'/' ? unit : slash;
    }
    if (slash == nullptr) {
        ReportUpdateFailure(kStageDownload, "no file name in the address",
                            ReportText(address).c_str());
        return;
    }

    cApplicationConfig* config =
        GetApplication() != nullptr ? GetApplication()->GetConfig() : nullptr;
    _guardchar<char16_t> startFolder;
    if (config != nullptr && !config->GetString(kInstallerFolderKey, startFolder)) {
        startFolder.Clear();
    }
    _guardchar<char16_t> path;
    if (!ChooseInstallerPath(this, GetLangString(kTextSaveTitle), slash + 1, startFolder.Get(),
                             GetLangString(kTextAllFiles), path)) {
        return;
    }
    cInstallerPath target;
    const std::string shownPath = ReportText(path.GetOrEmpty());
    if (!target.SetChosenPath(path.GetOrEmpty())) {
        ReportUpdateFailure(kStageSave, "not a usable path", shownPath.c_str());
        (void)ShowErrorMessage(this, GetLangString(kTextCannotCreate), nullptr);
        return;
    }
    if (config != nullptr && config->SetString(kInstallerFolderKey, target.GetFolder())) {
        // A store that cannot be written costs only the remembered folder.
        (void)config->Save();
    }
    if (GetPathKind(target.GetPath()) != kPathMissing &&
        !AskConfirmation(this, GetLangString(kTextOverwrite), nullptr)) {
        return;
    }
    cFileIO file;
    if (!target.CreateTemporary(file)) {
        ReportUpdateFailure(kStageSave, std::strerror(errno), shownPath.c_str());
        (void)ShowErrorMessage(this, GetLangString(kTextCannotCreate), nullptr);
        return;
    }
    const std::string shownAddress = ReportText(address);
    for (;;) {
        std::string reason;
        auto* downloader = new (std::nothrow) cUpdateDownloadForm(&file, address, &reason);
        const i32 result = RunProgressForm(this, downloader, GetLangString(kTextDownloading));
        if (result == cUpdateDownloader::kResultIncomplete) {
            if (!AskQuestion(this, GetLangString(kTextRetry), nullptr)) {
                ReportUpdateFailure(kStageDownload, reason, shownAddress.c_str());
                return;
            }
            if (!file.SetSize(0) || !file.Seek(0)) {
                ReportUpdateFailure(kStageSave, std::strerror(errno), shownPath.c_str());
                (void)ShowErrorMessage(this, GetLangString(kTextWriteFailed), nullptr);
                return;
            }
            continue;
        }
        if (result == cUpdateDownloader::kResultServerError) {
            ReportUpdateFailure(kStageDownload, reason, shownAddress.c_str());
            (void)ShowErrorMessage(this, GetLangString(kTextServerError), nullptr);
        } else if (result == cUpdateDownloader::kResultWriteFailed) {
            ReportUpdateFailure(kStageDownload, reason, shownPath.c_str());
            (void)ShowErrorMessage(this, GetLangString(kTextWriteFailed), nullptr);
        } else if (result == cUpdateDownloader::kResultComplete) {
            if (!target.Commit(file)) {
                ReportUpdateFailure(kStageSave, SaveFailureText(target), shownPath.c_str());
                (void)ShowErrorMessage(this, GetLangString(kTextCannotCreate), nullptr);
            } else {
                // Without the execute bit the start below fails and says so.
                (void)GrantAccess(target.GetPath(), kRightsAll, kRightsAll, kRightsReadExecute);
                if (ShellOpen(target.GetPath())) {
                    EndModal(1);
                } else {
                    ReportUpdateFailure("cannot start the installer", "the system did not start it",
                                        shownPath.c_str());
                    (void)ShowErrorMessage(this, GetLangString(kTextCannotStart), nullptr);
                }
            }
        } else if (result != cUpdateDownloader::kResultStopped) {
            // 1 and 11: no message of their own.
            ReportUpdateFailure(kStageDownload, reason, shownAddress.c_str());
        }
        return;
    }
}

bool ShowUpdateInfoForm(const sUpdateInfo* record, cChildElement* parent)
{
    auto* form = new (std::nothrow) cSoftUpdateInfoForm(record);
    if (form == nullptr) {
        return false;
    }
    const char16_t* title = cChildElement::GetLangStringVia(form, parent, kTextCaption);
    i32 result = -1;
    if (parent != nullptr) {
        result = parent->RunModal(title, kFormWidth, kFormHeight, form, false);
    } else if (cWindowMaker* maker = GetWindowMaker()) {
        result = maker->RunModalOver(title, kFormWidth, kFormHeight, form, nullptr, false);
    } else {
        delete form;
    }
    return result == 1;
}

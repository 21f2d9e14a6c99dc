#include "app/updatemode.h"

#include "app/updateform.h"
#include "base/config.h"
#include "base/utf.h"
#include "gui/core/actions.h"
#include "gui/core/application.h"
#include "gui/core/lang.h"
#include "gui/core/windowmaker.h"
#include "gui/dialogs/messagebox.h"
#include "net/update/updateanswer.h"
#include "net/update/updatecheck.h"
#include "net/update/updatehosts.h"
#include "net/update/updatereport.h"
#include "net/update/updateurl.h"

#include <cstdlib>
#include <new>
#include <string>
#include <typeinfo>

namespace {

// Texts of "pkgm::updr".
enum : i32
{
    kTextInvalidId = 0,
    kTextCheckFailed = 1,
    kTextNotRequired = 2,
};

// Texts of "pkgm::resp".
enum : i32
{
    kTextResponseCaption = 0,
    kTextWaiting = 1,
};

constexpr i32 kResponseWidth = 350;
constexpr i32 kResponseHeight = 110;
constexpr u32 kWaitingTextColour = 0x655654;
constexpr u32 kWhite = 0xFFFFFF;

// Tells the outcome unless quiet or the language has no texts for it; returns `result`.
i32 Tell(bool quiet, i32 kind, i32 text, i32 result)
{
    const cLangSection* texts = FindLangSection("pkgm::updr");
    if (!quiet && texts != nullptr) {
        (void)RunUpdateResultMessage(kind, texts->GetString(text));
    }
    return result;
}

} // namespace

void cWLMsgForm::OnCreate()
{
    cCustomForm::OnCreate();
    GetClientPanel()->AttachChild(&m_label, 0, 0, 340, 16);
    (void)m_label.SetText(GetLangString(kTextWaiting));
    m_label.SetColours(kWaitingTextColour, kWhite, kWhite);
    (void)PostAction(this, nullptr);
}

bool cWLMsgForm::OnAction(cChildElement* source, cChildAction* action)
{
    if (source != this || typeid(*action) != typeid(cChildAction) || action->GetCode() != 0) {
        return cCustomForm::OnAction(source, action);
    }
    const char16_t* text = GetText();
    i32 result = 0;
    switch (m_kind) {
    case kUpdateMessageNotice:
        (void)ShowWarningMessage(this, text, nullptr);
        break;
    case kUpdateMessageError:
        (void)ShowErrorMessage(this, text, nullptr);
        break;
    case kUpdateMessageWarning:
        (void)ShowInfoMessage(this, text, nullptr);
        break;
    case kUpdateMessageConfirm:
        result = AskConfirmation(this, text, nullptr) ? 1 : 0;
        break;
    default:
        break;
    }
    EndModal(result);
    return true;
}

i32 RunUpdateResultMessage(i32 kind, const char16_t* text)
{
    const cLangSection* texts = FindLangSection("pkgm::resp");
    cWindowMaker* maker = GetWindowMaker();
    if (texts == nullptr || maker == nullptr) {
        return 0;
    }
    auto* form = new (std::nothrow) cWLMsgForm(kind);
    if (form == nullptr) {
        return 0;
    }
    if (!form->SetText(text)) {
        delete form;
        return 0;
    }
    return maker->RunModalOver(texts->GetString(kTextResponseCaption), kResponseWidth,
                               kResponseHeight, form, nullptr, false);
}

i32 RunUpdateMode(const char16_t* codename, bool quiet)
{
    const char* base = std::getenv(kUpdateBaseUrlVariable);
    if (base != nullptr && !IsUsableUpdateBaseUrl(base)) {
        ReportUpdateFailure(kUpdateBaseUrlVariable, "not an https://host[:port] origin", base);
        return 1;
    }
    const std::string package = "unknown package '" + ReportText(codename) + "'";
    _guardchar<char> code;
    bool validName = codename != nullptr && *codename != 0 && WideToUtf8String(codename, -1, code);
    for (const char16_t* unit = codename; validName && *unit != 0; ++unit) {
        validName = *unit != u'/';
    }
    if (!validName) {
        ReportUpdateFailure(package.c_str(), "the code name is empty or holds '/'");
        return Tell(quiet, kUpdateMessageError, kTextInvalidId, 1);
    }
    cApplicationConfig* config =
        GetApplication() != nullptr ? GetApplication()->GetConfig() : nullptr;
    const std::string key = std::string("install/") + code.Get();
    i64 installed = 0;
    if (config == nullptr || !config->GetInt64((key + "/ver").c_str(), installed)) {
        ReportUpdateFailure(package.c_str(), "no " + key + "/ver in the configuration store");
        return Tell(quiet, kUpdateMessageError, kTextInvalidId, 1);
    }
    sUpdateInfo record;
    if (!config->GetString((key + "/name").c_str(), record.m_productName)) {
        record.m_productName.Clear();
    }
    u64 version = 0;
    sExchangeFailure failure;
    if (!CheckForUpdate(code.Get(), version, record.m_downloadAddress, record.m_webSiteAddress,
                        record.m_releaseNotes, &failure)) {
        _guardchar<char> url;
        (void)BuildUpdateUrl(code.Get(), url);
        ReportUpdateFailure("update check failed", DescribeExchangeFailure(failure),
                            url.Get());
        return Tell(quiet, kUpdateMessageError, kTextCheckFailed, 1);
    }
    if (version <= u64(installed)) {
        return Tell(quiet, kUpdateMessageNotice, kTextNotRequired, 0);
    }
    record.m_newVersion = FormatVersion(version);
    (void)ShowUpdateInfoForm(&record, nullptr);
    return 0;
}

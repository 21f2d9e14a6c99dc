#include "gui/core/lang.h"

#include "gui/core/application.h"

#include <new>

namespace {

struct sBuiltinSection
{
    const char* formId;
    const char16_t* const* texts;
    i32 count;
};

const char16_t* const kMessages[] = {
    u"Ok", u"Yes", u"No", u"Information", u"Warning", u"Error", u"Confirm",
};

const char16_t* const kProgress[] = {
    u"Stop",
    u"Starting...",
    u"%s progress: %.01f%%. Time consumed: %02d:%02d:%02d. Estimated time left: %02d:%02d:%02d.",
    u"Operation",
    u"%s is in progress; elapsed time: %02d:%02d:%02d.",
    u"Pause",
    u"Resume",
};

const char16_t* const kEdit[] = {
    u"Copy (Ctrl+C)", u"Cut (Ctrl+X)", u"Paste (Ctrl+V)", u"Delete (Del)", u"Select all (Ctrl+A)",
};

// Shared by the folder and the file chooser.
const char16_t kFileExists[] = u"File already exists.\nCurrent folder already contains file with this name.";
const char16_t kCannotCreateFolder[] =
    u"Unable to create directory.\nPlease check new directory name and current directory permissions.";
const char16_t kSpecialExists[] =
    u"Special object already exists.\nCurrent folder already contains special object with this name.";

const char16_t* const kFolderChoose[] = {
    u"Computer",
    kFileExists,
    u"Folder already exists.\nIf you can not see this folder, this means it is hidden.",
    kCannotCreateFolder,
    kSpecialExists,
    u"New folder",
    u"Select",
    u"Cancel",
};

const char16_t* const kFileChoose[] = {
    u"Enter new folder name here",
    u"Accept",
    u"Cancel",
    u"Enter new folder name",
    u"Home",
    u"Places",
    u"New folder",
    u"Name",
    u"Date",
    u"Type",
    u"Size",
    u"File name:",
    u"All files",
    u"Save",
    u"Open",
    u"Save here",
    u"File folder",
    u"File",
    u"File system",
    kFileExists,
    u"Folder already exists.\nDo you want to go to this folder?",
    kCannotCreateFolder,
    kSpecialExists,
    u"filter",
    u"Custom",
};

const char16_t* const kUpdateInfo[] = {
    u"Software Package Update",
    u"New version of %s is available",
    u"What is new in version %s release:",
    u"Install",
    u"Not now",
    u"Save update file as...",
    u"All files",
    u"Unable to create the target file!",
    u"Do you want to retry downloading this file?\nFile was not downloaded successfully.",
    // One text, split over two lines (the parentheses tell the compiler so).
    (u"For some reasons the software is unable to start update installation.\nIt's recommended to install "
     u"the software manually using a software installer from the web site."),
    u"Open software web site",
    u"Download installer using web browser",
    u"Do you want to overwrite the existing file?",
    u"Downloading file...",
    u"Server of Updates returned an error.\nPlease, try downloading this utdate later.",
    u"Unable to write data to the file!\nPlease, check if the target location has enough free storage space.",
};

const char16_t* const kUpdateResult[] = {
    u"Specified invalid Software Package ID!",
    u"Unable to get update information from the Update Server!",
    u"Update for this software is not required.",
};

const char16_t* const kResponse[] = {
    u"Software manager",
    u"Waiting for response...",
};

template <size_t N>
constexpr sBuiltinSection Section(const char* formId, const char16_t* const (&texts)[N])
{
    return {formId, texts, i32(N)};
}

const sBuiltinSection kBuiltinSections[] = {
    Section("ciom::messages", kMessages),       Section("ciom::progress", kProgress),
    Section("ciom::edit", kEdit),               Section("ciom::folderchoose", kFolderChoose),
    Section("ciom::filechoose", kFileChoose),   Section("pkgm::updi", kUpdateInfo),
    Section("pkgm::updr", kUpdateResult),       Section("pkgm::resp", kResponse),
};

} // namespace

const char16_t* cLangSection::GetString(i32 index) const
{
    if (index < 0 || index >= GetCount()) {
        return nullptr;
    }
    return m_texts[size_t(index)].GetOrEmpty();
}

bool cLangSection::SetString(i32 index, const char16_t* text)
{
    if (index < 0) {
        return false;
    }
    if (index >= GetCount()) {
        try {
            m_texts.resize(size_t(index) + 1);
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    return m_texts[size_t(index)].Assign(text);
}

const cLangSection* cLangTable::FindSection(const char* formId) const
{
    sPackedKey key;
    if (formId == nullptr || !key.InitFromBytes(formId)) {
        return nullptr;
    }
    auto found = m_sections.find(key);
    return found != m_sections.end() ? found->second.get() : nullptr;
}

cLangSection* cLangTable::AddSection(const char* formId)
{
    sPackedKey key;
    if (formId == nullptr || !key.InitFromBytes(formId)) {
        return nullptr;
    }
    try {
        std::unique_ptr<cLangSection>& slot = m_sections[std::move(key)];
        if (slot == nullptr) {
            slot = std::make_unique<cLangSection>();
        }
        return slot.get();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::unique_ptr<cLangTable> CreateBuiltinLangTable()
{
    std::unique_ptr<cLangTable> table(new (std::nothrow) cLangTable);
    if (table == nullptr) {
        return nullptr;
    }
    for (const sBuiltinSection& builtin : kBuiltinSections) {
        cLangSection* section = table->AddSection(builtin.formId);
        if (section == nullptr) {
            return nullptr;
        }
        for (i32 index = 0; index < builtin.count; ++index) {
            if (!section->SetString(index, builtin.texts[index])) {
                return nullptr;
            }
        }
    }
    return table;
}

const cLangSection* FindLangSection(const char* formId)
{
    cCIApplication* application = GetApplication();
    const cLangTable* table = application != nullptr ? application->GetLanguage() : nullptr;
    return table != nullptr ? table->FindSection(formId) : nullptr;
}

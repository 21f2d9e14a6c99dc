// The built-in English sections, compared with the texts as the forms' own tables give
// them, and the lookups through the element tree.
#include "gui/core/lang.h"
#include "guitestfixture.h"

#include <string>

namespace {

struct sExpected
{
    const char* formId;
    std::vector<std::u16string> texts;
};

const std::vector<sExpected>& ExpectedSections()
{
    static const std::vector<sExpected> sections = {
        {"ciom::messages", {u"Ok", u"Yes", u"No", u"Information", u"Warning", u"Error", u"Confirm"}},
        {"ciom::progress",
         {u"Stop", u"Starting...",
          u"%s progress: %.01f%%. Time consumed: %02d:%02d:%02d. Estimated time left: %02d:%02d:%02d.",
          u"Operation", u"%s is in progress; elapsed time: %02d:%02d:%02d.", u"Pause", u"Resume"}},
        {"ciom::edit", {u"Copy (Ctrl+C)", u"Cut (Ctrl+X)", u"Paste (Ctrl+V)", u"Delete (Del)", u"Select all (Ctrl+A)"}},
        {"ciom::folderchoose",
         {u"Computer", u"File already exists.\nCurrent folder already contains file with this name.",
          u"Folder already exists.\nIf you can not see this folder, this means it is hidden.",
          u"Unable to create directory.\nPlease check new directory name and current directory permissions.",
          u"Special object already exists.\nCurrent folder already contains special object with this name.",
          u"New folder", u"Select", u"Cancel"}},
        {"ciom::filechoose",
         {u"Enter new folder name here",
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
          u"File already exists.\nCurrent folder already contains file with this name.",
          u"Folder already exists.\nDo you want to go to this folder?",
          u"Unable to create directory.\nPlease check new directory name and current directory permissions.",
          u"Special object already exists.\nCurrent folder already contains special object with this name.",
          u"filter",
          u"Custom"}},
        {"pkgm::updi",
         {u"Software Package Update", u"New version of %s is available", u"What is new in version %s release:",
          u"Install", u"Not now", u"Save update file as...", u"All files", u"Unable to create the target file!",
          u"Do you want to retry downloading this file?\nFile was not downloaded successfully.",
          u"For some reasons the software is unable to start update installation.\nIt's recommended to install the "
          u"software manually using a software installer from the web site.",
          u"Open software web site", u"Download installer using web browser",
          u"Do you want to overwrite the existing file?", u"Downloading file...",
          u"Server of Updates returned an error.\nPlease, try downloading this utdate later.",
          u"Unable to write data to the file!\nPlease, check if the target location has enough free storage "
          u"space."}},
        {"pkgm::updr",
         {u"Specified invalid Software Package ID!", u"Unable to get update information from the Update Server!",
          u"Update for this software is not required."}},
        {"pkgm::resp", {u"Software manager", u"Waiting for response..."}},
    };
    return sections;
}

TEST(LangTable, BuiltinSectionsHoldEveryTextAsTheFormsUseIt)
{
    std::unique_ptr<cLangTable> table = CreateBuiltinLangTable();
    ASSERT_NE(table, nullptr);
    for (const sExpected& expected : ExpectedSections()) {
        const cLangSection* section = table->FindSection(expected.formId);
        ASSERT_NE(section, nullptr) << expected.formId;
        ASSERT_EQ(section->GetCount(), i32(expected.texts.size())) << expected.formId;
        for (size_t index = 0; index < expected.texts.size(); ++index) {
            ASSERT_NE(section->GetString(i32(index)), nullptr);
            EXPECT_EQ(std::u16string(section->GetString(i32(index))), expected.texts[index])
                << expected.formId << " " << index;
        }
        EXPECT_EQ(section->GetString(-1), nullptr);
        EXPECT_EQ(section->GetString(section->GetCount()), nullptr);
    }
    // Ids are whole keys: neither a prefix nor a longer id matches.
    EXPECT_EQ(table->FindSection("ciom::edi"), nullptr);
    EXPECT_EQ(table->FindSection("ciom::editx"), nullptr);
    EXPECT_EQ(table->FindSection("pkgm::iini"), nullptr);
    EXPECT_EQ(table->FindSection(nullptr), nullptr);
}

class cFormWithId : public cChildElement
{
public:
    explicit cFormWithId(const char* id) : m_id(id) {}
    const char* GetFormId() override { return m_id; }

private:
    const char* m_id;
};

class LangLookup : public qeltest::cGuiTest
{
};

TEST_F(LangLookup, ElementsUseTheNearestFormIdUpTheTree)
{
    cFormWithId form("ciom::messages");
    cFormWithId edit("ciom::edit");
    cChildElement panel;
    cChildElement label;
    cChildElement field;
    form.AttachChild(&panel, 0, 0, 10, 10);
    panel.AttachChild(&label, 0, 0, 1, 1);
    panel.AttachChild(&edit, 0, 0, 1, 1);
    edit.AttachChild(&field, 0, 0, 1, 1);

    EXPECT_EQ(std::u16string(label.GetLangString(1)), u"Yes");
    EXPECT_EQ(std::u16string(field.GetLangString(4)), u"Select all (Ctrl+A)");
    EXPECT_EQ(label.GetLangString(7), nullptr);
    cChildElement orphan;
    EXPECT_EQ(orphan.GetLangString(0), nullptr);
    cFormWithId unknown("pkgm::nowhere");
    EXPECT_EQ(unknown.GetLangString(0), nullptr);

    cFormWithId progress("ciom::progress");
    EXPECT_EQ(std::u16string(cChildElement::GetLangStringVia(&progress, &label, 3)), u"Operation");
    EXPECT_EQ(cChildElement::GetLangStringVia(nullptr, &label, 3), nullptr);

    application.reset();
    EXPECT_EQ(label.GetLangString(1), nullptr);
}

} // namespace

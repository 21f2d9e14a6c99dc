// The built-in English sections and the lookups through the element tree.
#include "gui/core/lang.h"
#include "gui/guitest.h"

#include <string>

namespace {

// Every section the forms use is there, without gaps, and ids are whole keys. The texts
// themselves are what the goldens and the forms' own tests show.
TEST(LangTable, BuiltinSectionsAreWholeAndFoundByTheirWholeId)
{
    std::unique_ptr<cLangTable> table = CreateBuiltinLangTable();
    ASSERT_NE(table, nullptr);
    for (const char* formId : {"ciom::messages", "ciom::progress", "ciom::edit", "ciom::folderchoose",
                               "ciom::filechoose", "pkgm::updi", "pkgm::updr", "pkgm::resp"}) {
        const cLangSection* section = table->FindSection(formId);
        ASSERT_NE(section, nullptr) << formId;
        ASSERT_GT(section->GetCount(), 0) << formId;
        for (i32 index = 0; index < section->GetCount(); ++index) {
            ASSERT_NE(section->GetString(index), nullptr) << formId << " " << index;
            EXPECT_NE(section->GetString(index)[0], 0) << formId << " " << index;
        }
        EXPECT_EQ(section->GetString(-1), nullptr);
        EXPECT_EQ(section->GetString(section->GetCount()), nullptr);
    }
    EXPECT_EQ(table->FindSection("ciom::edi"), nullptr);
    EXPECT_EQ(table->FindSection("ciom::editx"), nullptr);
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

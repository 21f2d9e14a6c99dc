#pragma once
// Language tables: for each form id ("ciom::messages", "pkgm::updi", ...) a section of
// texts by index. The running application holds the table of the active language; the
// toolkit ships the English texts of its own forms and of the update forms.
#include "base/packedkey.h"
#include "base/texts.h"
#include "base/types.h"

#include <map>
#include <memory>
#include <vector>

class cLangSection
{
public:
    // Null for an index the section does not hold.
    const char16_t* GetString(i32 index) const;
    i32 GetCount() const { return i32(m_texts.size()); }
    // Stores the text of `index` (0 or more), growing the section; false when memory is
    // short or the index is negative.
    bool SetString(i32 index, const char16_t* text);

private:
    std::vector<_guardchar<char16_t>> m_texts;
};

class cLangTable
{
public:
    cLangTable() = default;
    cLangTable(const cLangTable&) = delete;
    cLangTable& operator=(const cLangTable&) = delete;

    // Looked up by the packed key of the id's bytes; null when the table has no such
    // section.
    const cLangSection* FindSection(const char* formId) const;
    // The section of `formId`, added empty when absent; null when memory is short.
    cLangSection* AddSection(const char* formId);

private:
    struct sKeyOrder
    {
        bool operator()(const sPackedKey& a, const sPackedKey& b) const { return a.Compare(b) < 0; }
    };
    std::map<sPackedKey, std::unique_ptr<cLangSection>, sKeyOrder> m_sections;
};

// A table holding the built-in English sections; null when memory is short.
std::unique_ptr<cLangTable> CreateBuiltinLangTable();

// The section of the running application's active language; null without an
// application or when the language has no such section.
const cLangSection* FindLangSection(const char* formId);

#include "platform/fontfallback.h"

#include <fontconfig/fontconfig.h>
#include <hb.h>

cFallbackFaces::cFallbackFaces(FT_Library library, std::string family, bool bold, bool italic, FT_F26Dot6 emX,
                               FT_F26Dot6 emY)
    : m_library(library), m_family(std::move(family)), m_bold(bold), m_italic(italic), m_emX(emX), m_emY(emY)
{
}

cFallbackFaces::~cFallbackFaces()
{
    for (auto& [name, face] : m_open) {
        if (face != nullptr) {
            FT_Done_Face(face);
        }
    }
}

FT_Face cFallbackFaces::Find(char32_t codePoint)
{
    const unsigned script = hb_unicode_script(hb_unicode_funcs_get_default(), codePoint);
    std::vector<FT_Face>& known = m_byScript[script];
    for (FT_Face face : known) {
        if (FT_Get_Char_Index(face, codePoint) != 0) {
            return face;
        }
    }
    FT_Face found = Sort(codePoint);
    if (found != nullptr) {
        known.push_back(found);
    }
    return found;
}

FT_Face cFallbackFaces::Sort(char32_t codePoint)
{
    FcPattern* pattern = FcPatternCreate();
    FcCharSet* wanted = FcCharSetCreate();
    FT_Face found = nullptr;
    if (pattern != nullptr && wanted != nullptr && FcCharSetAddChar(wanted, codePoint)) {
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(m_family.c_str()));
        FcPatternAddInteger(pattern, FC_WEIGHT, m_bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
        FcPatternAddInteger(pattern, FC_SLANT, m_italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        FcPatternAddCharSet(pattern, FC_CHARSET, wanted);
        FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcFontSet* sorted = FcFontSort(nullptr, pattern, FcTrue, nullptr, &result);
        for (int i = 0; sorted != nullptr && found == nullptr && i < sorted->nfont; ++i) {
            FcCharSet* has = nullptr;
            FcChar8* file = nullptr;
            int index = 0;
            if (FcPatternGetCharSet(sorted->fonts[i], FC_CHARSET, 0, &has) != FcResultMatch ||
                !FcCharSetHasChar(has, codePoint) ||
                FcPatternGetString(sorted->fonts[i], FC_FILE, 0, &file) != FcResultMatch) {
                continue;
            }
            FcPatternGetInteger(sorted->fonts[i], FC_INDEX, 0, &index);
            FT_Face face = Open(reinterpret_cast<const char*>(file), index);
            if (face != nullptr && FT_Get_Char_Index(face, codePoint) != 0) {
                found = face;
            }
        }
        if (sorted != nullptr) {
            FcFontSetDestroy(sorted);
        }
    }
    if (wanted != nullptr) {
        FcCharSetDestroy(wanted);
    }
    if (pattern != nullptr) {
        FcPatternDestroy(pattern);
    }
    return found;
}

FT_Face cFallbackFaces::Open(const std::string& file, int index)
{
    auto [slot, added] = m_open.try_emplace({file, index}, nullptr);
    if (!added) {
        return slot->second;
    }
    FT_Face face = nullptr;
    if (FT_New_Face(m_library, file.c_str(), index, &face) != 0) {
        return nullptr;
    }
    // Bitmap-only faces cannot be sized to the primary's em.
    if (!FT_IS_SCALABLE(face) || FT_Set_Char_Size(face, m_emX, m_emY, 72, 72) != 0) {
        FT_Done_Face(face);
        return nullptr;
    }
    slot->second = face;
    return face;
}

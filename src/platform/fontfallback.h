#pragma once
// Per-character font fallback, as a desktop's text drawing does it: a character the
// chosen face lacks is drawn with the installed face fontconfig sorts first for it
// (FcFontSort over the chosen family and style with the character's charset). The faces
// found are kept per script, so the next character of the same script usually needs no
// new sort.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class cFallbackFaces
{
public:
    // Faces are opened from `library` and sized to the primary face's em (26.6 pixels).
    cFallbackFaces(FT_Library library, std::string family, bool bold, bool italic, FT_F26Dot6 emX, FT_F26Dot6 emY);
    ~cFallbackFaces();
    cFallbackFaces(const cFallbackFaces&) = delete;
    cFallbackFaces& operator=(const cFallbackFaces&) = delete;

    // A sized face that has `codePoint`; null when no installed font has it. The caller
    // MUST serialise calls (its face's lock); faces live as long as this object.
    FT_Face Find(char32_t codePoint);

private:
    FT_Face Sort(char32_t codePoint);
    FT_Face Open(const std::string& file, int index);

    FT_Library m_library;
    std::string m_family;
    bool m_bold;
    bool m_italic;
    FT_F26Dot6 m_emX;
    FT_F26Dot6 m_emY;
    std::unordered_map<unsigned, std::vector<FT_Face>> m_byScript;
    std::map<std::pair<std::string, int>, FT_Face> m_open;
};

#include "platform/freetypefont.h"

#include "base/utf.h"
#include "platform/fontfallback.h"
#include "platform/textlayout.h"
#include "platform/textshaper.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <map>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace {

// One glyph as rendered: the image handed to the canvas and the mask it points into.
struct sStoredGlyph
{
    sGlyphImage image;
    std::vector<u8> mask;
};

class cFreeTypeFace final : public cFontFace, private cShapingSource
{
public:
    cFreeTypeFace(FT_Face face, bool emboldenOutline, bool shearOutline, const sFontMetrics& metrics,
                  std::unique_ptr<cFallbackFaces> fallback)
        : m_face(face), m_embolden(emboldenOutline), m_shear(shearOutline), m_metrics(metrics),
          m_fallback(std::move(fallback))
    {
        for (auto& slot : m_latin) {
            slot.store(nullptr, std::memory_order_relaxed);
        }
    }
    ~cFreeTypeFace() override
    {
        m_shaper.reset();
        m_fallback.reset();
        FT_Done_Face(m_face);
    }

    const sFontMetrics& GetMetrics() const override { return m_metrics; }

    const sGlyphImage* GetGlyph(char32_t codePoint) override
    {
        // Latin text is looked up without the lock: the slot is published once, after
        // its glyph is complete, and glyphs are never freed while the face lives.
        if (codePoint < m_latin.size()) {
            const sGlyphImage* ready = m_latin[codePoint].load(std::memory_order_acquire);
            if (ready != nullptr) {
                return ready;
            }
        }
        std::lock_guard guard(m_lock);
        auto found = m_glyphs.find(codePoint);
        if (found == m_glyphs.end()) {
            FT_Face face = FaceFor(codePoint);
            found = m_glyphs.emplace(codePoint, GlyphAt(face, FT_Get_Char_Index(face, codePoint))).first;
        }
        const sGlyphImage* image = found->second;
        if (codePoint < m_latin.size()) {
            m_latin[codePoint].store(image, std::memory_order_release);
        }
        return image;
    }

    std::shared_ptr<const sShapedText> Shape(const char16_t* text, i32 length) override
    {
        std::lock_guard guard(m_lock);
        return m_shaper->Shape(text, length, *this);
    }

private:
    // Index 0 is a face's missing glyph (.notdef): a character the face lacks is drawn
    // from the face fontconfig sorts first for it, and the box stays only when no
    // installed font has the character.
    FT_Face FaceFor(char32_t codePoint) override
    {
        if (FT_Get_Char_Index(m_face, codePoint) != 0 || IsLayoutControl(codePoint) || m_fallback == nullptr) {
            return m_face;
        }
        FT_Face other = m_fallback->Find(codePoint);
        return other != nullptr ? other : m_face;
    }

    const sGlyphImage* GlyphAt(FT_Face face, FT_UInt index) override
    {
        auto [slot, added] = m_rendered.try_emplace({face, index});
        if (added) {
            slot->second = Render(face, index);
        }
        return &slot->second.image;
    }

    sStoredGlyph Render(FT_Face face, FT_UInt index)
    {
        sStoredGlyph stored;
        stored.image.glyphIndex = index;
        if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0) {
            return stored;
        }
        FT_GlyphSlot slot = face->glyph;
        if (m_shear && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
            FT_Matrix shear = {0x10000, 0x3333, 0, 0x10000}; // x += 0.2 y (16.16)
            FT_Outline_Transform(&slot->outline, &shear);
        }
        if (m_embolden) {
            FT_GlyphSlot_Embolden(slot); // also widens the advance
        }
        stored.image.advance = i32((slot->advance.x + 32) >> 6);
        if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) {
            return stored;
        }
        const FT_Bitmap& bitmap = slot->bitmap;
        if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY || bitmap.width == 0 || bitmap.rows == 0) {
            return stored;
        }
        stored.mask.resize(size_t(bitmap.width) * bitmap.rows);
        for (unsigned row = 0; row < bitmap.rows; ++row) {
            const unsigned char* source = bitmap.buffer + i64(row) * bitmap.pitch;
            std::copy(source, source + bitmap.width, stored.mask.begin() + size_t(row) * bitmap.width);
        }
        stored.image.left = slot->bitmap_left;
        stored.image.top = m_metrics.ascent - slot->bitmap_top;
        stored.image.width = i32(bitmap.width);
        stored.image.height = i32(bitmap.rows);
        stored.image.coverage = stored.mask.data();
        return stored;
    }

    FT_Face m_face;
    bool m_embolden;
    bool m_shear;
    sFontMetrics m_metrics;
    std::unique_ptr<cFallbackFaces> m_fallback; // used under m_lock
    std::unique_ptr<cTextShaper> m_shaper = std::make_unique<cTextShaper>(); // used under m_lock
    std::mutex m_lock;
    // Node-based: an image keeps its address when the map grows.
    std::map<std::pair<FT_Face, FT_UInt>, sStoredGlyph> m_rendered;
    std::unordered_map<char32_t, const sGlyphImage*> m_glyphs;
    std::array<std::atomic<const sGlyphImage*>, 256> m_latin;
};

struct sFaceChoice
{
    std::string file;
    int index = 0;
    bool hasBold = false;
    bool hasItalic = false;
};

sFaceChoice ChooseFace(const std::string& family, bool bold, bool italic)
{
    sFaceChoice choice;
    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr) {
        return choice;
    }
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    if (match != nullptr) {
        FcChar8* file = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr) {
            choice.file = reinterpret_cast<const char*>(file);
        }
        FcPatternGetInteger(match, FC_INDEX, 0, &choice.index);
        int weight = FC_WEIGHT_REGULAR;
        int slant = FC_SLANT_ROMAN;
        FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
        FcPatternGetInteger(match, FC_SLANT, 0, &slant);
        choice.hasBold = weight >= FC_WEIGHT_DEMIBOLD;
        choice.hasItalic = slant != FC_SLANT_ROMAN;
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return choice;
}

// Cell metrics of the GDI mapping: the cell is the key's height; the ascent and the
// underline scale with em_y.
sFontMetrics MetricsOf(FT_Face face, i32 cellHeight, f64 emY, f64 winAscent)
{
    sFontMetrics metrics;
    metrics.cellHeight = cellHeight;
    const f64 unitsToPixels = emY / face->units_per_EM;
    metrics.ascent = i32(std::lround(winAscent * unitsToPixels));
    metrics.underlineThickness = std::max(1, i32(std::lround(face->underline_thickness * unitsToPixels)));
    // The post table gives the underline's centre, negative below the baseline.
    metrics.underlineTop = metrics.ascent - i32(std::lround(face->underline_position * unitsToPixels)) -
                           metrics.underlineThickness / 2;
    // Keep the underline inside the cell so that it is clipped like the text.
    metrics.underlineTop = std::clamp(metrics.underlineTop, 0, std::max(cellHeight - metrics.underlineThickness, 0));
    return metrics;
}

} // namespace

std::unique_ptr<cFreeTypeFontEngine> cFreeTypeFontEngine::Create()
{
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) {
        return nullptr;
    }
    return std::unique_ptr<cFreeTypeFontEngine>(new cFreeTypeFontEngine(library));
}

cFreeTypeFontEngine::cFreeTypeFontEngine(void* library) : m_library(library)
{
    FcInit();
}

cFreeTypeFontEngine::~cFreeTypeFontEngine()
{
    FT_Done_FreeType(static_cast<FT_Library>(m_library));
    FcFini(); // the engine is the process's only fontconfig user
}

std::string cFreeTypeFontEngine::MatchFontFile(const std::string& family, bool bold, bool italic, int* index)
{
    sFaceChoice choice = ChooseFace(family, bold, italic);
    if (index != nullptr) {
        *index = choice.index;
    }
    return choice.file;
}

std::unique_ptr<cFontFace> cFreeTypeFontEngine::CreateFace(const sFontKey& key)
{
    _guardchar<char> family;
    if (!WideToUtf8String(key.face.c_str(), i64(key.face.size()), family)) {
        return nullptr;
    }
    sFaceChoice choice = ChooseFace(family.GetOrEmpty(), key.bold, key.italic);
    FT_Library library = static_cast<FT_Library>(m_library);
    FT_Face face = nullptr;
    if (choice.file.empty() || FT_New_Face(library, choice.file.c_str(), choice.index, &face) != 0) {
        face = nullptr;
        choice = sFaceChoice{kFallbackFontFile, 0, false, false};
        if (FT_New_Face(library, kFallbackFontFile, 0, &face) != 0) {
            return nullptr;
        }
    }
    if (!FT_IS_SCALABLE(face)) {
        FT_Done_Face(face);
        return nullptr;
    }
    // OS/2 winAscent + winDescent is what a GDI cell height maps to; faces without an
    // OS/2 table use the horizontal header's ascender and descender instead.
    f64 winAscent = face->ascender;
    f64 cellUnits = f64(face->ascender) - face->descender;
    f64 averageWidth = 0;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 != nullptr && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        winAscent = os2->usWinAscent;
        cellUnits = f64(os2->usWinAscent) + os2->usWinDescent;
        averageWidth = os2->xAvgCharWidth;
    }
    if (cellUnits <= 0) {
        FT_Done_Face(face);
        return nullptr;
    }
    const f64 emY = key.height * f64(face->units_per_EM) / cellUnits;
    const f64 emX = key.width > 0 && averageWidth > 0 ? key.width * f64(face->units_per_EM) / averageWidth : emY;
    const FT_F26Dot6 emX64 = FT_F26Dot6(std::lround(emX * 64));
    const FT_F26Dot6 emY64 = FT_F26Dot6(std::lround(emY * 64));
    if (FT_Set_Char_Size(face, emX64, emY64, 72, 72) != 0) {
        FT_Done_Face(face);
        return nullptr;
    }
    const sFontMetrics metrics = MetricsOf(face, key.height, emY, winAscent);
    auto fallback = std::make_unique<cFallbackFaces>(library, family.GetOrEmpty(), key.bold, key.italic, emX64, emY64);
    return std::make_unique<cFreeTypeFace>(face, key.bold && !choice.hasBold, key.italic && !choice.hasItalic,
                                           metrics, std::move(fallback));
}

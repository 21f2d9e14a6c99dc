#include "gui/core/font.h"

#include "gui/core/canvas.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <new>

namespace {

// One lock for the engine and the cache: fonts are made rarely, and a widget asking
// for its font from a job thread must not race the GUI thread making the same key.
struct sFontRegistry
{
    std::mutex lock;
    std::unique_ptr<cFontEngine> engine;
    std::map<sFontKey, std::unique_ptr<cFontObject>> fonts;
};

sFontRegistry& Registry()
{
    static sFontRegistry registry;
    return registry;
}

} // namespace

void SetFontEngine(std::unique_ptr<cFontEngine> engine)
{
    sFontRegistry& registry = Registry();
    std::lock_guard guard(registry.lock);
    registry.fonts.clear();
    registry.engine = std::move(engine);
}

bool HasFontEngine()
{
    sFontRegistry& registry = Registry();
    std::lock_guard guard(registry.lock);
    return registry.engine != nullptr;
}

std::shared_ptr<const sShapedText> cFontFace::Shape(const char16_t* text, i32 length)
{
    auto shaped = std::make_shared<sShapedText>();
    shaped->unitAdvances.assign(size_t(std::max(length, 0)), 0);
    i32 pen = 0;
    for (i32 i = 0; i < length;) {
        // A high surrogate followed by a low one is one code point.
        char32_t codePoint = text[i];
        i32 units = 1;
        if (codePoint >= 0xD800 && codePoint <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            units = 2;
        }
        const sGlyphImage* glyph = GetGlyph(codePoint);
        shaped->glyphs.push_back({glyph, pen, 0});
        shaped->unitAdvances[size_t(i)] = glyph->advance;
        pen += glyph->advance;
        i += units;
    }
    return shaped;
}

cFontObject::cFontObject(const sFontKey& key, std::unique_ptr<cFontFace> face)
    : m_key(key), m_face(std::move(face))
{
}

cFontObject::~cFontObject() = default;

i32 cFontObject::GetCellHeight() const
{
    return m_face ? m_face->GetMetrics().cellHeight : m_key.height;
}

void cFontObject::SelectInto(cCanvas& canvas) const
{
    canvas.SelectFont(this);
}

const char16_t* GetUiFontName()
{
    return u"Tahoma";
}

cFontObject* GetCachedFont(i32 width, i32 height, const char16_t* face, bool bold, bool underline,
                           bool italic)
{
    if (height < 1) {
        return nullptr;
    }
    // Sizes can come from documents; a glyph of a 100000-pixel font would need
    // gigabytes, so sizes are clamped to what a screen can show.
    sFontKey key;
    key.width = std::clamp(width, 0, kMaxFontSize);
    key.height = std::min(height, kMaxFontSize);
    // The UI face is spelled out so that null, "" and "Tahoma" share one object.
    key.face = (face == nullptr || face[0] == 0) ? GetUiFontName() : face;
    key.bold = bold;
    key.underline = underline;
    key.italic = italic;

    sFontRegistry& registry = Registry();
    std::lock_guard guard(registry.lock);
    auto found = registry.fonts.find(key);
    if (found != registry.fonts.end()) {
        return found->second.get();
    }
    std::unique_ptr<cFontFace> fontFace;
    if (registry.engine) {
        fontFace = registry.engine->CreateFace(key);
    }
    std::unique_ptr<cFontObject> font(new (std::nothrow) cFontObject(key, std::move(fontFace)));
    if (!font) {
        return nullptr;
    }
    cFontObject* result = font.get();
    registry.fonts.emplace(key, std::move(font));
    return result;
}

cFontObject* GetDefaultUiFont()
{
    return GetCachedFont(5, 13, nullptr, false, false, false);
}

cFontObject* GetBoldUiFont()
{
    return GetCachedFont(6, 13, nullptr, true, false, false);
}

cFontObject* GetUnderlinedUiFont()
{
    return GetCachedFont(5, 13, nullptr, false, true, false);
}

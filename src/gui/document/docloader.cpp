#include "gui/document/docloader.h"

#include "gui/core/font.h"
#include "gui/core/picture.h"
#include "picture/factory/pictfactory.h"

#include <new>

namespace {

// Straight alpha over white, per colour byte: (c x a + 255 x (255 - a) + 127) / 255, as
// the canvas blends.
u32 OverWhite(u32 argb)
{
    const u32 alpha = argb >> 24;
    u32 out = 0xFF000000u;
    for (u32 shift = 0; shift < 24; shift += 8) {
        const u32 channel = (argb >> shift) & 0xFFu;
        out |= ((channel * alpha + 255u * (255u - alpha) + 127u) / 255u) << shift;
    }
    return out;
}

} // namespace

cSiDocLoader::~cSiDocLoader()
{
    Clear();
}

void cSiDocLoader::Clear()
{
    delete m_root;
    m_root = nullptr;
    m_targets.clear();
    m_pictures.clear();
    m_fonts.clear();
}

i32 cSiDocLoader::AddFont(const char16_t* face, i32 width, i32 height, bool bold, bool underline, bool italic)
{
    try {
        m_fonts.push_back({face != nullptr ? std::u16string(face) : std::u16string(), width, height, bold,
                           underline, italic});
    } catch (const std::bad_alloc&) {
        return -1;
    }
    return i32(m_fonts.size() - 1);
}

cFontObject* cSiDocLoader::GetFontFace(i32 id)
{
    if (id < 0 || size_t(id) >= m_fonts.size()) {
        return nullptr;
    }
    const sFontEntry& entry = m_fonts[size_t(id)];
    return GetCachedFont(entry.width, entry.height, entry.face.c_str(), entry.bold, entry.underline, entry.italic);
}

const char16_t* cSiDocLoader::InternTarget(const char16_t* text, i32 length)
{
    if (text == nullptr) {
        return nullptr;
    }
    try {
        const std::u16string key = length < 0 ? std::u16string(text) : std::u16string(text, size_t(length));
        return m_targets.insert(key).first->c_str();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

cPicture* cSiDocLoader::AdoptPicture(std::unique_ptr<cPicture> picture)
{
    if (picture == nullptr) {
        return nullptr;
    }
    try {
        m_pictures.push_back(std::move(picture));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return m_pictures.back().get();
}

cPicture* cSiDocLoader::LoadPicture(cFileIOTarget& stream)
{
    const std::unique_ptr<cPictBase, void (*)(cPictBase*)> source(PictCreateFromStream(&stream, nullptr),
                                                                  [](cPictBase* p) {
                                                                      if (p != nullptr) {
                                                                          p->Delete();
                                                                      }
                                                                  });
    _typebuf<u32> pixels;
    if (source == nullptr || !source->GetPixels32(pixels)) {
        return nullptr;
    }
    const i32 width = source->GetWidth();
    const i32 height = source->GetHeight();
    auto picture = std::unique_ptr<cPicture>(new (std::nothrow) cPicture());
    if (picture == nullptr || !picture->Allocate(width, height) ||
        i64(pixels.GetCount()) != i64(width) * height) {
        return nullptr;
    }
    // The factory's rows run bottom-up, the toolkit's top-down.
    u32* out = picture->GetPixels();
    for (i32 row = 0; row < height; ++row) {
        const u32* in = pixels.GetData() + size_t(height - 1 - row) * size_t(width);
        for (i32 column = 0; column < width; ++column) {
            out[size_t(row) * size_t(width) + size_t(column)] = OverWhite(in[column]);
        }
    }
    return AdoptPicture(std::move(picture));
}

#include "picture/core/picture.h"

#include <climits>
#include <cstring>
#include <utility>

cPictBase::cPictBase() = default;

cPictBase::~cPictBase()
{
    // The property map frees its values itself; the buffers free themselves.
    SetAttachment(nullptr);
}

bool cPictBase::GetPageSize(cFileIOTarget* stream, i32 page, i32* width, i32* height)
{
    if (page != 0 || stream == nullptr) {
        return false;
    }
    sPictInfo info;
    if (!ReadInfo(stream, &info)) {
        return false;
    }
    if (width != nullptr) {
        *width = info.width;
    }
    if (height != nullptr) {
        *height = info.height;
    }
    return true;
}

bool cPictBase::LoadPage(cFileIOTarget* stream, i32 page)
{
    return page == 0 && Load(stream);
}

bool cPictBase::HasPixels() const
{
    const i64 count = i64(m_width) * m_height;
    if (m_width <= 0 || m_height <= 0) {
        return false;
    }
    if (m_deep != 0) {
        return m_pixels64.GetData() != nullptr && m_pixels64.GetCount() >= count;
    }
    return m_pixels32.GetData() != nullptr && m_pixels32.GetCount() >= count;
}

bool cPictBase::GetPixels32(_typebuf<u32>& out)
{
    if (m_deep != 0) {
        const i32 count = m_pixels64.GetCount();
        if (m_pixels64.GetData() == nullptr || !out.Alloc(count)) {
            return false;
        }
        const u64* source = m_pixels64.GetData();
        u32* target = out.GetData();
        const sDeepMapping mapping = GetDeepMapping();
        if (mapping.IsTopByte()) {
            for (i32 i = 0; i < count; ++i) {
                target[i] = DeepPixelTopBytes(source[i]);
            }
        } else {
            for (i32 i = 0; i < count; ++i) {
                target[i] = mapping.MapPixel(source[i]);
            }
        }
        return true;
    }
    if (m_pixels32.GetData() == nullptr) {
        return false;
    }
    if (&out == &m_pixels32) {
        return true;
    }
    const i32 count = m_pixels32.GetCount();
    if (!out.Alloc(count)) {
        return false;
    }
    std::memcpy(out.GetData(), m_pixels32.GetData(), size_t(count) * sizeof(u32));
    return true;
}

bool cPictBase::ReleasePixels32(_typebuf<u32>& out)
{
    if (m_deep != 0) {
        if (!GetPixels32(out)) {
            return false;
        }
        m_pixels64.Free();
    } else {
        if (m_pixels32.GetData() == nullptr) {
            return false;
        }
        if (&out != &m_pixels32) {
            std::swap(out, m_pixels32);
            m_pixels32.Free();
        }
    }
    m_width = 0;
    m_height = 0;
    return true;
}

void cPictBase::TakePixels(cPictBase* source)
{
    // Taking from itself would free the picture's own pixels.
    if (source == nullptr || source == this) {
        return;
    }
    m_width = source->m_width;
    m_height = source->m_height;
    m_deep = source->m_deep;
    m_pixelOption = source->m_pixelOption;
    if (m_deep != 0) {
        m_deepDivisor = source->m_deepDivisor;
        m_deepOffset = source->m_deepOffset;
        std::swap(m_pixels64, source->m_pixels64);
        m_pixels32.Free();
    } else {
        std::swap(m_pixels32, source->m_pixels32);
        m_pixels64.Free();
    }
    source->m_pixels32.Free();
    source->m_pixels64.Free();
}

void cPictBase::ClearPixels()
{
    m_width = 0;
    m_height = 0;
    m_pixels32.Free();
    m_pixels64.Free();
}

bool cPictBase::AllocPixels32Keeping(i32 width, i32 height)
{
    m_deep = 0;
    m_pixels64.Free();
    if (!PixelBufferSizeOk(width, height, 4)) {
        m_pixels32.Free();
        m_width = 0;
        m_height = 0;
        return false;
    }
    const i64 count = i64(width) * height;
    if (m_pixels32.GetCount() != count && !m_pixels32.Alloc(count)) {
        m_width = 0;
        m_height = 0;
        return false;
    }
    m_width = width;
    m_height = height;
    return true;
}

bool cPictBase::AllocPixels32(i32 width, i32 height)
{
    return AllocPixels32Keeping(width, height);
}

bool cPictBase::AllocClear32(i32 width, i32 height)
{
    m_deep = 0;
    m_pixels64.Free();
    if (!PixelBufferSizeOk(width, height, 4) || !m_pixels32.AllocZeroed(i64(width) * height)) {
        ClearPixels();
        return false;
    }
    m_width = width;
    m_height = height;
    return true;
}

bool cPictBase::AllocClear64(i32 width, i32 height)
{
    m_deep = 1;
    m_pixels32.Free();
    if (!PixelBufferSizeOk(width, height, 8) || !m_pixels64.AllocZeroed(i64(width) * height)) {
        ClearPixels();
        return false;
    }
    m_width = width;
    m_height = height;
    return true;
}

namespace {

template <class T>
void ReverseRows(T* pixels, i32 width, i32 height)
{
    for (i32 low = 0, high = height - 1; low < high; ++low, --high) {
        T* a = pixels + i64(low) * width;
        T* b = pixels + i64(high) * width;
        for (i32 x = 0; x < width; ++x) {
            std::swap(a[x], b[x]);
        }
    }
}

} // namespace

bool cPictBase::FlipRows()
{
    if (!HasPixels()) {
        return false;
    }
    if (m_deep != 0) {
        ReverseRows(m_pixels64.GetData(), m_width, m_height);
    } else {
        ReverseRows(m_pixels32.GetData(), m_width, m_height);
    }
    return true;
}

void cPictBase::SetDeepMapping(f64 divisor, i32 offset)
{
    m_deepDivisor = divisor;
    m_deepOffset = offset;
}

void cPictBase::SetImageSize(i32 width, i32 height, bool deep)
{
    m_width = width;
    m_height = height;
    m_deep = deep ? 1 : 0;
}

void cPictBase::SetAttachment(cPictAttachment* attachment)
{
    if (attachment == m_attachment) {
        return;
    }
    delete m_attachment;
    m_attachment = attachment;
}

cPictProp* cPictBase::GetOrCreateProperty(i32 id, bool create)
{
    if (PictPropKindForId(id) < 0) {
        return nullptr;
    }
    if (cPictProp** found = m_properties.FindIntKeyValue(id)) {
        return *found;
    }
    if (!create) {
        return nullptr;
    }
    cPictProp* value = NewPictPropForId(id);
    if (value == nullptr) {
        return nullptr;
    }
    cPictProp** slot = m_properties.GetOrAdd(id);
    if (slot == nullptr) {
        value->Delete();
        return nullptr;
    }
    *slot = value;
    return value;
}

cPictPropString* cPictBase::FindStringProperty(i32 id)
{
    cPictProp* property = GetOrCreateProperty(id, false);
    return property != nullptr && property->GetKind() == kPictPropKindString
               ? static_cast<cPictPropString*>(property)
               : nullptr;
}

cPictPropInt* cPictBase::FindIntProperty(i32 id)
{
    cPictProp* property = GetOrCreateProperty(id, false);
    return property != nullptr && property->GetKind() == kPictPropKindInt
               ? static_cast<cPictPropInt*>(property)
               : nullptr;
}

cPictPropImage* cPictBase::FindThumbnailProperty()
{
    cPictProp* property = GetOrCreateProperty(kPictPropThumbnail, false);
    return property != nullptr && property->GetKind() == kPictPropKindImage
               ? static_cast<cPictPropImage*>(property)
               : nullptr;
}

void cPictBase::RemoveProperty(i32 id)
{
    m_properties.Erase(id);
}

#include "picture/core/pictprops.h"

#include "picture/core/picture.h"

#include <cstring>
#include <new>
#include <utility>

namespace {

constexpr i32 kKindById[kPictPropLastId + 1] = {
    kPictPropKindString,    kPictPropKindTimestamp, kPictPropKindTimestamp, kPictPropKindString,
    kPictPropKindString,    kPictPropKindDouble,    kPictPropKindDouble,    kPictPropKindInt,
    kPictPropKindDouble,    kPictPropKindDouble,    kPictPropKindInt,       kPictPropKindInt,
    kPictPropKindInt,       kPictPropKindImage,     kPictPropKindImage,     kPictPropKindDouble,
    kPictPropKindDouble,    kPictPropKindDouble,    kPictPropKindInt,       kPictPropKindInt,
    kPictPropKindInt,       kPictPropKindRaw,
};

} // namespace

i32 PictPropKindForId(i32 id)
{
    // A negative id would index before the table.
    if (id < 0 || id > kPictPropLastId) {
        return -1;
    }
    return kKindById[id];
}

cPictProp* NewPictPropForId(i32 id)
{
    switch (PictPropKindForId(id)) {
    case kPictPropKindInt:
        return new (std::nothrow) cPictPropInt();
    case kPictPropKindDouble:
        return new (std::nothrow) cPictPropDouble();
    case kPictPropKindTimestamp:
        return new (std::nothrow) cPictPropTimestamp();
    case kPictPropKindString:
        return new (std::nothrow) cPictPropString();
    case kPictPropKindImage:
        return new (std::nothrow) cPictPropImage();
    case kPictPropKindRaw:
        return new (std::nothrow) cPictPropRaw();
    default:
        return nullptr;
    }
}

cPictPropImage::~cPictPropImage()
{
    SetPicture(nullptr);
}

void cPictPropImage::SetPicture(cPictBase* picture)
{
    if (picture == m_picture) {
        return;
    }
    if (m_picture != nullptr) {
        m_picture->Delete();
    }
    m_picture = picture;
}

bool cPictPropRaw::SetBlock(i32 index, const u8* data, u32 size)
{
    if (index != 0 && index != 1) {
        return false;
    }
    // Copied before the old block goes: `data` may point into it.
    _typebuf<u8> copy;
    if (data != nullptr && size != 0) {
        if (!copy.Alloc(size)) {
            m_blocks[index].Free();
            return false;
        }
        std::memcpy(copy.GetData(), data, size);
    }
    m_blocks[index] = std::move(copy);
    return true;
}

const u8* cPictPropRaw::GetBlock(i32 index, u32* size) const
{
    const _typebuf<u8>* block = (index == 0 || index == 1) ? &m_blocks[index] : nullptr;
    if (size != nullptr) {
        *size = block != nullptr ? static_cast<u32>(block->GetCount()) : 0;
    }
    return block != nullptr ? block->GetData() : nullptr;
}

// The picture object as the Exif decoder's target: tag values become properties.
#include "base/utf.h"
#include "picture/core/jpegpicture.h"
#include "picture/core/picture.h"

#include <new>

void cPictBase::SetExifInt(i32 id, i32 value)
{
    cPictProp* property = GetOrCreateProperty(id, true);
    if (property != nullptr && property->GetKind() == kPictPropKindInt) {
        static_cast<cPictPropInt*>(property)->m_value = value;
    }
}

void cPictBase::SetExifDouble(i32 id, f64 value)
{
    cPictProp* property = GetOrCreateProperty(id, true);
    if (property != nullptr && property->GetKind() == kPictPropKindDouble) {
        static_cast<cPictPropDouble*>(property)->m_value = value;
    }
}

void cPictBase::SetExifTimestamp(i32 id, const sDateTime& value)
{
    cPictProp* property = GetOrCreateProperty(id, true);
    if (property != nullptr && property->GetKind() == kPictPropKindTimestamp) {
        static_cast<cPictPropTimestamp*>(property)->m_value = value;
    }
}

void cPictBase::SetExifText(i32 id, const char* text, u32 length)
{
    cPictProp* property = GetOrCreateProperty(id, true);
    if (property != nullptr && property->GetKind() == kPictPropKindString) {
        (void)Utf8ToWideString(text, i64(length), static_cast<cPictPropString*>(property)->m_value);
    }
}

void cPictBase::SetExifBlock(i32 id, const u8* data, u32 length)
{
    cPictProp* property = GetOrCreateProperty(id, true);
    if (property != nullptr && property->GetKind() == kPictPropKindRaw) {
        (void)static_cast<cPictPropRaw*>(property)->SetBlock(0, data, length);
    }
}

void cPictBase::SetExifThumbnail(cFileIOTarget* jpeg, bool decode)
{
    cPictProp* property = GetOrCreateProperty(kPictPropThumbnail, true);
    if (property == nullptr || property->GetKind() != kPictPropKindImage || !decode) {
        return;
    }
    cPictJPEG* picture = new (std::nothrow) cPictJPEG();
    if (picture == nullptr) {
        return;
    }
    // No thumbnail of a thumbnail: a JPEG nested in its own Exif block, level after level,
    // would otherwise recurse as deep as the block allows.
    picture->m_decodeOption = 0;
    if (picture->Load(jpeg)) {
        static_cast<cPictPropImage*>(property)->SetPicture(picture);
    } else {
        picture->Delete();
    }
}

// The picture object as the Exif decoder's target: tag values become properties.
#include "base/utf.h"
#include "picture/core/picture.h"

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

void cPictBase::SetExifThumbnail(cFileIOTarget*, bool)
{
    // The base cannot decode the embedded JPEG: it only records that there is a thumbnail.
    (void)GetOrCreateProperty(kPictPropThumbnail, true);
}

// The camera RAW pictures whose containers are not plain TIFF files (rawcontainers.h).
#include "base/subrange.h"
#include "picture/formats/rawdevelop.h"
#include "picture/formats/rawpictures.h"
#include "picture/formats/rawpreview.h"
#include "picture/tiffraw/exifdecoder.h"
#include "picture/tiffraw/rawcontainers.h"

namespace {

bool ReadPreviews(cFileIOTarget* stream, eRawContainer kind, sRawContainerInfo& container,
                  cRawPreviews& previews)
{
    if (stream == nullptr || !ReadRawContainer(stream, kind, container)) {
        return false;
    }
    for (i32 i = 0; i < container.m_rangeCount; ++i) {
        previews.AddJpeg(stream, container.m_ranges[i].m_offset, container.m_ranges[i].m_length);
    }
    return true;
}

} // namespace

cPictMRW::cPictMRW() : cPictContainerRaw(eRawContainer::MRW) {}
cPictRAF::cPictRAF() : cPictContainerRaw(eRawContainer::RAF) {}
cPictCRW::cPictCRW() : cPictContainerRaw(eRawContainer::CRW) {}
cPictCR3::cPictCR3() : cPictContainerRaw(eRawContainer::CR3) {}
cPictX3F::cPictX3F() : cPictContainerRaw(eRawContainer::X3F) {}
cPictRWL::cPictRWL() : cPictContainerRaw(eRawContainer::RWL) {}
cPictORF::cPictORF() : cPictContainerRaw(eRawContainer::ORF) {}

i32 cPictContainerRaw::GetFormatId()
{
    constexpr i32 kIds[] = {kPictFormatMRW, kPictFormatRAF, kPictFormatCRW, kPictFormatCR3,
                            kPictFormatX3F, kPictFormatRWL, kPictFormatORF};
    return kIds[int(m_kind)];
}

bool cPictContainerRaw::ReadInfo(cFileIOTarget* stream, sPictInfo* info)
{
    sRawContainerInfo container;
    cRawPreviews previews;
    if (!ReadPreviews(stream, m_kind, container, previews)) {
        return false;
    }
    bool preview = false;
    for (i32 i = 0; i < container.m_rangeCount && !preview; ++i) {
        preview = RangeStartsJpeg(stream, container.m_ranges[i]);
    }
    // What Load gives: the developed size, else the largest preview's; the recorded size
    // for a file that Load fails.
    i32 width = 0;
    i32 height = 0;
    const sRawPreview* largest = previews.Choose(0, 0);
    const bool developed = Develops() && RawDevelopedSize(stream, &width, &height);
    if (!developed && largest != nullptr) {
        width = largest->m_width;
        height = largest->m_height;
    } else if (!developed && FitsI32(container.m_width) && FitsI32(container.m_height)) {
        width = i32(container.m_width);
        height = i32(container.m_height);
    }
    if (width <= 0 || height <= 0) {
        return false;
    }
    if (info != nullptr) {
        info->width = width;
        info->height = height;
        info->hasEmbeddedPreview = preview ? 1 : 0;
    }
    return true;
}

bool cPictContainerRaw::Develops() const
{
    return m_kind != eRawContainer::X3F;
}

bool cPictContainerRaw::LoadEmbeddedPreview(cFileIOTarget* stream, cPictBase* out, i32* width,
                                            i32* height)
{
    sRawContainerInfo container;
    cRawPreviews previews;
    return ReadPreviews(stream, m_kind, container, previews) &&
           previews.Load(stream, out, width, height);
}

bool cPictContainerRaw::Load(cFileIOTarget* stream)
{
    if (stream == nullptr) {
        return false;
    }
    const bool developed = Develops() && DevelopRaw(stream, this);
    if (!developed && (!stream->IsOpen() || !LoadEmbeddedPreview(stream, this, nullptr, nullptr))) {
        return false;
    }
    // The Exif tags of the TIFF structures inside the container; the pixels give the size.
    sRawContainerInfo container;
    if (ReadRawContainer(stream, m_kind, container)) {
        for (i32 i = 0; i < container.m_exifTiffCount; ++i) {
            cFileIOSubRange range(stream, container.m_exifTiffs[i].m_offset,
                                  container.m_exifTiffs[i].m_length);
            cExifDecoder decoder(this, false);
            (void)decoder.Parse(&range);
        }
    }
    RemoveProperty(kPictPropTagWidth);
    RemoveProperty(kPictPropTagHeight);
    // LibRaw's pixels are upright already: the orientation is not for the viewer to apply.
    RemoveProperty(kPictPropRotation);
    RemoveProperty(kPictPropMirroring);
    return true;
}

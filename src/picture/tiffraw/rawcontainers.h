#pragma once
// Camera RAW containers that are not plain TIFF files, read from their headers alone: the
// recorded image size and the byte ranges that may hold a JPEG preview. Nothing is
// decoded; every offset and length is checked against the stream in 64 bits.
//
//   MRW  Minolta: "\0MRM" blocks; PRD holds the size, TTW a TIFF whose maker note points
//        at the preview
//   RAF  Fujifilm: a fixed header with the JPEG's place, a directory of size records
//   CRW  Canon CIFF: nested heaps of records (JpgFromRaw, ThumbnailImage, ImageInfo)
//   CR3  Canon ISO base media file (ISO/IEC 14496-12 boxes) with PRVW and THMB JPEGs and
//        a TIFF structure (CMT1) for the size
//   X3F  Sigma: a section directory at the end; IMA2/IMAG sections hold JPEG previews
//   RWL  Panasonic/Leica (TIFF identifier 0x55): JpgFromRaw in IFD0, borders give the size
//   ORF  Olympus (TIFF identifier 0x4F52/0x5352): the size is the TIFF's; the preview sits
//        in the Olympus maker note's CameraSettings IFD
#include "picture/tiffraw/tiffstructure.h"

enum class eRawContainer
{
    MRW,
    RAF,
    CRW,
    CR3,
    X3F,
    RWL,
    ORF,
};

struct sRawContainerInfo
{
    static constexpr i32 kMaxRanges = 16;

    u32 m_width = 0; // 0 when the header records none
    u32 m_height = 0;
    sTiffRange m_ranges[kMaxRanges] = {};
    i32 m_rangeCount = 0;
    // TIFF structures with the picture's Exif tags: MRW's TTW block, CR3's CMT1, CMT2 and
    // CMT4 boxes.
    sTiffRange m_exifTiffs[4] = {};
    i32 m_exifTiffCount = 0;

    // Adds a range that lies inside `size` bytes and is not there yet.
    void AddRange(u64 offset, u64 length, u64 size);
};

// Reads the container's header; false when the stream is not that container. The ranges
// are candidates only: the caller checks that each starts a JPEG.
[[nodiscard]] bool ReadRawContainer(cFileIOTarget* stream, eRawContainer kind,
                                    sRawContainerInfo& info);

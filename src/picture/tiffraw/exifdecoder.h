#pragma once
// The Exif decoder: walks an Exif block (a TIFF structure) and turns its tags into the
// properties of a picture: dates, camera, exposure, resolution, orientation, GPS position,
// recorded size and compression, the maker note, and the thumbnail (property 13).
#include "picture/tiffraw/exiftarget.h"
#include "picture/tiffraw/tiffgeneric.h"

class cExifDecoder : public cTiffGeneric
{
public:
    // `decodeThumbnail`: decode the thumbnail into property 13; when off, an IFD1 JPEG
    // thumbnail still creates an empty property 13, so that readers can tell it exists.
    cExifDecoder(cExifTarget* target, bool decodeThumbnail);

    // Walks the block in `stream`; false when it is not a TIFF structure.
    [[nodiscard]] bool Parse(cFileIOTarget* stream);

protected:
    void OnTag(u16 tag, u16 type, const u8* value, u32 byteCount, u32 ifd) override;
    void OnIfdEnd(u32 ifd) override;

    // The thumbnail walker, shared with readers that map the other tags themselves:
    // OnThumbnailTag takes each tag of IFD1, FindJpegThumbnail answers where its JPEG
    // lies in the walked stream once the IFD is read (false when IFD1 names none, or
    // names one that is not a JPEG inside the stream), and ForgetThumbnail clears what
    // an earlier block left before another is walked.
    void OnThumbnailTag(u16 tag, u16 type, const u8* value, u32 byteCount);
    [[nodiscard]] bool FindJpegThumbnail(u32& offset, u32& length) const;
    void ForgetThumbnail();

private:
    // The first value of a BYTE, SHORT or LONG tag.
    bool ReadUnsigned(u16 type, const u8* value, u32 byteCount, u32& out) const;
    void SetAscii(i32 id, const u8* value, u32 byteCount);
    void SetTimestamp(i32 id, const u8* value, u32 byteCount);
    void OnGpsTag(u16 tag, u16 type, const u8* value, u32 byteCount);
    void TakeThumbnail();

    cExifTarget* m_target;
    bool m_decodeThumbnail;

    // GPS values wait for the end of the GPS IFD: a reference may follow its value.
    bool m_haveLatitude = false;
    bool m_haveLongitude = false;
    bool m_haveAltitude = false;
    f64 m_latitude = 0;
    f64 m_longitude = 0;
    f64 m_altitude = 0;
    bool m_south = false;
    bool m_west = false;
    bool m_belowSeaLevel = false;

    // The thumbnail IFD: JPEG offset and length in the block, and its compression (6
    // when the tag is missing: JPEGInterchangeFormat points at JPEG data whatever IFD1
    // says).
    bool m_haveThumbnailOffset = false;
    bool m_haveThumbnailLength = false;
    u32 m_thumbnailOffset = 0;
    u32 m_thumbnailLength = 0;
    u32 m_thumbnailCompression = 6;
};

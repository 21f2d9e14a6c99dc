#include "picture/tiffraw/exifdecoder.h"

#include "base/subrange.h"
#include "picture/tiffraw/exifdatetime.h"

namespace {

// Property ids (see the picture object).
enum : i32
{
    kPropTaken = 1,
    kPropFileTime = 2,
    kPropMake = 3,
    kPropModel = 4,
    kPropExposure = 5,
    kPropFNumber = 6,
    kPropIso = 7,
    kPropXResolution = 8,
    kPropYResolution = 9,
    kPropResolutionUnit = 10,
    kPropMirror = 11,
    kPropRotation = 12,
    kPropThumbnail = 13,
    kPropLatitude = 15,
    kPropLongitude = 16,
    kPropAltitude = 17,
    kPropWidth = 18,
    kPropHeight = 19,
    kPropCompression = 20,
    kPropMakerNote = 21,
};

// Exif orientation 2..8 as (mirroring, rotation in degrees).
struct sOrientation
{
    i32 m_mirror;
    i32 m_rotation;
};
constexpr sOrientation kOrientations[9] = {
    {0, 0}, {0, 0}, {1, 0}, {0, 180}, {2, 0}, {1, 90}, {0, 270}, {1, 270}, {0, 90},
};

// Degrees, minutes and seconds as three RATIONALs.
bool ReadDegrees(const cTiffGeneric& tiff, const u8* value, u32 byteCount, f64& out)
{
    f64 parts[3] = {};
    if (ReadTagRationals(tiff, value, byteCount, parts, 3) != 3) {
        return false;
    }
    out = parts[0] + parts[1] / 60.0 + parts[2] / 3600.0;
    return true;
}

} // namespace

cExifDecoder::cExifDecoder(cExifTarget* target, bool decodeThumbnail)
    : m_target(target), m_decodeThumbnail(decodeThumbnail)
{
}

bool cExifDecoder::Parse(cFileIOTarget* stream)
{
    return m_target != nullptr && OpenTiff(stream);
}

bool cExifDecoder::ReadUnsigned(u16 type, const u8* value, u32 byteCount, u32& out) const
{
    if ((type == kTiffByte || type == kTiffUndefined) && byteCount >= 1) {
        out = value[0];
    } else if (type == kTiffShort && byteCount >= 2) {
        out = GetU16(value);
    } else if (type == kTiffLong && byteCount >= 4) {
        out = GetU32(value);
    } else {
        return false;
    }
    return true;
}

void cExifDecoder::SetAscii(i32 id, const u8* value, u32 byteCount)
{
    u32 length = 0;
    while (length < byteCount && value[length] != 0) {
        ++length;
    }
    m_target->SetExifText(id, reinterpret_cast<const char*>(value), length);
}

void cExifDecoder::SetTimestamp(i32 id, const u8* value, u32 byteCount)
{
    sDateTime when{};
    if (!ParseExifDateTime(reinterpret_cast<const char*>(value), byteCount, when)) {
        return;
    }
    m_target->SetExifTimestamp(id, when);
}

void cExifDecoder::OnTag(u16 tag, u16 type, const u8* value, u32 byteCount, u32 ifd)
{
    if (ifd == kTiffIfdGps) {
        OnGpsTag(tag, type, value, byteCount);
        return;
    }
    if (ifd == kTiffIfdThumbnail) {
        OnThumbnailTag(tag, type, value, byteCount);
        return;
    }
    if (ifd != kTiffIfd0 && ifd != kTiffIfdExif) {
        return;
    }
    u32 number = 0;
    f64 rational = 0;
    switch (tag) {
    case 0x9003: // DateTimeOriginal
        if (ifd == kTiffIfdExif && type == kTiffAscii) {
            SetTimestamp(kPropTaken, value, byteCount);
        }
        break;
    case 0x0132: // DateTime
        if (ifd == kTiffIfd0 && type == kTiffAscii) {
            SetTimestamp(kPropFileTime, value, byteCount);
        }
        break;
    case 0x010F: // Make
    case 0x0110: // Model
        if (ifd == kTiffIfd0 && type == kTiffAscii) {
            SetAscii(tag == 0x010F ? kPropMake : kPropModel, value, byteCount);
        }
        break;
    case 0x829A: // ExposureTime
    case 0x829D: // FNumber
        if (type == kTiffRational && ReadTagRationals(*this, value, byteCount, &rational, 1) == 1) {
            m_target->SetExifDouble(tag == 0x829A ? kPropExposure : kPropFNumber, rational);
        }
        break;
    case 0x8827: // ISOSpeedRatings: the first value
        if (type == kTiffShort && ReadUnsigned(type, value, byteCount, number)) {
            m_target->SetExifInt(kPropIso, i32(number));
        }
        break;
    case 0x011A: // XResolution
    case 0x011B: // YResolution
        if (ifd == kTiffIfd0 && type == kTiffRational &&
            ReadTagRationals(*this, value, byteCount, &rational, 1) == 1) {
            m_target->SetExifDouble(tag == 0x011A ? kPropXResolution : kPropYResolution, rational);
        }
        break;
    case 0x0128: // ResolutionUnit
        if (ifd == kTiffIfd0 && ReadUnsigned(type, value, byteCount, number)) {
            m_target->SetExifInt(kPropResolutionUnit, i32(number));
        }
        break;
    case 0x0112: // Orientation: 1 and unknown values set nothing
        if (ifd == kTiffIfd0 && ReadUnsigned(type, value, byteCount, number) && number >= 2 &&
            number <= 8) {
            m_target->SetExifInt(kPropMirror, kOrientations[number].m_mirror);
            m_target->SetExifInt(kPropRotation, kOrientations[number].m_rotation);
        }
        break;
    case 0xA002: // PixelXDimension: ahead of IFD0's ImageWidth, which the walk visits first
    case 0xA003:
        if (ifd == kTiffIfdExif && (type == kTiffShort || type == kTiffLong) &&
            ReadUnsigned(type, value, byteCount, number)) {
            m_target->SetExifInt(tag == 0xA002 ? kPropWidth : kPropHeight, i32(number));
        }
        break;
    case 0x0100: // ImageWidth
    case 0x0101: // ImageLength
        if (ifd == kTiffIfd0 && (type == kTiffShort || type == kTiffLong) &&
            ReadUnsigned(type, value, byteCount, number)) {
            m_target->SetExifInt(tag == 0x0100 ? kPropWidth : kPropHeight, i32(number));
        }
        break;
    case 0x0103: // Compression
        if (ifd == kTiffIfd0 && ReadUnsigned(type, value, byteCount, number)) {
            m_target->SetExifInt(kPropCompression, i32(number));
        }
        break;
    case 0x927C: // MakerNote
        m_target->SetExifBlock(kPropMakerNote, value, byteCount);
        break;
    default:
        break;
    }
}

void cExifDecoder::OnGpsTag(u16 tag, u16 type, const u8* value, u32 byteCount)
{
    switch (tag) {
    case 0x0001: // GPSLatitudeRef
        m_south = type == kTiffAscii && byteCount >= 1 && value[0] == 'S';
        break;
    case 0x0002:
        m_haveLatitude = type == kTiffRational && ReadDegrees(*this, value, byteCount, m_latitude);
        break;
    case 0x0003: // GPSLongitudeRef
        m_west = type == kTiffAscii && byteCount >= 1 && value[0] == 'W';
        break;
    case 0x0004:
        m_haveLongitude = type == kTiffRational && ReadDegrees(*this, value, byteCount, m_longitude);
        break;
    case 0x0005: // GPSAltitudeRef: 1 = below sea level
        m_belowSeaLevel = type == kTiffByte && byteCount >= 1 && value[0] == 1;
        break;
    case 0x0006:
        m_haveAltitude = type == kTiffRational &&
                         ReadTagRationals(*this, value, byteCount, &m_altitude, 1) == 1;
        break;
    default:
        break;
    }
}

void cExifDecoder::OnThumbnailTag(u16 tag, u16 type, const u8* value, u32 byteCount)
{
    u32 number = 0;
    if (!ReadUnsigned(type, value, byteCount, number)) {
        return;
    }
    switch (tag) {
    case 0x0201: // JPEGInterchangeFormat
        m_haveThumbnailOffset = true;
        m_thumbnailOffset = number;
        break;
    case 0x0202: // JPEGInterchangeFormatLength
        m_haveThumbnailLength = true;
        m_thumbnailLength = number;
        break;
    case 0x0103:
        m_thumbnailCompression = number;
        break;
    default:
        break;
    }
}

void cExifDecoder::OnIfdEnd(u32 ifd)
{
    if (ifd == kTiffIfdGps) {
        if (m_haveLatitude) {
            m_target->SetExifDouble(kPropLatitude, m_south ? -m_latitude : m_latitude);
        }
        if (m_haveLongitude) {
            m_target->SetExifDouble(kPropLongitude, m_west ? -m_longitude : m_longitude);
        }
        if (m_haveAltitude) {
            m_target->SetExifDouble(kPropAltitude, m_belowSeaLevel ? -m_altitude : m_altitude);
        }
    } else if (ifd == kTiffIfdThumbnail) {
        TakeThumbnail();
    }
}

bool cExifDecoder::FindJpegThumbnail(u32& offset, u32& length) const
{
    // Exif 2.x writes 6 for the JPEG thumbnail of IFD1; 7, the JPEG of TIFF Technical
    // Note 2, is what DNG and TIFF/EP files write for their JPEG previews. 99 is dcraw's
    // number for lossless-JPEG raw data, which names a camera's raw image, never a
    // thumbnail; it and every other coding are refused.
    const bool jpeg = m_thumbnailCompression == 6 || m_thumbnailCompression == 7;
    if (!jpeg || !m_haveThumbnailOffset || !m_haveThumbnailLength || m_thumbnailLength < 2 ||
        u64(m_thumbnailOffset) + m_thumbnailLength > GetStreamSize()) {
        return false;
    }
    cFileIOSubRange thumbnail(GetStream(), m_thumbnailOffset, m_thumbnailLength);
    u8 soi[2];
    if (!thumbnail.ReadExact(soi, 2) || soi[0] != 0xFF || soi[1] != 0xD8) {
        return false;
    }
    offset = m_thumbnailOffset;
    length = m_thumbnailLength;
    return true;
}

void cExifDecoder::ForgetThumbnail()
{
    m_haveThumbnailOffset = m_haveThumbnailLength = false;
    m_thumbnailOffset = m_thumbnailLength = 0;
    m_thumbnailCompression = 6;
}

void cExifDecoder::TakeThumbnail()
{
    u32 offset = 0;
    u32 length = 0;
    if (!FindJpegThumbnail(offset, length)) {
        return;
    }
    cFileIOSubRange thumbnail(GetStream(), offset, length);
    m_target->SetExifThumbnail(&thumbnail, m_decodeThumbnail);
}

#include "picture/props/imageprops.h"

#include "base/memio.h"
#include "base/subrange.h"
#include "picture/factory/thumbnail.h"
#include "picture/tiffraw/exifdatetime.h"

#include <cstring>

namespace {

// Fits a decoded picture into the reader's box on white and stores it as id 3.
void StoreFitted(cFileObjectProps* reader, cPictBase* picture)
{
    cPictDummy fitted;
    if (PictFitToBox(picture, reader->m_boxWidth, reader->m_boxHeight, &fitted, 0xFFFFFF)) {
        (void)SetThumbnail(reader, &fitted);
    }
}

// Degrees, minutes and (when present) seconds as degrees.
bool ReadDegrees(const cTiffGeneric& tiff, const u8* value, u32 byteCount, f64& out)
{
    f64 parts[3] = {};
    const int count = ReadTagRationals(tiff, value, byteCount, parts, 3);
    if (count < 2) {
        return false;
    }
    out = parts[0] + parts[1] / 60.0 + (count >= 3 ? parts[2] / 3600.0 : 0.0);
    return true;
}

// A one-letter reference ("N", "S", "E", "W" or empty): `negative` is the letter that
// sets the flag, `positive` the one that clears it.
void ReadReference(const u8* value, u32 byteCount, char negative, char positive, bool& flag)
{
    if (byteCount != 2) {
        return;
    }
    if (value[0] == u8(negative)) {
        flag = true;
    } else if (value[0] == u8(positive) || value[0] == 0) {
        flag = false;
    }
}

constexpr i32 kUnbounded = 0x7FFFFFFF;

} // namespace

cSimpleImageProps::cSimpleImageProps(cPictBase* picture)
    : m_picture(picture), m_kind(FileKindForFormat(picture != nullptr ? picture->GetFormatId() : 0))
{
}

cSimpleImageProps::~cSimpleImageProps()
{
    if (m_picture != nullptr) {
        m_picture->Delete();
    }
}

bool cSimpleImageProps::ReadProps(cFileIOTarget* stream, void*, bool wantPicture)
{
    sPictInfo info;
    if (m_picture == nullptr || stream == nullptr || !stream->Seek(0) ||
        !m_picture->ReadInfo(stream, &info)) {
        return false;
    }
    (void)SetIntProp(this, kFilePropWidth, info.width);
    (void)SetIntProp(this, kFilePropHeight, info.height);
    if (m_picture->HasPages()) {
        (void)stream->Seek(0);
        // A GIF without its trailer answers -1: no count is better than a wrong one.
        const i32 pages = m_picture->GetPageCount(stream);
        if (pages >= 1) {
            (void)SetIntProp(this, kFilePropPageCount, pages);
        }
    }
    if ((info.hasEmbeddedPreview != 0 || wantPicture) && m_boxWidth != 0 && m_boxHeight != 0) {
        (void)stream->Seek(0);
        cPictDummy thumbnail;
        if (PictThumbnailFromStream(stream, &thumbnail, m_boxWidth < 0 ? kUnbounded : m_boxWidth,
                                    m_boxHeight < 0 ? kUnbounded : m_boxHeight) == kThumbOk &&
            thumbnail.HasPixels()) {
            (void)SetThumbnail(this, &thumbnail);
        }
    }
    return true;
}

bool cExifProps::ReadExifBlock(cFileIOTarget* block)
{
    m_south = m_west = m_haveLatitude = m_haveLongitude = false;
    ForgetThumbnail();
    if (!OpenTiff(block)) {
        return false;
    }
    // Decoded after the walk, not from the tag hook: the thumbnail's window moves the
    // stream that the walker reads.
    u32 offset = 0;
    u32 length = 0;
    if (m_boxWidth >= 1 && m_boxHeight >= 1 && FindJpegThumbnail(offset, length)) {
        DecodeThumbnail(block, offset, length);
    }
    return true;
}

void cExifProps::DecodeThumbnail(cFileIOTarget* block, u32 offset, u32 length)
{
    cFileIOSubRange range(block, offset, length);
    cPictJPEG thumbnail;
    // The thumbnail's own Exif block must not decode a thumbnail in turn.
    thumbnail.m_decodeOption = 0;
    if (thumbnail.Load(&range)) {
        StoreFitted(this, &thumbnail);
    }
}

void cExifProps::OnTag(u16 tag, u16 type, const u8* value, u32 byteCount, u32 ifd)
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
    switch (tag) {
    case 0x0100: // ImageWidth
    case 0x0101: // ImageLength
    {
        const i32 id = tag == 0x0100 ? kFilePropWidth : kFilePropHeight;
        if (type == kTiffShort && byteCount >= 2) {
            (void)SetIntProp(this, id, GetU16(value));
        } else if (type == kTiffLong && byteCount >= 4) {
            (void)SetIntProp(this, id, i32(GetU32(value)));
        }
        break;
    }
    case 0x010F: // Make
    case 0x0110: // Model
        if (type == kTiffAscii && byteCount >= 2) {
            // The count includes the terminator; padding after an earlier NUL is no text.
            const char* text = reinterpret_cast<const char*>(value);
            (void)SetTextPropNarrow(this,
                                    tag == 0x010F ? kFilePropCameraMake : kFilePropCameraModel,
                                    text, i64(strnlen(text, byteCount - 1)));
        }
        break;
    case 0x9003: // DateTimeOriginal
        if (type == kTiffAscii && byteCount >= 10) {
            sDateTime when{};
            if (ParseExifDateTime(reinterpret_cast<const char*>(value), byteCount, when)) {
                (void)SetDateTimeProp(this, kFilePropDateTaken, when);
            }
        }
        break;
    default:
        break;
    }
}

void cExifProps::OnGpsTag(u16 tag, u16 type, const u8* value, u32 byteCount)
{
    if ((tag == 1 || tag == 3) && type == kTiffAscii) {
        ReadReference(value, byteCount, tag == 1 ? 'S' : 'W', tag == 1 ? 'N' : 'E',
                      tag == 1 ? m_south : m_west);
    } else if ((tag == 2 || tag == 4) && type == kTiffRational && byteCount >= 16) {
        if (tag == 2) {
            m_haveLatitude = ReadDegrees(*this, value, byteCount, m_latitude);
        } else {
            m_haveLongitude = ReadDegrees(*this, value, byteCount, m_longitude);
        }
    }
}

void cExifProps::OnIfdEnd(u32 ifd)
{
    if (ifd != kTiffIfdGps) {
        return;
    }
    if (m_haveLatitude) {
        (void)SetRealProp(this, kFilePropLatitude, m_south ? -m_latitude : m_latitude);
    }
    if (m_haveLongitude) {
        (void)SetRealProp(this, kFilePropLongitude, m_west ? -m_longitude : m_longitude);
    }
}

bool cJPEGProps::ReadProps(cFileIOTarget* stream, void*, bool wantPicture)
{
    if (stream == nullptr) {
        return false;
    }
    if (m_boxWidth < 1 || m_boxHeight < 1) {
        wantPicture = false;
    }
    cPropJPEGWorker worker(this, wantPicture);
    const bool decoded = worker.Run(stream);
    if (worker.ExifFailed()) {
        return false;
    }
    const i32 width = worker.GetFrameWidth();
    const i32 height = worker.GetFrameHeight();
    if (width > 0 && height > 0) {
        if (m_ints.Find(kFilePropWidth) == nullptr) {
            (void)SetIntProp(this, kFilePropWidth, width);
        }
        if (m_ints.Find(kFilePropHeight) == nullptr) {
            (void)SetIntProp(this, kFilePropHeight, height);
        }
    }
    if (wantPicture && decoded && FindThumbnail(this) == nullptr) {
        StoreFitted(this, &worker);
    }
    return true;
}

cPropJPEGWorker::cPropJPEGWorker(cExifProps* reader, bool wantPicture)
    : m_reader(reader), m_wantPicture(wantPicture)
{
}

bool cPropJPEGWorker::Run(cFileIOTarget* stream)
{
    const bool ok = Parse(stream, eMode::Decode);
    EndStreamRender();
    return ok;
}

bool cPropJPEGWorker::OnExifData(const u8* payload, u32 length)
{
    m_exifSeen = true;
    cBufWrapperIO block(payload, length);
    if (!m_reader->ReadExifBlock(&block)) {
        m_exifFailed = true;
        return false;
    }
    return true;
}

bool cPropJPEGWorker::OnFrame()
{
    if (!WantsPixels()) {
        m_frameSeen = 1;
        return true;
    }
    return cPictJPEG::OnFrame();
}

bool cPropJPEGWorker::WantsPixels()
{
    return !m_exifFailed && m_wantPicture && (!m_exifSeen || FindThumbnail(m_reader) == nullptr);
}

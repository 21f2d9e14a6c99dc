// The ICO and CUR reader. Layout (little-endian): reserved u16 (0), type u16 (1 icon,
// 2 cursor), count u16 (not 0), then count directory entries of 16 bytes: width, height,
// colour count, reserved (one byte each), planes or hot-spot x, bit count or hot-spot y
// (u16 each), image size (u32 at 8) and image offset from the file start (u32 at 12).
// Only the last two are used; each image is read through a window of its own.
#include "picture/formats/ico.h"

#include "base/byteorder.h"
#include "base/subrange.h"
#include "picture/core/pictfit.h"
#include "picture/formats/dib.h"
#include "picture/formats/pngreader.h"

namespace {

constexpr u32 kHeaderSize = 6;
constexpr u32 kEntrySize = 16;

enum class eTypeCheck
{
    Checked,
    Unchecked, // the page count and page size operations accept any type
};

enum class eSizeOrder
{
    BitmapFirst,
    PngFirst,
};

// The header from offset 0: the entry count, or 0 when it is unusable or `page` (unless
// negative for "any") is not an entry.
i32 ReadHeader(cFileIOTarget* stream, eTypeCheck typeCheck, i32 page = -1)
{
    u8 header[kHeaderSize];
    if (stream == nullptr || !stream->Seek(0) || !stream->ReadExact(header, kHeaderSize)) {
        return 0;
    }
    const u32 type = LoadLe16(header + 2);
    const i32 count = i32(LoadLe16(header + 4));
    if (LoadLe16(header) != 0 || count == 0 || page >= count ||
        (typeCheck == eTypeCheck::Checked && type != 1 && type != 2)) {
        return 0;
    }
    return count;
}

// The window over entry `index`'s image.
bool OpenEntry(cFileIOTarget* stream, i32 index, cFileIOSubRange& image)
{
    u8 entry[kEntrySize];
    if (!stream->Seek(kHeaderSize + u64(kEntrySize) * u32(index)) ||
        !stream->ReadExact(entry, kEntrySize)) {
        return false;
    }
    image.Attach(stream, LoadLe32(entry + 12), LoadLe32(entry + 8));
    return true;
}

bool EntrySize(cFileIOSubRange& image, eSizeOrder order, sPictInfo& info)
{
    const auto bitmap = [&] {
        return image.Seek(0) && ProbeDIBHeader(&image, &info, eDibMode::Icon);
    };
    const auto png = [&] { return ProbePNG(&image, &info); };
    return order == eSizeOrder::PngFirst ? png() || bitmap() : bitmap() || png();
}

// The entry with the largest area among those within the limits (the first of equal
// areas); -1 when an entry is invalid or none qualifies.
i32 LargestEntry(cFileIOTarget* stream, const i32* maxWidth, const i32* maxHeight,
                 sPictInfo& winner)
{
    const i32 count = ReadHeader(stream, eTypeCheck::Checked);
    i32 best = -1;
    i64 bestArea = -1;
    winner = {};
    for (i32 i = 0; i < count; ++i) {
        cFileIOSubRange image(nullptr, 0, 0);
        sPictInfo info;
        if (!OpenEntry(stream, i, image) || !EntrySize(image, eSizeOrder::BitmapFirst, info)) {
            return -1;
        }
        const i64 area = i64(info.width) * info.height;
        if ((maxWidth == nullptr || info.width <= *maxWidth) &&
            (maxHeight == nullptr || info.height <= *maxHeight) && area > bestArea) {
            best = i;
            bestArea = area;
            winner = info;
        }
    }
    return best;
}

template <class tPicture>
bool DecodeInto(tPicture& decoder, cFileIOTarget* image, cPictBase* picture, sPictTarget* target)
{
    if (target != nullptr && !decoder.SetTarget(target)) {
        return false;
    }
    if (!decoder.Load(image)) {
        return false;
    }
    if (target == nullptr) {
        picture->TakePixels(&decoder);
    }
    return true;
}

} // namespace

bool DecodeIconImage(cFileIOTarget* image, cPictBase* picture, sPictTarget* target)
{
    if (image == nullptr || !image->Seek(0)) {
        return false;
    }
    if (ProbePNG(image, nullptr)) {
        cPictPNG png;
        return DecodeInto(png, image, picture, target);
    }
    if (!image->Seek(0) || !ProbeDIBHeader(image, nullptr, eDibMode::Icon)) {
        return false;
    }
    cPictDIB dib;
    dib.SetMode(eDibMode::IconWithTable);
    return DecodeInto(dib, image, picture, target);
}

bool cPictICO::ReadInfo(cFileIOTarget* stream, sPictInfo* info)
{
    sPictInfo winner;
    if (LargestEntry(stream, nullptr, nullptr, winner) < 0) {
        return false;
    }
    if (info != nullptr) {
        *info = {winner.width, winner.height, 1};
    }
    return true;
}

bool cPictICO::Load(cFileIOTarget* stream)
{
    m_page = 0;
    return LoadEntry(stream);
}

bool cPictICO::LoadPage(cFileIOTarget* stream, i32 page)
{
    m_page = page;
    return LoadEntry(stream);
}

bool cPictICO::LoadEntry(cFileIOTarget* stream)
{
    ClearPixels();
    cFileIOSubRange image(nullptr, 0, 0);
    if (m_page < 0 || ReadHeader(stream, eTypeCheck::Checked, m_page) == 0 ||
        !OpenEntry(stream, m_page, image)) {
        EndStreamRender();
        return false;
    }
    // The decoder draws into an attached target itself; this picture then gets no pixels.
    sPictTarget* target = GetTarget();
    const bool ok = DecodeIconImage(&image, this, target);
    EndStreamRender();
    if (!ok) {
        ClearPixels();
    }
    return ok;
}

i32 cPictICO::GetPageCount(cFileIOTarget* stream)
{
    return ReadHeader(stream, eTypeCheck::Unchecked);
}

bool cPictICO::GetPageSize(cFileIOTarget* stream, i32 page, i32* width, i32* height)
{
    cFileIOSubRange image(nullptr, 0, 0);
    sPictInfo info;
    if (page < 0 || ReadHeader(stream, eTypeCheck::Unchecked, page) == 0 ||
        !OpenEntry(stream, page, image) || !EntrySize(image, eSizeOrder::PngFirst, info)) {
        return false;
    }
    *width = info.width;
    *height = info.height;
    return true;
}

bool cPictICO::RenderPageThumbnail(cFileIOTarget* stream, cPictBase* out, i32 maxW, i32 maxH,
                                   i32 page, bool allowFullDecode, u32 background)
{
    cFileIOSubRange image(nullptr, 0, 0);
    if (!allowFullDecode || page < 0 || ReadHeader(stream, eTypeCheck::Checked, page) == 0 ||
        !OpenEntry(stream, page, image)) {
        return false;
    }
    cPictDummy decoded;
    return DecodeIconImage(&image, &decoded, nullptr) &&
           PictFitToBox(&decoded, maxW, maxH, out, background);
}

bool cPictICO::LoadEmbeddedPreview(cFileIOTarget* stream, cPictBase* out, i32* width, i32* height)
{
    sPictInfo winner;
    const i32 entry = LargestEntry(stream, width, height, winner);
    cFileIOSubRange image(nullptr, 0, 0);
    return entry >= 0 && out != nullptr && OpenEntry(stream, entry, image) &&
           DecodeIconImage(&image, out, nullptr);
}

bool ProbeICO(cFileIOTarget* stream, sPictInfo* info)
{
    cPictICO reader;
    return reader.ReadInfo(stream, info);
}

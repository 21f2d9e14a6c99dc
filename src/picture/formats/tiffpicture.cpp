// Glossary (TIFF 6.0 sections 3-8, 18, 21):
//   strip / tile      the units libtiff decodes; a strip is RowsPerStrip whole rows
//   contig / separate PlanarConfiguration 1 (samples of a pixel together) or 2 (one plane
//                     per sample)
//   extra sample      a sample beyond the colour ones; ExtraSamples 1 = associated
//                     (premultiplied) alpha, 2 = unassociated alpha, 0 = unspecified data
#include "picture/formats/tiffpicture.h"

#include "picture/formats/rawpreview.h"
#include "picture/tiffraw/exifdecoder.h"
#include "picture/tiffraw/tiffstructure.h"

#include <tiffio.h>

#include <algorithm>
#include <mutex>

namespace {

// libtiff's own allocations for one image stay below this.
constexpr tmsize_t kMaxLibtiffAllocation = tmsize_t(1) << 30;

// ---- The stream as a libtiff client ----

cFileIOTarget* StreamOf(thandle_t handle)
{
    return static_cast<cFileIOTarget*>(handle);
}

tmsize_t ReadProc(thandle_t handle, void* buffer, tmsize_t size)
{
    cFileIOTarget* stream = StreamOf(handle);
    tmsize_t done = 0;
    while (done < size) {
        const u32 chunk = u32(std::min<tmsize_t>(size - done, 1 << 30));
        const u32 got = stream->Read(static_cast<u8*>(buffer) + done, chunk);
        done += got;
        if (got < chunk) {
            break;
        }
    }
    return done;
}

tmsize_t WriteProc(thandle_t, void*, tmsize_t)
{
    return 0;
}

toff_t SeekProc(thandle_t handle, toff_t offset, int whence)
{
    cFileIOTarget* stream = StreamOf(handle);
    u64 position = offset;
    if (whence == SEEK_CUR) {
        position = stream->GetPosition() + offset;
    } else if (whence == SEEK_END) {
        position = stream->GetSize() + offset;
    }
    (void)stream->Seek(position);
    return stream->GetPosition();
}

int CloseProc(thandle_t)
{
    return 0;
}

toff_t SizeProc(thandle_t handle)
{
    return StreamOf(handle)->GetSize();
}

int MapProc(thandle_t, void**, toff_t*)
{
    return 0;
}

void UnmapProc(thandle_t, void*, toff_t) {}

// Messages are not wanted: a failure shows as a false result.
int SwallowMessage(TIFF*, void*, const char*, const char*, va_list)
{
    return 1;
}

// The process-wide handlers would print; they are cleared once.
void ClearGlobalHandlers()
{
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
}

struct sTiffClose
{
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using tTiff = std::unique_ptr<TIFF, sTiffClose>;

tTiff OpenTiff(cFileIOTarget* stream)
{
    ClearGlobalHandlers();
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (options == nullptr) {
        return nullptr;
    }
    TIFFOpenOptionsSetErrorHandlerExtR(options, SwallowMessage, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, SwallowMessage, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxLibtiffAllocation);
    (void)stream->Seek(0);
    TIFF* tiff = TIFFClientOpenExt("qel", "r", stream, ReadProc, WriteProc, SeekProc, CloseProc,
                                   SizeProc, MapProc, UnmapProc, options);
    TIFFOpenOptionsFree(options);
    return tTiff(tiff);
}

// ---- Layout ----

struct sLayout
{
    u32 width = 0;
    u32 height = 0;
    u16 bits = 1;
    u16 samples = 1;
    u16 photometric = PHOTOMETRIC_MINISBLACK;
    u16 planar = PLANARCONFIG_CONTIG;
    u16 sampleFormat = SAMPLEFORMAT_UINT;
    u16 extraCount = 0;
    u16 extraType = EXTRASAMPLE_UNSPECIFIED;
    u16 orientation = ORIENTATION_TOPLEFT;

    u16 ColourSamples() const { return photometric == PHOTOMETRIC_RGB ? 3 : 1; }
    bool HasAlpha() const
    {
        return extraCount == 1 &&
               (extraType == EXTRASAMPLE_ASSOCALPHA || extraType == EXTRASAMPLE_UNASSALPHA);
    }
};

sLayout ReadLayout(TIFF* tiff)
{
    sLayout layout;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &layout.width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &layout.height);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &layout.bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &layout.samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &layout.planar);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &layout.sampleFormat);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &layout.orientation);
    if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &layout.photometric)) {
        layout.photometric = 0xFFFF;
    }
    u16* types = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &layout.extraCount, &types) &&
        layout.extraCount > 0 && types != nullptr) {
        layout.extraType = types[0];
    }
    return layout;
}

// Grey or RGB, 8 or 16 unsigned bits, at most one extra sample: our own conversion.
bool IsDirect(const sLayout& layout, TIFF* tiff)
{
    const bool colour =
        layout.photometric == PHOTOMETRIC_MINISBLACK || layout.photometric == PHOTOMETRIC_RGB;
    u16 compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    // Old-style JPEG needs libtiff's RGBA interface to find its tables.
    return colour && compression != COMPRESSION_OJPEG && (layout.bits == 8 || layout.bits == 16) &&
           layout.sampleFormat == SAMPLEFORMAT_UINT && layout.extraCount <= 1 &&
           layout.samples == layout.ColourSamples() + layout.extraCount &&
           (layout.planar == PLANARCONFIG_CONTIG || layout.planar == PLANARCONFIG_SEPARATE);
}

// ---- Alpha ----

// Premultiplied to straight: c = a ? min(max, (c * max + a / 2) / a) : 0.
template <class tChannel> void DivideAlpha(tChannel* pixels, i64 count)
{
    constexpr u32 kMax = tChannel(~tChannel(0));
    for (i64 i = 0; i < count; ++i) {
        tChannel* pixel = pixels + 4 * i;
        const u32 alpha = pixel[3];
        for (int c = 0; c < 3; ++c) {
            pixel[c] = alpha == 0
                           ? 0
                           : tChannel(std::min<u32>(kMax, (pixel[c] * kMax + alpha / 2) / alpha));
        }
    }
}

template <class tChannel> void MakeOpaque(tChannel* pixels, i64 count)
{
    for (i64 i = 0; i < count; ++i) {
        pixels[4 * i + 3] = tChannel(~tChannel(0));
    }
}

// Direct path: unassociated alpha stays, associated alpha is divided out, no alpha is
// opaque (contiguous rows wrote it already).
template <class tChannel> void FinishAlpha(const sLayout& layout, tChannel* pixels, i64 count)
{
    if (!layout.HasAlpha() && layout.planar == PLANARCONFIG_SEPARATE) {
        MakeOpaque(pixels, count);
    } else if (layout.HasAlpha() && layout.extraType == EXTRASAMPLE_ASSOCALPHA) {
        DivideAlpha(pixels, count);
    }
}

// ---- Direct path ----

// One row of contiguous samples into pixels (B, G, R, A channels in memory), alpha written
// too: the stored one with kAlpha, else the maximum.
template <class tChannel, u32 kSamples, bool kGrey, bool kAlpha>
void ConvertContigRow(const tChannel* source, tChannel* pixel, u32 count)
{
    constexpr tChannel kMax = tChannel(~tChannel(0));
    for (u32 x = 0; x < count; ++x, source += kSamples, pixel += 4) {
        if constexpr (kGrey) {
            pixel[0] = pixel[1] = pixel[2] = source[0];
        } else {
            pixel[0] = source[2];
            pixel[1] = source[1];
            pixel[2] = source[0];
        }
        pixel[3] = kAlpha ? source[kGrey ? 1 : 3] : kMax;
    }
}

template <class tChannel>
using tRowConverter = void (*)(const tChannel* source, tChannel* pixel, u32 count);

template <class tChannel> tRowConverter<tChannel> ContigConverter(const sLayout& layout)
{
    const bool grey = layout.ColourSamples() == 1;
    const bool extra = layout.extraCount == 1;
    if (grey) {
        return !extra              ? ConvertContigRow<tChannel, 1, true, false>
               : layout.HasAlpha() ? ConvertContigRow<tChannel, 2, true, true>
                                   : ConvertContigRow<tChannel, 2, true, false>;
    }
    return !extra              ? ConvertContigRow<tChannel, 3, false, false>
           : layout.HasAlpha() ? ConvertContigRow<tChannel, 4, false, true>
                               : ConvertContigRow<tChannel, 4, false, false>;
}

// Writes the samples of one decoded block (a strip or a tile) into the picture's channels
// (B, G, R, A in memory; 8-bit samples into 32-bit pixels, 16-bit into deep ones).
template <class tChannel> struct sBlockWriter
{
    tChannel* pixels; // the picture's buffer as channels
    const sLayout& layout;
    tRowConverter<tChannel> contig = ContigConverter<tChannel>(layout);

    // The block: `columns` x `rows` at (x0, y0) clipped to the image, `stride` samples per
    // block row; `plane` is the sample of a separate plane, -1 for contiguous samples.
    void Write(const tChannel* block, u32 x0, u32 y0, u32 columns, u32 rows, u64 stride,
               int plane) const
    {
        const u32 width = layout.width;
        const u32 height = layout.height;
        const u32 count = std::min(columns, width - x0);
        const bool grey = layout.ColourSamples() == 1;
        // A separate plane: its one channel (grey into all three); an unspecified extra
        // sample is dropped.
        const int alphaSample = layout.HasAlpha() ? layout.ColourSamples() : -1;
        const int first = plane == alphaSample ? 3 : grey ? 0 : 2 - plane;
        const int last = grey && plane == 0 ? 2 : first;
        if (plane >= 0 && plane != alphaSample && plane >= layout.ColourSamples()) {
            return;
        }
        for (u32 r = 0; r < rows && y0 + r < height; ++r) {
            tChannel* row = pixels + (u64(height - 1 - (y0 + r)) * width + x0) * 4;
            const tChannel* source = block + r * stride;
            if (plane < 0) {
                contig(source, row, count);
                continue;
            }
            for (u32 x = 0; x < count; ++x) {
                for (int c = first; c <= last; ++c) {
                    row[u64(x) * 4 + c] = source[x];
                }
            }
        }
    }
};

template <class tChannel> bool ReadDirect(TIFF* tiff, const sLayout& layout, tChannel* pixels)
{
    const sBlockWriter<tChannel> writer{pixels, layout};
    const bool tiled = TIFFIsTiled(tiff) != 0;
    const i64 blockBytes = tiled ? TIFFTileSize64(tiff) : TIFFStripSize64(tiff);
    if (blockBytes <= 0 || blockBytes > kMaxLibtiffAllocation) {
        return false;
    }
    _typebuf<tChannel> block;
    if (!block.Alloc(blockBytes / i64(sizeof(tChannel)) + 1)) {
        return false;
    }
    const int planes = layout.planar == PLANARCONFIG_SEPARATE ? layout.samples : 1;
    const u64 perPixel = layout.planar == PLANARCONFIG_SEPARATE ? 1 : layout.samples;
    if (tiled) {
        u32 tileWidth = 0;
        u32 tileHeight = 0;
        TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tileWidth);
        TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tileHeight);
        if (tileWidth == 0 || tileHeight == 0 ||
            u64(tileWidth) * tileHeight * perPixel * sizeof(tChannel) > u64(blockBytes)) {
            return false;
        }
        for (int plane = 0; plane < planes; ++plane) {
            for (u32 y = 0; y < layout.height; y += tileHeight) {
                for (u32 x = 0; x < layout.width; x += tileWidth) {
                    const ttile_t tile = TIFFComputeTile(tiff, x, y, 0, u16(plane));
                    if (TIFFReadEncodedTile(tiff, tile, block.GetData(), blockBytes) < 0) {
                        return false;
                    }
                    writer.Write(block.GetData(), x, y, tileWidth, tileHeight, tileWidth * perPixel,
                                 planes > 1 ? plane : -1);
                }
            }
        }
        return true;
    }
    u32 rowsPerStrip = layout.height;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    rowsPerStrip = std::clamp<u32>(rowsPerStrip, 1, layout.height);
    const u64 stride = layout.width * perPixel;
    for (int plane = 0; plane < planes; ++plane) {
        for (u32 y = 0; y < layout.height; y += rowsPerStrip) {
            const tstrip_t strip = TIFFComputeStrip(tiff, y, u16(plane));
            const tmsize_t got = TIFFReadEncodedStrip(tiff, strip, block.GetData(), blockBytes);
            if (got < 0) {
                return false;
            }
            // A short last strip holds only its own rows.
            const u64 rows = std::min<u64>(rowsPerStrip, u64(got) / sizeof(tChannel) / stride);
            writer.Write(block.GetData(), 0, y, layout.width, u32(rows), stride,
                         planes > 1 ? plane : -1);
        }
    }
    return true;
}

// ---- RGBA path ----

// libtiff's RGBA interface turns rows and columns to meet the requested orientation and
// treats 5-8 as 1-4; asking for the vertical mirror of the file's own orientation gives
// the stored rows bottom-up, which is this picture's layout.
u16 RequestedOrientation(u16 fileOrientation)
{
    constexpr u16 kMirror[5] = {0, ORIENTATION_BOTLEFT, ORIENTATION_BOTRIGHT, ORIENTATION_TOPRIGHT,
                                ORIENTATION_TOPLEFT};
    const u16 base = u16(((fileOrientation - 1) & 3) + 1);
    return kMirror[base];
}

bool ReadRgba(TIFF* tiff, const sLayout& layout, cPictBase* picture)
{
    char message[1024];
    if (!TIFFRGBAImageOK(tiff, message)) {
        return false;
    }
    TIFFRGBAImage image{};
    if (!TIFFRGBAImageBegin(&image, tiff, 1, message)) {
        return false;
    }
    image.req_orientation = RequestedOrientation(layout.orientation);
    u32* raster = picture->Pixels32().GetData();
    const bool ok = TIFFRGBAImageGet(&image, raster, layout.width, layout.height) != 0;
    TIFFRGBAImageEnd(&image);
    if (!ok) {
        return false;
    }
    // 0xAABBGGRR words to 0xAARRGGBB.
    const i64 count = i64(layout.width) * layout.height;
    for (i64 i = 0; i < count; ++i) {
        const u32 abgr = raster[i];
        raster[i] = (abgr & 0xFF00FF00u) | ((abgr & 0xFF) << 16) | ((abgr >> 16) & 0xFF);
    }
    if (layout.extraCount > 0) {
        DivideAlpha(reinterpret_cast<u8*>(raster), count);
    }
    return true;
}

} // namespace

bool LoadTiffPixels(cFileIOTarget* stream, cPictBase* picture)
{
    tTiff tiff = OpenTiff(stream);
    if (!tiff) {
        return false;
    }
    const sLayout layout = ReadLayout(tiff.get());
    const bool direct = IsDirect(layout, tiff.get());
    const bool deep = direct && layout.bits == 16;
    if (!PixelBufferSizeOk(layout.width, layout.height, deep ? 8 : 4)) {
        return false;
    }
    const i32 width = i32(layout.width);
    const i32 height = i32(layout.height);
    if (!(deep ? picture->AllocClear64(width, height) : picture->AllocClear32(width, height))) {
        return false;
    }
    const i64 count = i64(width) * height;
    bool ok = false;
    if (!direct) {
        ok = ReadRgba(tiff.get(), layout, picture);
    } else if (deep) {
        u16* channels = reinterpret_cast<u16*>(picture->Pixels64().GetData());
        ok = ReadDirect(tiff.get(), layout, channels);
        FinishAlpha(layout, channels, count);
    } else {
        u8* channels = reinterpret_cast<u8*>(picture->Pixels32().GetData());
        ok = ReadDirect(tiff.get(), layout, channels);
        FinishAlpha(layout, channels, count);
    }
    if (!ok) {
        picture->ClearPixels();
    }
    return ok;
}

bool cPictTIFF::ReadInfo(cFileIOTarget* stream, sPictInfo* info)
{
    if (stream == nullptr) {
        return false;
    }
    cTiffStructure tiff;
    if (!tiff.Open(stream) || tiff.GetIdentifier() != kTiffIdClassic) {
        return false;
    }
    const sTiffIfd& ifd0 = tiff.GetIfd0();
    if (ifd0.m_width == 0 || ifd0.m_height == 0 || !FitsI32(ifd0.m_width) ||
        !FitsI32(ifd0.m_height)) {
        return false;
    }
    if (info != nullptr) {
        info->width = i32(ifd0.m_width);
        info->height = i32(ifd0.m_height);
        info->hasEmbeddedPreview = TiffHasJpegPreview(stream, tiff) ? 1 : 0;
    }
    return true;
}

void cPictTIFF::ReadProperties(cFileIOTarget* stream)
{
    cExifDecoder decoder(this, false);
    (void)stream->Seek(0);
    (void)decoder.Parse(stream);
    RemoveProperty(kPictPropTagWidth);
    RemoveProperty(kPictPropTagHeight);
}

bool cPictTIFF::Load(cFileIOTarget* stream)
{
    if (stream == nullptr || !LoadTiffPixels(stream, this)) {
        return false;
    }
    ReadProperties(stream);
    return true;
}

bool cPictTIFF::LoadEmbeddedPreview(cFileIOTarget* stream, cPictBase* out, i32* width, i32* height)
{
    return LoadTiffPreview(stream, eTiffPreviews::Jpeg, out, width, height);
}

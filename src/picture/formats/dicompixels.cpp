// Uncompressed DICOM pixel data (DICOM PS3.5 8.1.1, PS3.3 C.7.6.3): little-endian samples
// of 8 or 16 bits allocated, rows from the top, one sample per pixel (monochrome) or three
// (RGB), interleaved or as three planes.
//
// Every sample goes through one table from its stored value to its level, built once per
// image: monochrome data are stretched between their own minimum and maximum (two's
// complement samples sign-extended from bits stored first), colour data scaled from bits
// stored to bits allocated. Levels are clamped to the channel's range. The data are read
// in blocks of whole rows of about 64 KB; monochrome data are read twice (once for the
// range) rather than held.
#include "picture/formats/dicomimage.h"

#include "base/byteorder.h"

#include <algorithm>
#include <type_traits>

namespace {

constexpr u64 kBlockBytes = 64 * 1024;

template <class tSample> struct sSampleTraits;

template <> struct sSampleTraits<u8>
{
    using tPixel = u32;
    static constexpr u32 kMaxLevel = 0xFF;
    static constexpr u32 kChannelShift = 8;
    static constexpr tPixel kOpaque = 0xFF000000;
    static u32 At(const u8* row, i64 i) { return row[i]; }
};

template <> struct sSampleTraits<u16>
{
    using tPixel = u64;
    static constexpr u32 kMaxLevel = 0xFFFF;
    static constexpr u32 kChannelShift = 16;
    static constexpr tPixel kOpaque = u64(0xFFFF) << 48;
    static u32 At(const u8* row, i64 i) { return LoadLe16(row + 2 * i); }
};

// Reads `rowCount` rows of `rowBytes` from `offset` and calls visit(row, index) for each.
template <class Visit>
bool ForEachRow(cFileIOTarget* stream, u64 offset, u64 rowBytes, i64 rowCount, Visit visit)
{
    const u64 rowsPerBlock = std::max<u64>(1, kBlockBytes / rowBytes);
    _typebuf<u8> block;
    if (rowBytes * rowsPerBlock > 0xFFFFFFFF || !block.Alloc(i64(rowBytes * rowsPerBlock)) ||
        !stream->Seek(offset)) {
        return false;
    }
    for (i64 first = 0; first < rowCount; first += i64(rowsPerBlock)) {
        const i64 count = std::min<i64>(i64(rowsPerBlock), rowCount - first);
        if (!stream->ReadExact(block.GetData(), u32(u64(count) * rowBytes))) {
            return false;
        }
        for (i64 i = 0; i < count; ++i) {
            visit(block.GetData() + u64(i) * rowBytes, first + i);
        }
    }
    return true;
}

template <class tSample> class cDicomConversion
{
    using tTraits = sSampleTraits<tSample>;
    using tPixel = typename tTraits::tPixel;
    static constexpr bool kDeep = std::is_same_v<tPixel, u64>;

  public:
    cDicomConversion(cPictBase& picture, cFileIOTarget* stream, const sDicomImage& image)
        : m_picture(picture), m_stream(stream), m_image(image), m_width(i32(image.columns)),
          m_height(i32(image.rows))
    {
    }

    [[nodiscard]] bool Run()
    {
        if (m_image.samples != 1 && m_image.samples != 3) {
            return false;
        }
        if (!m_levels.Alloc(i64(tTraits::kMaxLevel) + 1)) {
            return false;
        }
        if (m_image.samples == 1) {
            if (!BuildGreyLevels()) {
                return false;
            }
        } else {
            BuildColourLevels();
        }
        m_streaming = m_picture.BeginStreamRender();
        bool ok = m_streaming ? m_line.Alloc(m_width) : AllocBuffer();
        if (ok) {
            ok = m_image.samples == 1  ? ConvertGrey()
                 : m_image.planar == 0 ? ConvertInterleaved()
                                       : ConvertPlanar();
        }
        if (m_streaming) {
            m_picture.EndStreamRender();
        }
        return ok;
    }

  private:
    u32 Clamp(f64 level) const
    {
        return level <= 0.0 ? 0 : level >= tTraits::kMaxLevel ? tTraits::kMaxLevel : u32(level);
    }

    // The value of a stored monochrome sample: two's complement samples are sign-extended
    // from bits stored.
    i64 GreyValue(u32 stored) const
    {
        if (m_image.pixelRepresentation != 1) {
            return stored;
        }
        const u32 bits = m_image.bitsStored;
        const i64 value = stored & ((u64(1) << bits) - 1);
        return (value >> (bits - 1)) != 0 ? value - (i64(1) << bits) : value;
    }

    f64 BitScale() const
    {
        return f64((u64(1) << m_image.bitsAllocated) - 1) / f64((u64(1) << m_image.bitsStored) - 1);
    }

    bool BuildGreyLevels()
    {
        i64 minimum = INT64_MAX;
        i64 maximum = INT64_MIN;
        const bool read =
            ForEachRow(m_stream, m_image.offset, RowBytes(), m_height, [&](const u8* row, i64) {
                for (i32 x = 0; x < m_width; ++x) {
                    const i64 value = GreyValue(tTraits::At(row, x));
                    minimum = std::min(minimum, value);
                    maximum = std::max(maximum, value);
                }
            });
        if (!read) {
            return false;
        }
        f64 scale = BitScale();
        if (maximum > minimum) {
            scale = f64(tTraits::kMaxLevel) / f64(maximum - minimum);
        } else {
            minimum = 0;
        }
        tSample* levels = m_levels.GetData();
        for (u32 stored = 0; stored <= tTraits::kMaxLevel; ++stored) {
            levels[stored] = tSample(Clamp(f64(GreyValue(stored) - minimum) * scale));
        }
        return true;
    }

    void BuildColourLevels()
    {
        const f64 scale = BitScale();
        tSample* levels = m_levels.GetData();
        for (u32 stored = 0; stored <= tTraits::kMaxLevel; ++stored) {
            levels[stored] = tSample(Clamp(f64(stored) * scale));
        }
    }

    u64 RowBytes() const
    {
        const u64 samplesPerRow =
            m_image.planar == 0 ? u64(m_width) * m_image.samples : u64(m_width);
        return samplesPerRow * sizeof(tSample);
    }

    bool AllocBuffer()
    {
        return kDeep ? m_picture.AllocClear64(m_width, m_height)
                     : m_picture.AllocClear32(m_width, m_height);
    }

    tPixel* BufferRow(i32 y)
    {
        if constexpr (kDeep) {
            return m_picture.Pixels64().GetData() + i64(y) * m_width;
        } else {
            return m_picture.Pixels32().GetData() + i64(y) * m_width;
        }
    }

    // The row of pixels for bottom-up row y: the buffer's own row, or the line to stream.
    tPixel* OutputRow(i32 y) { return m_streaming ? m_line.GetData() : BufferRow(y); }

    void Emit(i32 y, const tPixel* pixels)
    {
        if (!m_streaming) {
            return;
        }
        if constexpr (kDeep) {
            for (i32 x = 0; x < m_width; ++x) {
                m_picture.StreamPixel64(x, y, pixels[x]);
            }
        } else {
            m_picture.StreamRow(0, y, pixels, m_width);
        }
    }

    bool ConvertGrey()
    {
        const tSample* levels = m_levels.GetData();
        constexpr tPixel kGrey = kDeep ? tPixel(0x0000'0001'0001'0001) : tPixel(0x010101);
        return ForEachRow(
            m_stream, m_image.offset, RowBytes(), m_height, [&](const u8* row, i64 r) {
                const i32 y = m_height - 1 - i32(r);
                tPixel* out = OutputRow(y);
                for (i32 x = 0; x < m_width; ++x) {
                    out[x] = tTraits::kOpaque | tPixel(levels[tTraits::At(row, x)]) * kGrey;
                }
                Emit(y, out);
            });
    }

    bool ConvertInterleaved()
    {
        const tSample* levels = m_levels.GetData();
        constexpr u32 shift = tTraits::kChannelShift;
        return ForEachRow(
            m_stream, m_image.offset, RowBytes(), m_height, [&](const u8* row, i64 r) {
                const i32 y = m_height - 1 - i32(r);
                tPixel* out = OutputRow(y);
                for (i32 x = 0; x < m_width; ++x) {
                    const i64 i = i64(x) * 3;
                    out[x] = tTraits::kOpaque | tPixel(levels[tTraits::At(row, i)]) << (2 * shift) |
                             tPixel(levels[tTraits::At(row, i + 1)]) << shift |
                             tPixel(levels[tTraits::At(row, i + 2)]);
                }
                Emit(y, out);
            });
    }

    // Three planes of rows (red, green, blue); each value sets its own channel of a cleared
    // pixel, and alpha is made opaque once all three are in.
    bool ConvertPlanar()
    {
        const tSample* levels = m_levels.GetData();
        const bool read = ForEachRow(
            m_stream, m_image.offset, RowBytes(), i64(m_height) * 3, [&](const u8* row, i64 index) {
                const i32 channel = 2 - i32(index / m_height);
                const i32 y = m_height - 1 - i32(index % m_height);
                if (m_streaming) {
                    for (i32 x = 0; x < m_width; ++x) {
                        StreamChannel(x, y, levels[tTraits::At(row, x)], channel);
                    }
                    return;
                }
                tPixel* out = BufferRow(y);
                const u32 shift = u32(channel) * tTraits::kChannelShift;
                for (i32 x = 0; x < m_width; ++x) {
                    out[x] |= tPixel(levels[tTraits::At(row, x)]) << shift;
                }
            });
        if (!read) {
            return false;
        }
        for (i32 y = 0; y < m_height; ++y) {
            if (m_streaming) {
                for (i32 x = 0; x < m_width; ++x) {
                    StreamChannel(x, y, tTraits::kMaxLevel, 3);
                }
                continue;
            }
            tPixel* out = BufferRow(y);
            for (i32 x = 0; x < m_width; ++x) {
                out[x] |= tTraits::kOpaque;
            }
        }
        return true;
    }

    void StreamChannel(i32 x, i32 y, u32 level, i32 channel)
    {
        if constexpr (kDeep) {
            m_picture.StreamChannel64(x, y, u16(level), channel);
        } else {
            m_picture.StreamChannel(x, y, u8(level), channel);
        }
    }

    cPictBase& m_picture;
    cFileIOTarget* m_stream;
    const sDicomImage& m_image;
    i32 m_width;
    i32 m_height;
    bool m_streaming = false;
    _typebuf<tSample> m_levels; // level of every stored value
    _typebuf<tPixel> m_line;
};

} // namespace

bool cPictDICOMBase::DecodeUncompressed(cFileIOTarget* stream, const sDicomImage& image)
{
    const bool deep = image.bitsAllocated == 16;
    if (!PixelBufferSizeOk(image.columns, image.rows, deep ? 8 : 4)) {
        return false;
    }
    SetImageSize(i32(image.columns), i32(image.rows), deep);
    if (deep) {
        cDicomConversion<u16> conversion(*this, stream, image);
        return conversion.Run();
    }
    cDicomConversion<u8> conversion(*this, stream, image);
    return conversion.Run();
}

// The binary Netpbm reader. Glossary (the Netpbm format descriptions: pbm(5), pgm(5),
// ppm(5)):
//   magic   "P4", "P5" or "P6"
//   blank   tab, LF, CR or space; "#" starts a comment that runs to the next CR or LF
//   maxval  the largest sample value, 1 to 65535; below 256 a sample is one byte, else two
//           bytes, most significant first
//   raster  height rows from the top; P4 rows are ceil(width / 8) bytes of 1-bit samples
//           (1 is black) from the most significant bit, P5 rows one sample per pixel, P6
//           rows three (red, green, blue)
//
// The header is parsed byte by byte through a buffered reader; the raster is then read one
// whole row at a time and converted in one tight loop per format.
#include "picture/formats/ppmreader.h"

#include "base/byteorder.h"
#include "base/format.h"
#include "picture/core/bytereader.h"

#include <climits>

namespace {

// At most ten digits per number: enough for any value up to INT32_MAX.
constexpr i32 kMostDigits = 10;
constexpr u32 kLargestMaxValue = 65535;

inline bool IsBlank(u8 byte)
{
    return byte == '\t' || byte == '\n' || byte == '\r' || byte == ' ';
}

inline bool IsDigit(u8 byte)
{
    return byte >= '0' && byte <= '9';
}

// What may end a number: only a blank after the width and the height (a comment glued to
// them would otherwise be read as the next number); a blank or a comment's "#" after the
// maximum value, where that byte ends the header.
enum class eNumberEnd
{
    kBlank,
    kBlankOrComment,
};

} // namespace

struct sPpmContext
{
    sPpmContext(cPictPPM& picture, cFileIOTarget* stream) : m_picture(picture), m_reader(stream) {}

    [[nodiscard]] bool ParseHeader();
    [[nodiscard]] bool DecodeRows();
    i32 Width() const { return i32(m_width); }
    i32 Height() const { return i32(m_height); }

  private:
    [[nodiscard]] bool SkipBlank(u8& byte);
    [[nodiscard]] bool ReadNumber(eNumberEnd end, i64& value);
    void ConvertRow32(const u8* row, u32* out) const;
    void ConvertRow64(const u8* row, u64* out) const;

    cPictPPM& m_picture;
    cPictByteReader m_reader;
    i64 m_width = 0;
    i64 m_height = 0;
};

bool sPpmContext::SkipBlank(u8& byte)
{
    for (;;) {
        if (!m_reader.Next(byte)) {
            return false;
        }
        if (byte == '#') {
            do {
                if (!m_reader.Next(byte)) {
                    return false;
                }
            } while (byte != '\r' && byte != '\n');
        } else if (!IsBlank(byte)) {
            return true;
        }
    }
}

bool sPpmContext::ReadNumber(eNumberEnd end, i64& value)
{
    u8 byte;
    if (!SkipBlank(byte) || !IsDigit(byte)) {
        return false;
    }
    char digits[kMostDigits + 1];
    i32 count = 0;
    while (IsDigit(byte)) {
        if (count == kMostDigits) {
            return false;
        }
        digits[count++] = char(byte);
        if (!m_reader.Next(byte)) {
            return false;
        }
    }
    digits[count] = '\0';
    if (!IsBlank(byte) && !(end == eNumberEnd::kBlankOrComment && byte == '#')) {
        return false;
    }
    value = ParseInt64Narrow(digits);
    return value >= 1 && value <= INT32_MAX;
}

bool sPpmContext::ParseHeader()
{
    u8 magic[2];
    if (!m_reader.ReadExact(magic, 2) || magic[0] != 'P' || magic[1] < '4' || magic[1] > '6') {
        return false;
    }
    m_picture.m_type = magic[1];
    i64 maxValue = 2;
    if (!ReadNumber(eNumberEnd::kBlank, m_width) || !ReadNumber(eNumberEnd::kBlank, m_height)) {
        return false;
    }
    if (magic[1] != '4' &&
        (!ReadNumber(eNumberEnd::kBlankOrComment, maxValue) || maxValue > kLargestMaxValue)) {
        return false;
    }
    m_picture.m_maxValue = u32(maxValue);
    return true;
}

void sPpmContext::ConvertRow32(const u8* row, u32* out) const
{
    const i32 w = Width();
    switch (m_picture.m_type) {
    case '4':
        for (i32 x = 0; x < w; ++x) {
            out[x] = (row[x >> 3] >> (7 - (x & 7)) & 1) != 0 ? 0xFF000000 : 0xFFFFFFFF;
        }
        break;
    case '5':
        for (i32 x = 0; x < w; ++x) {
            out[x] = 0xFF000000 | row[x] * 0x010101u;
        }
        break;
    default:
        for (i32 x = 0; x < w; ++x, row += 3) {
            out[x] = 0xFF000000 | LoadBe24(row);
        }
        break;
    }
}

void sPpmContext::ConvertRow64(const u8* row, u64* out) const
{
    const i32 w = Width();
    constexpr u64 kOpaque = u64(0xFFFF) << 48;
    if (m_picture.m_type == '5') {
        for (i32 x = 0; x < w; ++x, row += 2) {
            out[x] = kOpaque | u64(LoadBe16(row)) * 0x0000'0001'0001'0001;
        }
        return;
    }
    for (i32 x = 0; x < w; ++x, row += 6) {
        out[x] =
            kOpaque | u64(LoadBe16(row)) << 32 | u64(LoadBe16(row + 2)) << 16 | LoadBe16(row + 4);
    }
}

bool sPpmContext::DecodeRows()
{
    const bool deep = m_picture.m_maxValue >= 256;
    if (!PixelBufferSizeOk(m_width, m_height, deep ? 8 : 4)) {
        return false;
    }
    const i32 w = Width();
    const i32 h = Height();
    const u8 type = m_picture.m_type;
    const i64 samples = type == '6' ? 3 * m_width : m_width;
    const i64 rowBytes = type == '4' ? (m_width + 7) / 8 : deep ? 2 * samples : samples;
    m_picture.SetImageSize(w, h, deep);
    const bool streaming = m_picture.BeginStreamRender();
    _typebuf<u8> row;
    _typebuf<u32> line32;
    _typebuf<u64> line64;
    bool ok = row.Alloc(rowBytes);
    if (streaming) {
        ok = ok && (deep ? line64.Alloc(w) : line32.Alloc(w));
    } else {
        ok = ok && (deep ? m_picture.AllocClear64(w, h) : m_picture.AllocClear32(w, h));
    }
    for (i32 r = 0; ok && r < h; ++r) {
        const i32 y = h - 1 - r;
        ok = m_reader.ReadExact(row.GetData(), u64(rowBytes));
        if (!ok) {
            break;
        }
        if (deep) {
            u64* out = streaming ? line64.GetData() : m_picture.Pixels64().GetData() + i64(y) * w;
            ConvertRow64(row.GetData(), out);
            if (streaming) {
                (void)m_picture.StreamRow64(0, y, out, w);
            }
        } else {
            u32* out = streaming ? line32.GetData() : m_picture.Pixels32().GetData() + i64(y) * w;
            ConvertRow32(row.GetData(), out);
            if (streaming) {
                (void)m_picture.StreamRow(0, y, out, w);
            }
        }
    }
    if (streaming) {
        m_picture.EndStreamRender();
    }
    return ok;
}

bool cPictPPM::ReadInfo(cFileIOTarget* stream, sPictInfo* info)
{
    if (stream == nullptr) {
        return false;
    }
    (void)stream->Seek(0);
    sPpmContext context(*this, stream);
    if (!context.ParseHeader()) {
        return false;
    }
    if (info != nullptr) {
        *info = {context.Width(), context.Height(), 0};
    }
    return true;
}

bool cPictPPM::Load(cFileIOTarget* stream)
{
    if (stream == nullptr) {
        return false;
    }
    ClearPixels();
    (void)stream->Seek(0);
    sPpmContext context(*this, stream);
    return context.ParseHeader() && context.DecodeRows();
}

bool ProbePPM(cFileIOTarget* stream, sPictInfo* info)
{
    cPictPPM reader;
    return reader.ReadInfo(stream, info);
}

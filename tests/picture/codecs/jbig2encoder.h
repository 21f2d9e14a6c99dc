#pragma once
// A test-only JBIG2 writer: the MQ encoder of ITU-T T.88 E.2, a generic-region encoder
// (templates 0-3, any AT pixels, TPGDON) and a segment and file writer that can also break
// the rules on purpose. Bitmaps are top-down, one byte per pixel (1 = black).
#include "picture/codecs/mqdecoder.h"

#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace jbig2test {

// T.88 E.2 (Figures E.3-E.11), on the decoder's Qe table (the H.2 sequence checks it) and
// its context layout (I << 1 | MPS).
class cMqEncoder
{
  public:
    void Encode(u32 d, tMqContext& cx)
    {
        const sMqQeEntry& e = kMqQeTable[cx >> 1];
        const u32 mps = cx & 1;
        m_a -= e.qe;
        if (d == mps) { // CODEMPS
            if ((m_a & 0x8000) != 0) {
                m_c += e.qe;
                return;
            }
            if (m_a < e.qe) {
                m_a = e.qe;
            } else {
                m_c += e.qe;
            }
            cx = u8(e.nmps << 1 | mps);
        } else { // CODELPS
            if (m_a < e.qe) {
                m_c += e.qe;
            } else {
                m_a = e.qe;
            }
            cx = u8(e.nlps << 1 | (mps ^ e.switchMps));
        }
        do { // RENORME
            m_a <<= 1;
            m_c <<= 1;
            if (--m_ct == 0) {
                ByteOut();
            }
        } while ((m_a & 0x8000) == 0);
    }

    // FLUSH (E.2.9) with the 0xFF 0xAC end marker; the coded bytes.
    std::vector<u8> Finish()
    {
        const u32 top = m_c + m_a; // SETBITS
        m_c |= 0xFFFF;
        if (m_c >= top) {
            m_c -= 0x8000;
        }
        m_c <<= m_ct;
        ByteOut();
        m_c <<= m_ct;
        ByteOut();
        if (m_out.back() != 0xFF) {
            m_out.push_back(0xFF);
        }
        m_out.push_back(0xAC);
        return std::vector<u8>(m_out.begin() + 1, m_out.end());
    }

  private:
    void ByteOut()
    {
        u8& b = m_out.back();
        if (b == 0xFF) {
            Emit(20);
        } else if (m_c < 0x8000000) {
            Emit(19);
        } else if (++b == 0xFF) {
            m_c &= 0x7FFFFFF;
            Emit(20);
        } else {
            Emit(19);
        }
    }
    void Emit(u32 shift)
    {
        m_out.push_back(u8(m_c >> shift));
        m_c &= (u32(1) << shift) - 1;
        m_ct = shift == 20 ? 7 : 8;
    }

    u32 m_a = 0x8000, m_c = 0;
    i32 m_ct = 12;
    std::vector<u8> m_out{0}; // the byte before the first (BPST - 1)
};

struct sBitmap
{
    i32 width = 0, height = 0;
    std::vector<u8> pixels; // top-down, 0 or 1

    u32 At(i32 x, i32 y) const
    {
        return x < 0 || y < 0 || x >= width || y >= height ? 0 : pixels[size_t(y) * width + x];
    }
};

// Nominal AT pixels (T.88 6.2.5.4); region flags: template << 1 | TPGDON << 3.
inline constexpr i8 kNominalAt[4][8] = {{3, -1, -3, -1, 2, -2, -2, -2}, {3, -1}, {2, -1}, {2, -1}};
// Moved AT pixels inside the row windows.
inline constexpr i8 kMovedAt[4][8] = {
    {-1, -2, -4, -1, 1, -2, -3, -2}, {-2, -1}, {-2, -1}, {-2, -1}};

// The coded bytes of a generic region (T.88 6.2.5.7) with contexts formed pixel by pixel
// in the bit order of T.88 Figures 3-6 ('A' marks the AT pixels in order).
inline std::vector<u8> EncodeGeneric(const sBitmap& bitmap, i32 gbTemplate, const i8* at,
                                     bool tpgdon)
{
    static const std::vector<std::vector<i32>> kTemplates = {
        {-1, 0,  -2, 0,  -3,  0, -4,  0, 'A', 0,  2, -1, 1,  -1, 0,   -1,
         -1, -1, -2, -1, 'A', 0, 'A', 0, 1,   -2, 0, -2, -1, -2, 'A', 0},
        {-1, 0,  -2, 0,  -3, 0, 'A', 0, 2,  -1, 1,  -1, 0,
         -1, -1, -1, -2, -1, 2, -2,  1, -2, 0,  -2, -1, -2},
        {-1, 0, -2, 0, 'A', 0, 1, -1, 0, -1, -1, -1, -2, -1, 1, -2, 0, -2, -1, -2},
        {-1, 0, -2, 0, -3, 0, -4, 0, 'A', 0, 1, -1, 0, -1, -1, -1, -2, -1, -3, -1},
    };
    static const u32 kSltp[4] = {0x9B25, 0x0795, 0x00E5, 0x0195};
    const std::vector<i32>& places = kTemplates[size_t(gbTemplate)];
    std::vector<tMqContext> stats(size_t(1) << (places.size() / 2));
    cMqEncoder coder;
    u32 ltp = 0;
    for (i32 y = 0; y < bitmap.height; ++y) {
        if (tpgdon) {
            u32 same = 1;
            for (i32 x = 0; x < bitmap.width && same; ++x) {
                same = bitmap.At(x, y) == bitmap.At(x, y - 1);
            }
            coder.Encode(same ^ ltp, stats[kSltp[gbTemplate]]);
            ltp = same;
            if (ltp) {
                continue;
            }
        }
        for (i32 x = 0; x < bitmap.width; ++x) {
            u32 context = 0;
            for (size_t i = 0, a = 0; i < places.size(); i += 2) {
                const bool isAt = places[i] == 'A';
                const i32 dx = isAt ? at[2 * a] : places[i];
                const i32 dy = isAt ? at[2 * a + 1] : places[i + 1];
                a += isAt;
                context |= bitmap.At(x + dx, y + dy) << (i / 2);
            }
            coder.Encode(bitmap.At(x, y), stats[context]);
        }
    }
    return coder.Finish();
}

inline void PutU32(std::string& out, u32 value)
{
    for (i32 shift = 24; shift >= 0; shift -= 8) {
        out.push_back(char(value >> shift));
    }
}

// A segment (T.88 7.2); the header is written from these fields as they stand.
struct sSegment
{
    u32 number = 0;
    u8 type = 0;
    u32 page = 1;
    std::string data;
    std::vector<u32> referred;
    i64 length = -1; // >= 0: the data length field instead of the data's size

    std::string Header() const
    {
        std::string out;
        PutU32(out, number);
        const bool pageWide = page > 255;
        out.push_back(char(type | (pageWide ? 0x40 : 0)));
        const u32 count = u32(referred.size());
        if (count <= 4) {
            out.push_back(char(count << 5));
        } else {
            PutU32(out, 0xE0000000 | count);
            out.append((count + 8) / 8, '\0');
        }
        for (u32 n : referred) {
            const i32 bytes = number <= 256 ? 1 : number <= 65536 ? 2 : 4;
            for (i32 b = bytes - 1; b >= 0; --b) {
                out.push_back(char(n >> (8 * b)));
            }
        }
        if (pageWide) {
            PutU32(out, page);
        } else {
            out.push_back(char(page));
        }
        PutU32(out, length >= 0 ? u32(length) : u32(data.size()));
        return out;
    }
};

// An immediate generic region's data: region information with the external combination
// operator `operation` (T.88 7.4.1.5: 0 OR, 1 AND, 2 XOR, 3 XNOR, 4 REPLACE), flags, AT,
// code. Nominal AT pixels unless `at` is given.
inline std::string GenericRegion(const sBitmap& bitmap, u32 x = 0, u32 y = 0, i32 gbTemplate = 0,
                                 bool tpgdon = true, const i8* at = nullptr, u8 operation = 4)
{
    at = at != nullptr ? at : kNominalAt[gbTemplate];
    std::string out;
    PutU32(out, u32(bitmap.width));
    PutU32(out, u32(bitmap.height));
    PutU32(out, x);
    PutU32(out, y);
    out.push_back(char(operation));
    out.push_back(char(gbTemplate << 1 | (tpgdon ? 8 : 0)));
    out.append(reinterpret_cast<const char*>(at), gbTemplate == 0 ? 8 : 2);
    const std::vector<u8> code = EncodeGeneric(bitmap, gbTemplate, at, tpgdon);
    return out.append(code.begin(), code.end());
}

enum class eLayout
{
    Sequential,
    RandomAccess,
    Bare,
};

// The segments numbered in order, behind the file header (with a page
// count unless it is < 0) or as a bare stream.
inline std::string WriteFile(std::vector<sSegment> segments, eLayout layout, i64 pageCount)
{
    std::string out;
    if (layout != eLayout::Bare) {
        out = "\x97JB2\r\n\x1A\n";
        out.push_back(char((layout == eLayout::Sequential ? 1 : 0) | (pageCount < 0 ? 2 : 0)));
        if (pageCount >= 0) {
            PutU32(out, u32(pageCount));
        }
    }
    for (size_t i = 0; i < segments.size(); ++i) {
        segments[i].number = u32(i);
        out += segments[i].Header();
        if (layout != eLayout::RandomAccess) {
            out += segments[i].data;
        }
    }
    if (layout == eLayout::RandomAccess) {
        for (const sSegment& segment : segments) {
            out += segment.data;
        }
    }
    return out;
}

inline sSegment MakeSegment(u8 type, u32 page, std::string data)
{
    sSegment segment;
    segment.type = type;
    segment.page = page;
    segment.data = std::move(data);
    return segment;
}

// A page's segments: page information, the regions, end of page (type 49). The page flags
// (T.88 7.4.8.5) default to a white page whose regions may override the combination
// operator.
inline std::vector<sSegment> PageSegments(u32 page, u32 width, u32 height,
                                          const std::vector<std::string>& regions,
                                          u8 flags = 0x40)
{
    std::string info;
    PutU32(info, width);
    PutU32(info, height);
    info.append(8, '\0');       // resolution unknown
    info.push_back(char(flags));
    info.append(2, '\0');       // not striped
    std::vector<sSegment> out{MakeSegment(48, page, info)};
    for (const std::string& region : regions) {
        out.push_back(MakeSegment(38, page, region));
    }
    out.push_back(MakeSegment(49, page, ""));
    return out;
}

// Seeded random rows with runs, some repeated (so that TPGDON skips rows).
inline sBitmap RandomBitmap(i32 width, i32 height, u32 seed)
{
    sBitmap bitmap{width, height, std::vector<u8>(size_t(width) * height)};
    u32 state = seed * 2654435761u + 1;
    auto next = [&state] { return state = state * 1103515245u + 12345u, state >> 8; };
    for (i32 y = 0; y < height; ++y) {
        u8* row = &bitmap.pixels[size_t(y) * width];
        if (y > 0 && next() % 4 == 0) {
            std::copy(row - width, row, row);
            continue;
        }
        u8 value = next() & 1;
        for (i32 x = 0; x < width; ++x) {
            if (next() % 7 == 0) {
                value ^= 1;
            }
            row[x] = value;
        }
    }
    return bitmap;
}

// Concatenated raw PBMs (P4, 1 = black), as jbig2dec writes the pages of a file; empty when
// one is cut short.
inline std::vector<sBitmap> ParsePbm(const std::vector<u8>& bytes)
{
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    std::vector<sBitmap> pages;
    sBitmap page;
    std::string magic;
    while (in >> magic >> page.width >> page.height && magic == "P4" && in.get() &&
           page.width > 0 && page.height > 0 && page.width < 1 << 16) {
        std::string row(size_t(page.width + 7) / 8, '\0');
        page.pixels.clear();
        for (i32 y = 0; y < page.height && in.read(row.data(), std::streamsize(row.size())); ++y) {
            for (i32 x = 0; x < page.width; ++x) {
                page.pixels.push_back((u8(row[size_t(x / 8)]) >> (7 - x % 8)) & 1);
            }
        }
        if (page.pixels.size() != size_t(page.width) * page.height) {
            return {};
        }
        pages.push_back(page);
    }
    return pages;
}

} // namespace jbig2test

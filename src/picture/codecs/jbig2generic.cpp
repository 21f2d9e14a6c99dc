#include "picture/codecs/jbig2generic.h"

#include "base/byteorder.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr u8 kFlagMmr = 0x01;
constexpr u8 kFlagTpgdon = 0x08;
constexpr u8 kFlagExtTemplate = 0x10;

// T.88 6.2.5.7 3 b: the SLTP contexts, in the same statistics as the pixels.
constexpr u32 kSltpContext[4] = {0x9B25, 0x0795, 0x00E5, 0x0195};
constexpr u32 kContextBits[4] = {16, 13, 10, 10};
// The context bit of each AT pixel, and their nominal places (T.88 6.2.5.4).
constexpr u32 kAtBit[4][4] = {{4, 10, 11, 15}, {3}, {2}, {4}};
constexpr i8 kNominalAt[4][8] = {{3, -1, -3, -1, 2, -2, -2, -2}, {3, -1}, {2, -1}, {2, -1}};

// Row windows: for the pixel at x, bit j of a row's window is the pixel at x + 3 - j of
// that row, so a window moves one pixel with one shift and one new bit.
constexpr i32 kWindowLead = 3;

// An AT pixel is read from a window when it lies within one of the three rows' windows,
// else from the bitmap with bounds checks.
struct sAtPixel
{
    i32 dx;
    i32 dy;
    u32 bit;
    i32 row;   // 0, 1, 2 for a window, -1 for the slow path
    u32 shift; // the window bit
};

// The rows being decoded, a ring of `rows` rows: every row has one zero byte more than it
// needs, and the rows above the first are zero until the ring comes round, so that the row
// windows read ahead (up to x + 4) and above (y - 1, y - 2) without bounds checks. The ring
// holds as many rows as the template and the AT pixels reach up.
struct sRegion
{
    u8* bits;
    u64 stride;
    i32 width;
    i32 rows;

    // Row y, for y >= -rows.
    u8* Row(i32 y) const { return bits + u64(u32(y + rows) % u32(rows)) * stride; }
    // The AT pixels that lie outside the windows.
    u32 Pixel(i32 x, i32 y) const
    {
        if (x < 0 || x >= width || y < 0) {
            return 0;
        }
        return RowBit(Row(y), x);
    }
    static u32 RowBit(const u8* row, i32 x) { return (row[x >> 3] >> (7 - (x & 7))) & 1; }
};

// The context from the fixed template pixels (T.88 Figures 3-6, bit 0 first: the row's
// own pixels from x-1 leftwards, then the rows above from right to left).
template <u32 Template> inline u32 FixedContext(u32 w0, u32 w1, u32 w2)
{
    if constexpr (Template == 0) {
        return ((w0 >> 4) & 0xF) | ((w1 >> 1) & 0x1F) << 5 | ((w2 >> 2) & 7) << 12;
    } else if constexpr (Template == 1) {
        return ((w0 >> 4) & 7) | ((w1 >> 1) & 0x1F) << 4 | ((w2 >> 1) & 0xF) << 9;
    } else if constexpr (Template == 2) {
        return ((w0 >> 4) & 3) | ((w1 >> 2) & 0xF) << 3 | ((w2 >> 2) & 7) << 7;
    } else {
        return ((w0 >> 4) & 0xF) | ((w1 >> 2) & 0x1F) << 5;
    }
}

// The AT pixels at their nominal places, taken from the windows with fixed shifts.
template <u32 Template> inline u32 NominalAtContext(u32 w1, u32 w2)
{
    if constexpr (Template == 0) {
        return (w1 & 1) << 4 | ((w1 >> 6) & 1) << 10 | ((w2 >> 1) & 1) << 11 |
               ((w2 >> 5) & 1) << 15;
    } else if constexpr (Template == 1) {
        return (w1 & 1) << 3;
    } else if constexpr (Template == 2) {
        return ((w1 >> 1) & 1) << 2;
    } else {
        return ((w1 >> 1) & 1) << 4;
    }
}

// With the AT pixels at their nominal places, each row's pixels form one run of context
// bits, so the next pixel's context is this one shifted by one place within each run, plus
// the decision and the one new pixel of each row above.
struct sNominalRuns
{
    u32 keep;      // the bits that stay within their run when shifted
    u32 lead1;     // the new pixel of row y-1 is (x + lead1) ...
    u32 bit1;      // ... and goes to this context bit
    u32 lead2;     // the same for row y-2; bit2 0 when the template has no row y-2
    u32 bit2;
};
constexpr sNominalRuns kNominalRuns[4] = {
    {0x7BF7, 4, 4, 3, 11},
    {0x0EFB, 4, 3, 3, 9},
    {0x01BD, 3, 2, 2, 7},
    {0x01F7, 3, 4, 0, 0},
};

// Decodes `count` (1-8) pixels from x = 8 * index on; the context of the first is given
// and the one after the last is returned. The rows above are read a byte pair at a time.
template <u32 Template>
[[gnu::always_inline]] inline u32 DecodeNominalByte(sMqDecoder* d, tMqContext* stats, u32 context,
                                                    const u8* above, const u8* above2, i32 index,
                                                    i32 count, u8* out)
{
    constexpr sNominalRuns runs = kNominalRuns[Template];
    const u32 pair1 = LoadBe16(above + index);
    const u32 pair2 = LoadBe16(above2 + index);
    u32 byte = 0;
    for (i32 m = 0; m < count; ++m) {
        const u32 decision = u32(MqDecode(d, &stats[context]));
        byte |= decision << (7 - m);
        context = (context & runs.keep) << 1 | decision |
                  ((pair1 >> (15 - runs.lead1 - m)) & 1) << runs.bit1;
        if constexpr (runs.bit2 != 0) {
            context |= ((pair2 >> (15 - runs.lead2 - m)) & 1) << runs.bit2;
        }
    }
    *out = u8(byte);
    return context;
}

// T.88 6.2.5.7 3 b: TPGDON's decision for row y; true when the row repeats the one above
// (then copied).
template <u32 Template>
inline bool RepeatsRowAbove(const sRegion& region, i32 y, u32& ltp, sMqDecoder* d,
                            tMqContext* stats)
{
    ltp ^= u32(MqDecode(d, &stats[kSltpContext[Template]]));
    if (ltp == 0) {
        return false;
    }
    std::memcpy(region.Row(y), region.Row(y - 1), region.stride);
    return true;
}

template <u32 Template>
void DecodeNominalRow(const sRegion& region, const sAtPixel*, i32, i32 y, bool tpgdon, u32& ltp,
                      sMqDecoder* decoder, tMqContext* stats)
{
    sMqDecoder d = *decoder; // see DecodeRow
    u8* row = region.Row(y);
    const u8* above = region.Row(y - 1);
    const u8* above2 = region.Row(y - 2);
    if (!tpgdon || !RepeatsRowAbove<Template>(region, y, ltp, &d, stats)) {
        const i32 wholeBytes = region.width / 8;
        const i32 tail = region.width % 8;
        u32 w1 = 0;
        u32 w2 = 0;
        for (i32 i = 0; i <= kWindowLead; ++i) {
            w1 = w1 << 1 | sRegion::RowBit(above, i);
            w2 = w2 << 1 | sRegion::RowBit(above2, i);
        }
        u32 context = FixedContext<Template>(0, w1, w2) | NominalAtContext<Template>(w1, w2);
        for (i32 index = 0; index < wholeBytes; ++index) {
            context = DecodeNominalByte<Template>(&d, stats, context, above, above2, index, 8,
                                                  row + index);
        }
        if (tail != 0) {
            (void)DecodeNominalByte<Template>(&d, stats, context, above, above2, wholeBytes, tail,
                                              row + wholeBytes);
        }
    }
    *decoder = d;
}

template <u32 Template>
void DecodeRow(const sRegion& region, const sAtPixel* at, i32 atCount, i32 y, bool tpgdon,
               u32& ltp, sMqDecoder* decoder, tMqContext* stats)
{
    // A local copy: the row and statistics stores are byte stores, which could alias a
    // decoder behind a pointer and would pin its registers to memory.
    sMqDecoder d = *decoder;
    const i32 width = region.width;
    u8* row = region.Row(y);
    const u8* above = region.Row(y - 1);
    const u8* above2 = region.Row(y - 2);
    if (!tpgdon || !RepeatsRowAbove<Template>(region, y, ltp, &d, stats)) {
        u32 w0 = 0;
        u32 w1 = 0;
        u32 w2 = 0;
        for (i32 i = 0; i <= kWindowLead; ++i) {
            w1 = w1 << 1 | sRegion::RowBit(above, i);
            w2 = w2 << 1 | sRegion::RowBit(above2, i);
        }
        for (i32 x = 0; x < width; ++x) {
            u32 context = FixedContext<Template>(w0, w1, w2);
            for (i32 k = 0; k < atCount; ++k) {
                const sAtPixel& pixel = at[k];
                u32 value;
                if (pixel.row == 0) {
                    value = w0 >> pixel.shift;
                } else if (pixel.row == 1) {
                    value = w1 >> pixel.shift;
                } else if (pixel.row == 2) {
                    value = w2 >> pixel.shift;
                } else {
                    value = region.Pixel(x + pixel.dx, y + pixel.dy);
                }
                context |= (value & 1) << pixel.bit;
            }
            const u32 decision = u32(MqDecode(&d, &stats[context]));
            w0 = w0 << 1 | decision << (kWindowLead + 1);
            // The row's byte is stored whole once its 8 pixels are known; AT pixels of
            // this row come from w0, never from the byte being built.
            if ((x & 7) == 7) {
                row[x >> 3] = u8(w0 >> (kWindowLead + 1));
            }
            w1 = w1 << 1 | sRegion::RowBit(above, x + kWindowLead + 1);
            w2 = w2 << 1 | sRegion::RowBit(above2, x + kWindowLead + 1);
        }
        if ((width & 7) != 0) {
            row[width >> 3] = u8(w0 >> (kWindowLead + 1) << (8 - (width & 7)));
        }
    }
    *decoder = d;
}

using tDecodeRow = void (*)(const sRegion&, const sAtPixel*, i32, i32, bool, u32&, sMqDecoder*,
                            tMqContext*);
constexpr tDecodeRow kDecodeRow[4] = {DecodeRow<0>, DecodeRow<1>, DecodeRow<2>, DecodeRow<3>};
constexpr tDecodeRow kDecodeNominalRow[4] = {DecodeNominalRow<0>, DecodeNominalRow<1>,
                                             DecodeNominalRow<2>, DecodeNominalRow<3>};

} // namespace

u32 Jbig2GenericAtBytes(u8 flags)
{
    if ((flags & kFlagMmr) != 0) {
        return 0;
    }
    return ((flags >> 1) & 3) == 0 ? 8 : 2;
}

struct cJbig2GenericRows::sState
{
    sAtPixel at[4];
    i32 atCount = 0;
    tDecodeRow decodeRow = nullptr;
    _typebuf<u8> work;
    _typebuf<u8> stats;
    sRegion region{};
    bool tpgdon = false;
    u32 ltp = 0;
    i32 y = 0;
    sMqDecoder* decoder = nullptr;
};

cJbig2GenericRows::cJbig2GenericRows() = default;
cJbig2GenericRows::~cJbig2GenericRows() = default;

cJbig2GenericRows::eStart cJbig2GenericRows::Start(const sJbig2GenericHeader& header, sMqDecoder* decoder,
                              u64 memoryLimit)
{
    m_memory = 0;
    // The pixel cap also bounds the decoding time: one MQ decision per pixel.
    if ((header.flags & (kFlagMmr | kFlagExtTemplate)) != 0 ||
        !PixelBufferSizeOk(header.width, header.height, 1)) {
        return eStart::Refused;
    }
    if (m_state == nullptr) {
        m_state.reset(new (std::nothrow) sState);
        if (m_state == nullptr) {
            return eStart::Refused;
        }
    }
    sState& state = *m_state;
    const u32 gbTemplate = (header.flags >> 1) & 3;
    const i32 atCount = gbTemplate == 0 ? 4 : 1;
    i32 reach = 2; // the fixed templates reach two rows up
    state.atCount = 0;
    for (i32 k = 0; k < atCount; ++k) {
        const i32 dx = header.at[2 * k];
        const i32 dy = header.at[2 * k + 1];
        if (dy > 0 || (dy == 0 && dx >= 0)) {
            return eStart::Refused;
        }
        sAtPixel pixel{dx, dy, kAtBit[gbTemplate][k], -1, 0};
        const i32 windowBit = kWindowLead - dx;
        if (dy >= -2 && windowBit >= 0 && windowBit < 32) {
            pixel.row = -dy;
            pixel.shift = u32(windowBit);
        }
        state.at[state.atCount++] = pixel;
        reach = std::max(reach, -dy);
    }
    const u64 workStride = (u64(header.width) - 1) / 8 + 2;
    const i32 rows = i32(std::max<u64>(std::min<u64>(u64(reach) + 1, u64(header.height) + 2), 3));
    const u64 workSize = workStride * u64(rows);
    const u64 statsSize = u64(1) << kContextBits[gbTemplate];
    if (workSize + statsSize > memoryLimit) {
        return eStart::OverLimit;
    }
    if (!state.work.Alloc(i64(workSize)) || !state.stats.Alloc(i64(statsSize))) {
        return eStart::Refused;
    }
    std::memset(state.work.GetData(), 0, workSize);
    std::memset(state.stats.GetData(), 0, statsSize);
    state.region = {state.work.GetData(), workStride, i32(header.width), rows};
    state.tpgdon = (header.flags & kFlagTpgdon) != 0;
    state.ltp = 0;
    state.y = 0;
    state.decoder = decoder;
    const bool nominal = std::memcmp(header.at, kNominalAt[gbTemplate], 2 * u64(atCount)) == 0;
    state.decodeRow = nominal ? kDecodeNominalRow[gbTemplate] : kDecodeRow[gbTemplate];
    m_memory = workSize + statsSize;
    return eStart::Started;
}

const u8* cJbig2GenericRows::NextRow()
{
    sState& state = *m_state;
    state.decodeRow(state.region, state.at, state.atCount, state.y, state.tpgdon, state.ltp,
                    state.decoder, state.stats.GetData());
    return state.region.Row(state.y++);
}

bool DecodeGenericRegion(const sJbig2GenericHeader& header, sMqDecoder* decoder,
                         _typebuf<u8>& bitmap)
{
    cJbig2GenericRows rows;
    const u64 stride = (u64(header.width) - 1) / 8 + 1;
    if (rows.Start(header, decoder, UINT64_MAX) != cJbig2GenericRows::eStart::Started || !bitmap.Alloc(i64(stride * header.height))) {
        return false;
    }
    for (u32 y = 0; y < header.height; ++y) {
        std::memcpy(bitmap.GetData() + u64(y) * stride, rows.NextRow(), stride);
    }
    return true;
}

// The filters of ISO/IEC 15948 clause 9.2, reversed: with x the byte, a the byte
// bytesPerPixel to its left, b the byte above and c the byte above a (each 0 outside the
// row), Sub adds a, Up adds b, Average adds floor((a + b) / 2) and Paeth adds the one of
// a, b, c nearest to a + b - c (ties in that order). The loops are specialised per pixel
// size so that the compiler keeps the left neighbour in registers.
#include "picture/formats/pngfilters.h"

#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

template <i32 kBpp>
void UnfilterSub(u8* row, i64 length)
{
    for (i64 i = kBpp; i < length; ++i) {
        row[i] = u8(row[i] + row[i - kBpp]);
    }
}

void UnfilterUp(u8* row, const u8* previous, i64 length)
{
    for (i64 i = 0; i < length; ++i) {
        row[i] = u8(row[i] + previous[i]);
    }
}

template <i32 kBpp>
void UnfilterAverage(u8* row, const u8* previous, i64 length)
{
    const i64 head = length < kBpp ? length : kBpp;
    for (i64 i = 0; i < head; ++i) {
        row[i] = u8(row[i] + (previous[i] >> 1));
    }
    for (i64 i = kBpp; i < length; ++i) {
        row[i] = u8(row[i] + ((u32(row[i - kBpp]) + previous[i]) >> 1));
    }
}

inline u8 PaethPredictor(i32 a, i32 b, i32 c)
{
    const i32 pa = std::abs(b - c);     // |p - a| with p = a + b - c
    const i32 pb = std::abs(a - c);     // |p - b|
    const i32 pc = std::abs(a + b - 2 * c); // |p - c|
    if (pa <= pb && pa <= pc) {
        return u8(a);
    }
    return u8(pb <= pc ? b : c);
}

template <i32 kBpp>
void UnfilterPaeth(u8* row, const u8* previous, i64 length)
{
    // Left of the first pixel a and c are 0, so the predictor is b.
    const i64 head = length < kBpp ? length : kBpp;
    for (i64 i = 0; i < head; ++i) {
        row[i] = u8(row[i] + previous[i]);
    }
    for (i64 i = kBpp; i < length; ++i) {
        row[i] = u8(row[i] + PaethPredictor(row[i - kBpp], previous[i], previous[i - kBpp]));
    }
}

#if defined(__SSE2__)
// Pixels of 3 to 8 bytes, one pixel at a time in the low 16-bit lanes of a register: the
// left neighbour is the previous result, so the pixels cannot go in parallel. A pixel is
// loaded as a whole word (4 or 8 bytes), which reaches past a 3- or 6-byte pixel into the
// next one (or the padding after the row); the lanes beyond the pixel are kept 0 in a, b
// and c. Only the pixel's own bytes are stored: a store reaching into the next pixel would
// make its load wait for the store to complete.
template <i32 kBpp>
struct sPixelWord
{
    static constexpr i32 kBytes = kBpp <= 4 ? 4 : 8;

    static __m128i Load(const u8* p)
    {
        if constexpr (kBytes == 4) {
            u32 bytes;
            std::memcpy(&bytes, p, 4);
            return _mm_unpacklo_epi8(_mm_cvtsi32_si128(i32(bytes)), _mm_setzero_si128());
        } else {
            u64 bytes;
            std::memcpy(&bytes, p, 8);
            return _mm_unpacklo_epi8(_mm_cvtsi64_si128(i64(bytes)), _mm_setzero_si128());
        }
    }

    static void Store(u8* p, __m128i lanes)
    {
        const __m128i packed = _mm_packus_epi16(lanes, lanes);
        if constexpr (kBytes == 4) {
            const u32 bytes = u32(_mm_cvtsi128_si32(packed));
            if constexpr (kBpp == 4) {
                std::memcpy(p, &bytes, 4);
            } else {
                const u16 low = u16(bytes);
                std::memcpy(p, &low, 2);
                p[2] = u8(bytes >> 16);
            }
        } else {
            const u64 bytes = u64(_mm_cvtsi128_si64(packed));
            if constexpr (kBpp == 8) {
                std::memcpy(p, &bytes, 8);
            } else {
                const u32 low = u32(bytes);
                const u16 high = u16(bytes >> 32);
                std::memcpy(p, &low, 4);
                std::memcpy(p + 4, &high, 2);
            }
        }
    }

    // All ones in the lanes of the pixel's own bytes.
    static __m128i OwnLanes()
    {
        alignas(16) u16 mask[8] = {};
        for (i32 i = 0; i < kBpp; ++i) {
            mask[i] = 0xFFFF;
        }
        return _mm_load_si128(reinterpret_cast<const __m128i*>(mask));
    }
};

inline __m128i AbsoluteLanes(__m128i x)
{
    return _mm_max_epi16(x, _mm_sub_epi16(_mm_setzero_si128(), x));
}

// The sum of two bytes' lanes, kept to 8 bits.
inline __m128i AddBytes(__m128i x, __m128i y)
{
    return _mm_and_si128(_mm_add_epi16(x, y), _mm_set1_epi16(0xFF));
}

template <i32 kBpp>
void UnfilterSubPixels(u8* row, i64 length)
{
    using Word = sPixelWord<kBpp>;
    const __m128i own = Word::OwnLanes();
    __m128i a = _mm_and_si128(Word::Load(row), own);
    for (i64 i = kBpp; i + kBpp <= length; i += kBpp) {
        const __m128i x = AddBytes(Word::Load(row + i), a);
        Word::Store(row + i, x);
        a = _mm_and_si128(x, own);
    }
}

template <i32 kBpp>
void UnfilterAveragePixels(u8* row, const u8* previous, i64 length)
{
    using Word = sPixelWord<kBpp>;
    const __m128i own = Word::OwnLanes();
    __m128i a = _mm_setzero_si128();
    for (i64 i = 0; i + kBpp <= length; i += kBpp) {
        const __m128i b = _mm_and_si128(Word::Load(previous + i), own);
        const __m128i x =
            AddBytes(Word::Load(row + i), _mm_srli_epi16(_mm_add_epi16(a, b), 1));
        Word::Store(row + i, x);
        a = _mm_and_si128(x, own);
    }
}

template <i32 kBpp>
void UnfilterPaethPixels(u8* row, const u8* previous, i64 length)
{
    using Word = sPixelWord<kBpp>;
    const __m128i own = Word::OwnLanes();
    __m128i a = _mm_setzero_si128();
    __m128i c = _mm_setzero_si128();
    for (i64 i = 0; i + kBpp <= length; i += kBpp) {
        const __m128i b = _mm_and_si128(Word::Load(previous + i), own);
        const __m128i bc = _mm_sub_epi16(b, c);
        const __m128i ac = _mm_sub_epi16(a, c);
        const __m128i pa = AbsoluteLanes(bc);
        const __m128i pb = AbsoluteLanes(ac);
        const __m128i pc = AbsoluteLanes(_mm_add_epi16(bc, ac));
        const __m128i smallest = _mm_min_epi16(_mm_min_epi16(pa, pb), pc);
        const __m128i takeA = _mm_cmpeq_epi16(pa, smallest);
        const __m128i takeB = _mm_cmpeq_epi16(pb, smallest);
        __m128i predictor = _mm_or_si128(_mm_and_si128(takeB, b), _mm_andnot_si128(takeB, c));
        predictor = _mm_or_si128(_mm_and_si128(takeA, a), _mm_andnot_si128(takeA, predictor));
        const __m128i x = AddBytes(Word::Load(row + i), predictor);
        Word::Store(row + i, x);
        a = _mm_and_si128(x, own);
        c = b;
    }
}
#endif

template <i32 kBpp>
void UnfilterWith(u8 filterType, u8* row, const u8* previous, i64 length)
{
#if defined(__SSE2__)
    if constexpr (kBpp >= 3) {
        switch (filterType) {
        case kPngFilterSub:
            UnfilterSubPixels<kBpp>(row, length);
            return;
        case kPngFilterAverage:
            UnfilterAveragePixels<kBpp>(row, previous, length);
            return;
        case kPngFilterPaeth:
            UnfilterPaethPixels<kBpp>(row, previous, length);
            return;
        default:
            break;
        }
    }
#endif
    switch (filterType) {
    case kPngFilterSub:
        UnfilterSub<kBpp>(row, length);
        break;
    case kPngFilterUp:
        UnfilterUp(row, previous, length);
        break;
    case kPngFilterAverage:
        UnfilterAverage<kBpp>(row, previous, length);
        break;
    case kPngFilterPaeth:
        UnfilterPaeth<kBpp>(row, previous, length);
        break;
    default:
        break;
    }
}

} // namespace

void UnfilterPngRow(u8 filterType, u8* row, const u8* previous, i64 length, i32 bytesPerPixel)
{
    switch (bytesPerPixel) {
    case 1:
        UnfilterWith<1>(filterType, row, previous, length);
        break;
    case 2:
        UnfilterWith<2>(filterType, row, previous, length);
        break;
    case 3:
        UnfilterWith<3>(filterType, row, previous, length);
        break;
    case 4:
        UnfilterWith<4>(filterType, row, previous, length);
        break;
    case 6:
        UnfilterWith<6>(filterType, row, previous, length);
        break;
    case 8:
        UnfilterWith<8>(filterType, row, previous, length);
        break;
    default:
        break;
    }
}

// GHASH with the carry-less multiply instruction (PCLMULQDQ), after Gueron and Kounavis,
// "Intel Carry-Less Multiplication Instruction and its Usage for Computing the GCM Mode"
// (2010), algorithms 1, 4 and 5: blocks are byte-reversed so that the 256-bit product
// of two reflected values is the reflected product shifted right by one; shifting it
// left by one and reducing modulo x^128 + x^7 + x^2 + x + 1 gives the GCM product.
// Eight blocks share one reduction: X1*H^8 + X2*H^7 + ... + X8*H.
// CT: no branch or memory index depends on H or the data.
#include "net/crypto/ghashpath.h"

#include <immintrin.h>

#define CLMUL_TARGET __attribute__((target("pclmul,ssse3,sse2")))

namespace {

constexpr int kAggregated = 8;

CLMUL_TARGET inline __m128i ByteReverse(__m128i x)
{
    return _mm_shuffle_epi8(x, _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15));
}

// lo:hi += a * b without reduction (schoolbook, four products).
CLMUL_TARGET inline void MultiplyAdd(__m128i a, __m128i b, __m128i& lo, __m128i& mid, __m128i& hi)
{
    lo = _mm_xor_si128(lo, _mm_clmulepi64_si128(a, b, 0x00));
    hi = _mm_xor_si128(hi, _mm_clmulepi64_si128(a, b, 0x11));
    mid = _mm_xor_si128(mid, _mm_clmulepi64_si128(a, b, 0x10));
    mid = _mm_xor_si128(mid, _mm_clmulepi64_si128(a, b, 0x01));
}

// The reflected 256-bit product lo:mid:hi, shifted left by one and reduced.
CLMUL_TARGET inline __m128i Reduce(__m128i lo, __m128i mid, __m128i hi)
{
    lo = _mm_xor_si128(lo, _mm_slli_si128(mid, 8));
    hi = _mm_xor_si128(hi, _mm_srli_si128(mid, 8));
    // Shift the 256 bits hi:lo left by one.
    __m128i carryLo = _mm_srli_epi32(lo, 31);
    __m128i carryHi = _mm_srli_epi32(hi, 31);
    lo = _mm_slli_epi32(lo, 1);
    hi = _mm_slli_epi32(hi, 1);
    const __m128i crossing = _mm_srli_si128(carryLo, 12);
    carryHi = _mm_slli_si128(carryHi, 4);
    carryLo = _mm_slli_si128(carryLo, 4);
    lo = _mm_or_si128(lo, carryLo);
    hi = _mm_or_si128(hi, carryHi);
    hi = _mm_or_si128(hi, crossing);
    // Reduction, first phase.
    __m128i a = _mm_slli_epi32(lo, 31);
    __m128i b = _mm_slli_epi32(lo, 30);
    __m128i c = _mm_slli_epi32(lo, 25);
    a = _mm_xor_si128(a, _mm_xor_si128(b, c));
    const __m128i spill = _mm_srli_si128(a, 4);
    a = _mm_slli_si128(a, 12);
    lo = _mm_xor_si128(lo, a);
    // Second phase.
    __m128i d = _mm_srli_epi32(lo, 1);
    __m128i e = _mm_srli_epi32(lo, 2);
    __m128i f = _mm_srli_epi32(lo, 7);
    d = _mm_xor_si128(d, _mm_xor_si128(e, f));
    d = _mm_xor_si128(d, spill);
    lo = _mm_xor_si128(lo, d);
    return _mm_xor_si128(hi, lo);
}

CLMUL_TARGET inline __m128i Multiply(__m128i a, __m128i b)
{
    __m128i lo = _mm_setzero_si128(), mid = _mm_setzero_si128(), hi = _mm_setzero_si128();
    MultiplyAdd(a, b, lo, mid, hi);
    return Reduce(lo, mid, hi);
}

CLMUL_TARGET inline __m128i LoadPower(const sGcmKey& key, int exponent)
{
    return _mm_load_si128(reinterpret_cast<const __m128i*>(key.m_powers[exponent - 1]));
}

CLMUL_TARGET void Absorb(const sGcmKey& key, u8* accumulator, const u8* data, size_t blocks)
{
    __m128i acc = ByteReverse(_mm_loadu_si128(reinterpret_cast<const __m128i*>(accumulator)));
    while (blocks >= kAggregated) {
        __m128i lo = _mm_setzero_si128(), mid = _mm_setzero_si128(), hi = _mm_setzero_si128();
        for (int j = 0; j < kAggregated; ++j) {
            __m128i x = ByteReverse(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * j)));
            if (j == 0) {
                x = _mm_xor_si128(x, acc);
            }
            MultiplyAdd(x, LoadPower(key, kAggregated - j), lo, mid, hi);
        }
        acc = Reduce(lo, mid, hi);
        data += 16 * kAggregated;
        blocks -= kAggregated;
    }
    const __m128i h = LoadPower(key, 1);
    for (; blocks != 0; --blocks) {
        const __m128i x = ByteReverse(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data)));
        acc = Multiply(_mm_xor_si128(acc, x), h);
        data += 16;
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(accumulator), ByteReverse(acc));
}

constexpr sGhashPath kClmulPath = {"clmul", Absorb};

} // namespace

CLMUL_TARGET void GhashClmulPreparePowers(sGcmKey& key, const u8* hashKey)
{
    const __m128i h = ByteReverse(_mm_loadu_si128(reinterpret_cast<const __m128i*>(hashKey)));
    __m128i power = h;
    for (int i = 0; i < kAggregated; ++i) {
        _mm_store_si128(reinterpret_cast<__m128i*>(key.m_powers[i]), power);
        power = Multiply(power, h);
    }
}

const sGhashPath* GhashClmulPath()
{
    // Every processor with PCLMULQDQ has SSSE3 (PSHUFB) and SSE4.1; asking for SSE4.1 too
    // keeps the override list able to turn the path off through either flag.
    const sCpuFeatures& features = AesCpuFeatures();
    return features.m_pclmul != 0 && features.m_sse41 != 0 ? &kClmulPath : nullptr;
}

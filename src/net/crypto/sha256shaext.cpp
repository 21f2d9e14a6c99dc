// SHA-256 on the processor's SHA extensions (SHA256RNDS2, SHA256MSG1, SHA256MSG2): four
// rounds per group, the state kept as ABEF/CDGH as the instructions expect. The choice
// between this and the portable compression is made once per run.
#include "net/crypto/sha256blocks.h"

#include "base/cpu.h"

#include <atomic>
#include <immintrin.h>

#define SHAEXT_TARGET __attribute__((target("sha,sse4.1,ssse3")))

namespace {

// FIPS 180-4 4.2.2.
alignas(16) constexpr u32 kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

SHAEXT_TARGET void CompressBlocks(u32* h, const u8* data, size_t blocks)
{
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bll, 0x0405060700010203ll);
    __m128i cdab = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h)), 0xB1);
    __m128i hgfe = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h + 4)), 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, hgfe, 8);
    __m128i cdgh = _mm_blend_epi16(hgfe, cdab, 0xF0);
    for (; blocks != 0; --blocks, data += 64) {
        const __m128i abefSaved = abef;
        const __m128i cdghSaved = cdgh;
        __m128i w[4]; // W[4g..4g+3] of group g lives in w[g % 4]
#pragma GCC unroll 16
        for (int g = 0; g < 16; ++g) {
            if (g < 4) {
                w[g] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * g)), byteSwap);
            }
            __m128i m = _mm_add_epi32(w[g & 3], _mm_load_si128(reinterpret_cast<const __m128i*>(kRoundConstants + 4 * g)));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, m);
            if (g >= 3 && g <= 14) {
                // W[4g+4..4g+7] from the window (FIPS 180-4 6.2.2 step 1).
                __m128i& next = w[(g + 1) & 3];
                next = _mm_add_epi32(next, _mm_alignr_epi8(w[g & 3], w[(g - 1) & 3], 4));
                next = _mm_sha256msg2_epu32(next, w[g & 3]);
            }
            m = _mm_shuffle_epi32(m, 0x0E);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, m);
            if (g >= 1 && g <= 12) {
                w[(g - 1) & 3] = _mm_sha256msg1_epu32(w[(g - 1) & 3], w[g & 3]);
            }
        }
        abef = _mm_add_epi32(abef, abefSaved);
        cdgh = _mm_add_epi32(cdgh, cdghSaved);
    }
    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(h), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(h + 4), _mm_alignr_epi8(dchg, feba, 8));
}

// The SHA instructions with SSE4.1 (and so SSSE3), from the feature record, whose
// override list can turn either off.
bool ProcessorHasShaExtensions()
{
    const sCpuFeatures& features = GetCpuFeatures();
    return features.m_sha != 0 && features.m_sse41 != 0;
}

} // namespace

std::atomic<tSha256Blocks> g_forcedSha256Blocks{nullptr};

tSha256Blocks Sha256ShaExtensionBlocks()
{
    static const bool present = ProcessorHasShaExtensions();
    return present ? CompressBlocks : nullptr;
}

void Sha256CompressBlocks(u32* h, const u8* data, size_t blocks)
{
    if (tSha256Blocks forced = g_forcedSha256Blocks.load(std::memory_order_relaxed)) {
        forced(h, data, blocks);
        return;
    }
    static const tSha256Blocks chosen = Sha256ShaExtensionBlocks() != nullptr ? Sha256ShaExtensionBlocks()
                                        : Sha256Bmi2Blocks() != nullptr       ? Sha256Bmi2Blocks()
                                                                              : Sha256CompressBlocksPortable;
    chosen(h, data, blocks);
}

// The X25519 ladder on AVX2 vectors. Field elements stay in registers as four vectors of
// four 64-bit limbs (radix 2^16) from the first step to the last.
//
// Multiplication: the sixteen limbs of a factor
// sit in four vectors of four 64-bit lanes, and VPMULDQ multiplies the low (signed) 32
// bits of each lane. Every limb the ladder multiplies stays far inside 32 bits: carried
// limbs are below 2^16 + 2^12, and sums or differences of two of them below 2^18.
//
// Operand scanning in four residue classes: the products b[j] * a land at limb offset j;
// class r = j mod 4 keeps them in vectors aligned to j - r, and the classes are shifted up
// by r lanes and added at the end, so that no load straddles vector boundaries.
// CT: no branch or memory index depends on the limb values.
#include "net/x25519ladder.h"

#include "base/cpu.h"

#include <immintrin.h>

#define AVX2_TARGET __attribute__((target("avx2")))

namespace {

// Lanes moved up by kLanes, the low ones filled from the top of `below`.
template <int kLanes>
AVX2_TARGET inline __m256i ShiftUp(__m256i current, __m256i below)
{
    constexpr int rotate = kLanes == 1 ? 0x93 : kLanes == 2 ? 0x4E : 0x39;
    constexpr int fromBelow = kLanes == 1 ? 0x03 : kLanes == 2 ? 0x0F : 0x3F;
    return _mm256_blend_epi32(_mm256_permute4x64_epi64(current, rotate),
                              _mm256_permute4x64_epi64(below, rotate), fromBelow);
}

AVX2_TARGET inline __m256i Times38(__m256i x)
{
    return _mm256_add_epi64(_mm256_slli_epi64(x, 5),
                            _mm256_add_epi64(_mm256_slli_epi64(x, 2), _mm256_slli_epi64(x, 1)));
}

// Every limb keeps its low 16 bits and adds the carry of the limb below, all limbs at
// once; the carry out of limb 15 comes into limb 0 times 38. AVX2 has no arithmetic 64-bit
// shift, so the carry is taken from the value biased by 2^62 (|limb| < 2^62 here).
AVX2_TARGET inline void CarryParallel(__m256i* limbs)
{
    const __m256i bias = _mm256_set1_epi64x(1ll << 62);
    const __m256i biasCarry = _mm256_set1_epi64x(1ll << 46);
    const __m256i low = _mm256_set1_epi64x(0xffff);
    __m256i carry[4];
#pragma GCC unroll 4
    for (int v = 0; v < 4; ++v) {
        carry[v] = _mm256_sub_epi64(_mm256_srli_epi64(_mm256_add_epi64(limbs[v], bias), 16), biasCarry);
        limbs[v] = _mm256_and_si256(limbs[v], low);
    }
    const __m256i wrapped = Times38(carry[3]);
#pragma GCC unroll 4
    for (int v = 0; v < 4; ++v) {
        limbs[v] = _mm256_add_epi64(limbs[v], ShiftUp<1>(carry[v], v == 0 ? wrapped : carry[v - 1]));
    }
}

// A field element in four vectors: limbs 4v .. 4v + 3 in vector v.
struct sVectorElem
{
    __m256i v[4];
};

AVX2_TARGET inline sVectorElem Load(const sFieldElem25519& x)
{
    sVectorElem out;
#pragma GCC unroll 4
    for (int v = 0; v < 4; ++v) {
        out.v[v] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(x.m_limbs + 4 * v));
    }
    return out;
}

AVX2_TARGET inline void Store(sFieldElem25519& out, const sVectorElem& x)
{
#pragma GCC unroll 4
    for (int v = 0; v < 4; ++v) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out.m_limbs + 4 * v), x.v[v]);
    }
}

AVX2_TARGET inline sVectorElem Mul(const sVectorElem& a, const sVectorElem& b)
{
    const __m256i* factor = a.v;
    alignas(32) i64 bLimbs[16];
#pragma GCC unroll 4
    for (int v = 0; v < 4; ++v) {
        _mm256_store_si256(reinterpret_cast<__m256i*>(bLimbs + 4 * v), b.v[v]);
    }
    // classes[r][m] holds product limbs 4m + r .. 4m + r + 3.
    __m256i classes[4][7];
#pragma GCC unroll 4
    for (int r = 0; r < 4; ++r) {
#pragma GCC unroll 7
        for (int m = 0; m < 7; ++m) {
            classes[r][m] = _mm256_setzero_si256();
        }
    }
#pragma GCC unroll 16
    for (int j = 0; j < 16; ++j) {
        const __m256i bj = _mm256_set1_epi64x(bLimbs[j]);
#pragma GCC unroll 4
        for (int v = 0; v < 4; ++v) {
            __m256i& sum = classes[j & 3][(j >> 2) + v];
            sum = _mm256_add_epi64(sum, _mm256_mul_epi32(bj, factor[v]));
        }
    }
    // The 31-limb product in eight vectors (the last lane stays 0).
    __m256i product[8];
    const __m256i zero = _mm256_setzero_si256();
#pragma GCC unroll 8
    for (int m = 0; m < 8; ++m) {
        __m256i t = m < 7 ? classes[0][m] : zero;
        t = _mm256_add_epi64(t, ShiftUp<1>(m < 7 ? classes[1][m] : zero, m > 0 ? classes[1][m - 1] : zero));
        t = _mm256_add_epi64(t, ShiftUp<2>(m < 7 ? classes[2][m] : zero, m > 0 ? classes[2][m - 1] : zero));
        t = _mm256_add_epi64(t, ShiftUp<3>(m < 7 ? classes[3][m] : zero, m > 0 ? classes[3][m - 1] : zero));
        product[m] = t;
    }
    // Fold limbs 16..30 back times 38 (2^256 = 38 mod p). Three parallel carries bring the
    // limbs from below 2^55 to below 2^16 + 2^12, as two serial passes would.
    sVectorElem out;
#pragma GCC unroll 4
    for (int v = 0; v < 4; ++v) {
        out.v[v] = _mm256_add_epi64(product[v], Times38(product[v + 4]));
    }
    CarryParallel(out.v);
    CarryParallel(out.v);
    CarryParallel(out.v);
    return out;
}

AVX2_TARGET inline sVectorElem Add(const sVectorElem& a, const sVectorElem& b)
{
    sVectorElem out;
#pragma GCC unroll 4
    for (int v = 0; v < 4; ++v) {
        out.v[v] = _mm256_add_epi64(a.v[v], b.v[v]);
    }
    return out;
}

AVX2_TARGET inline sVectorElem Sub(const sVectorElem& a, const sVectorElem& b)
{
    sVectorElem out;
#pragma GCC unroll 4
    for (int v = 0; v < 4; ++v) {
        out.v[v] = _mm256_sub_epi64(a.v[v], b.v[v]);
    }
    return out;
}

// Times a24 = 121665 (below 2^17, so VPMULDQ takes it), then two parallel carries: the
// limbs go from below 2^35 to below 2^16 + 2^13.
AVX2_TARGET inline sVectorElem MulA24(const sVectorElem& a)
{
    const __m256i a24 = _mm256_set1_epi64x(121665);
    sVectorElem out;
#pragma GCC unroll 4
    for (int v = 0; v < 4; ++v) {
        out.v[v] = _mm256_mul_epi32(a.v[v], a24);
    }
    CarryParallel(out.v);
    CarryParallel(out.v);
    return out;
}

AVX2_TARGET inline void CondSwap(sVectorElem& a, sVectorElem& b, __m256i mask)
{
#pragma GCC unroll 4
    for (int v = 0; v < 4; ++v) {
        const __m256i t = _mm256_and_si256(mask, _mm256_xor_si256(a.v[v], b.v[v]));
        a.v[v] = _mm256_xor_si256(a.v[v], t);
        b.v[v] = _mm256_xor_si256(b.v[v], t);
    }
}

AVX2_TARGET void Ladder(const u8* k, const sFieldElem25519& x1In, sFieldElem25519& x2Out,
                        sFieldElem25519& z2Out)
{
    const sVectorElem x1 = Load(x1In);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i one = _mm256_set_epi64x(0, 0, 0, 1);
    sVectorElem x2 = {{one, zero, zero, zero}};
    sVectorElem z2 = {{zero, zero, zero, zero}};
    sVectorElem x3 = x1;
    sVectorElem z3 = x2;
    for (int bit = 254; bit >= 0; --bit) {
        const u64 kt = (k[bit >> 3] >> (bit & 7)) & 1;
        const __m256i mask = _mm256_set1_epi64x(static_cast<long long>(0 - kt));
        CondSwap(x2, x3, mask);
        CondSwap(z2, z3, mask);
        const sVectorElem a = Add(x2, z2);
        const sVectorElem aa = Mul(a, a);
        const sVectorElem b = Sub(x2, z2);
        const sVectorElem bb = Mul(b, b);
        const sVectorElem e = Sub(aa, bb);
        const sVectorElem c = Add(x3, z3);
        const sVectorElem d = Sub(x3, z3);
        const sVectorElem da = Mul(d, a);
        const sVectorElem cb = Mul(c, b);
        const sVectorElem sum = Add(da, cb);
        x3 = Mul(sum, sum);
        const sVectorElem difference = Sub(da, cb);
        z3 = Mul(x1, Mul(difference, difference));
        x2 = Mul(aa, bb);
        z2 = Mul(e, Add(aa, MulA24(e)));
        CondSwap(x2, x3, mask);
        CondSwap(z2, z3, mask);
    }
    Store(x2Out, x2);
    Store(z2Out, z2);
}

AVX2_TARGET void Multiply(sFieldElem25519& out, const sFieldElem25519& a, const sFieldElem25519& b)
{
    Store(out, Mul(Load(a), Load(b)));
}

AVX2_TARGET void Square(sFieldElem25519& out, const sFieldElem25519& a)
{
    const sVectorElem x = Load(a);
    Store(out, Mul(x, x));
}

constexpr sX25519Ladder kAvx2Ladder = {"avx2", Ladder, {Multiply, Square}};

} // namespace

const sX25519Ladder* X25519Avx2Ladder()
{
    return GetCpuFeatures().m_avx2 != 0 ? &kAvx2Ladder : nullptr;
}

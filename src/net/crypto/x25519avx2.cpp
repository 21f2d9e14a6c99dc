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
#include "net/crypto/x25519ladder.h"

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

// Partial products by residue class: c[r][m] holds product limbs 4m + r .. 4m + r + 3.
struct sProductClasses
{
    __m256i c[4][7];
};

AVX2_TARGET inline void ClearClasses(sProductClasses& classes)
{
#pragma GCC unroll 4
    for (int r = 0; r < 4; ++r) {
#pragma GCC unroll 7
        for (int m = 0; m < 7; ++m) {
            classes.c[r][m] = _mm256_setzero_si256();
        }
    }
}

// Adds the broadcast limb j times the vectors `first`..`last` of `factor` at limb offset j.
AVX2_TARGET inline void AddProducts(sProductClasses& classes, int j, __m256i limb, const __m256i* factor,
                                    int first, int last)
{
#pragma GCC unroll 4
    for (int v = first; v <= last; ++v) {
        __m256i& sum = classes.c[j & 3][(j >> 2) + v];
        sum = _mm256_add_epi64(sum, _mm256_mul_epi32(limb, factor[v]));
    }
}

AVX2_TARGET inline __m256i ClassOrZero(const sProductClasses& classes, int r, int m)
{
    return m >= 0 && m < 7 ? classes.c[r][m] : _mm256_setzero_si256();
}

// Shifts the classes into place, folds limbs 16..30 back times 38 (2^256 = 38 mod p) and
// carries. Three parallel carries bring the limbs from below 2^55 to below 2^16 + 2^12,
// as two serial passes would.
AVX2_TARGET inline sVectorElem Reduce(const sProductClasses& classes)
{
    __m256i product[8]; // the 31 limbs; the last lane stays 0
#pragma GCC unroll 8
    for (int m = 0; m < 8; ++m) {
        __m256i t = ClassOrZero(classes, 0, m);
        t = _mm256_add_epi64(t, ShiftUp<1>(ClassOrZero(classes, 1, m), ClassOrZero(classes, 1, m - 1)));
        t = _mm256_add_epi64(t, ShiftUp<2>(ClassOrZero(classes, 2, m), ClassOrZero(classes, 2, m - 1)));
        t = _mm256_add_epi64(t, ShiftUp<3>(ClassOrZero(classes, 3, m), ClassOrZero(classes, 3, m - 1)));
        product[m] = t;
    }
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

AVX2_TARGET inline void StoreLimbs(i64* limbs, const sVectorElem& x)
{
#pragma GCC unroll 4
    for (int v = 0; v < 4; ++v) {
        _mm256_store_si256(reinterpret_cast<__m256i*>(limbs + 4 * v), x.v[v]);
    }
}

AVX2_TARGET inline sVectorElem Mul(const sVectorElem& a, const sVectorElem& b)
{
    alignas(32) i64 bLimbs[16];
    StoreLimbs(bLimbs, b);
    sProductClasses classes;
    ClearClasses(classes);
#pragma GCC unroll 16
    for (int j = 0; j < 16; ++j) {
        AddProducts(classes, j, _mm256_set1_epi64x(bLimbs[j]), a.v, 0, 3);
    }
    return Reduce(classes);
}

// a^2 with each product a[i] a[j], i != j, taken once and doubled: 40 vector products
// instead of 64. Limb j meets 2a in the vectors above its own and, in its own vector, a
// mask of lanes: 0 below j, a[j] at j, 2a above.
AVX2_TARGET inline sVectorElem Sqr(const sVectorElem& a)
{
    alignas(32) i64 limbs[16];
    StoreLimbs(limbs, a);
    __m256i doubled[4];
#pragma GCC unroll 4
    for (int v = 0; v < 4; ++v) {
        doubled[v] = _mm256_add_epi64(a.v[v], a.v[v]);
    }
    sProductClasses classes;
    ClearClasses(classes);
#pragma GCC unroll 16
    for (int j = 0; j < 16; ++j) {
        const int own = j >> 2;
        const int lane = j & 3;
        const __m256i above = _mm256_set_epi64x(lane < 3 ? -1 : 0, lane < 2 ? -1 : 0, lane < 1 ? -1 : 0, 0);
        const __m256i self = _mm256_set_epi64x(lane == 3 ? -1 : 0, lane == 2 ? -1 : 0, lane == 1 ? -1 : 0,
                                               lane == 0 ? -1 : 0);
        __m256i ownFactor[4];
        ownFactor[own] = _mm256_or_si256(_mm256_and_si256(doubled[own], above), _mm256_and_si256(a.v[own], self));
        const __m256i limb = _mm256_set1_epi64x(limbs[j]);
        AddProducts(classes, j, limb, ownFactor, own, own);
        AddProducts(classes, j, limb, doubled, own + 1, 3);
    }
    return Reduce(classes);
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
        const sVectorElem aa = Sqr(a);
        const sVectorElem b = Sub(x2, z2);
        const sVectorElem bb = Sqr(b);
        const sVectorElem e = Sub(aa, bb);
        const sVectorElem c = Add(x3, z3);
        const sVectorElem d = Sub(x3, z3);
        const sVectorElem da = Mul(d, a);
        const sVectorElem cb = Mul(c, b);
        const sVectorElem sum = Add(da, cb);
        x3 = Sqr(sum);
        const sVectorElem difference = Sub(da, cb);
        z3 = Mul(x1, Sqr(difference));
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
    Store(out, Sqr(Load(a)));
}

constexpr sX25519Ladder kAvx2Ladder = {"avx2", Ladder, {Multiply, Square}};

} // namespace

const sX25519Ladder* X25519Avx2Ladder()
{
    return GetCpuFeatures().m_avx2 != 0 ? &kAvx2Ladder : nullptr;
}

#pragma once
// The passes of the islow inverse DCT on vectors of 16-bit lanes, shared by the SSE2 and
// AVX2 transforms (one register holds a row of eight coefficients; AVX2's operations work
// within each 128-bit half, so its registers hold the same row of two blocks). Included
// inside an anonymous namespace, after defining:
//   IDCT_TARGET  the attributes of every function (the instruction set's target);
//   tIdctVector  the vector type;
//   IDCT_OP(op)  the intrinsic of that width, e.g. _mm_##op or _mm256_##op.
//
// The products and sums are those of the scalar transform, regrouped so that every
// multiplication is one PMADDWD of an interleaved pair: (a + b) * c + a * d becomes
// a * (c + d) + b * c, equal in integers. Glossary: as jpegidct.cpp; Kxy = a pair of 13-bit
// constants for one PMADDWD.

constexpr int kConstBits = 13;
constexpr int kPass1Bits = 2;

// The scalar constants (FIX_x_y = round(x.y * 2^13)).
constexpr int kF0298 = 2446;
constexpr int kF0390 = 3196;
constexpr int kF0541 = 4433;
constexpr int kF0765 = 6270;
constexpr int kF0899 = 7373;
constexpr int kF1175 = 9633;
constexpr int kF1501 = 12299;
constexpr int kF1847 = 15137;
constexpr int kF1961 = 16069;
constexpr int kF2053 = 16819;
constexpr int kF2562 = 20995;
constexpr int kF3072 = 25172;

IDCT_TARGET inline tIdctVector Pair(int first, int second)
{
    return IDCT_OP(set1_epi32)(int((u32(u16(second)) << 16) | u16(first)));
}

// x / 2^n rounded half up, for each 32-bit lane.
IDCT_TARGET inline tIdctVector Descale(tIdctVector x, int n)
{
    return IDCT_OP(srai_epi32)(IDCT_OP(add_epi32)(x, IDCT_OP(set1_epi32)(1 << (n - 1))), n);
}

// The pairs (a, b) of the lanes a transform half takes (low = lanes 0..3, high = 4..7).
template <bool kHigh>
[[gnu::always_inline]] IDCT_TARGET inline tIdctVector Unpack(tIdctVector a, tIdctVector b)
{
    return kHigh ? IDCT_OP(unpackhi_epi16)(a, b) : IDCT_OP(unpacklo_epi16)(a, b);
}

// Sign-extended lanes, 32 bits each.
template <bool kHigh>
[[gnu::always_inline]] IDCT_TARGET inline tIdctVector Widen(tIdctVector a)
{
    return IDCT_OP(srai_epi32)(Unpack<kHigh>(a, a), 16);
}

// One 8-point transform of the 16-bit inputs in[0..7] for the lanes of one half,
// undescaled.
template <bool kHigh>
[[gnu::always_inline]] IDCT_TARGET inline void Transform(const tIdctVector in[8], tIdctVector out[8])
{

    // Even part: z1 = (z2 + z3) * F0541, tmp2 = z1 - z3 * F1847, tmp3 = z1 + z2 * F0765.
    const tIdctVector z2z3 = Unpack<kHigh>(in[2], in[6]);
    const tIdctVector tmp3 = IDCT_OP(madd_epi16)(z2z3, Pair(kF0541 + kF0765, kF0541));
    const tIdctVector tmp2 = IDCT_OP(madd_epi16)(z2z3, Pair(kF0541, kF0541 - kF1847));
    const tIdctVector tmp0 = IDCT_OP(slli_epi32)(IDCT_OP(add_epi32)(Widen<kHigh>(in[0]), Widen<kHigh>(in[4])), kConstBits);
    const tIdctVector tmp1 = IDCT_OP(slli_epi32)(IDCT_OP(sub_epi32)(Widen<kHigh>(in[0]), Widen<kHigh>(in[4])), kConstBits);
    const tIdctVector tmp10 = IDCT_OP(add_epi32)(tmp0, tmp3);
    const tIdctVector tmp13 = IDCT_OP(sub_epi32)(tmp0, tmp3);
    const tIdctVector tmp11 = IDCT_OP(add_epi32)(tmp1, tmp2);
    const tIdctVector tmp12 = IDCT_OP(sub_epi32)(tmp1, tmp2);

    // Odd part on a = in7, b = in5, c = in3, d = in1:
    //   z3' = (a + c) * (F1175 - F1961) + (b + d) * F1175
    //   z4' = (a + c) * F1175 + (b + d) * (F1175 - F0390)
    //   t0 = a * F0298 - (a + d) * F0899 + z3'      t3 = d * F1501 - (a + d) * F0899 + z4'
    //   t1 = b * F2053 - (b + c) * F2562 + z4'      t2 = c * F3072 - (b + c) * F2562 + z3'
    const tIdctVector ab = Unpack<kHigh>(in[7], in[5]);
    const tIdctVector cd = Unpack<kHigh>(in[3], in[1]);
    const tIdctVector ad = Unpack<kHigh>(in[7], in[1]);
    const tIdctVector bc = Unpack<kHigh>(in[5], in[3]);
    const tIdctVector z3Pair = Pair(kF1175 - kF1961, kF1175);
    const tIdctVector z4Pair = Pair(kF1175, kF1175 - kF0390);
    const tIdctVector z3 = IDCT_OP(add_epi32)(IDCT_OP(madd_epi16)(ab, z3Pair), IDCT_OP(madd_epi16)(cd, z3Pair));
    const tIdctVector z4 = IDCT_OP(add_epi32)(IDCT_OP(madd_epi16)(ab, z4Pair), IDCT_OP(madd_epi16)(cd, z4Pair));
    const tIdctVector t0 = IDCT_OP(add_epi32)(IDCT_OP(madd_epi16)(ad, Pair(kF0298 - kF0899, -kF0899)), z3);
    const tIdctVector t3 = IDCT_OP(add_epi32)(IDCT_OP(madd_epi16)(ad, Pair(-kF0899, kF1501 - kF0899)), z4);
    const tIdctVector t1 = IDCT_OP(add_epi32)(IDCT_OP(madd_epi16)(bc, Pair(kF2053 - kF2562, -kF2562)), z4);
    const tIdctVector t2 = IDCT_OP(add_epi32)(IDCT_OP(madd_epi16)(bc, Pair(-kF2562, kF3072 - kF2562)), z3);

    out[0] = IDCT_OP(add_epi32)(tmp10, t3);
    out[7] = IDCT_OP(sub_epi32)(tmp10, t3);
    out[1] = IDCT_OP(add_epi32)(tmp11, t2);
    out[6] = IDCT_OP(sub_epi32)(tmp11, t2);
    out[2] = IDCT_OP(add_epi32)(tmp12, t1);
    out[5] = IDCT_OP(sub_epi32)(tmp12, t1);
    out[3] = IDCT_OP(add_epi32)(tmp13, t0);
    out[4] = IDCT_OP(sub_epi32)(tmp13, t0);
}

// One pass over eight registers: both halves, descaled by `shift` and packed to 16 bits.
[[gnu::always_inline]] IDCT_TARGET inline void Pass(tIdctVector rows[8], int shift)
{
    tIdctVector low[8];
    tIdctVector high[8];
    Transform<false>(rows, low);
    Transform<true>(rows, high);
    for (int k = 0; k < 8; ++k) {
        rows[k] = IDCT_OP(packs_epi32)(Descale(low[k], shift), Descale(high[k], shift));
    }
}

IDCT_TARGET inline void Transpose(tIdctVector r[8])
{
    const tIdctVector a0 = IDCT_OP(unpacklo_epi16)(r[0], r[1]);
    const tIdctVector a1 = IDCT_OP(unpackhi_epi16)(r[0], r[1]);
    const tIdctVector a2 = IDCT_OP(unpacklo_epi16)(r[2], r[3]);
    const tIdctVector a3 = IDCT_OP(unpackhi_epi16)(r[2], r[3]);
    const tIdctVector a4 = IDCT_OP(unpacklo_epi16)(r[4], r[5]);
    const tIdctVector a5 = IDCT_OP(unpackhi_epi16)(r[4], r[5]);
    const tIdctVector a6 = IDCT_OP(unpacklo_epi16)(r[6], r[7]);
    const tIdctVector a7 = IDCT_OP(unpackhi_epi16)(r[6], r[7]);
    const tIdctVector b0 = IDCT_OP(unpacklo_epi32)(a0, a2);
    const tIdctVector b1 = IDCT_OP(unpackhi_epi32)(a0, a2);
    const tIdctVector b2 = IDCT_OP(unpacklo_epi32)(a1, a3);
    const tIdctVector b3 = IDCT_OP(unpackhi_epi32)(a1, a3);
    const tIdctVector b4 = IDCT_OP(unpacklo_epi32)(a4, a6);
    const tIdctVector b5 = IDCT_OP(unpackhi_epi32)(a4, a6);
    const tIdctVector b6 = IDCT_OP(unpacklo_epi32)(a5, a7);
    const tIdctVector b7 = IDCT_OP(unpackhi_epi32)(a5, a7);
    r[0] = IDCT_OP(unpacklo_epi64)(b0, b4);
    r[1] = IDCT_OP(unpackhi_epi64)(b0, b4);
    r[2] = IDCT_OP(unpacklo_epi64)(b1, b5);
    r[3] = IDCT_OP(unpackhi_epi64)(b1, b5);
    r[4] = IDCT_OP(unpacklo_epi64)(b2, b6);
    r[5] = IDCT_OP(unpackhi_epi64)(b2, b6);
    r[6] = IDCT_OP(unpacklo_epi64)(b3, b7);
    r[7] = IDCT_OP(unpackhi_epi64)(b3, b7);
}

// Both passes: down the columns (each register one row of every column), then along the
// rows; each register ends as one row of results, descaled but not yet range limited.
[[gnu::always_inline]] IDCT_TARGET inline void TransformRows(tIdctVector rows[8])
{
    Pass(rows, kConstBits - kPass1Bits);
    Transpose(rows);
    Pass(rows, kConstBits + kPass1Bits + 3);
    Transpose(rows);
}

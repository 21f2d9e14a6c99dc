#pragma once
// Arithmetic in GF(2^255 - 19) for X25519. Internal: x25519.cpp and the tests use it.
//
// An element is 16 signed 64-bit limbs of radix 2^16 (limb i weighs 2^(16 i)). Between
// operations a limb holds a small signed value; only Fe25519Pack reduces fully.
// C++20 defines >> on negative values as arithmetic, which the carries rely on.
// CT: every function runs the same instructions whatever the limb values.
#include "base/types.h"

struct sFieldElem25519
{
    i64 m_limbs[16];
};

// Limb i from bytes 2i and 2i + 1 (little-endian), with the top bit of byte 31 cleared.
void Fe25519Unpack(sFieldElem25519& out, const u8* bytes);
// The fully reduced value (0 <= x < p) as 32 little-endian bytes.
void Fe25519Pack(u8* bytes, const sFieldElem25519& in);
// Each limb keeps its low 16 bits and passes the rest on; the carry out of limb 15 comes
// back into limb 0 times 38 (2^256 = 38 mod p).
void Fe25519Carry(sFieldElem25519& x);
// Limb-wise, without carries.
void Fe25519Add(sFieldElem25519& out, const sFieldElem25519& a, const sFieldElem25519& b);
void Fe25519Sub(sFieldElem25519& out, const sFieldElem25519& a, const sFieldElem25519& b);
// Schoolbook product into 31 limbs, limbs 16..30 folded back times 38, two carry passes.
// `out` may alias an input.
void Fe25519Mul(sFieldElem25519& out, const sFieldElem25519& a, const sFieldElem25519& b);
// Fe25519Mul(out, a, a) with the symmetric products counted once.
void Fe25519Square(sFieldElem25519& out, const sFieldElem25519& a);
// x^(p-2) = 1/x (0 for 0): 254 squarings with a multiplication at every exponent bit but
// bits 2 and 4.
void Fe25519Invert(sFieldElem25519& out, const sFieldElem25519& x);
// Swaps a and b when bit is 1, by masks.
void Fe25519CondSwap(sFieldElem25519& a, sFieldElem25519& b, u32 bit);

// A multiplication and a squaring: Fe25519Mul and Fe25519Square, or the AVX2 forms of
// x25519avx2.cpp. Both give the same field values; the AVX2 limbs are carried in parallel
// rather than in series, so they may differ before packing.
struct sFe25519Multiply
{
    void (*m_multiply)(sFieldElem25519& out, const sFieldElem25519& a, const sFieldElem25519& b);
    void (*m_square)(sFieldElem25519& out, const sFieldElem25519& a);
};
// Fe25519Invert on the given multiplications.
void Fe25519InvertWith(const sFe25519Multiply& multiply, sFieldElem25519& out,
                       const sFieldElem25519& x);

// Field arithmetic modulo p = 2^255 - 19 in radix 2^16 (RFC 7748 5).
#include "net/crypto/fe25519.h"

#include "base/byteorder.h"
#include "net/crypto/consttime.h"

#include <cstring>

void Fe25519Unpack(sFieldElem25519& out, const u8* bytes)
{
    for (int i = 0; i < 16; ++i) {
        out.m_limbs[i] = LoadLe16(bytes + 2 * i);
    }
    out.m_limbs[15] &= 0x7fff;
}

void Fe25519Carry(sFieldElem25519& x)
{
    i64* o = x.m_limbs;
    for (int i = 0; i < 15; ++i) {
        const i64 carry = o[i] >> 16;
        o[i + 1] += carry;
        o[i] -= carry * 65536;
    }
    const i64 carry = o[15] >> 16;
    o[0] += 38 * carry;
    o[15] -= carry * 65536;
}

void Fe25519Add(sFieldElem25519& out, const sFieldElem25519& a, const sFieldElem25519& b)
{
    for (int i = 0; i < 16; ++i) {
        out.m_limbs[i] = a.m_limbs[i] + b.m_limbs[i];
    }
}

void Fe25519Sub(sFieldElem25519& out, const sFieldElem25519& a, const sFieldElem25519& b)
{
    for (int i = 0; i < 16; ++i) {
        out.m_limbs[i] = a.m_limbs[i] - b.m_limbs[i];
    }
}

namespace {

// Folds the 31-limb product back (2^256 = 38 mod p) and carries twice.
inline void Reduce(sFieldElem25519& out, i64* t)
{
    for (int i = 0; i < 15; ++i) {
        t[i] += 38 * t[i + 16];
    }
    std::memcpy(out.m_limbs, t, sizeof(out.m_limbs));
    Fe25519Carry(out);
    Fe25519Carry(out);
}

} // namespace

void Fe25519Mul(sFieldElem25519& out, const sFieldElem25519& a, const sFieldElem25519& b)
{
    i64 t[31] = {};
    for (int i = 0; i < 16; ++i) {
        const i64 ai = a.m_limbs[i];
        for (int j = 0; j < 16; ++j) {
            t[i + j] += ai * b.m_limbs[j];
        }
    }
    Reduce(out, t);
}

void Fe25519Square(sFieldElem25519& out, const sFieldElem25519& a)
{
    i64 t[31] = {};
    for (int i = 0; i < 16; ++i) {
        const i64 ai = a.m_limbs[i];
        t[2 * i] += ai * ai;
        const i64 twice = 2 * ai;
        for (int j = i + 1; j < 16; ++j) {
            t[i + j] += twice * a.m_limbs[j];
        }
    }
    Reduce(out, t);
}

void Fe25519InvertWith(const sFe25519Multiply& multiply, sFieldElem25519& out,
                       const sFieldElem25519& x)
{
    // p - 2 = 2^255 - 21: every bit from 254 down to 0 is set except bits 2 and 4. The
    // exponent is public, so its bits may steer the loop.
    sFieldElem25519 c = x;
    for (int bit = 253; bit >= 0; --bit) {
        multiply.m_square(c, c);
        if (bit != 2 && bit != 4) {
            multiply.m_multiply(c, c, x);
        }
    }
    out = c;
}

void Fe25519Invert(sFieldElem25519& out, const sFieldElem25519& x)
{
    static constexpr sFe25519Multiply kPortable = {Fe25519Mul, Fe25519Square};
    Fe25519InvertWith(kPortable, out, x);
}

void Fe25519CondSwap(sFieldElem25519& a, sFieldElem25519& b, u32 bit)
{
    ct::CondSwap(bit, reinterpret_cast<u64*>(a.m_limbs), reinterpret_cast<u64*>(b.m_limbs), 16);
}

void Fe25519Pack(u8* bytes, const sFieldElem25519& in)
{
    sFieldElem25519 t = in;
    Fe25519Carry(t);
    Fe25519Carry(t);
    Fe25519Carry(t);
    // Now 0 <= t < 2^256; subtracting p at most twice reaches 0 <= t < p. Each round
    // computes m = t - p with borrows and keeps m unless it went negative.
    for (int round = 0; round < 2; ++round) {
        sFieldElem25519 m;
        m.m_limbs[0] = t.m_limbs[0] - 0xffed;
        for (int i = 1; i < 15; ++i) {
            m.m_limbs[i] = t.m_limbs[i] - 0xffff - ((m.m_limbs[i - 1] >> 16) & 1);
            m.m_limbs[i - 1] &= 0xffff;
        }
        m.m_limbs[15] = t.m_limbs[15] - 0x7fff - ((m.m_limbs[14] >> 16) & 1);
        const u32 negative = static_cast<u32>((m.m_limbs[15] >> 16) & 1);
        m.m_limbs[14] &= 0xffff;
        Fe25519CondSwap(t, m, 1 - negative);
    }
    for (int i = 0; i < 16; ++i) {
        StoreLe16(bytes + 2 * i, static_cast<u16>(t.m_limbs[i]));
    }
}

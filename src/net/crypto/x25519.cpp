// The X25519 function by the Montgomery ladder of RFC 7748 5.
// Glossary: x1 = the input u-coordinate; (x2 : z2) and (x3 : z3) the two ladder points;
// a24 = (486662 - 2) / 4 = 121665.
#include "net/crypto/x25519.h"

#include "net/crypto/consttime.h"
#include "net/crypto/randompool.h"
#include "net/crypto/x25519ladder.h"

#include <atomic>
#include <cstring>
#include <initializer_list>

namespace {

// z2 = E * (AA + a24 * E): multiplying by a24 = 121665 (limb 0 0xDB41, limb 1 1, i.e.
// 0xDB41 + 2^16) limb by limb is the same product as a full multiplication by that element.
void MulA24(sFieldElem25519& out, const sFieldElem25519& a)
{
    for (int i = 0; i < 16; ++i) {
        out.m_limbs[i] = a.m_limbs[i] * 121665;
    }
    Fe25519Carry(out);
    Fe25519Carry(out);
}

void PortableLadder(const u8* k, const sFieldElem25519& x1, sFieldElem25519& x2, sFieldElem25519& z2)
{
    sFieldElem25519 x3 = x1, z3 = {};
    x2 = {};
    z2 = {};
    x2.m_limbs[0] = 1;
    z3.m_limbs[0] = 1;
    sFieldElem25519 a, aa, b, bb, e, c, d, da, cb, t;
    for (int bit = 254; bit >= 0; --bit) {
        const u32 kt = (k[bit >> 3] >> (bit & 7)) & 1;
        Fe25519CondSwap(x2, x3, kt);
        Fe25519CondSwap(z2, z3, kt);
        Fe25519Add(a, x2, z2);
        Fe25519Square(aa, a);
        Fe25519Sub(b, x2, z2);
        Fe25519Square(bb, b);
        Fe25519Sub(e, aa, bb);
        Fe25519Add(c, x3, z3);
        Fe25519Sub(d, x3, z3);
        Fe25519Mul(da, d, a);
        Fe25519Mul(cb, c, b);
        Fe25519Add(t, da, cb);
        Fe25519Square(x3, t);
        Fe25519Sub(t, da, cb);
        Fe25519Square(t, t);
        Fe25519Mul(z3, x1, t);
        Fe25519Mul(x2, aa, bb);
        MulA24(t, e);
        Fe25519Add(t, aa, t);
        Fe25519Mul(z2, e, t);
        Fe25519CondSwap(x2, x3, kt);
        Fe25519CondSwap(z2, z3, kt);
    }
    for (sFieldElem25519* secret : {&x3, &z3, &a, &aa, &b, &bb, &e, &c, &d, &da, &cb, &t}) {
        ct::Wipe(secret, sizeof(*secret));
    }
}

constexpr sX25519Ladder kPortableLadder = {"portable", PortableLadder, {Fe25519Mul, Fe25519Square}};

} // namespace

std::atomic<const sX25519Ladder*> g_forcedX25519Ladder{nullptr};

const sX25519Ladder& X25519PortableLadder() { return kPortableLadder; }

const sX25519Ladder& X25519ActiveLadder()
{
    if (const sX25519Ladder* forced = g_forcedX25519Ladder.load(std::memory_order_acquire)) {
        return *forced;
    }
    static const sX25519Ladder& chosen =
        X25519Avx2Ladder() != nullptr ? *X25519Avx2Ladder() : kPortableLadder;
    return chosen;
}

void X25519ScalarMult(const u8* scalar, u8* out, const u8* point)
{
    // RFC 7748 5, decodeScalar25519.
    u8 k[32];
    std::memcpy(k, scalar, 32);
    k[0] &= 248;
    k[31] &= 127;
    k[31] |= 64;

    const sX25519Ladder& ladder = X25519ActiveLadder();
    sFieldElem25519 x1, x2, z2;
    Fe25519Unpack(x1, point);
    ladder.m_run(k, x1, x2, z2);
    // The ladder ends here; the inversion's exponent is public.
    Fe25519InvertWith(ladder.m_field, z2, z2);
    ladder.m_field.m_multiply(x2, x2, z2);
    Fe25519Pack(out, x2);

    ct::Wipe(k, sizeof(k));
    ct::Wipe(&x2, sizeof(x2));
    ct::Wipe(&z2, sizeof(z2));
}

bool X25519KeyPair(u8* privateKey, u8* publicKey)
{
    static const u8 kBasePoint[32] = {9};
    if (!RandomPoolDraw(privateKey, kX25519KeySize)) {
        return false;
    }
    X25519ScalarMult(privateKey, publicKey, kBasePoint);
    return true;
}

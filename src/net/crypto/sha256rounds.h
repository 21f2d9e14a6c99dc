#pragma once
// SHA-256 compression, FIPS 180-4 6.2.2, fully unrolled with the round constants as
// immediates, shared by the portable form and the one built for BMI2 (where the compiler
// turns the rotations into RORX, which leaves its source intact). The message schedule is
// kept as a 16-word window (W[t] overwrites W[t-16]), which the unrolled code keeps in
// registers. Internal to the two compression files.
// CT: no branch or index depends on the data; the time depends only on the block count.
#include "base/byteorder.h"

namespace sha256rounds {


inline u32 Rotr(u32 x, int n) { return (x >> n) | (x << (32 - n)); }
inline u32 BigSigma0(u32 x) { return Rotr(x, 2) ^ Rotr(x, 13) ^ Rotr(x, 22); }
inline u32 BigSigma1(u32 x) { return Rotr(x, 6) ^ Rotr(x, 11) ^ Rotr(x, 25); }
inline u32 SmallSigma0(u32 x) { return Rotr(x, 7) ^ Rotr(x, 18) ^ (x >> 3); }
inline u32 SmallSigma1(u32 x) { return Rotr(x, 17) ^ Rotr(x, 19) ^ (x >> 10); }
inline u32 Ch(u32 x, u32 y, u32 z) { return z ^ (x & (y ^ z)); }

// One round with the working variables renamed instead of moved. Maj(a, b, c) is
// b ^ ((a ^ b) & (b ^ c)); the next round's b ^ c is this round's a ^ b, carried in `bc`.
#define SHA256_ROUND(a, b, c, d, e, f, g, h, k, w)                                  \
    do {                                                                            \
        const u32 t1 = h + BigSigma1(e) + Ch(e, f, g) + (k) + (w);                  \
        d += t1;                                                                    \
        const u32 ab = a ^ b;                                                       \
        h = t1 + BigSigma0(a) + (b ^ (ab & bc));                                    \
        bc = ab;                                                                    \
    } while (0)

#define SHA256_SCHEDULE(i)                                                          \
    (W[(i) & 15] += SmallSigma1(W[((i) - 2) & 15]) + W[((i) - 7) & 15] +            \
                    SmallSigma0(W[((i) - 15) & 15]))

#define SHA256_EIGHT_LOAD(i, k0, k1, k2, k3, k4, k5, k6, k7)                         \
    SHA256_ROUND(a, b, c, d, e, f, g, h, k0, W[(i) + 0] = LoadBe32(p + 4 * ((i) + 0))); \
    SHA256_ROUND(h, a, b, c, d, e, f, g, k1, W[(i) + 1] = LoadBe32(p + 4 * ((i) + 1))); \
    SHA256_ROUND(g, h, a, b, c, d, e, f, k2, W[(i) + 2] = LoadBe32(p + 4 * ((i) + 2))); \
    SHA256_ROUND(f, g, h, a, b, c, d, e, k3, W[(i) + 3] = LoadBe32(p + 4 * ((i) + 3))); \
    SHA256_ROUND(e, f, g, h, a, b, c, d, k4, W[(i) + 4] = LoadBe32(p + 4 * ((i) + 4))); \
    SHA256_ROUND(d, e, f, g, h, a, b, c, k5, W[(i) + 5] = LoadBe32(p + 4 * ((i) + 5))); \
    SHA256_ROUND(c, d, e, f, g, h, a, b, k6, W[(i) + 6] = LoadBe32(p + 4 * ((i) + 6))); \
    SHA256_ROUND(b, c, d, e, f, g, h, a, k7, W[(i) + 7] = LoadBe32(p + 4 * ((i) + 7)))

#define SHA256_EIGHT(i, k0, k1, k2, k3, k4, k5, k6, k7)                              \
    SHA256_ROUND(a, b, c, d, e, f, g, h, k0, SHA256_SCHEDULE((i) + 0));              \
    SHA256_ROUND(h, a, b, c, d, e, f, g, k1, SHA256_SCHEDULE((i) + 1));              \
    SHA256_ROUND(g, h, a, b, c, d, e, f, k2, SHA256_SCHEDULE((i) + 2));              \
    SHA256_ROUND(f, g, h, a, b, c, d, e, k3, SHA256_SCHEDULE((i) + 3));              \
    SHA256_ROUND(e, f, g, h, a, b, c, d, k4, SHA256_SCHEDULE((i) + 4));              \
    SHA256_ROUND(d, e, f, g, h, a, b, c, k5, SHA256_SCHEDULE((i) + 5));              \
    SHA256_ROUND(c, d, e, f, g, h, a, b, k6, SHA256_SCHEDULE((i) + 6));              \
    SHA256_ROUND(b, c, d, e, f, g, h, a, k7, SHA256_SCHEDULE((i) + 7))



__attribute__((always_inline)) inline void CompressBlocks(u32* state, const u8* data, size_t blocks)
{
    u32 W[16];
    for (size_t block = 0; block < blocks; ++block) {
        const u8* p = data + 64 * block;
        u32 a = state[0], b = state[1], c = state[2], d = state[3];
        u32 e = state[4], f = state[5], g = state[6], h = state[7];
        u32 bc = b ^ c;
        // Round constants: FIPS 180-4 4.2.2.
        SHA256_EIGHT_LOAD(0, 0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b,
                          0x59f111f1, 0x923f82a4, 0xab1c5ed5);
        SHA256_EIGHT_LOAD(8, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74,
                          0x80deb1fe, 0x9bdc06a7, 0xc19bf174);
        SHA256_EIGHT(16, 0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f,
                     0x4a7484aa, 0x5cb0a9dc, 0x76f988da);
        SHA256_EIGHT(24, 0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3,
                     0xd5a79147, 0x06ca6351, 0x14292967);
        SHA256_EIGHT(32, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354,
                     0x766a0abb, 0x81c2c92e, 0x92722c85);
        SHA256_EIGHT(40, 0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819,
                     0xd6990624, 0xf40e3585, 0x106aa070);
        SHA256_EIGHT(48, 0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3,
                     0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3);
        SHA256_EIGHT(56, 0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa,
                     0xa4506ceb, 0xbef9a3f7, 0xc67178f2);
        state[0] += a; state[1] += b; state[2] += c; state[3] += d;
        state[4] += e; state[5] += f; state[6] += g; state[7] += h;
    }
}

#undef SHA256_ROUND
#undef SHA256_SCHEDULE
#undef SHA256_EIGHT_LOAD
#undef SHA256_EIGHT

} // namespace sha256rounds

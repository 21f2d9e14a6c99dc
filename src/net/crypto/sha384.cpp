#include "net/crypto/sha384.h"

#include "base/byteorder.h"
#include "net/crypto/consttime.h"

#include <cstring>

namespace {

// FIPS 180-4 5.3.4.
constexpr u64 kInitial[8] = {0xcbbb9d5dc1059ed8ull, 0x629a292a367cd507ull,
                             0x9159015a3070dd17ull, 0x152fecd8f70e5939ull,
                             0x67332667ffc00b31ull, 0x8eb44a8768581511ull,
                             0xdb0c2e0d64f98fa7ull, 0x47b5481dbefa4fa4ull};

// FIPS 180-4 4.2.3.
constexpr u64 kRoundConstants[80] = {
    0x428a2f98d728ae22ull, 0x7137449123ef65cdull, 0xb5c0fbcfec4d3b2full, 0xe9b5dba58189dbbcull,
    0x3956c25bf348b538ull, 0x59f111f1b605d019ull, 0x923f82a4af194f9bull, 0xab1c5ed5da6d8118ull,
    0xd807aa98a3030242ull, 0x12835b0145706fbeull, 0x243185be4ee4b28cull, 0x550c7dc3d5ffb4e2ull,
    0x72be5d74f27b896full, 0x80deb1fe3b1696b1ull, 0x9bdc06a725c71235ull, 0xc19bf174cf692694ull,
    0xe49b69c19ef14ad2ull, 0xefbe4786384f25e3ull, 0x0fc19dc68b8cd5b5ull, 0x240ca1cc77ac9c65ull,
    0x2de92c6f592b0275ull, 0x4a7484aa6ea6e483ull, 0x5cb0a9dcbd41fbd4ull, 0x76f988da831153b5ull,
    0x983e5152ee66dfabull, 0xa831c66d2db43210ull, 0xb00327c898fb213full, 0xbf597fc7beef0ee4ull,
    0xc6e00bf33da88fc2ull, 0xd5a79147930aa725ull, 0x06ca6351e003826full, 0x142929670a0e6e70ull,
    0x27b70a8546d22ffcull, 0x2e1b21385c26c926ull, 0x4d2c6dfc5ac42aedull, 0x53380d139d95b3dfull,
    0x650a73548baf63deull, 0x766a0abb3c77b2a8ull, 0x81c2c92e47edaee6ull, 0x92722c851482353bull,
    0xa2bfe8a14cf10364ull, 0xa81a664bbc423001ull, 0xc24b8b70d0f89791ull, 0xc76c51a30654be30ull,
    0xd192e819d6ef5218ull, 0xd69906245565a910ull, 0xf40e35855771202aull, 0x106aa07032bbd1b8ull,
    0x19a4c116b8d2d0c8ull, 0x1e376c085141ab53ull, 0x2748774cdf8eeb99ull, 0x34b0bcb5e19b48a8ull,
    0x391c0cb3c5c95a63ull, 0x4ed8aa4ae3418acbull, 0x5b9cca4f7763e373ull, 0x682e6ff3d6b2b8a3ull,
    0x748f82ee5defb2fcull, 0x78a5636f43172f60ull, 0x84c87814a1f0ab72ull, 0x8cc702081a6439ecull,
    0x90befffa23631e28ull, 0xa4506cebde82bde9ull, 0xbef9a3f7b2c67915ull, 0xc67178f2e372532bull,
    0xca273eceea26619cull, 0xd186b8c721c0c207ull, 0xeada7dd6cde0eb1eull, 0xf57d4f7fee6ed178ull,
    0x06f067aa72176fbaull, 0x0a637dc5a2c898a6ull, 0x113f9804bef90daeull, 0x1b710b35131c471bull,
    0x28db77f523047d84ull, 0x32caab7b40c72493ull, 0x3c9ebe0a15c9bebcull, 0x431d67c49c100d4cull,
    0x4cc5d4becb3e42b6ull, 0x597f299cfc657e2aull, 0x5fcb6fab3ad6faecull, 0x6c44198c4a475817ull};

inline u64 Rotr(u64 x, int n) { return (x >> n) | (x << (64 - n)); }
inline u64 BigSigma0(u64 x) { return Rotr(x, 28) ^ Rotr(x, 34) ^ Rotr(x, 39); }
inline u64 BigSigma1(u64 x) { return Rotr(x, 14) ^ Rotr(x, 18) ^ Rotr(x, 41); }
inline u64 SmallSigma0(u64 x) { return Rotr(x, 1) ^ Rotr(x, 8) ^ (x >> 7); }
inline u64 SmallSigma1(u64 x) { return Rotr(x, 19) ^ Rotr(x, 61) ^ (x >> 6); }
inline u64 Ch(u64 x, u64 y, u64 z) { return z ^ (x & (y ^ z)); }
inline u64 Maj(u64 x, u64 y, u64 z) { return (x & y) | (z & (x | y)); }

#define SHA512_ROUND(a, b, c, d, e, f, g, h, i, w)                                  \
    do {                                                                            \
        const u64 t1 = h + BigSigma1(e) + Ch(e, f, g) + kRoundConstants[i] + (w);   \
        d += t1;                                                                    \
        h = t1 + BigSigma0(a) + Maj(a, b, c);                                       \
    } while (0)

void CompressBlocks(u64* state, const u8* data, size_t blocks)
{
    u64 W[16];
    for (size_t block = 0; block < blocks; ++block) {
        const u8* p = data + 128 * block;
        u64 a = state[0], b = state[1], c = state[2], d = state[3];
        u64 e = state[4], f = state[5], g = state[6], h = state[7];
#pragma GCC unroll 2
        for (int i = 0; i < 16; i += 8) {
            SHA512_ROUND(a, b, c, d, e, f, g, h, i + 0, W[i + 0] = LoadBe64(p + 8 * (i + 0)));
            SHA512_ROUND(h, a, b, c, d, e, f, g, i + 1, W[i + 1] = LoadBe64(p + 8 * (i + 1)));
            SHA512_ROUND(g, h, a, b, c, d, e, f, i + 2, W[i + 2] = LoadBe64(p + 8 * (i + 2)));
            SHA512_ROUND(f, g, h, a, b, c, d, e, i + 3, W[i + 3] = LoadBe64(p + 8 * (i + 3)));
            SHA512_ROUND(e, f, g, h, a, b, c, d, i + 4, W[i + 4] = LoadBe64(p + 8 * (i + 4)));
            SHA512_ROUND(d, e, f, g, h, a, b, c, i + 5, W[i + 5] = LoadBe64(p + 8 * (i + 5)));
            SHA512_ROUND(c, d, e, f, g, h, a, b, i + 6, W[i + 6] = LoadBe64(p + 8 * (i + 6)));
            SHA512_ROUND(b, c, d, e, f, g, h, a, i + 7, W[i + 7] = LoadBe64(p + 8 * (i + 7)));
        }
#define SHA512_SCHEDULE(i)                                                          \
    (W[(i) & 15] += SmallSigma1(W[((i) - 2) & 15]) + W[((i) - 7) & 15] +            \
                    SmallSigma0(W[((i) - 15) & 15]))
#pragma GCC unroll 8
        for (int i = 16; i < 80; i += 8) {
            SHA512_ROUND(a, b, c, d, e, f, g, h, i + 0, SHA512_SCHEDULE(i + 0));
            SHA512_ROUND(h, a, b, c, d, e, f, g, i + 1, SHA512_SCHEDULE(i + 1));
            SHA512_ROUND(g, h, a, b, c, d, e, f, i + 2, SHA512_SCHEDULE(i + 2));
            SHA512_ROUND(f, g, h, a, b, c, d, e, i + 3, SHA512_SCHEDULE(i + 3));
            SHA512_ROUND(e, f, g, h, a, b, c, d, i + 4, SHA512_SCHEDULE(i + 4));
            SHA512_ROUND(d, e, f, g, h, a, b, c, i + 5, SHA512_SCHEDULE(i + 5));
            SHA512_ROUND(c, d, e, f, g, h, a, b, i + 6, SHA512_SCHEDULE(i + 6));
            SHA512_ROUND(b, c, d, e, f, g, h, a, i + 7, SHA512_SCHEDULE(i + 7));
        }
#undef SHA512_SCHEDULE
        state[0] += a; state[1] += b; state[2] += c; state[3] += d;
        state[4] += e; state[5] += f; state[6] += g; state[7] += h;
    }
}

} // namespace

i32 Sha384Init(sSha384Ctx& ctx)
{
    ctx.m_count[0] = 0;
    ctx.m_count[1] = 0;
    std::memcpy(ctx.m_h, kInitial, sizeof(kInitial));
    return 0;
}

i32 Sha512Compress(sSha384Ctx& ctx, const u8* block)
{
    CompressBlocks(ctx.m_h, block, 1);
    return 0;
}

i32 Sha384Update(sSha384Ctx& ctx, const void* data, size_t length)
{
    if (data == nullptr) {
        return 1;
    }
    if (length == 0) {
        return 0;
    }
    const u8* bytes = static_cast<const u8*>(data);
    const size_t waiting = ctx.m_count[0] & 127;
    const u64 newLow = ctx.m_count[0] + length;
    ctx.m_count[1] += newLow < ctx.m_count[0] ? 1 : 0;
    ctx.m_count[0] = newLow;

    if (waiting != 0) {
        const size_t missing = 128 - waiting;
        if (length < missing) {
            std::memcpy(ctx.m_block + waiting, bytes, length);
            return 0;
        }
        std::memcpy(ctx.m_block + waiting, bytes, missing);
        CompressBlocks(ctx.m_h, ctx.m_block, 1);
        bytes += missing;
        length -= missing;
    }
    if (length >= 128) {
        CompressBlocks(ctx.m_h, bytes, length / 128);
        bytes += length & ~size_t(127);
        length &= 127;
    }
    if (length != 0) {
        std::memcpy(ctx.m_block, bytes, length);
    }
    return 0;
}

i32 Sha384Final(sSha384Ctx& ctx, u8* digest)
{
    if (digest == nullptr) {
        return 1;
    }
    // FIPS 180-4 5.1.2: 0x80, zeros, then the 128-bit bit count; with 112 or more
    // waiting bytes the count spills into a second block.
    u8 padded[256] = {};
    const size_t waiting = ctx.m_count[0] & 127;
    std::memcpy(padded, ctx.m_block, waiting);
    padded[waiting] = 0x80;
    const size_t blocks = waiting < 112 ? 1 : 2;
    u8* countField = padded + 128 * blocks - 16;
    StoreBe64(countField, (ctx.m_count[1] << 3) | (ctx.m_count[0] >> 61));
    StoreBe64(countField + 8, ctx.m_count[0] << 3);
    CompressBlocks(ctx.m_h, padded, blocks);
    for (int i = 0; i < 6; ++i) {
        StoreBe64(digest + 8 * i, ctx.m_h[i]);
    }
    ct::Wipe(padded, sizeof(padded)); // it held message bytes (HMAC keys among them)
    return 0;
}

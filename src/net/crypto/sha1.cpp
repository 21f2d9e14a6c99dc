#include "net/crypto/sha1.h"

#include "base/byteorder.h"
#include "net/crypto/consttime.h"

#include <cstring>

namespace {

inline u32 Rotl(u32 x, int n) { return (x << n) | (x >> (32 - n)); }

// FIPS 180-4 4.1.1 and 6.1.2, unrolled; W is a 16-word window.
#define SHA1_SCHEDULE(t)                                                            \
    (W[(t) & 15] = Rotl(W[((t) - 3) & 15] ^ W[((t) - 8) & 15] ^ W[((t) - 14) & 15] ^ \
                        W[(t) & 15], 1))
#define SHA1_STEP(a, b, c, d, e, f, k, w)                                           \
    do {                                                                            \
        e += Rotl(a, 5) + (f) + (k) + (w);                                          \
        b = Rotl(b, 30);                                                            \
    } while (0)
#define SHA1_CH(b, c, d) ((d) ^ ((b) & ((c) ^ (d))))
#define SHA1_PARITY(b, c, d) ((b) ^ (c) ^ (d))
#define SHA1_MAJ(b, c, d) (((b) & (c)) | ((d) & ((b) | (c))))
#define SHA1_FIVE(t, F, k, W_EXPR)                                                  \
    SHA1_STEP(a, b, c, d, e, F(b, c, d), k, W_EXPR((t) + 0));                       \
    SHA1_STEP(e, a, b, c, d, F(a, b, c), k, W_EXPR((t) + 1));                       \
    SHA1_STEP(d, e, a, b, c, F(e, a, b), k, W_EXPR((t) + 2));                       \
    SHA1_STEP(c, d, e, a, b, F(d, e, a), k, W_EXPR((t) + 3));                       \
    SHA1_STEP(b, c, d, e, a, F(c, d, e), k, W_EXPR((t) + 4))
#define SHA1_W_DIRECT(t) W[t]

void CompressWords(u32* h, u32* W)
{
    u32 a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
    SHA1_FIVE(0, SHA1_CH, 0x5a827999, SHA1_W_DIRECT);
    SHA1_FIVE(5, SHA1_CH, 0x5a827999, SHA1_W_DIRECT);
    SHA1_FIVE(10, SHA1_CH, 0x5a827999, SHA1_W_DIRECT);
    SHA1_STEP(a, b, c, d, e, SHA1_CH(b, c, d), 0x5a827999, W[15]);
    SHA1_STEP(e, a, b, c, d, SHA1_CH(a, b, c), 0x5a827999, SHA1_SCHEDULE(16));
    SHA1_STEP(d, e, a, b, c, SHA1_CH(e, a, b), 0x5a827999, SHA1_SCHEDULE(17));
    SHA1_STEP(c, d, e, a, b, SHA1_CH(d, e, a), 0x5a827999, SHA1_SCHEDULE(18));
    SHA1_STEP(b, c, d, e, a, SHA1_CH(c, d, e), 0x5a827999, SHA1_SCHEDULE(19));
    SHA1_FIVE(20, SHA1_PARITY, 0x6ed9eba1, SHA1_SCHEDULE);
    SHA1_FIVE(25, SHA1_PARITY, 0x6ed9eba1, SHA1_SCHEDULE);
    SHA1_FIVE(30, SHA1_PARITY, 0x6ed9eba1, SHA1_SCHEDULE);
    SHA1_FIVE(35, SHA1_PARITY, 0x6ed9eba1, SHA1_SCHEDULE);
    SHA1_FIVE(40, SHA1_MAJ, 0x8f1bbcdc, SHA1_SCHEDULE);
    SHA1_FIVE(45, SHA1_MAJ, 0x8f1bbcdc, SHA1_SCHEDULE);
    SHA1_FIVE(50, SHA1_MAJ, 0x8f1bbcdc, SHA1_SCHEDULE);
    SHA1_FIVE(55, SHA1_MAJ, 0x8f1bbcdc, SHA1_SCHEDULE);
    SHA1_FIVE(60, SHA1_PARITY, 0xca62c1d6, SHA1_SCHEDULE);
    SHA1_FIVE(65, SHA1_PARITY, 0xca62c1d6, SHA1_SCHEDULE);
    SHA1_FIVE(70, SHA1_PARITY, 0xca62c1d6, SHA1_SCHEDULE);
    SHA1_FIVE(75, SHA1_PARITY, 0xca62c1d6, SHA1_SCHEDULE);
    h[0] += a; h[1] += b; h[2] += c; h[3] += d; h[4] += e;
}

void CompressBlock(sSha1Ctx& ctx, const u8* block)
{
    u32 W[16];
    for (int i = 0; i < 16; ++i) {
        W[i] = LoadBe32(block + 4 * i);
    }
    CompressWords(ctx.m_h, W);
    ++ctx.m_blocks;
}

} // namespace

void Sha1Init(sSha1Ctx& ctx)
{
    ctx.m_h[0] = 0x67452301;
    ctx.m_h[1] = 0xEFCDAB89;
    ctx.m_h[2] = 0x98BADCFE;
    ctx.m_h[3] = 0x10325476;
    ctx.m_h[4] = 0xC3D2E1F0;
    ctx.m_blocks = 0;
    ctx.m_waiting = 0;
}

void Sha1Compress(const u32* words, sSha1Ctx& ctx)
{
    u32 W[16];
    std::memcpy(W, words, sizeof(W));
    CompressWords(ctx.m_h, W);
}

void Sha1Update(sSha1Ctx& ctx, const void* data, size_t length)
{
    if (data == nullptr || length == 0) {
        return;
    }
    const u8* bytes = static_cast<const u8*>(data);
    if (ctx.m_waiting != 0) {
        const size_t missing = 64 - ctx.m_waiting;
        if (length < missing) {
            std::memcpy(ctx.m_block + ctx.m_waiting, bytes, length);
            ctx.m_waiting += static_cast<u32>(length);
            return;
        }
        std::memcpy(ctx.m_block + ctx.m_waiting, bytes, missing);
        CompressBlock(ctx, ctx.m_block);
        ctx.m_waiting = 0;
        bytes += missing;
        length -= missing;
    }
    while (length >= 64) {
        CompressBlock(ctx, bytes);
        bytes += 64;
        length -= 64;
    }
    std::memcpy(ctx.m_block, bytes, length);
    ctx.m_waiting = static_cast<u32>(length);
}

void Sha1Final(sSha1Ctx& ctx)
{
    const u64 bitCount = ctx.m_blocks * 512 + u64(ctx.m_waiting) * 8;
    u8 padded[128] = {};
    std::memcpy(padded, ctx.m_block, ctx.m_waiting);
    padded[ctx.m_waiting] = 0x80;
    // More than 55 waiting bytes leave no room for the count: a second block follows.
    const int blocks = ctx.m_waiting < 56 ? 1 : 2;
    StoreBe64(padded + 64 * blocks - 8, bitCount);
    for (int i = 0; i < blocks; ++i) {
        CompressBlock(ctx, padded + 64 * i);
    }
    ctx.m_waiting = 0;
    ct::Wipe(padded, sizeof(padded));
}

void Sha1Digest(u8* digest, const sSha1Ctx& ctx)
{
    if (digest == nullptr) {
        return;
    }
    for (int i = 0; i < 5; ++i) {
        StoreBe32(digest + 4 * i, ctx.m_h[i]);
    }
}

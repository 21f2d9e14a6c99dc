#include "net/crypto/sha256.h"

#include "base/byteorder.h"
#include "net/crypto/sha256blocks.h"

#include <cstring>

namespace {

// FIPS 180-4 5.3.3.
constexpr u32 kInitial[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                             0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

// Padding source: 0x80 then zeros; Final takes 1 to 64 bytes of it.
constexpr u8 kPadding[64] = {0x80};

} // namespace

void Sha256Init(sSha256Ctx& ctx)
{
    ctx.m_countLow = 0;
    ctx.m_countHigh = 0;
    std::memcpy(ctx.m_h, kInitial, sizeof(kInitial));
}

void Sha256Update(sSha256Ctx& ctx, const void* data, u32 length)
{
    if (length == 0 || data == nullptr) {
        return;
    }
    const u8* bytes = static_cast<const u8*>(data);
    const u32 waiting = ctx.m_countLow & 63;
    const u32 newLow = ctx.m_countLow + length;
    ctx.m_countHigh += newLow < ctx.m_countLow ? 1 : 0;
    ctx.m_countLow = newLow;

    if (waiting != 0) {
        const u32 missing = 64 - waiting;
        if (length < missing) {
            std::memcpy(ctx.m_block + waiting, bytes, length);
            return;
        }
        std::memcpy(ctx.m_block + waiting, bytes, missing);
        Sha256CompressBlocks(ctx.m_h, ctx.m_block, 1);
        bytes += missing;
        length -= missing;
    }
    if (length >= 64) {
        Sha256CompressBlocks(ctx.m_h, bytes, length / 64);
        bytes += length & ~63u;
        length &= 63;
    }
    if (length != 0) {
        std::memcpy(ctx.m_block, bytes, length);
    }
}

void Sha256Compress(const u8* block, sSha256Ctx& ctx)
{
    Sha256CompressBlocks(ctx.m_h, block, 1);
}

void Sha256Final(sSha256Ctx& ctx, u8* digest)
{
    // The bit count is taken before the padding moves the byte count on.
    u8 bitCount[8];
    StoreBe32(bitCount, (ctx.m_countHigh << 3) | (ctx.m_countLow >> 29));
    StoreBe32(bitCount + 4, ctx.m_countLow << 3);
    const u32 waiting = ctx.m_countLow & 63;
    // 0x80 and zeros up to 56 mod 64: 55 waiting bytes take 1, 56 take 64.
    const u32 padLength = waiting < 56 ? 56 - waiting : 120 - waiting;
    Sha256Update(ctx, kPadding, padLength);
    Sha256Update(ctx, bitCount, 8);
    for (int i = 0; i < 8; ++i) {
        StoreBe32(digest + 4 * i, ctx.m_h[i]);
    }
}

void Sha256UpdateLarge(sSha256Ctx& ctx, const void* data, size_t length)
{
    const u8* bytes = static_cast<const u8*>(data);
    // Pieces of 1 GiB keep the u32 length and block alignment.
    constexpr size_t kPiece = size_t(1) << 30;
    while (length > kPiece) {
        Sha256Update(ctx, bytes, static_cast<u32>(kPiece));
        bytes += kPiece;
        length -= kPiece;
    }
    Sha256Update(ctx, bytes, static_cast<u32>(length));
}

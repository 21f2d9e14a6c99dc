#include "net/tls/tlscbcmac.h"

#include "base/byteorder.h"
#include "net/crypto/consttime.h"
#include "net/crypto/sha1.h"

#include <cstring>

// Glossary: e = the secret message end (13 + dataLength) in the bytes after the ipad
// block; B = the index of the block holding the final length field (FIPS 180-4 5.1.1).

namespace {

constexpr u32 kHeaderSize = 13;
constexpr u32 kMaxPadding = 15; // AES-CBC records from the peers we talk to pad below 16

void CompressBlock(sSha1Ctx& ctx, const u8* block)
{
    u32 words[16];
    for (u32 i = 0; i < 16; ++i) {
        words[i] = LoadBe32(block + 4 * i);
    }
    Sha1Compress(words, ctx);
    ct::Wipe(words, sizeof(words));
}

} // namespace

void HmacSha1SecretLength(const u8* key, const u8* header, const u8* data, u32 dataLength,
                          u32 minLength, u32 maxLength, u8* out)
{
    u8 pad[kSha1BlockSize];
    std::memset(pad, 0x36, sizeof(pad));
    for (u32 i = 0; i < kTls12MacSize; ++i) {
        pad[i] ^= key[i];
    }
    sSha1Ctx ctx;
    Sha1Init(ctx);
    Sha1Update(ctx, pad, sizeof(pad));

    // Whole blocks that lie before the shortest possible end are hashed as usual: their
    // count depends only on minLength.
    const u32 prefix = ((kHeaderSize + minLength) / kSha1BlockSize) * kSha1BlockSize;
    if (prefix > 0) {
        Sha1Update(ctx, header, kHeaderSize);
        Sha1Update(ctx, data, prefix - kHeaderSize);
    }
    const u32 end = kHeaderSize + dataLength; // e, secret
    const u32 finalBlock = (end + 8) / kSha1BlockSize; // B, secret
    const u32 lastBlock = (kHeaderSize + maxLength + 8) / kSha1BlockSize;
    const u64 bits = (u64(kSha1BlockSize) + end) * 8;

    u32 result[5] = {};
    u8 block[kSha1BlockSize];
    for (u32 b = prefix / kSha1BlockSize; b <= lastBlock; ++b) {
        const u32 isFinal = ct::Eq(b, finalBlock);
        for (u32 k = 0; k < kSha1BlockSize; ++k) {
            const u32 position = b * kSha1BlockSize + k;
            u32 source = 0;
            if (position < kHeaderSize) {
                source = header[position];
            } else if (position - kHeaderSize < maxLength) {
                source = data[position - kHeaderSize];
            }
            u32 value = ct::Mux(ct::Lt(position, end), source, 0);
            value |= ct::Mux(ct::Eq(position, end), 0x80, 0);
            if (k >= 56) {
                const u32 lengthByte = static_cast<u32>(bits >> (8 * (63 - k))) & 0xFF;
                value |= ct::Mux(isFinal, lengthByte, 0);
            }
            block[k] = static_cast<u8>(value);
        }
        CompressBlock(ctx, block);
        for (u32 i = 0; i < 5; ++i) {
            result[i] = ct::Mux(isFinal, ctx.m_h[i], result[i]);
        }
    }

    u8 inner[kSha1DigestSize];
    for (u32 i = 0; i < 5; ++i) {
        StoreBe32(inner + 4 * i, result[i]);
    }
    for (u32 i = 0; i < sizeof(pad); ++i) {
        pad[i] ^= 0x36 ^ 0x5C;
    }
    Sha1Init(ctx);
    Sha1Update(ctx, pad, sizeof(pad));
    Sha1Update(ctx, inner, sizeof(inner));
    Sha1Final(ctx);
    Sha1Digest(out, ctx);
    ct::Wipe(pad, sizeof(pad));
    ct::Wipe(block, sizeof(block));
    ct::Wipe(inner, sizeof(inner));
    ct::Wipe(result, sizeof(result));
    ct::Wipe(&ctx, sizeof(ctx));
}

u32 CheckTls12CbcRecord(const u8* macKey, u64 sequence, u8 type, const u8* plain, u32 size,
                        u32& dataLength)
{
    dataLength = 0;
    // Public: a body too short for a MAC and the padding length byte.
    if (size < kTls12MacSize + 1) {
        return 0;
    }
    const u32 maxData = size - kTls12MacSize - 1;
    u32 padding = plain[size - 1];
    u32 good = ct::Lt(padding, kMaxPadding + 1) & ct::Lt(padding, maxData + 1);
    for (u32 i = 1; i <= kMaxPadding && i < size; ++i) {
        const u32 covered = ct::Lt(i - 1, padding); // i <= p
        const u32 differs = ct::NotZero(static_cast<u32>(plain[size - 1 - i]) ^ padding);
        good &= ~(covered & differs) & 1;
    }
    padding = ct::Mux(good, padding, 0);
    const u32 length = maxData - padding;
    const u32 minData = maxData > kMaxPadding ? maxData - kMaxPadding : 0;

    // The received MAC sits at plain + length; gathered from every candidate place.
    u8 received[kTls12MacSize] = {};
    for (u32 j = 0; j <= kMaxPadding && j <= maxData; ++j) {
        ct::CondCopy(ct::Eq(padding, j), received, plain + maxData - j, kTls12MacSize);
    }

    u8 header[kHeaderSize];
    StoreBe64(header, sequence);
    header[8] = type;
    header[9] = 3;
    header[10] = 3;
    StoreBe16(header + 11, static_cast<u16>(length));
    u8 computed[kSha1DigestSize];
    HmacSha1SecretLength(macKey, header, plain, length, minData, maxData, computed);
    good &= ct::BytesEqual(computed, received, kTls12MacSize);
    ct::Wipe(computed, sizeof(computed));
    ct::Wipe(received, sizeof(received));
    // End of the constant-time region: the caller branches on the result.
    dataLength = length;
    return good;
}

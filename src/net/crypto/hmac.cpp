#include "net/crypto/hmac.h"

#include "net/crypto/consttime.h"
#include "net/crypto/sha1.h"
#include "net/crypto/sha256.h"
#include "net/crypto/sha384.h"

#include <cstring>

namespace {

// The three hashes behind one face for the HMAC construction.
struct sSha1Hash
{
    using Ctx = sSha1Ctx;
    static constexpr size_t kBlock = kSha1BlockSize;
    static constexpr size_t kDigest = kSha1DigestSize;
    static void Init(Ctx& ctx) { Sha1Init(ctx); }
    static void Update(Ctx& ctx, const void* data, size_t length) { Sha1Update(ctx, data, length); }
    static void Final(Ctx& ctx, u8* out)
    {
        Sha1Final(ctx);
        Sha1Digest(out, ctx);
    }
};

struct sSha256Hash
{
    using Ctx = sSha256Ctx;
    static constexpr size_t kBlock = kSha256BlockSize;
    static constexpr size_t kDigest = kSha256DigestSize;
    static void Init(Ctx& ctx) { Sha256Init(ctx); }
    static void Update(Ctx& ctx, const void* data, size_t length)
    {
        Sha256UpdateLarge(ctx, data, length);
    }
    static void Final(Ctx& ctx, u8* out) { Sha256Final(ctx, out); }
};

struct sSha384Hash
{
    using Ctx = sSha384Ctx;
    static constexpr size_t kBlock = kSha384BlockSize;
    static constexpr size_t kDigest = kSha384DigestSize;
    static void Init(Ctx& ctx) { Sha384Init(ctx); }
    static void Update(Ctx& ctx, const void* data, size_t length)
    {
        if (data != nullptr) {
            Sha384Update(ctx, data, length);
        }
    }
    static void Final(Ctx& ctx, u8* out) { Sha384Final(ctx, out); }
};

// RFC 2104 2: H(K XOR opad, H(K XOR ipad, text)), K zero-padded to the block, or first
// hashed when longer than the block.
template <typename Hash>
void Hmac(const sHmacPart* parts, size_t count, const u8* key, size_t keyLength, u8* out)
{
    u8 block[Hash::kBlock] = {};
    typename Hash::Ctx ctx;
    if (keyLength > Hash::kBlock) {
        Hash::Init(ctx);
        Hash::Update(ctx, key, keyLength);
        Hash::Final(ctx, block);
    } else if (keyLength != 0) {
        std::memcpy(block, key, keyLength);
    }
    for (auto& b : block) {
        b ^= 0x36;
    }
    Hash::Init(ctx);
    Hash::Update(ctx, block, Hash::kBlock);
    for (size_t i = 0; i < count; ++i) {
        Hash::Update(ctx, parts[i].m_data, parts[i].m_length);
    }
    u8 inner[Hash::kDigest];
    Hash::Final(ctx, inner);
    for (auto& b : block) {
        b ^= 0x36 ^ 0x5c;
    }
    Hash::Init(ctx);
    Hash::Update(ctx, block, Hash::kBlock);
    Hash::Update(ctx, inner, Hash::kDigest);
    Hash::Final(ctx, out);
    ct::Wipe(block, sizeof(block));
    ct::Wipe(inner, sizeof(inner));
    ct::Wipe(&ctx, sizeof(ctx));
}

} // namespace

void HmacSha1Parts(const sHmacPart* parts, size_t count, const u8* key, size_t keyLength, u8* out)
{
    Hmac<sSha1Hash>(parts, count, key, keyLength, out);
}

void HmacSha256Parts(const sHmacPart* parts, size_t count, const u8* key, size_t keyLength,
                     u8* out)
{
    Hmac<sSha256Hash>(parts, count, key, keyLength, out);
}

void HmacSha384Parts(const sHmacPart* parts, size_t count, const u8* key, size_t keyLength,
                     u8* out)
{
    Hmac<sSha384Hash>(parts, count, key, keyLength, out);
}

void HmacSha1(const void* data, size_t length, const u8* key, size_t keyLength, u8* out)
{
    const sHmacPart part = {data, length};
    HmacSha1Parts(&part, 1, key, keyLength, out);
}

void HmacSha256(const void* data, size_t length, const u8* key, size_t keyLength, u8* out)
{
    const sHmacPart part = {data, length};
    HmacSha256Parts(&part, 1, key, keyLength, out);
}

void HmacSha384(const void* data, size_t length, const u8* key, size_t keyLength, u8* out)
{
    const sHmacPart part = {data, length};
    HmacSha384Parts(&part, 1, key, keyLength, out);
}

void Sha256(const void* data, i64 length, u8* out)
{
    if (length < 0) {
        length = data != nullptr ? static_cast<i64>(std::strlen(static_cast<const char*>(data))) : 0;
    }
    sSha256Ctx ctx;
    Sha256Init(ctx);
    Sha256UpdateLarge(ctx, data, static_cast<size_t>(length));
    Sha256Final(ctx, out);
}

void Sha384Empty(u8* out)
{
    sSha384Ctx ctx;
    Sha384Init(ctx);
    Sha384Final(ctx, out);
}

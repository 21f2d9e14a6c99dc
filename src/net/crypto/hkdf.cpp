#include "net/crypto/hkdf.h"

#include "base/byteorder.h"
#include "net/crypto/consttime.h"
#include "net/crypto/hmac.h"

#include <cstring>

namespace {

using tHmacParts = void (*)(const sHmacPart*, size_t, const u8*, size_t, u8*);

constexpr size_t kMaxHkdfLabel = 2 + 1 + 255 + 1 + 255;

bool Expand(tHmacParts hmac, size_t hashSize, const u8* prk, const u8* info, size_t infoLength,
            u8* out, size_t outLength)
{
    if (prk == nullptr || out == nullptr || outLength == 0 || outLength > 255 * hashSize ||
        (infoLength != 0 && info == nullptr)) {
        return false;
    }
    u8 t[48]; // T(i), the larger hash size
    size_t tLength = 0;
    for (u8 counter = 1; outLength != 0; ++counter) {
        const sHmacPart parts[3] = {{t, tLength}, {info, infoLength}, {&counter, 1}};
        hmac(parts, 3, prk, hashSize, t);
        tLength = hashSize;
        const size_t take = outLength < hashSize ? outLength : hashSize;
        std::memcpy(out, t, take);
        out += take;
        outLength -= take;
    }
    ct::Wipe(t, sizeof(t));
    return true;
}

bool ExpandLabel(tHmacParts hmac, size_t hashSize, const u8* secret, const u8* context,
                 size_t contextLength, const char* label, u8* out, size_t outLength)
{
    if (outLength > 0xFFFF) {
        return false;
    }
    u8 hkdfLabel[kMaxHkdfLabel];
    const size_t size =
        BuildHkdfLabel(static_cast<u16>(outLength), label, context, contextLength, hkdfLabel);
    const bool ok = size != 0 && Expand(hmac, hashSize, secret, hkdfLabel, size, out, outLength);
    ct::Wipe(hkdfLabel, sizeof(hkdfLabel));
    return ok;
}

} // namespace

size_t BuildHkdfLabel(u16 outLength, const char* label, const u8* context, size_t contextLength,
                      u8* out)
{
    static const char kPrefix[] = "tls13 ";
    constexpr size_t kPrefixLength = sizeof(kPrefix) - 1;
    if (label == nullptr || (contextLength != 0 && context == nullptr) || contextLength > 255) {
        return 0;
    }
    const size_t labelLength = std::strlen(label);
    if (labelLength > 255 - kPrefixLength) {
        return 0;
    }
    StoreBe16(out, static_cast<u16>(outLength));
    size_t at = 2;
    out[at++] = static_cast<u8>(kPrefixLength + labelLength);
    std::memcpy(out + at, kPrefix, kPrefixLength);
    at += kPrefixLength;
    std::memcpy(out + at, label, labelLength);
    at += labelLength;
    out[at++] = static_cast<u8>(contextLength);
    if (contextLength != 0) {
        std::memcpy(out + at, context, contextLength);
    }
    return at + contextLength;
}

bool HkdfExpand256(const u8* prk, const u8* info, size_t infoLength, u8* out, size_t outLength)
{
    return Expand(HmacSha256Parts, 32, prk, info, infoLength, out, outLength);
}

bool HkdfExpand384(const u8* prk, const u8* info, size_t infoLength, u8* out, size_t outLength)
{
    return Expand(HmacSha384Parts, 48, prk, info, infoLength, out, outLength);
}

bool HkdfExpandLabel256(const u8* secret, const u8* context, size_t contextLength,
                        const char* label, u8* out, size_t outLength)
{
    return ExpandLabel(HmacSha256Parts, 32, secret, context, contextLength, label, out, outLength);
}

bool HkdfExpandLabel384(const u8* secret, const u8* context, size_t contextLength,
                        const char* label, u8* out, size_t outLength)
{
    return ExpandLabel(HmacSha384Parts, 48, secret, context, contextLength, label, out, outLength);
}

#include "net/tls/tlsprf.h"

#include "net/crypto/consttime.h"
#include "net/crypto/hmac.h"

#include <cstring>

bool Tls12Prf(const u8* secret, size_t secretLength, const char* label, const u8* seed,
              size_t seedLength, u8* out, size_t outLength)
{
    if (secret == nullptr || label == nullptr || seed == nullptr || out == nullptr) {
        return false;
    }
    const size_t labelLength = std::strlen(label);
    // RFC 5246 5: A(0) = label | seed, A(i) = HMAC(secret, A(i-1));
    // output block i = HMAC(secret, A(i) | label | seed).
    u8 a[32];
    u8 block[32];
    const sHmacPart first[2] = {{label, labelLength}, {seed, seedLength}};
    HmacSha256Parts(first, 2, secret, secretLength, a);
    while (outLength != 0) {
        const sHmacPart parts[3] = {{a, 32}, {label, labelLength}, {seed, seedLength}};
        HmacSha256Parts(parts, 3, secret, secretLength, block);
        const size_t take = outLength < 32 ? outLength : 32;
        std::memcpy(out, block, take);
        out += take;
        outLength -= take;
        HmacSha256(a, 32, secret, secretLength, a);
    }
    ct::Wipe(a, sizeof(a));
    ct::Wipe(block, sizeof(block));
    return true;
}

namespace {

bool PrfOverRandoms(const u8* secret, size_t secretLength, const char* label, const u8* first,
                    const u8* second, u8* out, size_t outLength)
{
    if (first == nullptr || second == nullptr) {
        return false;
    }
    u8 seed[64];
    std::memcpy(seed, first, 32);
    std::memcpy(seed + 32, second, 32);
    return Tls12Prf(secret, secretLength, label, seed, sizeof(seed), out, outLength);
}

} // namespace

bool Tls12MasterSecret(const u8* preMaster, size_t preMasterLength, const u8* clientRandom,
                       const u8* serverRandom, u8* master)
{
    return PrfOverRandoms(preMaster, preMasterLength, "master secret", clientRandom, serverRandom,
                          master, 48);
}

bool Tls12KeyExpansion(const u8* master, const u8* clientRandom, const u8* serverRandom,
                       u8* keyBlock)
{
    // The seed order is reversed here (RFC 5246 6.3).
    return PrfOverRandoms(master, 48, "key expansion", serverRandom, clientRandom, keyBlock,
                          kTls12KeyBlockSize);
}

bool Tls12FinishedVerifyData(const u8* master, eFinishedSender sender, const u8* handshakeHash,
                             u8* verifyData)
{
    const char* label = sender == eFinishedSender::Client ? "client finished" : "server finished";
    return Tls12Prf(master, 48, label, handshakeHash, 32, verifyData, 12);
}

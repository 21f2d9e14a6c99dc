#include "net/tls/tlskeys.h"

#include "net/crypto/consttime.h"
#include "net/crypto/hkdf.h"
#include "net/crypto/hmac.h"

#include <cstring>

namespace {

// What the schedule needs of a suite.
struct sSuite
{
    size_t hashSize;
    size_t keySize;
    bool (*expandLabel)(const u8*, const u8*, size_t, const char*, u8*, size_t);
    void (*hmac)(const void*, size_t, const u8*, size_t, u8*);
    void (*emptyHash)(u8*);
};

void Sha256Empty(u8* out) { Sha256("", 0, out); }

constexpr sSuite kSha256Suite = {32, 16, HkdfExpandLabel256, HmacSha256, Sha256Empty};
constexpr sSuite kSha384Suite = {48, 32, HkdfExpandLabel384, HmacSha384, Sha384Empty};

const sSuite* FindSuite(u32 suite)
{
    switch (suite) {
    case kTlsAes128GcmSha256: return &kSha256Suite;
    case kTlsAes256GcmSha384: return &kSha384Suite;
    default: return nullptr;
    }
}

// RFC 8446 7.1: Derive-Secret(secret, "derived", "") = Expand-Label with Hash("").
bool DeriveEmpty(const sSuite& suite, const u8* secret, u8* out)
{
    u8 emptyHash[48];
    suite.emptyHash(emptyHash);
    return suite.expandLabel(secret, emptyHash, suite.hashSize, "derived", out, suite.hashSize);
}

// RFC 8446 7.3: a traffic secret, then its write key and IV.
bool DeriveTraffic(const sSuite& suite, const u8* secret, const char* label, const u8* hash,
                   u8* trafficSecret, u8* key, u8* iv)
{
    return suite.expandLabel(secret, hash, suite.hashSize, label, trafficSecret, suite.hashSize) &&
           suite.expandLabel(trafficSecret, nullptr, 0, "key", key, suite.keySize) &&
           suite.expandLabel(trafficSecret, nullptr, 0, "iv", iv, 12);
}

bool DeriveBothTraffic(const sSuite& suite, const u8* secret, const char* clientLabel,
                       const char* serverLabel, const u8* hash, sTls13KeyBlock& block)
{
    const bool ok = DeriveTraffic(suite, secret, clientLabel, hash, block.m_clientSecret,
                                  block.m_clientKey, block.m_clientIv) &&
                    DeriveTraffic(suite, secret, serverLabel, hash, block.m_serverSecret,
                                  block.m_serverKey, block.m_serverIv);
    block.m_keyBits = static_cast<i32>(suite.keySize * 8);
    return ok;
}

} // namespace

sTLSHashCtx::~sTLSHashCtx()
{
    ct::Wipe(&m_sha256, sizeof(m_sha256));
    ct::Wipe(&m_sha384, sizeof(m_sha384));
}

bool TranscriptInit(sTLSHashCtx& ctx, u32 suite)
{
    if (FindSuite(suite) == nullptr) {
        return false;
    }
    ctx.m_suite = suite;
    Sha256Init(ctx.m_sha256);
    Sha384Init(ctx.m_sha384);
    return true;
}

void TranscriptUpdate(sTLSHashCtx& ctx, const u8* data, size_t length)
{
    if (data == nullptr || length == 0) {
        return;
    }
    if (ctx.m_suite == kTlsAes128GcmSha256) {
        Sha256UpdateLarge(ctx.m_sha256, data, length);
    } else if (ctx.m_suite == kTlsAes256GcmSha384) {
        Sha384Update(ctx.m_sha384, data, length);
    }
}

size_t TranscriptHashSize(const sTLSHashCtx& ctx)
{
    const sSuite* suite = FindSuite(ctx.m_suite);
    return suite != nullptr ? suite->hashSize : 0;
}

bool TranscriptHash(const sTLSHashCtx& ctx, u8* out)
{
    if (out == nullptr) {
        return false;
    }
    if (ctx.m_suite == kTlsAes128GcmSha256) {
        sSha256Ctx copy = ctx.m_sha256;
        Sha256Final(copy, out);
        ct::Wipe(&copy, sizeof(copy));
        return true;
    }
    if (ctx.m_suite == kTlsAes256GcmSha384) {
        sSha384Ctx copy = ctx.m_sha384;
        Sha384Final(copy, out);
        ct::Wipe(&copy, sizeof(copy));
        return true;
    }
    return false;
}

bool DeriveHandshakeSecrets(const sTLSHashCtx& ctx, const u8* sharedSecret,
                            sTls13KeyBlock& block, u8* handshakeSecret)
{
    const sSuite* suite = FindSuite(ctx.m_suite);
    if (suite == nullptr || sharedSecret == nullptr || handshakeSecret == nullptr) {
        return false;
    }
    // RFC 8446 7.1: early secret = HKDF-Extract(0, 0), both HashLen zero bytes.
    const u8 zeros[48] = {};
    u8 early[48];
    u8 derived[48];
    u8 hash[48];
    suite->hmac(zeros, suite->hashSize, zeros, suite->hashSize, early);
    bool ok = DeriveEmpty(*suite, early, derived) && TranscriptHash(ctx, hash);
    // handshake secret = HKDF-Extract(derived, (EC)DHE shared secret).
    suite->hmac(sharedSecret, 32, derived, suite->hashSize, handshakeSecret);
    ok = ok && DeriveBothTraffic(*suite, handshakeSecret, "c hs traffic", "s hs traffic", hash, block);
    ct::Wipe(early, sizeof(early));
    ct::Wipe(derived, sizeof(derived));
    return ok;
}

bool DeriveApplicationSecrets(const sTLSHashCtx& ctx, const u8* handshakeSecret,
                              sTls13KeyBlock& block)
{
    const sSuite* suite = FindSuite(ctx.m_suite);
    if (suite == nullptr || handshakeSecret == nullptr) {
        return false;
    }
    const u8 zeros[48] = {};
    u8 derived[48];
    u8 master[48];
    u8 hash[48];
    bool ok = DeriveEmpty(*suite, handshakeSecret, derived) && TranscriptHash(ctx, hash);
    // master secret = HKDF-Extract(derived, HashLen zero bytes).
    suite->hmac(zeros, suite->hashSize, derived, suite->hashSize, master);
    ok = ok && DeriveBothTraffic(*suite, master, "c ap traffic", "s ap traffic", hash, block);
    ct::Wipe(derived, sizeof(derived));
    ct::Wipe(master, sizeof(master));
    return ok;
}

bool ComputeFinishedKey(const sTLSHashCtx& ctx, const u8* trafficSecret, u8* out)
{
    const sSuite* suite = FindSuite(ctx.m_suite);
    return suite != nullptr && trafficSecret != nullptr &&
           suite->expandLabel(trafficSecret, nullptr, 0, "finished", out, suite->hashSize);
}

bool FinishedMac(const sTLSHashCtx& ctx, const u8* finishedKey, const u8* transcriptHash, u8* out)
{
    const sSuite* suite = FindSuite(ctx.m_suite);
    if (suite == nullptr || finishedKey == nullptr || transcriptHash == nullptr || out == nullptr) {
        return false;
    }
    suite->hmac(transcriptHash, suite->hashSize, finishedKey, suite->hashSize, out);
    return true;
}

bool SetupRecordKey(const sTls13KeyBlock& block, sTlsGcmContext& context, eRecordDirection direction)
{
    const bool writing = direction == eRecordDirection::Writing;
    if (!GcmSetKey(context.m_key, writing ? block.m_clientKey : block.m_serverKey,
                   static_cast<u32>(block.m_keyBits))) {
        return false;
    }
    std::memcpy(context.m_iv, writing ? block.m_clientIv : block.m_serverIv, 12);
    return true;
}

bool UpdateTrafficSecret(u32 suite, u8* secret, sTlsGcmContext& context)
{
    const sSuite* found = FindSuite(suite);
    if (found == nullptr) {
        return false;
    }
    u8 next[48];
    u8 key[32];
    bool ok = found->expandLabel(secret, nullptr, 0, "traffic upd", next, found->hashSize) &&
              found->expandLabel(next, nullptr, 0, "key", key, found->keySize) &&
              found->expandLabel(next, nullptr, 0, "iv", context.m_iv, 12) &&
              GcmSetKey(context.m_key, key, static_cast<u32>(found->keySize * 8));
    std::memcpy(secret, next, found->hashSize);
    ct::Wipe(next, sizeof(next));
    ct::Wipe(key, sizeof(key));
    return ok;
}

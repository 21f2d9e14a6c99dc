#pragma once
// The TLS 1.3 key schedule (RFC 8446 7.1-7.3) of the client's two suites: the running
// transcript hash, the handshake and application secrets with their keys and IVs, and
// the Finished keys and MACs (RFC 8446 4.4.4).
//
// Suite ids are the two cipher-suite bytes of the wire read as a little-endian number:
// 0x0113 = TLS_AES_128_GCM_SHA256 (wire 13 01), 0x0213 = TLS_AES_256_GCM_SHA384 (13 02).
// Every suite-dependent function fails for any other id.
// CT: the time depends only on the suite and the lengths.
#include "net/crypto/gcm.h"
#include "net/crypto/sha256.h"
#include "net/crypto/sha384.h"

constexpr u32 kTlsAes128GcmSha256 = 0x0113;
constexpr u32 kTlsAes256GcmSha384 = 0x0213;

// The TLS 1.3 key block, filled by the derivations and wiped by the handshake after use.
struct sTls13KeyBlock
{
    u8 m_clientKey[32];    // 16 bytes used with the SHA-256 suite
    u8 m_serverKey[32];
    u8 m_clientIv[12];
    u8 m_serverIv[12];
    u8 m_serverSecret[48]; // traffic secrets; 32 bytes used with SHA-256
    u8 m_clientSecret[48];
    i32 m_keyBits;         // 128 or 256, for GcmSetKey
};
static_assert(sizeof(sTls13KeyBlock) == 188, "the key block is 188 bytes");

// The running transcript hash. The destructor zeroes both states.
struct sTLSHashCtx
{
    sTLSHashCtx() = default;
    sTLSHashCtx(const sTLSHashCtx&) = default;
    sTLSHashCtx& operator=(const sTLSHashCtx&) = default;
    virtual ~sTLSHashCtx();

    u32 m_suite = 0;
    sSha256Ctx m_sha256 = {};
    sSha384Ctx m_sha384 = {};
};

// Starts the hash of `suite`; false for another id.
[[nodiscard]] bool TranscriptInit(sTLSHashCtx& ctx, u32 suite);
void TranscriptUpdate(sTLSHashCtx& ctx, const u8* data, size_t length);
// The digest of everything so far (32 or 48 bytes), from a copy: the hash goes on.
[[nodiscard]] bool TranscriptHash(const sTLSHashCtx& ctx, u8* out);
// 32 or 48, or 0 for an unknown suite.
size_t TranscriptHashSize(const sTLSHashCtx& ctx);

// Early secret, derived secret and handshake secret from the 32-byte X25519 shared secret,
// then the client and server handshake traffic secrets over the current transcript hash
// (ClientHello..ServerHello) with their keys and IVs. The handshake secret (32 or 48
// bytes) goes to `handshakeSecret` for DeriveApplicationSecrets.
[[nodiscard]] bool DeriveHandshakeSecrets(const sTLSHashCtx& ctx, const u8* sharedSecret,
                                          sTls13KeyBlock& block, u8* handshakeSecret);
// The master secret and the application traffic secrets, keys and IVs over the current
// transcript hash (ClientHello..server Finished).
[[nodiscard]] bool DeriveApplicationSecrets(const sTLSHashCtx& ctx, const u8* handshakeSecret,
                                            sTls13KeyBlock& block);
// HKDF-Expand-Label(trafficSecret, "finished", "", HashLen).
[[nodiscard]] bool ComputeFinishedKey(const sTLSHashCtx& ctx, const u8* trafficSecret, u8* out);
// HMAC(finishedKey, transcriptHash), HashLen bytes. Callers compare received Finished
// data with ct::BytesEqual over the full length.
[[nodiscard]] bool FinishedMac(const sTLSHashCtx& ctx, const u8* finishedKey,
                               const u8* transcriptHash, u8* out);

// One direction of TLS 1.3 record protection: the GCM key and, right behind it, the
// 12-byte static IV that the record layer XORs with the sequence number.
struct sTlsGcmContext
{
    sGcmKey m_key;
    u8 m_iv[12];
};

enum class eRecordDirection { Reading, Writing };

// Keys `context` with the client write key and IV when writing, else the server's.
[[nodiscard]] bool SetupRecordKey(const sTls13KeyBlock& block, sTlsGcmContext& context,
                                  eRecordDirection direction);

// RFC 8446 7.2: application_traffic_secret_N+1 =
//   HKDF-Expand-Label(application_traffic_secret_N, "traffic upd", "", Hash.length),
// replacing `secret` (32 or 48 bytes by `suite`), then its key and IV (RFC 8446 7.3) into
// `context`. False for an unknown suite.
[[nodiscard]] bool UpdateTrafficSecret(u32 suite, u8* secret, sTlsGcmContext& context);

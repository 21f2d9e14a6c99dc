#pragma once
// The TLS 1.2 pseudo-random function P_SHA256 (RFC 5246 5) and its uses by the client's
// ECDHE_RSA AES-CBC suites.
// CT: the time depends only on the lengths.
#include "base/types.h"

// The key block is read in the order of RFC 5246 6.3: client MAC key 20, server MAC key
// 20, client key and server key (16 or 32 bytes each), client IV 16, server IV 16. The
// AES-256 suite needs 2 x 20 + 2 x 32 + 2 x 16 = 136 bytes, so 136 are computed.
constexpr size_t kTls12KeyBlockSize = 136;

// PRF(secret, label, seed) = P_SHA256(secret, label | seed), `outLength` bytes. False for
// a null label, secret, seed or output.
[[nodiscard]] bool Tls12Prf(const u8* secret, size_t secretLength, const char* label,
                            const u8* seed, size_t seedLength, u8* out, size_t outLength);

// master secret = PRF(pre-master, "master secret", client random | server random), 48 bytes.
[[nodiscard]] bool Tls12MasterSecret(const u8* preMaster, size_t preMasterLength,
                                     const u8* clientRandom, const u8* serverRandom, u8* master);
// key block = PRF(master, "key expansion", server random | client random), 136 bytes.
[[nodiscard]] bool Tls12KeyExpansion(const u8* master, const u8* clientRandom,
                                     const u8* serverRandom, u8* keyBlock);

enum class eFinishedSender { Client, Server };

// verify_data = PRF(master, "client finished" or "server finished", handshake hash), 12
// bytes; the hash is the SHA-256 of the handshake messages the sender has seen.
[[nodiscard]] bool Tls12FinishedVerifyData(const u8* master, eFinishedSender sender,
                                           const u8* handshakeHash, u8* verifyData);

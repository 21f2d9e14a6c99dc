#pragma once
// State shared by the two handshake flows while one handshake runs. Internal to the
// handshake files. Every secret is wiped when the handshake ends.
#include "base/buffers.h"
#include "net/tls/tlsmessages.h"
#include "net/crypto/x25519.h"

class cHttpTransport;

enum : u8 {
    kHandshakeServerHello = 2,
    kHandshakeEncryptedExtensions = 8,
    kHandshakeCertificate = 11,
    kHandshakeServerKeyExchange = 12,
    kHandshakeServerHelloDone = 14,
    kHandshakeCertificateVerify = 15,
    kHandshakeClientKeyExchange = 16,
    kHandshakeFinished = 20,
};

struct sHandshakeState
{
    sHandshakeState() = default;
    sHandshakeState(const sHandshakeState&) = delete;
    sHandshakeState& operator=(const sHandshakeState&) = delete;
    ~sHandshakeState();

    u8 m_privateKey[kX25519KeySize] = {};
    u8 m_publicKey[kX25519KeySize] = {};
    u8 m_clientRandom[32] = {};
    u8 m_serverRandom[32] = {};
    u8 m_serverShare[kX25519KeySize] = {}; // TLS 1.3 key_share
    bool m_tls12 = false;
    _typebuf<u8> m_clientHello; // messages without record headers
    _typebuf<u8> m_serverHello;
    // The flight after the ServerHello, possibly begun in the ServerHello's record.
    cTlsMessageReader m_reader;
};

[[nodiscard]] bool Tls13Handshake(cHttpTransport& transport, sHandshakeState& state);
[[nodiscard]] bool Tls12Handshake(cHttpTransport& transport, sHandshakeState& state);

// 1 when the `count` bytes are all zero, else 0 (RFC 7748 6.1: an all-zero X25519 result
// means a low-order point and MUST be refused).
// CT: the time depends only on `count`.
u32 IsZeroSecret(const u8* secret, size_t count);

// Hands an NSS key log line "<label> <client random> <secret>" to the test sink, when set.
// CT: the secret's nibbles index a digit table; that happens only when a test has set
// the sink, and without one nothing is read.
void LogTlsSecret(const cHttpTransport& transport, const char* label, const u8* clientRandom,
                  const u8* secret, size_t size);

#pragma once
// Test seams of the TLS handshake. Not for production callers: a transport uses them only
// after SetHandshakeSeamsForTesting.
#include "base/types.h"

struct sTlsHandshakeSeams
{
    // 32 bytes used as the X25519 private key instead of a fresh one; null: fresh.
    const u8* m_privateKey = nullptr;
    // A whole ClientHello message (4-byte header included) sent instead of ours; its
    // random is the client random. Null: ours.
    const u8* m_clientHello = nullptr;
    u32 m_clientHelloSize = 0;
    // Receives one NSS key log line per secret ("CLIENT_RANDOM ...",
    // "CLIENT_HANDSHAKE_TRAFFIC_SECRET ...", ...), without a line end.
    void (*m_keyLog)(void* context, const char* line) = nullptr;
    void* m_keyLogContext = nullptr;
};

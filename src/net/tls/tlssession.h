#pragma once
// The TLS session state of one connection: suite, record keys, sequence numbers, the
// buffers of the record layer and the post-handshake message reader. A new session is
// made for every connection, so nothing of an earlier one (keys, plaintext, skipped
// messages) can leak into the next; the destructor wipes every key.
#include "base/buffers.h"
#include "net/crypto/cbc.h"
#include "net/tls/tlskeys.h"
#include "net/tls/tlsmessages.h"

enum class eTlsState : i32 { Plain = 0, Tls12 = 1, Tls13 = 2 };

inline constexpr u32 kTlsNoSuite = 0xFFFF;
// Suite ids as the two wire bytes read little-endian.
inline constexpr u32 kTlsEcdheRsaAes128CbcSha = 0x13C0;
inline constexpr u32 kTlsEcdheRsaAes256CbcSha = 0x14C0;

inline constexpr u32 kTlsRecordHeaderSize = 5;
// RFC 8446 5.1 and RFC 5246 6.2.1: at most 2^14 bytes of plaintext per record.
inline constexpr u32 kTlsMaxPlaintext = 16384;
// RFC 8446 5.2: TLSCiphertext.length MUST NOT exceed 2^14 + 256.
inline constexpr u32 kTls13MaxRecordBody = kTlsMaxPlaintext + 256;
// RFC 5246 6.2.3: TLSCiphertext.length MUST NOT exceed 2^14 + 2048.
inline constexpr u32 kTls12MaxRecordBody = kTlsMaxPlaintext + 2048;
inline constexpr u32 kTlsIvSize = 16;
// The largest record we write: a 2^14-byte piece under TLS 1.2 is
// 5 + 16 (IV) + ((16384 + 20 + 16) rounded down to 16) = 16437 bytes; TLS 1.3 needs
// 5 + 16385 + 16 = 16406.
inline constexpr u32 kTlsMaxWriteRecord =
    kTlsRecordHeaderSize + kTlsIvSize + ((kTlsMaxPlaintext + 36) & ~15u);

struct sTlsSession
{
    sTlsSession() = default;
    sTlsSession(const sTlsSession&) = delete;
    sTlsSession& operator=(const sTlsSession&) = delete;
    ~sTlsSession();

    u32 m_suite = kTlsNoSuite;
    u64 m_writeSequence = 0;
    u64 m_readSequence = 0;
    // TLS 1.3: GCM keys with their static IVs, and the application traffic secrets they
    // came from, which a KeyUpdate advances (RFC 8446 7.2).
    sTlsGcmContext m_readKey = {};
    sTlsGcmContext m_writeKey = {};
    u8 m_clientTrafficSecret[48] = {};
    u8 m_serverTrafficSecret[48] = {};
    // TLS 1.2: AES-CBC in each direction and the HMAC-SHA1 keys.
    cBlockCBC m_writeCbc;
    cBlockCBC m_readCbc;
    u8 m_clientMacKey[20] = {};
    u8 m_serverMacKey[20] = {};

    // The record being received; protected records are opened in place. The received
    // plaintext (data, then its content type byte) lies inside it.
    u8 m_record[kTlsRecordHeaderSize + kTls12MaxRecordBody];
    const u8* m_plain = nullptr;
    u32 m_plainSize = 0;     // data + 1 type byte
    u32 m_plainPosition = 0; // next data byte to hand out
    // The bytes to send: a handshake flight or one sealed record.
    u8 m_send[kTlsMaxWriteRecord];

    // TLS 1.3 post-handshake messages (NewSessionTicket may span records).
    cTlsMessageReader m_postHandshake;
    // The last NewSessionTicket skipped, whole with its header.
    _typebuf<u8> m_skippedMessage;
};

// Keeps a NewSessionTicket (RFC 8446 4.6.1, RFC 5077 3.3) as the session's last skipped
// message: we never resume, so it is skipped whole. False for any other message, and
// when memory is short.
[[nodiscard]] bool SkipSessionTicket(sTlsSession& session, const sTlsMessage& message);

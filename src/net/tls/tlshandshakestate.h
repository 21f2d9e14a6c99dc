#pragma once
// State shared by the two handshake flows while one handshake runs, record after record.
// Internal to the engine and the handshake files. Every secret is wiped when the
// handshake ends.
#include "base/buffers.h"
#include "net/crypto/sha256.h"
#include "net/crypto/x25519.h"
#include "net/tls/tlskeys.h"
#include "net/tls/tlsmessages.h"

class cTlsEngine;
struct sTlsRecord;

enum : u8 {
    kHandshakeServerHello = 2,
    kHandshakeEncryptedExtensions = 8,
    kHandshakeCertificate = 11,
    kHandshakeServerKeyExchange = 12,
    kHandshakeCertificateRequest = 13,
    kHandshakeServerHelloDone = 14,
    kHandshakeCertificateVerify = 15,
    kHandshakeClientKeyExchange = 16,
    kHandshakeFinished = 20,
};

inline constexpr u32 kMaxHashSize = 48;
inline constexpr u32 kTls12MasterSecretSize = 48;
inline constexpr u32 kTls12VerifyDataSize = 12;

// What the next server record must bring.
enum class eHandshakeStage
{
    ServerHello,           // plain handshake records until the ServerHello is whole
    Tls13Flight,           // EncryptedExtensions .. Finished, under the handshake keys
    Tls12Flight,           // Certificate, ServerKeyExchange, ServerHelloDone
    Tls12ChangeCipherSpec, // a NewSessionTicket may come first
    Tls12Finished,         // the first protected record
};

// The next message expected within a flight.
enum class eFlightStep : u8
{
    EncryptedExtensions,
    Certificate,
    CertificateVerify,
    ServerKeyExchange,
    ServerHelloDone,
    Finished,
    Done,
};

struct sHandshakeState
{
    sHandshakeState() = default;
    sHandshakeState(const sHandshakeState&) = delete;
    sHandshakeState& operator=(const sHandshakeState&) = delete;
    ~sHandshakeState();

    eHandshakeStage m_stage = eHandshakeStage::ServerHello;
    eFlightStep m_step = eFlightStep::Certificate;
    bool m_firstRecord = true; // only the ServerHello's first record may be other than 03 03
    bool m_sawChangeCipherSpec = false;
    u8 m_privateKey[kX25519KeySize] = {};
    u8 m_publicKey[kX25519KeySize] = {};
    u8 m_clientRandom[32] = {};
    u8 m_serverRandom[32] = {};
    u8 m_serverShare[kX25519KeySize] = {}; // TLS 1.3 key_share, TLS 1.2 ServerECDHParams
    bool m_tls12 = false;
    // The server asked for a client certificate: we answer with none (RFC 8446 4.4.2,
    // RFC 5246 7.4.6), in TLS 1.3 under the request's context.
    bool m_certificateRequested = false;
    u8 m_requestContextSize = 0;
    u8 m_requestContext[255] = {};
    _typebuf<u8> m_clientHello; // messages without record headers
    _typebuf<u8> m_serverHello;
    // The messages of the current flight, possibly begun in the ServerHello's record.
    cTlsMessageReader m_reader;

    // TLS 1.3 secrets and transcript.
    sTLSHashCtx m_transcript;
    sTls13KeyBlock m_block = {};
    u8 m_handshakeSecret[kMaxHashSize] = {};
    u8 m_finishedKey[kMaxHashSize] = {};
    u8 m_verifyData[kMaxHashSize] = {};
    // TLS 1.2 transcript and master secret.
    sSha256Ctx m_transcript12 = {};
    u8 m_master[kTls12MasterSecretSize] = {};
};

// Makes the key pair and queues the ClientHello.
[[nodiscard]] bool StartTlsHandshake(cTlsEngine& engine, sHandshakeState& state);
// The record version and largest body the next server record may have.
void HandshakeRecordLimits(const sHandshakeState& state, bool& exact0303, u32& maxBody);
// One whole server record while the handshake runs; false fails the handshake (the engine
// keeps the first reason given with cTlsEngine::Fail, else a malformed record).
[[nodiscard]] bool TakeHandshakeRecord(cTlsEngine& engine, sHandshakeState& state,
                                       const sTlsRecord& record);

// The flows after the ServerHello.
[[nodiscard]] bool BeginTls13(cTlsEngine& engine, sHandshakeState& state);
[[nodiscard]] bool TakeTls13Record(cTlsEngine& engine, sHandshakeState& state,
                                   const sTlsRecord& record);
[[nodiscard]] bool BeginTls12(cTlsEngine& engine, sHandshakeState& state);
[[nodiscard]] bool TakeTls12Record(cTlsEngine& engine, sHandshakeState& state,
                                   const sTlsRecord& record);

// 1 when the `count` bytes are all zero, else 0 (RFC 7748 6.1: an all-zero X25519 result
// means a low-order point and MUST be refused).
// CT: the time depends only on `count`.
u32 IsZeroSecret(const u8* secret, size_t count);

// A plain or opened alert record: the engine fails with AlertReceived and its number.
void TakeAlert(cTlsEngine& engine, const u8* data, u32 size);

// Hands a secret to the engine's hooks, when it has any.
void ReportTlsSecret(cTlsEngine& engine, const char* label, const sHandshakeState& state,
                     const u8* secret, size_t size);

enum class eFlightRead { Failed, NeedMore, Done };

// Hands every message reassembled so far to `take` (false fails) until the flight is done.
template <class Take> eFlightRead ReadFlightMessages(sHandshakeState& state, Take take)
{
    sTlsMessage message;
    eMessageRead next = eMessageRead::NeedMore;
    while (state.m_step != eFlightStep::Done &&
           (next = state.m_reader.Next(message)) == eMessageRead::Message) {
        if (!take(message)) {
            return eFlightRead::Failed;
        }
    }
    if (state.m_step == eFlightStep::Done) {
        return eFlightRead::Done;
    }
    return next == eMessageRead::Error ? eFlightRead::Failed : eFlightRead::NeedMore;
}

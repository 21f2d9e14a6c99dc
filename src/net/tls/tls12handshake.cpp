// The TLS 1.2 flow after the ServerHello for TLS_ECDHE_RSA_WITH_AES_128/256_CBC_SHA over
// x25519 (RFC 5246 7.3-7.4, RFC 8422 5), record by record.
#include "base/byteorder.h"
#include "net/crypto/aescipher.h"
#include "net/crypto/consttime.h"
#include "net/crypto/sha256.h"
#include "net/crypto/x25519.h"
#include "net/tls/tlsengine.h"
#include "net/tls/tlshandshakestate.h"
#include "net/tls/tlsprf.h"
#include "net/tls/tlsrecord.h"

#include <cstring>
#include <new>

namespace {

// ServerECDHParams: curve_type named_curve (3), x25519 (00 1d), length 32, the key.
constexpr u32 kEcdhParamsSize = 4 + 32;

// The key block and the pre-master secret, wiped at the end whatever the outcome.
struct sTls12Secrets
{
    ~sTls12Secrets()
    {
        ct::Wipe(m_preMaster, sizeof(m_preMaster));
        ct::Wipe(m_keyBlock, sizeof(m_keyBlock));
    }
    u8 m_preMaster[kX25519KeySize];
    u8 m_keyBlock[kTls12KeyBlockSize];
};

// The running SHA-256 of the handshake messages (RFC 5246 7.4.9), read without ending it.
void HashSoFar(const sSha256Ctx& transcript, u8* out)
{
    sSha256Ctx copy = transcript;
    Sha256Final(copy, out);
}

// The ServerKeyExchange: x25519 parameters signed over both randoms (RFC 8422 5.4).
bool TakeServerKeyExchange(cTlsEngine& engine, const sTlsMessage& message, sHandshakeState& state)
{
    if (message.m_type != kHandshakeServerKeyExchange || message.BodySize() < kEcdhParamsSize) {
        return false;
    }
    const u8* params = message.Body();
    if (params[0] != 3 || params[1] != 0x00 || params[2] != 0x1d || params[3] != 32) {
        engine.Fail(eTlsFailure::NoCommonProtocol);
        return false;
    }
    u8 signedContent[32 + 32 + kEcdhParamsSize];
    std::memcpy(signedContent, state.m_clientRandom, 32);
    std::memcpy(signedContent + 32, state.m_serverRandom, 32);
    std::memcpy(signedContent + 64, params, kEcdhParamsSize);
    if (!engine.Verifier().VerifyTlsSignature(message.m_message, message.m_size, signedContent,
                                              sizeof(signedContent), engine.Session().m_suite)) {
        engine.Fail(eTlsFailure::BadSignature);
        return false;
    }
    std::memcpy(state.m_serverShare, params + 4, 32);
    return true;
}

// RFC 5246 7.4.4: certificate_types<1..2^8-1>, supported_signature_algorithms
// <2..2^16-2>, certificate_authorities<0..2^16-1>; checked for their framing only, since
// the answer is an empty certificate list whatever they hold.
bool TakeCertificateRequest(const sTlsMessage& message, sHandshakeState& state)
{
    const u8* body = message.Body();
    const u32 size = message.BodySize();
    if (state.m_certificateRequested || size < 1 || body[0] == 0) {
        return false;
    }
    u32 at = 1 + body[0];
    for (const u32 least : {2u, 0u}) {
        if (size < at + 2) {
            return false;
        }
        const u32 length = LoadBe16(body + at);
        if (length < least) {
            return false;
        }
        at += 2 + length;
    }
    state.m_certificateRequested = at == size;
    return state.m_certificateRequested;
}

// Certificate, ServerKeyExchange, CertificateRequest (optional) and ServerHelloDone, in
// this order.
bool TakeFlightMessage(cTlsEngine& engine, const sTlsMessage& message, sHandshakeState& state)
{
    switch (state.m_step) {
    case eFlightStep::Certificate:
        if (message.m_type != kHandshakeCertificate || message.BodySize() == 0) {
            return false;
        }
        if (!engine.Verifier().VerifyTlsCertificate(message.m_message, message.m_size,
                                                    engine.Session().m_suite)) {
            engine.Fail(engine.Verifier().GetRefusalReason());
            return false;
        }
        state.m_step = eFlightStep::ServerKeyExchange;
        break;
    case eFlightStep::ServerKeyExchange:
        if (!TakeServerKeyExchange(engine, message, state)) {
            return false;
        }
        state.m_step = eFlightStep::ServerHelloDone;
        break;
    case eFlightStep::ServerHelloDone:
        if (message.m_type == kHandshakeCertificateRequest) {
            if (!TakeCertificateRequest(message, state)) {
                return false;
            }
            break;
        }
        if (message.m_type != kHandshakeServerHelloDone || message.BodySize() != 0 ||
            !state.m_reader.IsEmpty()) {
            return false;
        }
        state.m_step = eFlightStep::Done;
        break;
    default:
        return false;
    }
    Sha256UpdateLarge(state.m_transcript12, message.m_message, message.m_size);
    return true;
}

bool SetupCbc(cBlockCBC& cbc, const u8* key, u32 bits)
{
    cAESCipher* cipher = new (std::nothrow) cAESCipher;
    if (cipher == nullptr) {
        return false;
    }
    if (!cipher->SetKey(key, bits)) {
        delete cipher;
        return false;
    }
    return cbc.SetCipherOwned(cipher);
}

// After the ServerHelloDone: ClientKeyExchange, ChangeCipherSpec and the client Finished,
// the first record under the new keys.
bool SendClientFlight(cTlsEngine& engine, sHandshakeState& state)
{
    sTlsSession& session = engine.Session();
    const u32 keyBytes = session.m_suite == kTlsEcdheRsaAes256CbcSha ? 32 : 16;
    sTls12Secrets secrets;
    X25519ScalarMult(state.m_privateKey, secrets.m_preMaster, state.m_serverShare);
    if (IsZeroSecret(secrets.m_preMaster, sizeof(secrets.m_preMaster)) != 0) {
        return false;
    }
    u8 clientKeyExchange[42] = {0x16, 0x03, 0x03, 0x00, 0x25, kHandshakeClientKeyExchange,
                                0x00, 0x00, 0x21, 0x20};
    std::memcpy(clientKeyExchange + 10, state.m_publicKey, 32);
    static const u8 kChangeCipherSpec[6] = {0x14, 0x03, 0x03, 0x00, 0x01, 0x01};
    // RFC 5246 7.4.6: asked for a certificate, a client without one sends a Certificate
    // message with no certificates (and no CertificateVerify).
    static const u8 kEmptyCertificate[12] = {0x16, 0x03, 0x03, 0x00, 0x07, kHandshakeCertificate,
                                             0x00, 0x00, 0x03, 0x00, 0x00, 0x00};
    if (state.m_certificateRequested) {
        if (!engine.QueueSend(kEmptyCertificate, sizeof(kEmptyCertificate))) {
            return false;
        }
        Sha256UpdateLarge(state.m_transcript12, kEmptyCertificate + kTlsRecordHeaderSize,
                          sizeof(kEmptyCertificate) - kTlsRecordHeaderSize);
    }
    if (!engine.QueueSend(clientKeyExchange, sizeof(clientKeyExchange)) ||
        !engine.QueueSend(kChangeCipherSpec, sizeof(kChangeCipherSpec))) {
        return false;
    }
    Sha256UpdateLarge(state.m_transcript12, clientKeyExchange + kTlsRecordHeaderSize,
                      sizeof(clientKeyExchange) - kTlsRecordHeaderSize);

    // RFC 5246 6.3: client MAC key, server MAC key, client key, server key (the IVs that
    // follow are not used: every record carries its own).
    const u8* block = secrets.m_keyBlock;
    if (!Tls12MasterSecret(secrets.m_preMaster, sizeof(secrets.m_preMaster), state.m_clientRandom,
                           state.m_serverRandom, state.m_master) ||
        !Tls12KeyExpansion(state.m_master, state.m_clientRandom, state.m_serverRandom,
                           secrets.m_keyBlock) ||
        !SetupCbc(session.m_writeCbc, block + 40, keyBytes * 8) ||
        !SetupCbc(session.m_readCbc, block + 40 + keyBytes, keyBytes * 8)) {
        return false;
    }
    ReportTlsSecret(engine, "CLIENT_RANDOM", state, state.m_master, kTls12MasterSecretSize);
    std::memcpy(session.m_clientMacKey, block, 20);
    std::memcpy(session.m_serverMacKey, block + 20, 20);

    u8 hash[kSha256DigestSize];
    HashSoFar(state.m_transcript12, hash);
    u8 finished[4 + kTls12VerifyDataSize] = {kHandshakeFinished, 0, 0, kTls12VerifyDataSize};
    u8 record[kTlsRecordHeaderSize + kTlsIvSize + 48];
    session.m_writeSequence = 0;
    if (!Tls12FinishedVerifyData(state.m_master, eFinishedSender::Client, hash, finished + 4)) {
        return false;
    }
    const u32 recordSize =
        SealTls12Record(session, finished, sizeof(finished), kContentHandshake, record);
    if (recordSize == 0 || !engine.QueueSend(record, recordSize)) {
        return false;
    }
    Sha256UpdateLarge(state.m_transcript12, finished, sizeof(finished));
    session.m_readSequence = 0;
    state.m_stage = eHandshakeStage::Tls12ChangeCipherSpec;
    return true;
}

// Plain records up to the server's ChangeCipherSpec: a NewSessionTicket is kept as the
// last skipped message and enters the transcript.
bool TakeBeforeChangeCipherSpec(cTlsEngine& engine, sHandshakeState& state, const sTlsRecord& record)
{
    if (record.m_type == kContentChangeCipherSpec) {
        if (record.m_size != 1 || record.m_body[0] != 1 || !state.m_reader.IsEmpty()) {
            return false;
        }
        state.m_stage = eHandshakeStage::Tls12Finished;
        return true;
    }
    if (record.m_type != kContentHandshake || !state.m_reader.Append(record.m_body, record.m_size)) {
        return false;
    }
    sTlsMessage message;
    eMessageRead next;
    while ((next = state.m_reader.Next(message)) == eMessageRead::Message) {
        if (!SkipSessionTicket(engine.Session(), message)) {
            return false;
        }
        Sha256UpdateLarge(state.m_transcript12, message.m_message, message.m_size);
    }
    return next != eMessageRead::Error;
}

// The server's Finished, the first protected record (read sequence 0): 14 00 00 0c and
// PRF(master, "server finished", hash of everything before it), compared in constant time.
bool TakeServerFinished(cTlsEngine& engine, sHandshakeState& state, const sTlsRecord& record)
{
    sTlsPlaintext plain;
    if (record.m_type != kContentHandshake || record.m_minor > 3) {
        return false;
    }
    if (!OpenTls12Record(engine.Session(), record, plain)) {
        engine.Fail(eTlsFailure::RecordAuthentication);
        return false;
    }
    if (plain.m_size != 4 + kTls12VerifyDataSize || plain.m_data[0] != kHandshakeFinished ||
        plain.m_data[1] != 0 || plain.m_data[2] != 0 || plain.m_data[3] != kTls12VerifyDataSize) {
        return false;
    }
    u8 hash[kSha256DigestSize];
    HashSoFar(state.m_transcript12, hash);
    if (!Tls12FinishedVerifyData(state.m_master, eFinishedSender::Server, hash, state.m_verifyData)) {
        return false;
    }
    // CT: the full 12 bytes are compared; only the result branches.
    if (ct::BytesEqual(state.m_verifyData, plain.m_data + 4, kTls12VerifyDataSize) == 0) {
        engine.Fail(eTlsFailure::RecordAuthentication);
        return false;
    }
    engine.SetOpen(eTlsState::Tls12);
    return true;
}

// The flight's messages reassembled so far.
bool TakeTls12Messages(cTlsEngine& engine, sHandshakeState& state)
{
    const eFlightRead read = ReadFlightMessages(
        state, [&](const sTlsMessage& message) { return TakeFlightMessage(engine, message, state); });
    if (read != eFlightRead::Done) {
        return read == eFlightRead::NeedMore;
    }
    return SendClientFlight(engine, state);
}

} // namespace

bool BeginTls12(cTlsEngine& engine, sHandshakeState& state)
{
    Sha256Init(state.m_transcript12);
    Sha256UpdateLarge(state.m_transcript12, state.m_clientHello.GetData(),
                      u32(state.m_clientHello.GetCount()));
    Sha256UpdateLarge(state.m_transcript12, state.m_serverHello.GetData(),
                      u32(state.m_serverHello.GetCount()));
    state.m_stage = eHandshakeStage::Tls12Flight;
    state.m_step = eFlightStep::Certificate;
    // The server's flight may have begun in the ServerHello's record.
    return TakeTls12Messages(engine, state);
}

bool TakeTls12Record(cTlsEngine& engine, sHandshakeState& state, const sTlsRecord& record)
{
    if (record.m_type == kContentAlert && state.m_stage != eHandshakeStage::Tls12Finished) {
        TakeAlert(engine, record.m_body, record.m_size);
        return false;
    }
    switch (state.m_stage) {
    case eHandshakeStage::Tls12Flight:
        return record.m_type == kContentHandshake &&
               state.m_reader.Append(record.m_body, record.m_size) &&
               TakeTls12Messages(engine, state);
    case eHandshakeStage::Tls12ChangeCipherSpec:
        return TakeBeforeChangeCipherSpec(engine, state, record);
    case eHandshakeStage::Tls12Finished:
        return TakeServerFinished(engine, state, record);
    default:
        return false;
    }
}

// The TLS 1.3 flow after the ServerHello (RFC 8446 4.3-4.4, 7.1): handshake keys, the
// server's encrypted flight record by record, the client Finished, then the application
// keys.
#include "base/byteorder.h"
#include "net/crypto/consttime.h"
#include "net/crypto/x25519.h"
#include "net/tls/tlsengine.h"
#include "net/tls/tlshandshakestate.h"
#include "net/tls/tlsrecord.h"

#include <cstring>

namespace {

// RFC 8446 4.4.3: 64 spaces, the context string, a zero byte, then the transcript hash.
constexpr char kServerSignatureContext[] = "TLS 1.3, server CertificateVerify";
constexpr u32 kSignedContentPrefix = 64 + sizeof(kServerSignatureContext);

// RFC 8446 4.3.2: certificate_request_context<0..2^8-1>, extensions<2..2^16-1>. The
// context is kept for our answer; the extensions are not needed for an empty one.
bool TakeCertificateRequest(const sTlsMessage& message, sHandshakeState& state)
{
    const u8* body = message.Body();
    const u32 size = message.BodySize();
    if (state.m_certificateRequested || size < 1 + 2 || size < 1 + u32(body[0]) + 2) {
        return false;
    }
    const u32 contextSize = body[0];
    const u32 extensionsSize = LoadBe16(body + 1 + contextSize);
    if (extensionsSize < 2 || 3 + contextSize + extensionsSize != size) {
        return false;
    }
    state.m_certificateRequested = true;
    state.m_requestContextSize = static_cast<u8>(contextSize);
    std::memcpy(state.m_requestContext, body + 1, contextSize);
    return true;
}

// One message of the server's encrypted flight, checked and then added to the transcript.
bool TakeFlightMessage(cTlsEngine& engine, const sTlsMessage& message, sHandshakeState& state)
{
    sTLSHashCtx& transcript = state.m_transcript;
    const size_t hashSize = TranscriptHashSize(transcript);
    const u32 suite = engine.Session().m_suite;
    switch (state.m_step) {
    case eFlightStep::EncryptedExtensions:
        if (message.m_type != kHandshakeEncryptedExtensions) {
            return false;
        }
        state.m_step = eFlightStep::Certificate;
        break;
    case eFlightStep::Certificate:
        if (message.m_type == kHandshakeCertificateRequest) {
            if (!TakeCertificateRequest(message, state)) {
                return false;
            }
            break;
        }
        if (message.m_type != kHandshakeCertificate || message.BodySize() == 0) {
            return false;
        }
        if (!engine.Verifier().VerifyTlsCertificate(message.m_message, message.m_size, suite)) {
            engine.Fail(engine.Verifier().GetRefusalReason());
            return false;
        }
        state.m_step = eFlightStep::CertificateVerify;
        break;
    case eFlightStep::CertificateVerify: {
        if (message.m_type != kHandshakeCertificateVerify) {
            return false;
        }
        u8 content[kSignedContentPrefix + kMaxHashSize];
        std::memset(content, 0x20, 64);
        std::memcpy(content + 64, kServerSignatureContext, sizeof(kServerSignatureContext));
        if (!TranscriptHash(transcript, content + kSignedContentPrefix)) {
            return false;
        }
        if (!engine.Verifier().VerifyTlsSignature(message.m_message, message.m_size, content,
                                                  u32(kSignedContentPrefix + hashSize), suite)) {
            engine.Fail(eTlsFailure::BadSignature);
            return false;
        }
        state.m_step = eFlightStep::Finished;
        break;
    }
    case eFlightStep::Finished: {
        u8 hash[kMaxHashSize];
        if (message.m_type != kHandshakeFinished || message.BodySize() != hashSize ||
            !TranscriptHash(transcript, hash) ||
            !ComputeFinishedKey(transcript, state.m_block.m_serverSecret, state.m_finishedKey) ||
            !FinishedMac(transcript, state.m_finishedKey, hash, state.m_verifyData)) {
            return false;
        }
        // CT: compared over the full length; only the final result branches.
        if (ct::BytesEqual(state.m_verifyData, message.Body(), hashSize) == 0) {
            engine.Fail(eTlsFailure::RecordAuthentication);
            return false;
        }
        state.m_step = eFlightStep::Done;
        break;
    }
    default:
        return false;
    }
    TranscriptUpdate(transcript, message.m_message, message.m_size);
    return true;
}

// Keys both directions from the block and hands the two traffic secrets to the hooks.
bool InstallTrafficKeys(cTlsEngine& engine, const sHandshakeState& state, const char* clientLabel,
                        const char* serverLabel)
{
    sTlsSession& session = engine.Session();
    if (!SetupRecordKey(state.m_block, session.m_readKey, eRecordDirection::Reading) ||
        !SetupRecordKey(state.m_block, session.m_writeKey, eRecordDirection::Writing)) {
        return false;
    }
    const size_t hashSize = TranscriptHashSize(state.m_transcript);
    ReportTlsSecret(engine, clientLabel, state, state.m_block.m_clientSecret, hashSize);
    ReportTlsSecret(engine, serverLabel, state, state.m_block.m_serverSecret, hashSize);
    session.m_readSequence = 0;
    session.m_writeSequence = 0;
    return true;
}

// After the server Finished: the client's ChangeCipherSpec, then in one record an empty
// Certificate when one was asked for (RFC 8446 4.4.2: "If the server requests client
// authentication but no suitable certificate is available, the client MUST send a
// Certificate message containing no certificates") and the Finished over the transcript
// up to it, with the client handshake secret. The application secrets cover the
// transcript up to the server Finished only, so that point is kept apart, and they are
// derived last, when they overwrite the block.
bool FinishTls13(cTlsEngine& engine, sHandshakeState& state)
{
    sTLSHashCtx& transcript = state.m_transcript;
    const sTLSHashCtx serverFinished = transcript;
    const size_t hashSize = TranscriptHashSize(transcript);
    // Certificate: type, length, context, an empty certificate_list; then the Finished.
    u8 flight[4 + 1 + 255 + 3 + 4 + kMaxHashSize];
    u32 size = 0;
    if (state.m_certificateRequested) {
        const u32 contextSize = state.m_requestContextSize;
        const u8 header[5] = {kHandshakeCertificate, 0, 0, static_cast<u8>(1 + contextSize + 3),
                              static_cast<u8>(contextSize)};
        std::memcpy(flight, header, sizeof(header));
        std::memcpy(flight + 5, state.m_requestContext, contextSize);
        std::memset(flight + 5 + contextSize, 0, 3);
        size = 5 + contextSize + 3;
        TranscriptUpdate(transcript, flight, size);
    }
    u8 finishedHash[kMaxHashSize];
    u8* finished = flight + size;
    const u8 finishedHeader[4] = {kHandshakeFinished, 0, 0, static_cast<u8>(hashSize)};
    std::memcpy(finished, finishedHeader, sizeof(finishedHeader));
    if (!TranscriptHash(transcript, finishedHash) ||
        !ComputeFinishedKey(transcript, state.m_block.m_clientSecret, state.m_finishedKey) ||
        !FinishedMac(transcript, state.m_finishedKey, finishedHash, finished + 4)) {
        return false;
    }
    size += u32(4 + hashSize);
    static const u8 kChangeCipherSpec[6] = {0x14, 0x03, 0x03, 0x00, 0x01, 0x01};
    u8 record[kTlsRecordHeaderSize + sizeof(flight) + 1 + kGcmTagSize];
    const u32 recordSize = SealTls13Record(engine.Session(), flight, size, kContentHandshake, record);
    ct::Wipe(flight, sizeof(flight));
    if (recordSize == 0 || !engine.QueueSend(kChangeCipherSpec, sizeof(kChangeCipherSpec)) ||
        !engine.QueueSend(record, recordSize) ||
        !DeriveApplicationSecrets(serverFinished, state.m_handshakeSecret, state.m_block) ||
        !InstallTrafficKeys(engine, state, "CLIENT_TRAFFIC_SECRET_0", "SERVER_TRAFFIC_SECRET_0")) {
        return false;
    }
    sTlsSession& session = engine.Session();
    std::memcpy(session.m_clientTrafficSecret, state.m_block.m_clientSecret, sizeof(session.m_clientTrafficSecret));
    std::memcpy(session.m_serverTrafficSecret, state.m_block.m_serverSecret, sizeof(session.m_serverTrafficSecret));
    engine.SetOpen(eTlsState::Tls13);
    return true;
}

} // namespace

bool BeginTls13(cTlsEngine& engine, sHandshakeState& state)
{
    u8 shared[kX25519KeySize];
    X25519ScalarMult(state.m_privateKey, shared, state.m_serverShare);
    // Messages may not span the key change after the ServerHello either.
    const bool derived = IsZeroSecret(shared, sizeof(shared)) == 0 && state.m_reader.IsEmpty() &&
                         TranscriptInit(state.m_transcript, engine.Session().m_suite);
    if (derived) {
        TranscriptUpdate(state.m_transcript, state.m_clientHello.GetData(),
                         u32(state.m_clientHello.GetCount()));
        TranscriptUpdate(state.m_transcript, state.m_serverHello.GetData(),
                         u32(state.m_serverHello.GetCount()));
    }
    const bool keyed = derived &&
                       DeriveHandshakeSecrets(state.m_transcript, shared, state.m_block,
                                              state.m_handshakeSecret) &&
                       InstallTrafficKeys(engine, state, "CLIENT_HANDSHAKE_TRAFFIC_SECRET",
                                          "SERVER_HANDSHAKE_TRAFFIC_SECRET");
    ct::Wipe(shared, sizeof(shared));
    state.m_stage = eHandshakeStage::Tls13Flight;
    state.m_step = eFlightStep::EncryptedExtensions;
    return keyed;
}

// One ChangeCipherSpec (body 01) may come anywhere before the server Finished (RFC 8446
// D.4 middlebox compatibility); servers that leave it out are as valid.
bool TakeTls13Record(cTlsEngine& engine, sHandshakeState& state, const sTlsRecord& record)
{
    if (record.m_type == kContentChangeCipherSpec) {
        if (state.m_sawChangeCipherSpec || record.m_size != 1 || record.m_body[0] != 1) {
            return false;
        }
        state.m_sawChangeCipherSpec = true;
        return true;
    }
    if (record.m_type == kContentAlert) {
        TakeAlert(engine, record.m_body, record.m_size);
        return false;
    }
    sTlsPlaintext plain;
    if (record.m_type != kContentApplicationData) {
        return false;
    }
    if (!OpenTls13Record(engine.Session(), record, plain)) {
        engine.Fail(eTlsFailure::RecordAuthentication);
        return false;
    }
    if (plain.m_type == kContentAlert) {
        TakeAlert(engine, plain.m_data, plain.m_size);
        return false;
    }
    if (plain.m_type != kContentHandshake || !state.m_reader.Append(plain.m_data, plain.m_size)) {
        return false;
    }
    const eFlightRead read = ReadFlightMessages(
        state, [&](const sTlsMessage& message) { return TakeFlightMessage(engine, message, state); });
    if (read != eFlightRead::Done) {
        return read == eFlightRead::NeedMore;
    }
    // RFC 8446 5.1: handshake messages MUST NOT span a key change.
    return state.m_reader.IsEmpty() && FinishTls13(engine, state);
}

// The TLS 1.3 flow after the ServerHello (RFC 8446 4.3-4.4, 7.1): handshake keys, the
// server's encrypted flight, the client Finished, then the application keys.
#include "net/crypto/consttime.h"
#include "net/http/httptransport.h"
#include "net/tls/tlshandshakestate.h"
#include "net/tls/tlsrecord.h"
#include "net/crypto/x25519.h"

#include <cstring>

namespace {

constexpr u32 kMaxHashSize = 48;

// RFC 8446 4.4.3: 64 spaces, the context string, a zero byte, then the transcript hash.
constexpr char kServerSignatureContext[] = "TLS 1.3, server CertificateVerify";
constexpr u32 kSignedContentPrefix = 64 + sizeof(kServerSignatureContext);

// Everything secret of this flow in one place, wiped at the end whatever the outcome.
struct sTls13Secrets
{
    ~sTls13Secrets()
    {
        ct::Wipe(m_shared, sizeof(m_shared));
        ct::Wipe(&m_block, sizeof(m_block));
        ct::Wipe(m_handshakeSecret, sizeof(m_handshakeSecret));
        ct::Wipe(m_finishedKey, sizeof(m_finishedKey));
        ct::Wipe(m_verifyData, sizeof(m_verifyData));
    }
    u8 m_shared[kX25519KeySize];
    sTls13KeyBlock m_block;
    u8 m_handshakeSecret[kMaxHashSize];
    u8 m_finishedKey[kMaxHashSize];
    u8 m_verifyData[kMaxHashSize];
};

enum class eFlightStep { EncryptedExtensions, Certificate, CertificateVerify, Finished, Done };

// One message of the server's encrypted flight, checked and then added to the transcript.
bool TakeFlightMessage(cHttpTransport& transport, const sTlsMessage& message, sTLSHashCtx& transcript,
                       sTls13Secrets& secrets, eFlightStep& step)
{
    const size_t hashSize = TranscriptHashSize(transcript);
    switch (step) {
    case eFlightStep::EncryptedExtensions:
        if (message.m_type != kHandshakeEncryptedExtensions) {
            return false;
        }
        step = eFlightStep::Certificate;
        break;
    case eFlightStep::Certificate:
        // A CertificateRequest here fails: the client has no certificate to offer.
        if (message.m_type != kHandshakeCertificate || message.BodySize() == 0 ||
            !transport.VerifyCertificate(message.m_message, message.m_size)) {
            return false;
        }
        step = eFlightStep::CertificateVerify;
        break;
    case eFlightStep::CertificateVerify: {
        if (message.m_type != kHandshakeCertificateVerify) {
            return false;
        }
        u8 content[kSignedContentPrefix + kMaxHashSize];
        std::memset(content, 0x20, 64);
        std::memcpy(content + 64, kServerSignatureContext, sizeof(kServerSignatureContext));
        if (!TranscriptHash(transcript, content + kSignedContentPrefix) ||
            !transport.VerifyCertificateVerify(message.m_message, message.m_size, content,
                                               u32(kSignedContentPrefix + hashSize))) {
            return false;
        }
        step = eFlightStep::Finished;
        break;
    }
    case eFlightStep::Finished: {
        u8 hash[kMaxHashSize];
        if (message.m_type != kHandshakeFinished || message.BodySize() != hashSize ||
            !TranscriptHash(transcript, hash) ||
            !ComputeFinishedKey(transcript, secrets.m_block.m_serverSecret, secrets.m_finishedKey) ||
            !FinishedMac(transcript, secrets.m_finishedKey, hash, secrets.m_verifyData)) {
            return false;
        }
        // CT: compared over the full length; only the final result branches.
        if (ct::BytesEqual(secrets.m_verifyData, message.Body(), hashSize) == 0) {
            return false;
        }
        step = eFlightStep::Done;
        break;
    }
    case eFlightStep::Done:
        return false;
    }
    TranscriptUpdate(transcript, message.m_message, message.m_size);
    return true;
}

// Reads records until the server Finished. One plain ChangeCipherSpec (body 01) may come
// anywhere before it (RFC 8446 D.4 middlebox compatibility); servers that leave it out
// are as valid.
bool ReadServerFlight(cHttpTransport& transport, sHandshakeState& state, sTLSHashCtx& transcript,
                      sTls13Secrets& secrets)
{
    sTlsSession& session = *transport.GetSession();
    eFlightStep step = eFlightStep::EncryptedExtensions;
    bool sawChangeCipherSpec = false;
    while (step != eFlightStep::Done) {
        sTlsRecord record;
        if (ReadRecord(transport, session, eRecordVersion::AnyTls, kTls13MaxRecordBody, record) !=
            eRecordRead::Record) {
            return false;
        }
        if (record.m_type == kContentChangeCipherSpec) {
            if (sawChangeCipherSpec || record.m_size != 1 || record.m_body[0] != 1) {
                return false;
            }
            sawChangeCipherSpec = true;
            continue;
        }
        sTlsPlaintext plain;
        if (!OpenTls13Record(session, record, plain) || plain.m_type != kContentHandshake ||
            !state.m_reader.Append(plain.m_data, plain.m_size)) {
            return false;
        }
        sTlsMessage message;
        eMessageRead next = eMessageRead::NeedMore;
        while (step != eFlightStep::Done &&
               (next = state.m_reader.Next(message)) == eMessageRead::Message) {
            if (!TakeFlightMessage(transport, message, transcript, secrets, step)) {
                return false;
            }
        }
        if (step != eFlightStep::Done && next == eMessageRead::Error) {
            return false;
        }
    }
    // RFC 8446 5.1: handshake messages MUST NOT span a key change.
    return state.m_reader.IsEmpty();
}

// Keys both directions from the block and hands the two traffic secrets to the key log.
bool InstallTrafficKeys(cHttpTransport& transport, const sHandshakeState& state,
                        const sTls13KeyBlock& block, size_t hashSize, const char* clientLabel,
                        const char* serverLabel)
{
    sTlsSession& session = *transport.GetSession();
    if (!SetupRecordKey(block, session.m_readKey, eRecordDirection::Reading) ||
        !SetupRecordKey(block, session.m_writeKey, eRecordDirection::Writing)) {
        return false;
    }
    LogTlsSecret(transport, clientLabel, state.m_clientRandom, block.m_clientSecret, hashSize);
    LogTlsSecret(transport, serverLabel, state.m_clientRandom, block.m_serverSecret, hashSize);
    session.m_readSequence = 0;
    session.m_writeSequence = 0;
    return true;
}

} // namespace

bool Tls13Handshake(cHttpTransport& transport, sHandshakeState& state)
{
    sTlsSession& session = *transport.GetSession();
    sTls13Secrets secrets;
    X25519ScalarMult(state.m_privateKey, secrets.m_shared, state.m_serverShare);
    if (IsZeroSecret(secrets.m_shared, sizeof(secrets.m_shared)) != 0) {
        return false;
    }
    // Messages may not span the key change after the ServerHello either.
    sTLSHashCtx transcript;
    if (!state.m_reader.IsEmpty() || !TranscriptInit(transcript, session.m_suite)) {
        return false;
    }
    const size_t hashSize = TranscriptHashSize(transcript);
    TranscriptUpdate(transcript, state.m_clientHello.GetData(), u32(state.m_clientHello.GetCount()));
    TranscriptUpdate(transcript, state.m_serverHello.GetData(), u32(state.m_serverHello.GetCount()));
    if (!DeriveHandshakeSecrets(transcript, secrets.m_shared, secrets.m_block,
                                secrets.m_handshakeSecret) ||
        !InstallTrafficKeys(transport, state, secrets.m_block, hashSize,
                            "CLIENT_HANDSHAKE_TRAFFIC_SECRET", "SERVER_HANDSHAKE_TRAFFIC_SECRET") ||
        !ReadServerFlight(transport, state, transcript, secrets)) {
        return false;
    }

    // The client Finished over H2 (ClientHello..server Finished) with the client
    // handshake secret, computed before the application secrets overwrite the block.
    u8 finishedHash[kMaxHashSize];
    u8 finished[4 + kMaxHashSize] = {kHandshakeFinished, 0, 0, static_cast<u8>(hashSize)};
    if (!TranscriptHash(transcript, finishedHash) ||
        !ComputeFinishedKey(transcript, secrets.m_block.m_clientSecret, secrets.m_finishedKey) ||
        !FinishedMac(transcript, secrets.m_finishedKey, finishedHash, finished + 4)) {
        return false;
    }
    static const u8 kChangeCipherSpec[6] = {0x14, 0x03, 0x03, 0x00, 0x01, 0x01};
    const bool sent = SendAll(transport, kChangeCipherSpec, sizeof(kChangeCipherSpec)) &&
                      WriteTls13Record(transport, session, finished, u32(4 + hashSize),
                                       kContentHandshake);
    ct::Wipe(finished, sizeof(finished));
    if (!sent || !DeriveApplicationSecrets(transcript, secrets.m_handshakeSecret, secrets.m_block) ||
        !InstallTrafficKeys(transport, state, secrets.m_block, hashSize, "CLIENT_TRAFFIC_SECRET_0",
                            "SERVER_TRAFFIC_SECRET_0")) {
        return false;
    }
    transport.SetTlsState(eTlsState::Tls13);
    return true;
}

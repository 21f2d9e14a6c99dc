// The TLS 1.2 flow after the ServerHello for TLS_ECDHE_RSA_WITH_AES_128/256_CBC_SHA over
// x25519 (RFC 5246 7.3-7.4, RFC 8422 5).
#include "net/crypto/aescipher.h"
#include "net/crypto/consttime.h"
#include "net/http/httptransport.h"
#include "net/crypto/sha256.h"
#include "net/tls/tlshandshakestate.h"
#include "net/tls/tlsprf.h"
#include "net/tls/tlsrecord.h"
#include "net/crypto/x25519.h"

#include <cstring>
#include <new>

namespace {

constexpr u32 kMasterSecretSize = 48;
constexpr u32 kVerifyDataSize = 12;
// ServerECDHParams: curve_type named_curve (3), x25519 (00 1d), length 32, the key.
constexpr u32 kEcdhParamsSize = 4 + 32;

struct sTls12Secrets
{
    ~sTls12Secrets()
    {
        ct::Wipe(m_preMaster, sizeof(m_preMaster));
        ct::Wipe(m_master, sizeof(m_master));
        ct::Wipe(m_keyBlock, sizeof(m_keyBlock));
        ct::Wipe(m_verifyData, sizeof(m_verifyData));
    }
    u8 m_preMaster[kX25519KeySize];
    u8 m_master[kMasterSecretSize];
    u8 m_keyBlock[kTls12KeyBlockSize];
    u8 m_verifyData[kVerifyDataSize];
};

// The running SHA-256 of the handshake messages (RFC 5246 7.4.9), read without ending it.
void HashSoFar(const sSha256Ctx& transcript, u8* out)
{
    sSha256Ctx copy = transcript;
    Sha256Final(copy, out);
}

// Next message of the flight, reading plain type-22 records (version 03 03) as needed.
bool NextMessage(cHttpTransport& transport, sHandshakeState& state, sTlsMessage& message)
{
    for (;;) {
        const eMessageRead next = state.m_reader.Next(message);
        if (next != eMessageRead::NeedMore) {
            return next == eMessageRead::Message;
        }
        sTlsRecord record;
        if (ReadRecord(transport, *transport.GetSession(), eRecordVersion::Exact0303,
                       kTlsMaxPlaintext, record) != eRecordRead::Record ||
            record.m_type != kContentHandshake ||
            !state.m_reader.Append(record.m_body, record.m_size)) {
            return false;
        }
    }
}

// Certificate, ServerKeyExchange and ServerHelloDone, in this order. The 32-byte server
// key goes to `serverKey`.
bool ReadServerFlight(cHttpTransport& transport, sHandshakeState& state, sSha256Ctx& transcript,
                      u8* serverKey)
{
    sTlsMessage message;
    if (!NextMessage(transport, state, message) || message.m_type != kHandshakeCertificate ||
        message.BodySize() == 0 || !transport.VerifyCertificate(message.m_message, message.m_size)) {
        return false;
    }
    Sha256UpdateLarge(transcript, message.m_message, message.m_size);

    if (!NextMessage(transport, state, message) || message.m_type != kHandshakeServerKeyExchange ||
        message.BodySize() < kEcdhParamsSize) {
        return false;
    }
    const u8* params = message.Body();
    if (params[0] != 3 || params[1] != 0x00 || params[2] != 0x1d || params[3] != 32) {
        return false;
    }
    // RFC 8422 5.4: the signature covers client_random + server_random + ServerECDHParams.
    u8 signedContent[32 + 32 + kEcdhParamsSize];
    std::memcpy(signedContent, state.m_clientRandom, 32);
    std::memcpy(signedContent + 32, state.m_serverRandom, 32);
    std::memcpy(signedContent + 64, params, kEcdhParamsSize);
    if (!transport.VerifyCertificateVerify(message.m_message, message.m_size, signedContent,
                                           sizeof(signedContent))) {
        return false;
    }
    std::memcpy(serverKey, params + 4, 32);
    Sha256UpdateLarge(transcript, message.m_message, message.m_size);

    // A CertificateRequest fails here: the client has no certificate to offer.
    if (!NextMessage(transport, state, message) || message.m_type != kHandshakeServerHelloDone ||
        message.BodySize() != 0 || !state.m_reader.IsEmpty()) {
        return false;
    }
    Sha256UpdateLarge(transcript, message.m_message, message.m_size);
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

// Plain records up to the server's ChangeCipherSpec: a NewSessionTicket is kept as the
// last skipped message and enters the transcript.
bool ReadUntilChangeCipherSpec(cHttpTransport& transport, sHandshakeState& state,
                               sSha256Ctx& transcript)
{
    sTlsSession& session = *transport.GetSession();
    for (;;) {
        sTlsRecord record;
        if (ReadRecord(transport, session, eRecordVersion::Exact0303, kTlsMaxPlaintext, record) !=
            eRecordRead::Record) {
            return false;
        }
        if (record.m_type == kContentChangeCipherSpec) {
            return record.m_size == 1 && record.m_body[0] == 1 && state.m_reader.IsEmpty();
        }
        if (record.m_type != kContentHandshake || !state.m_reader.Append(record.m_body, record.m_size)) {
            return false;
        }
        sTlsMessage message;
        eMessageRead next;
        while ((next = state.m_reader.Next(message)) == eMessageRead::Message) {
            if (!SkipSessionTicket(session, message)) {
                return false;
            }
            Sha256UpdateLarge(transcript, message.m_message, message.m_size);
        }
        if (next == eMessageRead::Error) {
            return false;
        }
    }
}

// The server's Finished, the first protected record (read sequence 0): 14 00 00 0c and
// PRF(master, "server finished", hash of everything before it), compared in constant time.
bool ReadServerFinished(cHttpTransport& transport, const sSha256Ctx& transcript,
                        sTls12Secrets& secrets)
{
    sTlsSession& session = *transport.GetSession();
    sTlsRecord record;
    sTlsPlaintext plain;
    if (ReadRecord(transport, session, eRecordVersion::AnyTls, kTls12MaxRecordBody, record) !=
            eRecordRead::Record ||
        record.m_type != kContentHandshake || record.m_minor > 3 ||
        !OpenTls12Record(session, record, plain) || plain.m_size != 4 + kVerifyDataSize ||
        plain.m_data[0] != kHandshakeFinished || plain.m_data[1] != 0 || plain.m_data[2] != 0 ||
        plain.m_data[3] != kVerifyDataSize) {
        return false;
    }
    u8 hash[kSha256DigestSize];
    HashSoFar(transcript, hash);
    if (!Tls12FinishedVerifyData(secrets.m_master, eFinishedSender::Server, hash,
                                 secrets.m_verifyData)) {
        return false;
    }
    // CT: the full 12 bytes are compared; only the result branches.
    return ct::BytesEqual(secrets.m_verifyData, plain.m_data + 4, kVerifyDataSize) != 0;
}

} // namespace

bool Tls12Handshake(cHttpTransport& transport, sHandshakeState& state)
{
    sTlsSession& session = *transport.GetSession();
    const u32 keyBytes = session.m_suite == kTlsEcdheRsaAes256CbcSha ? 32 : 16;
    sSha256Ctx transcript;
    Sha256Init(transcript);
    Sha256UpdateLarge(transcript, state.m_clientHello.GetData(), u32(state.m_clientHello.GetCount()));
    Sha256UpdateLarge(transcript, state.m_serverHello.GetData(), u32(state.m_serverHello.GetCount()));
    u8 serverKey[kX25519KeySize];
    if (!ReadServerFlight(transport, state, transcript, serverKey)) {
        return false;
    }

    sTls12Secrets secrets;
    X25519ScalarMult(state.m_privateKey, secrets.m_preMaster, serverKey);
    if (IsZeroSecret(secrets.m_preMaster, sizeof(secrets.m_preMaster)) != 0) {
        return false;
    }
    u8 clientKeyExchange[42] = {0x16, 0x03, 0x03, 0x00, 0x25, kHandshakeClientKeyExchange,
                                0x00, 0x00, 0x21, 0x20};
    std::memcpy(clientKeyExchange + 10, state.m_publicKey, 32);
    static const u8 kChangeCipherSpec[6] = {0x14, 0x03, 0x03, 0x00, 0x01, 0x01};
    if (!SendAll(transport, clientKeyExchange, sizeof(clientKeyExchange)) ||
        !SendAll(transport, kChangeCipherSpec, sizeof(kChangeCipherSpec))) {
        return false;
    }
    Sha256UpdateLarge(transcript, clientKeyExchange + kTlsRecordHeaderSize,
                      sizeof(clientKeyExchange) - kTlsRecordHeaderSize);

    // RFC 5246 6.3: client MAC key, server MAC key, client key, server key (the IVs that
    // follow are not used: every record carries its own).
    const u8* block = secrets.m_keyBlock;
    if (!Tls12MasterSecret(secrets.m_preMaster, sizeof(secrets.m_preMaster), state.m_clientRandom,
                           state.m_serverRandom, secrets.m_master) ||
        !Tls12KeyExpansion(secrets.m_master, state.m_clientRandom, state.m_serverRandom,
                           secrets.m_keyBlock) ||
        !SetupCbc(session.m_writeCbc, block + 40, keyBytes * 8) ||
        !SetupCbc(session.m_readCbc, block + 40 + keyBytes, keyBytes * 8)) {
        return false;
    }
    LogTlsSecret(transport, "CLIENT_RANDOM", state.m_clientRandom, secrets.m_master,
                 kMasterSecretSize);
    std::memcpy(session.m_clientMacKey, block, 20);
    std::memcpy(session.m_serverMacKey, block + 20, 20);

    u8 hash[kSha256DigestSize];
    HashSoFar(transcript, hash);
    u8 finished[4 + kVerifyDataSize] = {kHandshakeFinished, 0, 0, kVerifyDataSize};
    session.m_writeSequence = 0;
    if (!Tls12FinishedVerifyData(secrets.m_master, eFinishedSender::Client, hash, finished + 4) ||
        !WriteTls12Record(transport, session, finished, sizeof(finished), kContentHandshake)) {
        return false;
    }
    Sha256UpdateLarge(transcript, finished, sizeof(finished));
    session.m_readSequence = 0;
    if (!ReadUntilChangeCipherSpec(transport, state, transcript) ||
        !ReadServerFinished(transport, transcript, secrets)) {
        return false;
    }
    transport.SetTlsState(eTlsState::Tls12);
    return true;
}

// The ClientHello, the ServerHello and the choice between the TLS 1.3 and TLS 1.2 flows.
#include "net/tls/tlshandshakestate.h"

#include "base/byteorder.h"
#include "net/crypto/consttime.h"
#include "net/crypto/randompool.h"
#include "net/tls/tlsengine.h"
#include "net/tls/tlsrecord.h"

#include <cstring>

namespace {

// RFC 1035 2.3.4 with the trailing dot left out: a host name has at most 253 bytes.
constexpr u32 kMaxHostLength = 253;
constexpr u32 kClientHelloTemplateSize = 192;

// The ClientHello record up to the host name; H is the host name's length. Lengths,
// randoms and the key are filled in.
//   0 16 03 01 len(187+H)          record: handshake, version 3.1
//   5 01 00 len(183+H)             ClientHello
//   9 03 03 random(32) 20 sid(32)  legacy version TLS 1.2, 32-byte session id
//  76 00 08 13 01 13 02 c0 13 c0 14  four suites
//  86 01 00                        null compression
//  88 len(102+H)                   extensions:
//  90 00 0b 00 02 01 00            ec_point_formats: uncompressed
//  96 00 0a 00 04 00 02 00 1d      supported_groups: x25519
// 104 00 23 00 00                  session_ticket, empty
// 108 00 0d 00 0e 00 0c ...        signature_algorithms: rsa_pkcs1_sha256/384/512,
//                                  rsa_pss_rsae_sha256/384/512
// 126 00 2d 00 02 01 01            psk_key_exchange_modes: psk_dhe_ke
// 132 00 2b 00 05 04 03 04 03 03   supported_versions: TLS 1.3, TLS 1.2
// 141 00 33 00 26 00 24 00 1d 00 20 key(32)  key_share: x25519
// 183 00 00 len(H+5) len(H+3) 00 len(H) host  server_name
constexpr u8 kSuitesAndExtensions[] = {
    0x00, 0x08, 0x13, 0x01, 0x13, 0x02, 0xc0, 0x13, 0xc0, 0x14, // 76
    0x01, 0x00,                                                 // 86
    0x00, 0x00,                                                 // 88 extensions length
    0x00, 0x0b, 0x00, 0x02, 0x01, 0x00,                         // 90
    0x00, 0x0a, 0x00, 0x04, 0x00, 0x02, 0x00, 0x1d,             // 96
    0x00, 0x23, 0x00, 0x00,                                     // 104
    0x00, 0x0d, 0x00, 0x0e, 0x00, 0x0c, 0x04, 0x01, 0x05, 0x01, 0x06, 0x01,
    0x08, 0x04, 0x08, 0x05, 0x08, 0x06,                         // 108
    0x00, 0x2d, 0x00, 0x02, 0x01, 0x01,                         // 126
    0x00, 0x2b, 0x00, 0x05, 0x04, 0x03, 0x04, 0x03, 0x03,       // 132
    0x00, 0x33, 0x00, 0x26, 0x00, 0x24, 0x00, 0x1d, 0x00, 0x20, // 141
};
static_assert(76 + sizeof(kSuitesAndExtensions) == 151, "the key share starts at offset 151");

// RFC 8446 4.1.3: a TLS 1.3 server that negotiates TLS 1.2 ends its random with these.
constexpr u8 kDowngradeSentinel[7] = {0x44, 0x4F, 0x57, 0x4E, 0x47, 0x52, 0x44};

enum : u16 { kExtensionSupportedVersions = 43, kExtensionKeyShare = 51 };

bool BuildClientHello(const char* host, sHandshakeState& state, _typebuf<u8>& record)
{
    const size_t hostLength = std::strlen(host);
    if (hostLength == 0 || hostLength > kMaxHostLength) {
        return false;
    }
    const u32 h = static_cast<u32>(hostLength);
    if (!record.Alloc(kClientHelloTemplateSize + h)) {
        return false;
    }
    u8* r = record.GetData();
    r[0] = 0x16;
    r[1] = 0x03;
    r[2] = 0x01;
    StoreBe16(r + 3, 187 + h);
    r[5] = 0x01;
    r[6] = 0x00;
    StoreBe16(r + 7, 183 + h);
    r[9] = 0x03;
    r[10] = 0x03;
    // The client random and the session id are drawn interleaved, a byte of each.
    u8 sessionId[32];
    for (u32 i = 0; i < 32; ++i) {
        if (!RandomPoolDraw(state.m_clientRandom + i, 1) || !RandomPoolDraw(sessionId + i, 1)) {
            return false;
        }
    }
    std::memcpy(r + 11, state.m_clientRandom, 32);
    r[43] = 32;
    std::memcpy(r + 44, sessionId, 32);
    std::memcpy(r + 76, kSuitesAndExtensions, sizeof(kSuitesAndExtensions));
    StoreBe16(r + 88, 102 + h);
    std::memcpy(r + 151, state.m_publicKey, 32);
    r[183] = 0x00;
    r[184] = 0x00;
    StoreBe16(r + 185, h + 5);
    StoreBe16(r + 187, h + 3);
    r[189] = 0x00;
    StoreBe16(r + 190, h);
    std::memcpy(r + 192, host, h);
    return true;
}

// A ClientHello message from the hooks gets its record header here.
bool WrapClientHello(const u8* message, u32 size, sHandshakeState& state, _typebuf<u8>& record)
{
    if (size < 38 || size > 0xFFFF || !record.Alloc(size + kTlsRecordHeaderSize)) {
        return false;
    }
    u8* r = record.GetData();
    r[0] = 0x16;
    r[1] = 0x03;
    r[2] = 0x01;
    StoreBe16(r + 3, size);
    std::memcpy(r + kTlsRecordHeaderSize, message, size);
    std::memcpy(state.m_clientRandom, message + 6, 32);
    return true;
}

bool QueueClientHello(cTlsEngine& engine, sHandshakeState& state)
{
    u32 injectedSize = 0;
    const u8* injected = engine.Hooks() != nullptr ? engine.Hooks()->ClientHello(injectedSize) : nullptr;
    _typebuf<u8> record;
    const bool built = injected != nullptr ? WrapClientHello(injected, injectedSize, state, record)
                                           : BuildClientHello(engine.Host(), state, record);
    if (!built) {
        return false;
    }
    const u32 size = u32(record.GetCount());
    if (!state.m_clientHello.Alloc(size - kTlsRecordHeaderSize)) {
        return false;
    }
    std::memcpy(state.m_clientHello.GetData(), record.GetData() + kTlsRecordHeaderSize,
                size - kTlsRecordHeaderSize);
    return engine.QueueSend(record.GetData(), size);
}

// The extensions of a ServerHello (RFC 8446 4.1.3). TLS 1.3 is chosen by a
// supported_versions that selects 03 04; without one the server chose TLS 1.2.
bool ParseServerHelloExtensions(const u8* at, u32 size, sHandshakeState& state)
{
    bool sawVersions = false;
    bool sawKeyShare = false;
    while (size > 0) {
        if (size < 4) {
            return false;
        }
        const u32 type = LoadBe16(at);
        const u32 length = LoadBe16(at + 2);
        if (length > size - 4) {
            return false;
        }
        const u8* body = at + 4;
        if (type == kExtensionSupportedVersions) {
            bool tls13 = false;
            for (u32 i = 0; i + 1 < length; i += 2) {
                tls13 = tls13 || (body[i] == 3 && body[i + 1] == 4);
            }
            if (!tls13) {
                return false; // a version list without TLS 1.3
            }
            sawVersions = true;
        } else if (type == kExtensionKeyShare) {
            // Exactly x25519 with a 32-byte key. A HelloRetryRequest's key_share holds
            // only the group and fails here: we offer nothing else to retry with.
            if (length != 36 || body[0] != 0x00 || body[1] != 0x1d || body[2] != 0x00 ||
                body[3] != 0x20) {
                return false;
            }
            std::memcpy(state.m_serverShare, body + 4, 32);
            sawKeyShare = true;
        }
        at += 4 + length;
        size -= 4 + length;
    }
    state.m_tls12 = !sawVersions;
    return state.m_tls12 || sawKeyShare;
}

// The ServerHello message (RFC 8446 4.1.3, RFC 5246 7.4.1.3), parsed within its own
// length: a TLS 1.2 server sends its Certificate in the same record.
bool ParseServerHello(const sTlsMessage& message, cTlsEngine& engine, sHandshakeState& state)
{
    const u8* m = message.m_message;
    const u32 size = message.m_size;
    if (message.m_type != kHandshakeServerHello || size < 39) {
        return false;
    }
    const u32 sessionIdLength = m[38];
    // version 2, random 32, session id, suite 2, compression 1 must all be present.
    if (sessionIdLength > 32 || size < 42 + sessionIdLength || m[4] != 3) {
        return false;
    }
    const u8* suite = m + 39 + sessionIdLength;
    if (suite[2] != 0) {
        return false;
    }
    sTlsSession& session = engine.Session();
    session.m_suite = LoadLe16(suite);
    std::memcpy(state.m_serverRandom, m + 6, 32);
    const u32 extensionsAt = 42 + sessionIdLength;
    if (extensionsAt == size) {
        state.m_tls12 = true; // a TLS 1.2 ServerHello may carry no extensions
    } else {
        if (size - extensionsAt < 2) {
            return false;
        }
        const u32 length = LoadBe16(m + extensionsAt);
        if (length == 0 || length != size - extensionsAt - 2 ||
            !ParseServerHelloExtensions(m + extensionsAt + 2, length, state)) {
            return false;
        }
    }
    if (state.m_tls12) {
        if (session.m_suite != kTlsEcdheRsaAes128CbcSha && session.m_suite != kTlsEcdheRsaAes256CbcSha) {
            engine.Fail(eTlsFailure::NoCommonProtocol);
            return false;
        }
        // RFC 8446 4.1.3: a downgrade from TLS 1.3 shows in the last 8 bytes of the random.
        if (std::memcmp(state.m_serverRandom + 24, kDowngradeSentinel, 7) == 0 &&
            (state.m_serverRandom[31] == 0x00 || state.m_serverRandom[31] == 0x01)) {
            return false;
        }
    } else if (session.m_suite != kTlsAes128GcmSha256 && session.m_suite != kTlsAes256GcmSha384) {
        engine.Fail(eTlsFailure::NoCommonProtocol);
        return false;
    }
    if (!state.m_serverHello.Alloc(size)) {
        return false;
    }
    std::memcpy(state.m_serverHello.GetData(), m, size);
    return true;
}

} // namespace

sHandshakeState::~sHandshakeState()
{
    ct::Wipe(m_privateKey, sizeof(m_privateKey));
    ct::Wipe(&m_block, sizeof(m_block));
    ct::Wipe(m_handshakeSecret, sizeof(m_handshakeSecret));
    ct::Wipe(m_finishedKey, sizeof(m_finishedKey));
    ct::Wipe(m_verifyData, sizeof(m_verifyData));
    ct::Wipe(m_master, sizeof(m_master));
}

u32 IsZeroSecret(const u8* secret, size_t count)
{
    u32 any = 0;
    for (size_t i = 0; i < count; ++i) {
        any |= secret[i];
    }
    return ct::Eq(any, 0);
}

void ReportTlsSecret(cTlsEngine& engine, const char* label, const sHandshakeState& state,
                     const u8* secret, size_t size)
{
    if (engine.Hooks() != nullptr) {
        engine.Hooks()->OnSecret(label, state.m_clientRandom, secret, u32(size));
    }
}

void TakeAlert(cTlsEngine& engine, const u8* data, u32 size)
{
    if (size == 2) {
        engine.Fail(eTlsFailure::AlertReceived, data[1]);
    } else {
        engine.Fail(eTlsFailure::MalformedRecord);
    }
}

bool StartTlsHandshake(cTlsEngine& engine, sHandshakeState& state)
{
    const bool keyed = engine.Hooks() != nullptr
                           ? engine.Hooks()->MakeKeyPair(state.m_privateKey, state.m_publicKey)
                           : X25519KeyPair(state.m_privateKey, state.m_publicKey);
    return keyed && QueueClientHello(engine, state);
}

void HandshakeRecordLimits(const sHandshakeState& state, bool& exact0303, u32& maxBody)
{
    switch (state.m_stage) {
    case eHandshakeStage::ServerHello:
        exact0303 = !state.m_firstRecord;
        maxBody = kTlsMaxPlaintext;
        return;
    case eHandshakeStage::Tls13Flight:
        exact0303 = false;
        maxBody = kTls13MaxRecordBody;
        return;
    case eHandshakeStage::Tls12Flight:
    case eHandshakeStage::Tls12ChangeCipherSpec:
        exact0303 = true;
        maxBody = kTlsMaxPlaintext;
        return;
    case eHandshakeStage::Tls12Finished:
        exact0303 = false;
        maxBody = kTls12MaxRecordBody;
        return;
    }
}

bool TakeHandshakeRecord(cTlsEngine& engine, sHandshakeState& state, const sTlsRecord& record)
{
    if (state.m_stage == eHandshakeStage::Tls13Flight) {
        return TakeTls13Record(engine, state, record);
    }
    if (state.m_stage != eHandshakeStage::ServerHello) {
        return TakeTls12Record(engine, state, record);
    }
    // Plain handshake records until the ServerHello is whole.
    state.m_firstRecord = false;
    if (record.m_type == kContentAlert) {
        // RFC 8446 4.1.1: a server that finds nothing acceptable in the ClientHello
        // answers with handshake_failure; with our fixed offer that says the server
        // takes none of our suites, groups or signature schemes.
        constexpr u8 kAlertHandshakeFailure = 40;
        if (record.m_size == 2 && record.m_body[1] == kAlertHandshakeFailure) {
            engine.Fail(eTlsFailure::HandshakeRefused, kAlertHandshakeFailure);
        }
        TakeAlert(engine, record.m_body, record.m_size);
        return false;
    }
    if (record.m_type != kContentHandshake || !state.m_reader.Append(record.m_body, record.m_size)) {
        return false;
    }
    sTlsMessage message;
    const eMessageRead next = state.m_reader.Next(message);
    if (next != eMessageRead::Message) {
        return next == eMessageRead::NeedMore;
    }
    if (!ParseServerHello(message, engine, state)) {
        return false;
    }
    return state.m_tls12 ? BeginTls12(engine, state) : BeginTls13(engine, state);
}

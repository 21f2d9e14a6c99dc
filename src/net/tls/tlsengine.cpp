#include "net/tls/tlsengine.h"

#include "base/byteorder.h"
#include "net/tls/tlshandshakestate.h"
#include "net/tls/tlsrecord.h"

#include <cstring>
#include <new>

namespace {

// RFC 8446 5.1 permits empty application records; a peer that sends nothing else would
// keep the reader spinning, so a long run of them ends the data.
constexpr u32 kMaxEmptyRecordsInRow = 32;

enum : u8 { kAlertCloseNotify = 0 };
enum : u8 { kHandshakeKeyUpdate = 24 };
// KeyUpdate.request_update (RFC 8446 4.6.3).
enum : u8 { kUpdateNotRequested = 0, kUpdateRequested = 1 };

u32 RecordBodySize(const u8* header)
{
    return LoadBe16(header + 3);
}

} // namespace

cTlsEngine::cTlsEngine(cTlsServerVerifier& verifier) : m_verifier(verifier)
{
}

cTlsEngine::~cTlsEngine()
{
    delete m_handshake;
    delete m_session;
}

void cTlsEngine::Reset()
{
    delete m_handshake;
    delete m_session;
    m_handshake = nullptr;
    m_session = nullptr;
    m_state = eTlsEngineState::Closed;
    m_version = eTlsState::Plain;
    m_failure = eTlsFailure::None;
    m_alert = 0;
    m_received = 0;
    m_sendSize = 0;
    m_sendPosition = 0;
    m_emptyRecords = 0;
    m_keyUpdateOwed = false;
    m_keyUpdateWaiting = false;
}

bool cTlsEngine::Start(const char* host)
{
    // A transport may serve a second exchange (a redirect): nothing of the last session
    // may survive, least of all plaintext that would start the next response.
    Reset();
    m_session = new (std::nothrow) sTlsSession;
    m_state = eTlsEngineState::Handshaking;
    const size_t hostLength = host != nullptr ? std::strlen(host) : 0;
    if (m_session != nullptr) {
        m_handshake = new (std::nothrow) sHandshakeState;
    }
    if (m_handshake == nullptr) {
        Fail(eTlsFailure::OutOfMemory);
        return false;
    }
    if (hostLength == 0 || hostLength >= sizeof(m_host)) {
        Fail(eTlsFailure::MalformedRecord);
        return false;
    }
    std::memcpy(m_host, host, hostLength + 1);
    if (!StartTlsHandshake(*this, *m_handshake)) {
        Fail(eTlsFailure::OutOfMemory);
        return false;
    }
    return true;
}

void cTlsEngine::Fail(eTlsFailure reason, u8 alert)
{
    if (m_state == eTlsEngineState::Failed && m_failure != eTlsFailure::None) {
        return;
    }
    m_state = eTlsEngineState::Failed;
    m_failure = reason;
    m_alert = alert;
    m_sendSize = m_sendPosition = 0;
}

void cTlsEngine::SetOpen(eTlsState version)
{
    m_state = eTlsEngineState::Open;
    m_version = version;
}

u16 cTlsEngine::GetVersion() const
{
    if (m_version == eTlsState::Tls13) {
        return 0x0304;
    }
    return m_version == eTlsState::Tls12 ? 0x0303 : 0;
}

bool cTlsEngine::QueueSend(const u8* data, u32 size)
{
    if (m_session == nullptr || size > sizeof(m_session->m_send) - m_sendSize) {
        return false;
    }
    std::memcpy(m_session->m_send + m_sendSize, data, size);
    m_sendSize += size;
    return true;
}

const u8* cTlsEngine::GetSendBuffer(u32& size) const
{
    size = m_sendSize - m_sendPosition;
    return size > 0 ? m_session->m_send + m_sendPosition : nullptr;
}

void cTlsEngine::AcknowledgeSent(u32 count)
{
    m_sendPosition += count < m_sendSize - m_sendPosition ? count : m_sendSize - m_sendPosition;
    if (m_sendPosition == m_sendSize) {
        m_sendPosition = m_sendSize = 0;
        m_keyUpdateWaiting = false;
        SendOwedKeyUpdate();
    }
}

u8* cTlsEngine::GetReceiveBuffer(u32& room)
{
    room = 0;
    const bool reading = m_state == eTlsEngineState::Handshaking || m_state == eTlsEngineState::Open;
    if (!reading || m_session->m_plainPosition + 1 < m_session->m_plainSize) {
        return nullptr;
    }
    const u32 wanted = m_received < kTlsRecordHeaderSize
                           ? kTlsRecordHeaderSize
                           : kTlsRecordHeaderSize + RecordBodySize(m_session->m_record);
    room = wanted - m_received;
    return m_session->m_record + m_received;
}

bool cTlsEngine::HeaderAcceptable(const u8* header) const
{
    bool exact0303 = false;
    u32 maxBody = m_version == eTlsState::Tls13 ? kTls13MaxRecordBody : kTls12MaxRecordBody;
    if (m_state == eTlsEngineState::Handshaking) {
        HandshakeRecordLimits(*m_handshake, exact0303, maxBody);
    }
    const u8 major = header[1];
    const u8 minor = header[2];
    const bool versionOk = exact0303 ? (major == 3 && minor == 3) : (major == 3 && minor >= 1 && minor <= 4);
    const u32 size = RecordBodySize(header);
    return versionOk && size > 0 && size <= maxBody;
}

void cTlsEngine::AcknowledgeReceived(u32 count)
{
    u32 room = 0;
    if (GetReceiveBuffer(room) == nullptr || count > room) {
        return;
    }
    m_received += count;
    if (m_received == kTlsRecordHeaderSize && !HeaderAcceptable(m_session->m_record)) {
        Fail(eTlsFailure::MalformedRecord);
        return;
    }
    if (m_received > kTlsRecordHeaderSize &&
        m_received == kTlsRecordHeaderSize + RecordBodySize(m_session->m_record)) {
        m_received = 0;
        ProcessRecord();
    }
}

void cTlsEngine::EndOfInput()
{
    // RFC 8446 6.1 and RFC 9112 9.8: only close_notify ends the data; a stream cut at a
    // record boundary may be an attacker's truncation.
    if (m_state == eTlsEngineState::Open && m_received == 0) {
        Fail(eTlsFailure::NoCloseNotify);
    } else if (m_state == eTlsEngineState::Open || m_state == eTlsEngineState::Handshaking) {
        Fail(eTlsFailure::ClosedEarly);
    }
}

void cTlsEngine::ProcessRecord()
{
    u8* header = m_session->m_record;
    const sTlsRecord record = {header[0], header[1], header[2], header + kTlsRecordHeaderSize,
                               RecordBodySize(header)};
    if (m_state == eTlsEngineState::Open) {
        ProcessApplicationRecord(record);
        SendOwedKeyUpdate();
        return;
    }
    if (!TakeHandshakeRecord(*this, *m_handshake, record)) {
        Fail(eTlsFailure::MalformedRecord);
    }
    if (m_state != eTlsEngineState::Handshaking) {
        delete m_handshake; // every handshake secret is wiped here
        m_handshake = nullptr;
    }
}

void cTlsEngine::ProcessApplicationRecord(const sTlsRecord& record)
{
    sTlsSession& session = *m_session;
    session.m_plain = nullptr;
    session.m_plainSize = 0;
    session.m_plainPosition = 0;
    const bool tls13 = m_version == eTlsState::Tls13;
    sTlsPlaintext plain;
    if (tls13 ? record.m_type != kContentApplicationData : record.m_minor > 3) {
        Fail(eTlsFailure::MalformedRecord);
        return;
    }
    if (!(tls13 ? OpenTls13Record(session, record, plain) : OpenTls12Record(session, record, plain))) {
        Fail(eTlsFailure::RecordAuthentication);
        return;
    }
    if (plain.m_type == kContentApplicationData) {
        if (plain.m_size == 0) {
            if (++m_emptyRecords > kMaxEmptyRecordsInRow) {
                Fail(eTlsFailure::MalformedRecord);
            }
            return;
        }
        m_emptyRecords = 0;
        session.m_plain = plain.m_data;
        session.m_plainSize = plain.m_size + 1;
        return;
    }
    m_emptyRecords = 0;
    if (plain.m_type == kContentAlert) {
        // RFC 8446 6.1: close_notify ends the data in order; any other alert is fatal.
        if (plain.m_size == 2 && plain.m_data[1] == kAlertCloseNotify) {
            m_state = eTlsEngineState::Closed;
        } else {
            TakeAlert(*this, plain.m_data, plain.m_size);
        }
        return;
    }
    if (!tls13 || plain.m_type != kContentHandshake ||
        !session.m_postHandshake.Append(plain.m_data, plain.m_size)) {
        Fail(eTlsFailure::MalformedRecord);
        return;
    }
    // A NewSessionTicket is skipped whole, even across records; a KeyUpdate changes keys.
    // Any other post-handshake message (a CertificateRequest, never invited) ends the data.
    sTlsMessage message;
    eMessageRead next;
    while ((next = session.m_postHandshake.Next(message)) == eMessageRead::Message) {
        const bool taken = message.m_type == kHandshakeKeyUpdate ? TakeKeyUpdate(message)
                                                                 : SkipSessionTicket(session, message);
        if (!taken) {
            Fail(eTlsFailure::MalformedRecord);
            return;
        }
    }
    if (next == eMessageRead::Error) {
        Fail(eTlsFailure::MalformedRecord);
    }
}

// RFC 8446 4.6.3: the server's next records come under its next traffic secret; when it
// asks, ours change too, after a KeyUpdate of our own (SendOwedKeyUpdate).
bool cTlsEngine::TakeKeyUpdate(const sTlsMessage& message)
{
    sTlsSession& session = *m_session;
    const u8* body = message.Body();
    // RFC 8446 5.1: the KeyUpdate ends its record, since messages may not span the change.
    if (message.BodySize() != 1 || body[0] > kUpdateRequested || !session.m_postHandshake.IsEmpty() ||
        !UpdateTrafficSecret(session.m_suite, session.m_serverTrafficSecret, session.m_readKey)) {
        return false;
    }
    session.m_readSequence = 0;
    // A KeyUpdate of ours still waiting to be sent answers this request too.
    m_keyUpdateOwed = m_keyUpdateOwed || (body[0] == kUpdateRequested && !m_keyUpdateWaiting);
    return true;
}

// One KeyUpdate answers any number of requests that came before it was sent (RFC 8446
// 4.6.3). It is sealed once the send buffer is empty, under the old keys, and every later
// record goes under the new ones.
void cTlsEngine::SendOwedKeyUpdate()
{
    if (!m_keyUpdateOwed || m_state != eTlsEngineState::Open || m_sendSize != 0) {
        return;
    }
    static const u8 kKeyUpdate[5] = {kHandshakeKeyUpdate, 0, 0, 1, kUpdateNotRequested};
    sTlsSession& session = *m_session;
    m_sendSize = SealTls13Record(session, kKeyUpdate, sizeof(kKeyUpdate), kContentHandshake, session.m_send);
    m_keyUpdateOwed = false;
    m_keyUpdateWaiting = true;
    if (m_sendSize == 0 || !UpdateTrafficSecret(session.m_suite, session.m_clientTrafficSecret, session.m_writeKey)) {
        Fail(eTlsFailure::OutOfMemory);
        return;
    }
    session.m_writeSequence = 0;
}

u32 cTlsEngine::WritePlaintext(const u8* data, u32 size)
{
    if (m_state != eTlsEngineState::Open || m_sendSize != 0 || size == 0) {
        return 0;
    }
    const u32 piece = size < kTlsMaxPlaintext ? size : kTlsMaxPlaintext;
    const u32 sealed = m_version == eTlsState::Tls13
                           ? SealTls13Record(*m_session, data, piece, kContentApplicationData,
                                             m_session->m_send)
                           : SealTls12Record(*m_session, data, piece, kContentApplicationData,
                                             m_session->m_send);
    if (sealed == 0) {
        Fail(eTlsFailure::OutOfMemory);
        return 0;
    }
    m_sendSize = sealed;
    return piece;
}

u32 cTlsEngine::ReadPlaintext(u8* data, u32 size)
{
    if (m_session == nullptr) {
        return 0;
    }
    sTlsSession& session = *m_session;
    // The plaintext's last byte is its content type and is never handed out.
    if (m_state == eTlsEngineState::Failed || session.m_plainPosition + 1 >= session.m_plainSize) {
        return 0;
    }
    const u32 left = session.m_plainSize - 1 - session.m_plainPosition;
    const u32 count = left < size ? left : size;
    std::memcpy(data, session.m_plain + session.m_plainPosition, count);
    session.m_plainPosition += count;
    return count;
}

#include "net/http/httptransport.h"

#include "net/tls/tlshandshake.h"
#include "net/tls/tlsrecord.h"

#include <cstring>
#include <new>

namespace {

// RFC 8446 5.1 permits empty application records; a peer that sends nothing else would
// keep the reader spinning, so a long run of them ends the data.
constexpr u32 kMaxEmptyRecordsInRow = 32;

enum : u8 { kAlertCloseNotify = 0 };

} // namespace

cHttpTransport::cHttpTransport() = default;

cHttpTransport::~cHttpTransport()
{
    Close();
    delete m_session;
}

bool cHttpTransport::VerifyCertificate(const u8* message, u32 size)
{
    return m_serverAuth.VerifyCertificate(message, size, TlsAuthVersionOfSuite(m_session->m_suite),
                                          m_host.Get());
}

bool cHttpTransport::VerifyCertificateVerify(const u8* message, u32 size, const u8* signedContent,
                                             u32 contentSize)
{
    return m_serverAuth.VerifySignature(message, size, TlsAuthVersionOfSuite(m_session->m_suite),
                                        signedContent, contentSize);
}

bool cHttpTransport::StartSession()
{
    // A transport may serve a second exchange (a redirect): nothing of the last session
    // may survive, least of all plaintext that would start the next response.
    delete m_session;
    m_serverAuth.Reset();
    m_session = new (std::nothrow) sTlsSession;
    m_tlsState = eTlsState::Plain;
    if (m_session == nullptr) {
        Close();
        SetLastError(1);
        return false;
    }
    return true;
}

bool cHttpTransport::SecureConnection()
{
    if (m_useTls && !TlsHandshake(*this)) {
        m_session->m_failed = true;
        m_tlsState = eTlsState::Plain;
        Close();
        return false;
    }
    return true;
}

bool cHttpTransport::Connect(const u8* address, u16 port, u32 timeoutMs)
{
    return StartSession() && cTCPClient::Connect(address, port, timeoutMs) && SecureConnection();
}

bool cHttpTransport::ConnectAdoptedForTesting(int handle)
{
    const bool started = StartSession();
    AdoptHandleForTesting(handle); // owned from here on, closed on failure
    if (!started) {
        Close();
        return false;
    }
    return SecureConnection();
}

i32 cHttpTransport::Send(const void* buffer, i32 length)
{
    if (m_tlsState == eTlsState::Plain) {
        return cTCPClient::Send(buffer, length);
    }
    if (length < 1 || m_session == nullptr || m_session->m_failed) {
        return 0;
    }
    const u8* data = static_cast<const u8*>(buffer);
    i32 sent = 0;
    while (sent < length) {
        const u32 piece = u32(length - sent) < kTlsMaxPlaintext ? u32(length - sent) : kTlsMaxPlaintext;
        const bool ok = m_tlsState == eTlsState::Tls13
                            ? WriteTls13Record(*this, *m_session, data + sent, piece,
                                               kContentApplicationData)
                            : WriteTls12Record(*this, *m_session, data + sent, piece,
                                               kContentApplicationData);
        if (!ok) {
            m_session->m_failed = true;
            break;
        }
        sent += i32(piece);
    }
    return sent;
}

i32 cHttpTransport::Receive(void* buffer, i32 length, const sSocketTimeout* timeout)
{
    if (m_tlsState == eTlsState::Plain) {
        return cTCPClient::Receive(buffer, length, timeout);
    }
    return ReceiveTls(static_cast<u8*>(buffer), length);
}

i32 cHttpTransport::ReceiveTls(u8* buffer, i32 length)
{
    if (length < 1 || m_session == nullptr || m_session->m_failed) {
        return 0;
    }
    sTlsSession& session = *m_session;
    // The plaintext's last byte is its content type and is never handed out.
    if (session.m_plainPosition + 1 >= session.m_plainSize && !ReadApplicationRecord()) {
        return 0;
    }
    const u32 left = session.m_plainSize - 1 - session.m_plainPosition;
    const u32 count = left < u32(length) ? left : u32(length);
    std::memcpy(buffer, session.m_plain + session.m_plainPosition, count);
    session.m_plainPosition += count;
    return i32(count);
}

bool cHttpTransport::ReadApplicationRecord()
{
    sTlsSession& session = *m_session;
    session.m_plain = nullptr;
    session.m_plainSize = 0;
    session.m_plainPosition = 0;
    const bool tls13 = m_tlsState == eTlsState::Tls13;
    u32 emptyRecords = 0;
    for (;;) {
        sTlsRecord record;
        const eRecordRead read =
            ReadRecord(*this, session, eRecordVersion::AnyTls,
                       tls13 ? kTls13MaxRecordBody : kTls12MaxRecordBody, record);
        if (read == eRecordRead::Closed) {
            return false; // the peer closed at a record boundary, or went silent
        }
        sTlsPlaintext plain;
        const bool opened = read == eRecordRead::Record &&
                            (tls13 ? OpenTls13Record(session, record, plain)
                                   : record.m_minor <= 3 && OpenTls12Record(session, record, plain));
        if (!opened) {
            session.m_failed = true;
            return false;
        }
        if (plain.m_type == kContentApplicationData) {
            if (plain.m_size == 0) {
                if (++emptyRecords > kMaxEmptyRecordsInRow) {
                    session.m_failed = true;
                    return false;
                }
                continue;
            }
            session.m_plain = plain.m_data;
            session.m_plainSize = plain.m_size + 1;
            return true;
        }
        emptyRecords = 0;
        if (plain.m_type == kContentAlert) {
            // RFC 8446 6.1: close_notify ends the data in order; any other alert is fatal.
            const bool closeNotify = plain.m_size == 2 && plain.m_data[1] == kAlertCloseNotify;
            session.m_failed = !closeNotify;
            return false;
        }
        if (!tls13 || plain.m_type != kContentHandshake ||
            !session.m_postHandshake.Append(plain.m_data, plain.m_size)) {
            session.m_failed = true;
            return false;
        }
        // A NewSessionTicket is skipped whole, even across records. Any other
        // post-handshake message (KeyUpdate, CertificateRequest) ends the data.
        sTlsMessage message;
        eMessageRead next;
        while ((next = session.m_postHandshake.Next(message)) == eMessageRead::Message) {
            if (!SkipSessionTicket(session, message)) {
                session.m_failed = true;
                return false;
            }
        }
        if (next == eMessageRead::Error) {
            session.m_failed = true;
            return false;
        }
    }
}

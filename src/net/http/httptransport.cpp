#include "net/http/httptransport.h"

#include <algorithm>
#include <chrono>

cHttpTransport::cHttpTransport() : m_engine(*this) {}

cHttpTransport::~cHttpTransport() { Close(); }

bool cHttpTransport::VerifyCertificate(const u8* message, u32 size)
{
    return m_serverAuth.VerifyCertificate(message, size,
                                          TlsAuthVersionOfSuite(m_engine.GetSession().m_suite),
                                          m_host.Get());
}

bool cHttpTransport::VerifyCertificateVerify(const u8* message, u32 size, const u8* signedContent,
                                             u32 contentSize)
{
    return m_serverAuth.VerifySignature(message, size,
                                        TlsAuthVersionOfSuite(m_engine.GetSession().m_suite),
                                        signedContent, contentSize);
}

bool cHttpTransport::VerifyTlsCertificate(const u8* message, u32 size, u32)
{
    return VerifyCertificate(message, size);
}

bool cHttpTransport::VerifyTlsSignature(const u8* message, u32 size, const u8* signedContent,
                                        u32 contentSize, u32)
{
    return VerifyCertificateVerify(message, size, signedContent, contentSize);
}

eTlsFailure cHttpTransport::GetRefusalReason() const { return m_serverAuth.GetRefusal(); }

void cHttpTransport::NoteEngineFailure()
{
    if (m_engine.GetState() == eTlsEngineState::Failed) {
        m_failure.Note(ExchangeFailureOfTls(m_engine.GetFailure()), m_engine.GetAlertReceived());
    }
}

void cHttpTransport::NoteReceiveEnd()
{
    if (GetLastError() == kSocketTimedOut) {
        m_failure.Note(eExchangeFailure::TimedOut);
    }
}

bool cHttpTransport::Flush()
{
    u32 size = 0;
    while (const u8* data = m_engine.GetSendBuffer(size)) {
        const i32 sent = cTCPSocket::Send(data, i32(size));
        if (sent <= 0) {
            m_engine.Fail(eTlsFailure::ClosedEarly);
            NoteEngineFailure();
            return false;
        }
        m_engine.AcknowledgeSent(u32(sent));
    }
    return true;
}

bool cHttpTransport::Pump()
{
    u32 room = 0;
    u8* at = m_engine.GetReceiveBuffer(room);
    if (at == nullptr) {
        return false;
    }
    const i32 got = ReceiveRaw(at, i32(room));
    if (got <= 0) {
        NoteReceiveEnd();
        m_engine.EndOfInput(); // the peer closed or went silent
        NoteEngineFailure();
        return false;
    }
    m_engine.AcknowledgeReceived(u32(got));
    NoteEngineFailure();
    // A KeyUpdate the server asked for goes out at once.
    return m_engine.GetState() != eTlsEngineState::Failed && Flush();
}

bool cHttpTransport::SecureConnection()
{
    m_serverAuth.Reset();
    if (!m_engine.Start(m_host.Get())) {
        NoteEngineFailure();
        Close();
        return false;
    }
    while (Flush() && m_engine.GetState() == eTlsEngineState::Handshaking && Pump()) {
    }
    if (m_engine.GetState() != eTlsEngineState::Open) {
        m_engine.Fail(eTlsFailure::ClosedEarly); // keeps an earlier reason
        NoteEngineFailure();
        Close();
        return false;
    }
    m_tlsState = m_engine.GetVersion() == 0x0304 ? eTlsState::Tls13 : eTlsState::Tls12;
    return true;
}

bool cHttpTransport::Connect(const u8* address, u16 port, u32 timeoutMs)
{
    m_tlsState = eTlsState::Plain;
    m_engine.Reset();
    std::chrono::steady_clock::time_point deadline;
    if (m_deadlineMs != 0) {
        deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_deadlineMs);
        timeoutMs = std::min(timeoutMs, m_deadlineMs);
    }
    SetReceiveDeadline(deadline);
    if (!cTCPClient::Connect(address, port, timeoutMs)) {
        m_failure.Note(GetLastError() == kConnectTimedOut ? eExchangeFailure::TimedOut
                                                          : eExchangeFailure::ConnectionRefused);
        return false;
    }
    return !m_useTls || SecureConnection();
}

i32 cHttpTransport::Send(const void* buffer, i32 length)
{
    if (m_tlsState == eTlsState::Plain) {
        return cTCPClient::Send(buffer, length);
    }
    const u8* data = static_cast<const u8*>(buffer);
    i32 sent = 0;
    // Whatever the engine has waiting (a KeyUpdate) goes first.
    while (sent < length && Flush()) {
        const u32 taken = m_engine.WritePlaintext(data + sent, u32(length - sent));
        if (taken == 0 || !Flush()) {
            break;
        }
        sent += i32(taken);
    }
    return sent;
}

i32 cHttpTransport::Receive(void* buffer, i32 length, const sSocketTimeout* timeout)
{
    if (m_tlsState == eTlsState::Plain) {
        const i32 got = cTCPClient::Receive(buffer, length, timeout);
        if (got <= 0) {
            NoteReceiveEnd();
        }
        return got;
    }
    if (length < 1) {
        return 0;
    }
    for (;;) {
        const u32 got = m_engine.ReadPlaintext(static_cast<u8*>(buffer), u32(length));
        if (got > 0) {
            return i32(got);
        }
        if (m_engine.GetState() != eTlsEngineState::Open || !Pump()) {
            return 0;
        }
    }
}

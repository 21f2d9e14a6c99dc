#pragma once
// The connection of one HTTP exchange: TCP with optional TLS. Connect runs the TLS
// handshake when the request was "https"; Send and Receive then carry application data
// in protected records. A TLS failure is sticky: all later I/O of the connection is
// refused.
#include "base/texts.h"
#include "net/tls/serverauth.h"
#include "net/http/tcpsocket.h"
#include "net/tls/tlssession.h"

struct sTlsHandshakeSeams;

class cHttpTransport : public cTCPClient
{
public:
    cHttpTransport();
    // Closes the socket and wipes the session.
    ~cHttpTransport() override;

    // Plain: one send. TLS: pieces of at most 2^14 bytes, one record each; the bytes sent
    // (a failing record stops the loop). Below 1 byte: 0.
    i32 Send(const void* buffer, i32 length) override;
    // Plain: one recv. TLS: buffered plaintext first, else the next record's data; 0 at
    // the end of the data or on failure.
    i32 Receive(void* buffer, i32 length, const sSocketTimeout* timeout) override;
    // Starts a new session (every key, buffer and skipped message of the last one is
    // dropped), connects, and runs the handshake when the use-TLS flag is set; a failed
    // handshake closes the socket.
    bool Connect(const u8* address, u16 port, u32 timeoutMs) override;

    // Verifier hooks: a false result fails the handshake. Here the chain must lead to a
    // trusted anchor for the request's host, and the signature must be the leaf's.
    // `message` is the whole Certificate message, 4-byte header included.
    virtual bool VerifyCertificate(const u8* message, u32 size);
    // TLS 1.3: the CertificateVerify message and the content its signature covers
    // (RFC 8446 4.4.3). TLS 1.2: the ServerKeyExchange message and
    // client_random + server_random + ServerECDHParams (RFC 8422 5.4).
    virtual bool VerifyCertificateVerify(const u8* message, u32 size, const u8* signedContent,
                                         u32 contentSize);

    // The host of the request (server name indication).
    [[nodiscard]] bool SetHost(const char* host) { return m_host.Assign(host); }
    const char* GetHost() const { return m_host.Get(); }
    void SetUseTls(bool useTls) { m_useTls = useTls; }
    eTlsState GetTlsState() const { return m_tlsState; }
    void SetTlsState(eTlsState state) { m_tlsState = state; }
    // Null before the first Connect or when memory was short.
    sTlsSession* GetSession() { return m_session; }
    // True once a TLS record or handshake failed on this connection.
    bool HasFailed() const { return m_session != nullptr && m_session->m_failed; }

    void SetHandshakeSeamsForTesting(const sTlsHandshakeSeams* seams) { m_seams = seams; }
    // Tests only: Connect over an already connected stream socket (a socketpair end).
    bool ConnectAdoptedForTesting(int handle);
    const sTlsHandshakeSeams* GetHandshakeSeams() const { return m_seams; }

private:
    // Drops the last session and makes a new one, TLS state plain.
    bool StartSession();
    // The handshake when the use-TLS flag is set; a failure closes the socket.
    bool SecureConnection();
    i32 ReceiveTls(u8* buffer, i32 length);
    // Reads the next record with application data into the session's plaintext; false at
    // the end of the data or on failure.
    bool ReadApplicationRecord();

    _guardchar<char> m_host;
    eTlsState m_tlsState = eTlsState::Plain;
    bool m_useTls = false;
    sTlsSession* m_session = nullptr;
    const sTlsHandshakeSeams* m_seams = nullptr;
    cServerAuthenticator m_serverAuth;
};

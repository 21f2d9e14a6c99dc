#pragma once
// The connection of one HTTP exchange: TCP with optional TLS. Connect runs the TLS
// handshake when the request was "https"; Send and Receive then carry application data
// in protected records. The TLS engine does the protocol; the transport moves its bytes
// over the socket under the socket's time-outs, so Abort ends a wait at once. A TLS
// failure is sticky: all later I/O of the connection is refused.
#include "base/texts.h"
#include "net/http/exchangefailure.h"
#include "net/http/tcpsocket.h"
#include "net/tls/serverauth.h"
#include "net/tls/tlsengine.h"

class cHttpTransport : public cTCPClient, private cTlsServerVerifier
{
public:
    cHttpTransport();
    // Closes the socket; the engine wipes the session.
    ~cHttpTransport() override;

    // Plain: one send. TLS: pieces of at most 2^14 bytes, one record each; the bytes sent
    // (a failing record stops the loop). Below 1 byte: 0.
    i32 Send(const void* buffer, i32 length) override;
    // Plain: one recv. TLS: buffered plaintext first, else the next record's data; 0 at
    // the end of the data or on failure.
    i32 Receive(void* buffer, i32 length, const sSocketTimeout* timeout) override;
    // Connects, and runs the handshake in a new session when the use-TLS flag is set
    // (every key, buffer and skipped message of the last one is dropped); a failed
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
    // Bounds each later connection as a whole: from the start of its connect, the
    // connect, the handshake and every receive end within `milliseconds`, a time-out
    // once it has passed. 0 (the default): only their own time-outs.
    void SetDeadline(u32 milliseconds) { m_deadlineMs = milliseconds; }
    // The version of the last handshake that succeeded on this connection.
    eTlsState GetTlsState() const { return m_tlsState; }
    const cTlsEngine& GetTlsEngine() const { return m_engine; }
    // True once a TLS record or handshake failed on this connection.
    bool HasFailed() const { return m_engine.GetState() == eTlsEngineState::Failed; }

    // The first reason the current exchange failed for; an exchange starts by clearing it.
    const sExchangeFailure& GetFailure() const { return m_failure; }
    void NoteFailure(eExchangeFailure reason) { m_failure.Note(reason); }
    void ClearFailure() { m_failure = {}; }

private:
    friend void InstallTlsHooksForTesting(cHttpTransport& transport, cTlsEngineHooks* hooks);

    bool VerifyTlsCertificate(const u8* message, u32 size, u32 suite) override;
    bool VerifyTlsSignature(const u8* message, u32 size, const u8* signedContent,
                            u32 contentSize, u32 suite) override;
    eTlsFailure GetRefusalReason() const override;

    // The handshake when the use-TLS flag is set; a failure closes the socket.
    bool SecureConnection();
    // Keeps the engine's reason once it failed.
    void NoteEngineFailure();
    // Keeps a time-out as the reason when the socket's last receive timed out.
    void NoteReceiveEnd();
    // Sends every byte the engine has waiting; false when the socket fails.
    bool Flush();
    // One receive into the engine; false at the end of the stream, a time-out or when
    // the engine takes nothing.
    bool Pump();

    _guardchar<char> m_host;
    eTlsState m_tlsState = eTlsState::Plain;
    bool m_useTls = false;
    u32 m_deadlineMs = 0;
    cServerAuthenticator m_serverAuth;
    cTlsEngine m_engine;
    sExchangeFailure m_failure;
};

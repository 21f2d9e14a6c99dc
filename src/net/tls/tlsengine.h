#pragma once
// The client side of one TLS connection as an engine over byte buffers: it turns received
// bytes into plaintext and plaintext into bytes to send, and never touches a socket. The
// caller moves the bytes:
//   - GetSendBuffer/AcknowledgeSent: the bytes waiting to go out, and how many went;
//   - GetReceiveBuffer/AcknowledgeReceived: room for the next received bytes, and how many
//     came; EndOfInput when the peer closed;
//   - WritePlaintext/ReadPlaintext once the state is Open.
// One ClientHello offers TLS 1.3 and TLS 1.2 over X25519 with server name indication; the
// ServerHello decides which flow follows. A TLS 1.3 KeyUpdate is answered by the engine:
// its own KeyUpdate then waits in the send buffer. At most one record is buffered each way: the
// receive room is zero while received plaintext waits to be read, and plaintext is taken
// only when nothing waits to be sent.
// Failure is sticky: the first reason is kept, no alert is sent, and all later I/O is
// refused.
#include "net/tls/tlsfailure.h"
#include "net/tls/tlssession.h"

struct sHandshakeState;

// Server authentication, asked during the handshake; a false result fails it.
class cTlsServerVerifier
{
public:
    virtual ~cTlsServerVerifier() = default;
    // `message` is the whole Certificate message, 4-byte header included; `suite` the one
    // the server chose.
    virtual bool VerifyTlsCertificate(const u8* message, u32 size, u32 suite) = 0;
    // TLS 1.3: the CertificateVerify message and the content its signature covers
    // (RFC 8446 4.4.3). TLS 1.2: the ServerKeyExchange message and
    // client_random + server_random + ServerECDHParams (RFC 8422 5.4).
    virtual bool VerifyTlsSignature(const u8* message, u32 size, const u8* signedContent,
                                    u32 contentSize, u32 suite) = 0;
    // Why the last refusal happened, for the engine's failure reason.
    virtual eTlsFailure GetRefusalReason() const { return eTlsFailure::CertificateUntrusted; }
};

// What a test may put in place of the engine's own choices; the engine makes its own
// when given none, as in the program, which has no way to give any: only the test hooks
// (testhooks/nethooks.h) install them.
class cTlsEngineHooks
{
public:
    virtual ~cTlsEngineHooks() = default;
    // A fresh X25519 key pair; false fails the handshake.
    virtual bool MakeKeyPair(u8* privateKey, u8* publicKey) = 0;
    // A whole ClientHello message (4-byte header included) to send instead of ours, its
    // random taken as the client random; null for ours.
    virtual const u8* ClientHello(u32& size) = 0;
    // Each secret as it is derived, under its NSS key log label.
    virtual void OnSecret(const char* label, const u8* clientRandom, const u8* secret,
                          u32 size) = 0;
};

enum class eTlsEngineState
{
    Handshaking,
    Open,   // application data both ways
    Closed, // not started or reset; the peer's close_notify
    Failed,
};

class cTlsEngine
{
public:
    // The verifier MUST outlive the engine.
    explicit cTlsEngine(cTlsServerVerifier& verifier);
    ~cTlsEngine();
    cTlsEngine(const cTlsEngine&) = delete;
    cTlsEngine& operator=(const cTlsEngine&) = delete;

    // Starts a new session and its handshake with `host` (copied: the server name
    // indication and the certificate's name); nothing of an earlier session survives.
    // The ClientHello waits in the send buffer. False
    // (and Failed) when the host name is unusable or memory is short.
    [[nodiscard]] bool Start(const char* host);

    // Drops the session (wiping its keys) and any failure: Closed.
    void Reset();

    // The bytes waiting to be sent; null and 0 when none.
    const u8* GetSendBuffer(u32& size) const;
    // `count` MUST NOT exceed the size GetSendBuffer gave.
    void AcknowledgeSent(u32 count);

    // Room for the next received bytes, never past the record being read; null and 0 when
    // the engine takes nothing now (plaintext waiting, bytes to send first, or the end).
    u8* GetReceiveBuffer(u32& room);
    // `count` MUST NOT exceed the room GetReceiveBuffer gave. A whole record is processed
    // at once: the handshake advances, or application data becomes readable.
    void AcknowledgeReceived(u32 count);
    // The peer ended the stream (or went silent): Failed, with NoCloseNotify at a record
    // boundary once open. Only the peer's close_notify closes the data cleanly.
    void EndOfInput();

    // Open only: seals up to 2^14 bytes into one record when the send buffer is empty;
    // the count taken (0 when it is not, or the engine is not open).
    u32 WritePlaintext(const u8* data, u32 size);
    // Received application data, up to `size` bytes; 0 when none waits.
    u32 ReadPlaintext(u8* data, u32 size);

    eTlsEngineState GetState() const { return m_state; }
    eTlsFailure GetFailure() const { return m_failure; }
    // The alert's description when the failure is AlertReceived.
    u8 GetAlertReceived() const { return m_alert; }
    // The TLS version chosen: 0x0303 or 0x0304, 0 before the ServerHello.
    u16 GetVersion() const;
    // The session of the last Start; MUST NOT be called before one.
    const sTlsSession& GetSession() const { return *m_session; }

    // Used by the handshake flows.
    sTlsSession& Session() { return *m_session; }
    cTlsServerVerifier& Verifier() { return m_verifier; }
    cTlsEngineHooks* Hooks() { return m_hooks; }
    const char* Host() const { return m_host; }
    // Keeps the first reason; the engine is Failed from here on.
    void Fail(eTlsFailure reason, u8 alert = 0);
    void SetOpen(eTlsState version);
    // Appends bytes to send (a handshake flight); false when they do not fit.
    [[nodiscard]] bool QueueSend(const u8* data, u32 size);

private:
    friend void InstallTlsEngineHooksForTesting(cTlsEngine& engine, cTlsEngineHooks* hooks);

    void ProcessRecord();
    void ProcessApplicationRecord(const struct sTlsRecord& record);
    [[nodiscard]] bool TakeKeyUpdate(const struct sTlsMessage& message);
    void SendOwedKeyUpdate();
    bool HeaderAcceptable(const u8* header) const;

    cTlsServerVerifier& m_verifier;
    cTlsEngineHooks* m_hooks = nullptr;
    char m_host[256] = {};
    sTlsSession* m_session = nullptr;
    sHandshakeState* m_handshake = nullptr;
    eTlsEngineState m_state = eTlsEngineState::Closed;
    eTlsState m_version = eTlsState::Plain;
    eTlsFailure m_failure = eTlsFailure::None;
    u8 m_alert = 0;
    u32 m_received = 0;     // bytes of the record in the session's record buffer
    u32 m_sendSize = 0;     // bytes waiting in the session's send buffer
    u32 m_sendPosition = 0; // of them already sent
    u32 m_emptyRecords = 0;
    bool m_keyUpdateOwed = false;    // the server asked for our KeyUpdate
    bool m_keyUpdateWaiting = false; // ours is sealed in the send buffer, not all sent
};

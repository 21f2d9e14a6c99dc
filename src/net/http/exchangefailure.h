#pragma once
// Why an HTTP exchange failed: the first reason is kept, later ones do not overwrite it.
#include "net/tls/tlsfailure.h"

enum class eExchangeFailure : u8
{
    None,
    BadRequest,           // no host, or a request that cannot be written
    HostNotResolved,
    ConnectionRefused,    // the connect failed (refused, unreachable)
    TimedOut,             // the connect or a receive passed its time-out
    ClosedEarly,          // the peer closed before the answer was whole
    NoCloseNotify,        // TLS: the stream ended without close_notify where only the close
                          // could end the body
    TlsAlert,             // the server sent a fatal alert (its number is kept beside)
    HandshakeRefused,     // the server answered our ClientHello with handshake_failure
    NoCommonProtocol,     // no TLS version, suite or group in common
    CertificateUntrusted,
    CertificateWeakKey,   // an RSA key under 2048 bits in the chain
    CertificateWeakHash,  // a SHA-1 signature in the chain
    CertificateExpired,   // expired or not yet valid
    CertificateWrongHost, // issued for another host name
    BadSignature,         // the handshake signature does not verify
    RecordAuthentication, // a protected record or the Finished data did not verify
    MalformedRecord,
    MalformedAnswer,      // an HTTP answer that breaks RFC 9112
    UnsupportedCoding,    // a transfer coding other than a lone "chunked"
    StoppedByReceiver,    // the caller's receiver refused the answer
    UnusableAnswer,       // whole, but not what was asked for (status, length, content)
    OutOfMemory,
};

struct sExchangeFailure
{
    eExchangeFailure m_reason = eExchangeFailure::None;
    u8 m_alert = 0; // the alert's description for TlsAlert

    // Keeps `reason` unless a reason is kept already.
    void Note(eExchangeFailure reason, u8 alert = 0)
    {
        if (m_reason == eExchangeFailure::None) {
            m_reason = reason;
            m_alert = alert;
        }
    }
};

eExchangeFailure ExchangeFailureOfTls(eTlsFailure failure);
// A short lower-case phrase ("server certificate expired or not yet valid").
const char* ExchangeFailureText(eExchangeFailure reason);

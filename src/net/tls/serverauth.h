#pragma once
// The server authentication of one TLS connection: the Certificate message is checked
// when it arrives and its leaf key kept for the handshake signature that follows.
#include "base/types.h"
#include "net/tls/tlsauthmessages.h"
#include "net/tls/tlsfailure.h"

struct evp_pkey_st;

class cServerAuthenticator
{
public:
    cServerAuthenticator() = default;
    cServerAuthenticator(const cServerAuthenticator&) = delete;
    cServerAuthenticator& operator=(const cServerAuthenticator&) = delete;
    ~cServerAuthenticator() { Reset(); }

    // A whole Certificate message from the server named `host` (see
    // VerifyCertificateChain). Forgets any earlier key first; false for any failure.
    [[nodiscard]] bool VerifyCertificate(const u8* message, u32 size, eTlsAuthVersion version,
                                         const char* host);
    // A whole CertificateVerify (TLS 1.3) or ServerKeyExchange (TLS 1.2) message and the
    // content its signature covers, checked with the key of the certificate verified
    // last; false without one.
    [[nodiscard]] bool VerifySignature(const u8* message, u32 size, eTlsAuthVersion version,
                                       const u8* content, u32 contentSize) const;
    // Forgets the key: every connection starts unauthenticated.
    void Reset();
    // Why the last certificate was refused.
    eTlsFailure GetRefusal() const { return m_refusal; }

private:
    evp_pkey_st* m_leafKey = nullptr;
    eTlsFailure m_refusal = eTlsFailure::CertificateUntrusted;
};

// The TLS 1.3 suites use the TLS 1.3 layouts; every other suite is TLS 1.2.
eTlsAuthVersion TlsAuthVersionOfSuite(u32 suite);

#include "net/tls/serverauth.h"

#include "net/tls/certverify.h"
#include "net/tls/tlskeys.h"

bool cServerAuthenticator::VerifyCertificate(const u8* message, u32 size, eTlsAuthVersion version,
                                             const char* host)
{
    Reset();
    cCertificateListReader list;
    if (!list.Open(message, size, version)) {
        return false;
    }
    m_leafKey = VerifyCertificateChain(list, host, &m_refusal);
    return m_leafKey != nullptr;
}

bool cServerAuthenticator::VerifySignature(const u8* message, u32 size, eTlsAuthVersion version,
                                           const u8* content, u32 contentSize) const
{
    sHandshakeSignature signature;
    return m_leafKey != nullptr && ReadHandshakeSignature(message, size, version, signature) &&
           VerifyHandshakeSignature(m_leafKey, signature, version, content, contentSize);
}

void cServerAuthenticator::Reset()
{
    FreePublicKey(m_leafKey);
    m_leafKey = nullptr;
    m_refusal = eTlsFailure::CertificateUntrusted;
}

eTlsAuthVersion TlsAuthVersionOfSuite(u32 suite)
{
    return suite == kTlsAes128GcmSha256 || suite == kTlsAes256GcmSha384 ? eTlsAuthVersion::Tls13
                                                                          : eTlsAuthVersion::Tls12;
}

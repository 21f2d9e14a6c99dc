#pragma once
// A transport whose verifier hooks keep what the handshake gave them, and refuse on demand.
#include "net/http/httptransport.h"

#include <cstdint>
#include <vector>

namespace nettest {

class cHookRecorder : public cHttpTransport
{
public:
    using cHttpTransport::cHttpTransport;
    bool VerifyCertificate(const u8* message, u32 size) override
    {
        m_certificate.assign(message, message + size);
        return m_accept;
    }
    bool VerifyCertificateVerify(const u8* message, u32 size, const u8* content, u32 contentSize) override
    {
        m_verifyMessage.assign(message, message + size);
        m_signedContent.assign(content, content + contentSize);
        return m_accept;
    }
    std::vector<uint8_t> m_certificate;
    std::vector<uint8_t> m_verifyMessage; // CertificateVerify, or the ServerKeyExchange (TLS 1.2)
    std::vector<uint8_t> m_signedContent;
    bool m_accept = true;
};

} // namespace nettest

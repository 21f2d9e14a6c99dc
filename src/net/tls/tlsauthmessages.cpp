#include "net/tls/tlsauthmessages.h"

#include "base/byteorder.h"

namespace {

enum : u8 {
    kCertificateMessage = 11,
    kServerKeyExchangeMessage = 12,
    kCertificateVerifyMessage = 15,
};

// The body of a handshake message of `type` whose 3-byte length covers exactly the rest.
bool MessageBody(const u8* message, u32 size, u8 type, const u8*& body, u32& bodySize)
{
    if (message == nullptr || size < 4 || message[0] != type || LoadBe24(message + 1) != size - 4) {
        return false;
    }
    body = message + 4;
    bodySize = size - 4;
    return true;
}

// One entry at `at` within [at, end): its DER bytes, and `at` moved past the entry.
bool TakeEntry(const u8*& at, const u8* end, eTlsAuthVersion version, const u8*& der, u32& derSize)
{
    if (end - at < 3) {
        return false;
    }
    derSize = LoadBe24(at);
    at += 3;
    if (derSize == 0 || u64(end - at) < derSize) {
        return false;
    }
    der = at;
    at += derSize;
    if (version == eTlsAuthVersion::Tls13) {
        if (end - at < 2) {
            return false;
        }
        const u32 extensionsSize = LoadBe16(at);
        at += 2;
        if (u64(end - at) < extensionsSize) {
            return false;
        }
        at += extensionsSize;
    }
    return true;
}

} // namespace

bool cCertificateListReader::Open(const u8* message, u32 size, eTlsAuthVersion version)
{
    m_at = m_end = nullptr;
    const u8* body = nullptr;
    u32 bodySize = 0;
    if (!MessageBody(message, size, kCertificateMessage, body, bodySize)) {
        return false;
    }
    const u8* at = body;
    const u8* end = body + bodySize;
    if (version == eTlsAuthVersion::Tls13) {
        // The context is empty in a server's Certificate (RFC 8446 4.4.2).
        if (at == end || *at++ != 0) {
            return false;
        }
    }
    if (end - at < 3 || LoadBe24(at) != u64(end - at - 3) || LoadBe24(at) == 0) {
        return false;
    }
    at += 3;
    const u8* first = at;
    while (at < end) {
        const u8* der = nullptr;
        u32 derSize = 0;
        if (!TakeEntry(at, end, version, der, derSize)) {
            return false;
        }
    }
    m_at = first;
    m_end = end;
    m_version = version;
    return true;
}

bool cCertificateListReader::Next(const u8*& der, u32& derSize)
{
    return m_at < m_end && TakeEntry(m_at, m_end, m_version, der, derSize);
}

bool ReadHandshakeSignature(const u8* message, u32 size, eTlsAuthVersion version,
                            sHandshakeSignature& out)
{
    out = sHandshakeSignature();
    const u8* body = nullptr;
    u32 bodySize = 0;
    const bool tls13 = version == eTlsAuthVersion::Tls13;
    if (!MessageBody(message, size, tls13 ? kCertificateVerifyMessage : kServerKeyExchangeMessage,
                     body, bodySize)) {
        return false;
    }
    const u32 skip = tls13 ? 0 : kServerEcdhParamsSize;
    if (bodySize < skip + 4 || LoadBe16(body + skip + 2) != bodySize - skip - 4) {
        return false;
    }
    out.m_scheme = u16(LoadBe16(body + skip));
    out.m_signature = body + skip + 4;
    out.m_signatureSize = bodySize - skip - 4;
    return true;
}

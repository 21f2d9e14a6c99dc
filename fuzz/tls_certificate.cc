// The server authentication messages on arbitrary bytes: the first byte's low bit picks
// TLS 1.3 or TLS 1.2, the rest is taken as a Certificate message and as a
// CertificateVerify or ServerKeyExchange. Invariants: every entry and signature lies
// inside the message and entries do not overlap. A list that frames correctly goes on to
// the live chain check (libcrypto's DER decoder included).
// Links: qel_net_tls qel_base
#include "net/tls/certverify.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    if (size == 0 || size > 70000) {
        return 0;
    }
    const eTlsAuthVersion version = (data[0] & 1) != 0 ? eTlsAuthVersion::Tls13 : eTlsAuthVersion::Tls12;
    const u8* message = data + 1;
    const u32 messageSize = u32(size - 1);
    const u8* end = message + messageSize;

    sHandshakeSignature signature;
    if (ReadHandshakeSignature(message, messageSize, version, signature) &&
        (signature.m_signature < message || signature.m_signature + signature.m_signatureSize != end)) {
        std::abort();
    }

    cCertificateListReader list;
    if (!list.Open(message, messageSize, version)) {
        return 0;
    }
    const u8* der = nullptr;
    u32 derSize = 0;
    const u8* last = message;
    while (list.Next(der, derSize)) {
        if (der < last || derSize == 0 || der + derSize > end) {
            std::abort();
        }
        last = der + derSize;
    }
    if (!list.Open(message, messageSize, version)) {
        std::abort(); // Open must not depend on an earlier walk
    }
    FreePublicKey(VerifyCertificateChain(list, "localhost"));
    return 0;
}

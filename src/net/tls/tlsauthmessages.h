#pragma once
// Framing of the messages by which a TLS server proves who it is: the certificate list of
// the Certificate message, and the signature of the TLS 1.3 CertificateVerify or of the
// TLS 1.2 ServerKeyExchange. Our own bounds-checked code: nothing here trusts a length
// before it has checked it against its parent.
#include "base/types.h"

enum class eTlsAuthVersion { Tls12, Tls13 };

// Walks the DER entries of a whole Certificate message (4-byte header included).
// RFC 8446 4.4.2: context length 0, a 3-byte list length, then entries {3-byte length,
// DER, 2-byte extensions length, extensions}. RFC 5246 7.4.2: a 3-byte list length, then
// entries {3-byte length, DER}. Every length must end exactly inside its parent, every
// DER entry is at least one byte, and the list is not empty.
class cCertificateListReader
{
public:
    // Checks the whole message; false for any framing fault.
    [[nodiscard]] bool Open(const u8* message, u32 size, eTlsAuthVersion version);
    // The next DER certificate (the leaf first); false after the last. Only after Open
    // returned true.
    bool Next(const u8*& der, u32& derSize);

private:
    const u8* m_at = nullptr;
    const u8* m_end = nullptr;
    eTlsAuthVersion m_version = eTlsAuthVersion::Tls13;
};

// The signature of a handshake message: the scheme (RFC 8446 4.2.3 SignatureScheme) and
// the signature bytes, which point into the message.
struct sHandshakeSignature
{
    u16 m_scheme = 0;
    const u8* m_signature = nullptr;
    u32 m_signatureSize = 0;
};

// Size of the TLS 1.2 ServerECDHParams we accept: curve type, named curve x25519, a
// 32-byte key (RFC 8422 5.4).
inline constexpr u32 kServerEcdhParamsSize = 36;

// The signature of a whole CertificateVerify (type 15: scheme, 2-byte length, signature,
// RFC 8446 4.4.3) or ServerKeyExchange (type 12: the 36 parameter bytes, then the same,
// RFC 5246 7.4.3); the signature ends the message exactly. False for any other framing.
[[nodiscard]] bool ReadHandshakeSignature(const u8* message, u32 size, eTlsAuthVersion version,
                                          sHandshakeSignature& out);

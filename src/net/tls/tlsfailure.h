#pragma once
// Why a TLS connection failed. The engine keeps the first reason; later ones are dropped.
#include "base/types.h"

enum class eTlsFailure : u8
{
    None,
    ClosedEarly,          // the stream ended inside the handshake or inside a record
    NoCloseNotify,        // the stream ended at a record boundary without close_notify
    AlertReceived,        // the peer sent a fatal alert (its number is kept beside)
    HandshakeRefused,     // a handshake_failure alert answered our ClientHello
    NoCommonProtocol,     // the ServerHello chose a version, suite or group we did not offer
    CertificateUntrusted, // no chain to a trusted anchor, or an unusable certificate
    CertificateWeakKey,   // a key in the chain below 112-bit security (RSA under 2048 bits)
    CertificateWeakHash,  // a signature in the chain by SHA-1 (or weaker)
    CertificateExpired,   // expired or not yet valid
    CertificateWrongHost, // issued for another host name
    BadSignature,         // the handshake signature does not verify with the leaf's key
    RecordAuthentication, // a protected record, or the Finished data, did not verify
    MalformedRecord,      // a record or handshake message that breaks the protocol
    OutOfMemory,
};

#pragma once
// Server authentication with the platform's certificate store and signature check
// (OpenSSL's libcrypto; the TLS protocol itself stays our own): the certificate chain with
// the host name, and the handshake signature with the leaf certificate's key.
#include "net/tls/tlsauthmessages.h"
#include "net/tls/tlsfailure.h"

struct evp_pkey_st;

// Verifies the certificates of `list` (the leaf first, the others in any order) against
// the trust store (truststore.h) for a TLS server named `host`: an IPv4 dotted quad is
// matched against the IP addresses of the leaf, anything else against its DNS names,
// without partial wildcards. At least 112-bit security in the chain (RSA >= 2048 bits, no
// SHA-1 signatures); no intermediate is fetched, so one the server leaves out fails. The
// leaf's public key, to be freed with FreePublicKey, or null on any failure, its reason in
// `refusal` when given (expired or not yet valid, another host name, a key too small, a
// signature hash too weak, else untrusted).
evp_pkey_st* VerifyCertificateChain(cCertificateListReader& list, const char* host,
                                    eTlsFailure* refusal = nullptr);

// Verifies `signature` over `content` with an RSA `key` (RFC 8446 4.2.3 schemes):
// rsa_pss_rsae_sha256/384/512 (MGF1 with the same hash, salt of the hash's length) in
// both versions, and rsa_pkcs1_sha256/384/512 in TLS 1.2 only (RFC 8446 4.4.3). Any other
// scheme or key type fails. The key size is the chain's business, not this check's.
[[nodiscard]] bool VerifyHandshakeSignature(evp_pkey_st* key, const sHandshakeSignature& signature,
                                            eTlsAuthVersion version, const u8* content,
                                            u32 contentSize);

void FreePublicKey(evp_pkey_st* key);

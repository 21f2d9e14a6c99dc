#include "net/tls/certverify.h"

#include "net/tls/truststore.h"

#include <arpa/inet.h>
#include <mutex>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

namespace {

// SP 800-57 112-bit security: RSA keys of 2048 bits and more, no SHA-1 signatures.
constexpr int kAuthLevel = 2;

// The certificates of one Certificate message, freed together.
struct sParsedChain
{
    sParsedChain() = default;
    sParsedChain(const sParsedChain&) = delete;
    sParsedChain& operator=(const sParsedChain&) = delete;
    ~sParsedChain()
    {
        X509_free(m_leaf);
        sk_X509_pop_free(m_others, X509_free);
    }
    X509* m_leaf = nullptr;
    STACK_OF(X509)* m_others = nullptr;
};

// Each DER entry must decode to exactly its own bytes.
bool DecodeChain(cCertificateListReader& list, sParsedChain& chain)
{
    chain.m_others = sk_X509_new_null();
    if (chain.m_others == nullptr) {
        return false;
    }
    const u8* der = nullptr;
    u32 derSize = 0;
    while (list.Next(der, derSize)) {
        const unsigned char* at = der;
        X509* certificate = d2i_X509(nullptr, &at, long(derSize));
        if (certificate == nullptr || at != der + derSize) {
            X509_free(certificate);
            return false;
        }
        if (chain.m_leaf == nullptr) {
            chain.m_leaf = certificate;
        } else if (sk_X509_push(chain.m_others, certificate) == 0) {
            X509_free(certificate);
            return false;
        }
    }
    return chain.m_leaf != nullptr;
}

bool SetExpectedServer(X509_VERIFY_PARAM* param, const char* host)
{
    in_addr address;
    const bool names = ::inet_pton(AF_INET, host, &address) != 1;
    X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    return X509_VERIFY_PARAM_set_purpose(param, X509_PURPOSE_SSL_SERVER) == 1 &&
           X509_VERIFY_PARAM_set_trust(param, X509_TRUST_SSL_SERVER) == 1 &&
           (names ? X509_VERIFY_PARAM_set1_host(param, host, 0) == 1
                  : X509_VERIFY_PARAM_set1_ip_asc(param, host) == 1);
}

// libcrypto fills some fields of the store's certificates lazily, on their first use,
// and ThreadSanitizer catches one verification reading such a field while another writes
// it. Verifying one chain at a time (about a millisecond each) keeps the shared store
// clear of that.
std::mutex g_verification;

// Why libcrypto refused a chain, in the terms a person acts on.
eTlsFailure RefusalOf(int error)
{
    switch (error) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return eTlsFailure::CertificateExpired;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return eTlsFailure::CertificateWrongHost;
    case X509_V_ERR_EE_KEY_TOO_SMALL:
    case X509_V_ERR_CA_KEY_TOO_SMALL:
        return eTlsFailure::CertificateWeakKey;
    case X509_V_ERR_CA_MD_TOO_WEAK:
        return eTlsFailure::CertificateWeakHash;
    default:
        return eTlsFailure::CertificateUntrusted;
    }
}

bool VerifyChain(const sParsedChain& chain, const char* host, eTlsFailure& refusal)
{
    std::lock_guard<std::mutex> oneAtATime(g_verification);
    X509_STORE* store = AcquireTrustStore();
    X509_STORE_CTX* context = X509_STORE_CTX_new();
    bool verified = false;
    if (store != nullptr && context != nullptr &&
        X509_STORE_CTX_init(context, store, chain.m_leaf, chain.m_others) == 1) {
        X509_VERIFY_PARAM* param = X509_STORE_CTX_get0_param(context);
        X509_VERIFY_PARAM_set_auth_level(param, kAuthLevel);
        verified = SetExpectedServer(param, host) && X509_verify_cert(context) == 1;
        if (!verified) {
            refusal = RefusalOf(X509_STORE_CTX_get_error(context));
        }
    }
    X509_STORE_CTX_free(context);
    ReleaseTrustStore(store);
    return verified;
}

struct sSchemeRule
{
    u16 m_scheme;
    const char* m_digest;
    bool m_pss;
};

constexpr sSchemeRule kSchemes[] = {
    {0x0401, "SHA256", false}, {0x0501, "SHA384", false}, {0x0601, "SHA512", false},
    {0x0804, "SHA256", true},  {0x0805, "SHA384", true},  {0x0806, "SHA512", true},
};

const sSchemeRule* FindScheme(u16 scheme, eTlsAuthVersion version)
{
    for (const sSchemeRule& rule : kSchemes) {
        if (rule.m_scheme == scheme) {
            // RFC 8446 4.4.3: RSA signatures MUST use an RSASSA-PSS algorithm in TLS 1.3.
            return rule.m_pss || version == eTlsAuthVersion::Tls12 ? &rule : nullptr;
        }
    }
    return nullptr;
}

} // namespace

evp_pkey_st* VerifyCertificateChain(cCertificateListReader& list, const char* host,
                                    eTlsFailure* refusal)
{
    EVP_PKEY* key = nullptr;
    eTlsFailure why = eTlsFailure::CertificateUntrusted;
    if (host != nullptr && *host != 0) {
        sParsedChain chain;
        if (DecodeChain(list, chain) && VerifyChain(chain, host, why)) {
            key = X509_get_pubkey(chain.m_leaf);
        }
    }
    ERR_clear_error();
    if (key == nullptr && refusal != nullptr) {
        *refusal = why;
    }
    return key;
}

bool VerifyHandshakeSignature(evp_pkey_st* key, const sHandshakeSignature& signature,
                              eTlsAuthVersion version, const u8* content, u32 contentSize)
{
    const sSchemeRule* rule = FindScheme(signature.m_scheme, version);
    if (rule == nullptr || key == nullptr || EVP_PKEY_get_base_id(key) != EVP_PKEY_RSA ||
        content == nullptr || signature.m_signature == nullptr) {
        return false;
    }
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    EVP_PKEY_CTX* keyContext = nullptr;
    const bool verified =
        context != nullptr &&
        EVP_DigestVerifyInit_ex(context, &keyContext, rule->m_digest, nullptr, nullptr, key, nullptr) == 1 &&
        EVP_PKEY_CTX_set_rsa_padding(keyContext, rule->m_pss ? RSA_PKCS1_PSS_PADDING : RSA_PKCS1_PADDING) == 1 &&
        (!rule->m_pss || EVP_PKEY_CTX_set_rsa_pss_saltlen(keyContext, RSA_PSS_SALTLEN_DIGEST) == 1) &&
        EVP_DigestVerify(context, signature.m_signature, signature.m_signatureSize, content, contentSize) == 1;
    EVP_MD_CTX_free(context);
    ERR_clear_error();
    return verified;
}

void FreePublicKey(evp_pkey_st* key) { EVP_PKEY_free(key); }

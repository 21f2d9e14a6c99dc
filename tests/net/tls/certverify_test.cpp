// Server authentication without a network: the Certificate, CertificateVerify and
// ServerKeyExchange framing; the chain and host name matrix against certificates made by
// the openssl command (make_pki.sh); the signature scheme matrix over signatures made by
// `openssl dgst`.
#include "net/pki.h"
#include "net/tls/certverify.h"
#include "net/tls/serverauth.h"
#include "net/tls/truststore.h"
#include "support/filehelpers.h"

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <atomic>
#include <thread>

using namespace nettest;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

void PutU24(Bytes& out, size_t value)
{
    out.push_back(uint8_t(value >> 16));
    out.push_back(uint8_t(value >> 8));
    out.push_back(uint8_t(value));
}
void PutU16(Bytes& out, size_t value)
{
    out.push_back(uint8_t(value >> 8));
    out.push_back(uint8_t(value));
}

Bytes HandshakeMessage(uint8_t type, const Bytes& body)
{
    Bytes message = {type};
    PutU24(message, body.size());
    message.insert(message.end(), body.begin(), body.end());
    return message;
}

// A Certificate message of `ders` (RFC 8446 4.4.2 or RFC 5246 7.4.2); TLS 1.3 entries
// carry `extensions` each.
Bytes CertificateMessage(const std::vector<Bytes>& ders, eTlsAuthVersion version, const Bytes& extensions = {})
{
    Bytes list;
    for (const Bytes& der : ders) {
        PutU24(list, der.size());
        list.insert(list.end(), der.begin(), der.end());
        if (version == eTlsAuthVersion::Tls13) {
            PutU16(list, extensions.size());
            list.insert(list.end(), extensions.begin(), extensions.end());
        }
    }
    Bytes body;
    if (version == eTlsAuthVersion::Tls13) {
        body.push_back(0);
    }
    PutU24(body, list.size());
    body.insert(body.end(), list.begin(), list.end());
    return HandshakeMessage(11, body);
}

// CertificateVerify (TLS 1.3) or ServerKeyExchange with 36 parameter bytes (TLS 1.2).
Bytes SignedMessage(eTlsAuthVersion version, uint16_t scheme, const Bytes& signature, const Bytes& params = Bytes(36, 0x5A))
{
    Bytes body = version == eTlsAuthVersion::Tls13 ? Bytes() : params;
    PutU16(body, scheme);
    PutU16(body, signature.size());
    body.insert(body.end(), signature.begin(), signature.end());
    return HandshakeMessage(version == eTlsAuthVersion::Tls13 ? 15 : 12, body);
}

std::vector<Bytes> ReadAll(const Bytes& message, eTlsAuthVersion version, bool& opened)
{
    cCertificateListReader reader;
    std::vector<Bytes> ders;
    opened = reader.Open(message.data(), u32(message.size()), version);
    const u8* der = nullptr;
    u32 size = 0;
    while (opened && reader.Next(der, size)) {
        ders.emplace_back(der, der + size);
    }
    return ders;
}

bool Opens(const Bytes& message, eTlsAuthVersion version)
{
    cCertificateListReader reader;
    return reader.Open(message.data(), u32(message.size()), version);
}

constexpr eTlsAuthVersion kBothVersions[] = {eTlsAuthVersion::Tls13, eTlsAuthVersion::Tls12};

} // namespace

// Both layouts give the entries in order; every framing fault fails: the message cut
// anywhere (its header's length made to match) or one byte longer, an entry length one
// off, an empty list or entry, another message type.
TEST(CertificateList, LayoutsAndFramingFaults)
{
    const std::vector<Bytes> ders = {Bytes{1, 2, 3}, Bytes{4, 5}};
    for (const eTlsAuthVersion version : kBothVersions) {
        SCOPED_TRACE(version == eTlsAuthVersion::Tls13 ? "TLS 1.3" : "TLS 1.2");
        bool opened = false;
        const std::vector<Bytes> entries = {Bytes{1, 2, 3}, Bytes(4000, 0xAB), Bytes{9}};
        EXPECT_EQ(ReadAll(CertificateMessage(entries, version, {0, 5, 0, 1, 7}), version, opened), entries);
        EXPECT_TRUE(opened);
        const Bytes good = CertificateMessage(ders, version);
        for (size_t size = 4; size <= good.size(); ++size) {
            Bytes body(good.begin() + 4, good.begin() + long(size));
            body.resize(size < good.size() ? body.size() : body.size() + 1);
            EXPECT_FALSE(Opens(HandshakeMessage(11, body), version)) << size;
        }
        const size_t list = version == eTlsAuthVersion::Tls13 ? 5 : 4;
        for (const int delta : {-1, 1}) {
            Bytes changed = good;
            changed[list + 3 + 2] = uint8_t(changed[list + 3 + 2] + delta);
            EXPECT_FALSE(Opens(changed, version)) << delta;
        }
        EXPECT_FALSE(Opens(CertificateMessage({}, version), version)) << "empty list";
        EXPECT_FALSE(Opens(CertificateMessage({Bytes{1}, Bytes{}}, version), version)) << "empty entry";
        EXPECT_FALSE(Opens(HandshakeMessage(12, Bytes(good.begin() + 4, good.end())), version));
    }
    Bytes context = CertificateMessage(ders, eTlsAuthVersion::Tls13);
    context[4] = 1;
    EXPECT_FALSE(Opens(context, eTlsAuthVersion::Tls13)) << "a server's context is empty";
    EXPECT_FALSE(Opens(CertificateMessage(ders, eTlsAuthVersion::Tls12), eTlsAuthVersion::Tls13));
    Bytes extensions = CertificateMessage({Bytes{1}}, eTlsAuthVersion::Tls13, {0, 0});
    extensions[extensions.size() - 3] = 3;
    EXPECT_FALSE(Opens(extensions, eTlsAuthVersion::Tls13)) << "an extensions length past its list";
}

// The signature ends the message, in both layouts; the message cut anywhere (its header's
// length made to match) or one byte longer fails.
TEST(HandshakeSignatureFraming, SignatureEndsTheMessage)
{
    const Bytes signature = {1, 2, 3, 4, 5};
    sHandshakeSignature read;
    for (const eTlsAuthVersion version : kBothVersions) {
        const Bytes good = SignedMessage(version, 0x0804, signature);
        ASSERT_TRUE(ReadHandshakeSignature(good.data(), u32(good.size()), version, read));
        EXPECT_EQ(read.m_scheme, 0x0804);
        EXPECT_EQ(Bytes(read.m_signature, read.m_signature + read.m_signatureSize), signature);
        for (size_t size = 4; size <= good.size(); ++size) {
            Bytes body(good.begin() + 4, good.begin() + long(size));
            body.resize(size < good.size() ? body.size() : body.size() + 1);
            const Bytes cut = HandshakeMessage(good[0], body);
            EXPECT_FALSE(ReadHandshakeSignature(cut.data(), u32(cut.size()), version, read)) << size;
        }
    }
    const Bytes verify = SignedMessage(eTlsAuthVersion::Tls13, 0x0804, signature);
    EXPECT_FALSE(ReadHandshakeSignature(verify.data(), u32(verify.size()), eTlsAuthVersion::Tls12, read));
}

namespace {

class ServerAuthentication : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_pki = TestPki();
        QEL_REQUIRE(!m_pki.m_folder.empty(), "openssl for the test PKI");
    }
    Bytes Der(const std::string& name) const { return ToBytes(m_pki.Read(name + ".der")); }
    // The chain check alone, as the transport makes it.
    bool ChainPasses(const std::vector<std::string>& names, const char* host) const
    {
        std::vector<Bytes> ders;
        for (const std::string& name : names) {
            ders.push_back(Der(name));
        }
        return DersPass(ders, host);
    }
    static bool DersPass(const std::vector<Bytes>& ders, const char* host)
    {
        const Bytes message = CertificateMessage(ders, eTlsAuthVersion::Tls13);
        cServerAuthenticator authenticator;
        return authenticator.VerifyCertificate(message.data(), u32(message.size()), eTlsAuthVersion::Tls13, host);
    }
    sTestPki m_pki;
};

// The leaf's public key, straight from libcrypto.
EVP_PKEY* KeyOf(const Bytes& der)
{
    const unsigned char* at = der.data();
    X509* certificate = d2i_X509(nullptr, &at, long(der.size()));
    EVP_PKEY* key = certificate != nullptr ? X509_get_pubkey(certificate) : nullptr;
    X509_free(certificate);
    return key;
}

} // namespace

TEST_F(ServerAuthentication, ChainAndHostMatrix)
{
    qeltest::cEnvironmentVariable extra(kExtraCaFileVariable, m_pki.Path("ca.pem"));
    const struct
    {
        std::vector<std::string> m_chain;
        const char* m_host;
        bool m_passes;
    } cases[] = {
        {{"leaf"}, "127.0.0.1", true},      {{"leaf"}, "localhost", true},        {{"leaf"}, "LocalHost", true},
        {{"leaf"}, "127.0.0.2", false},     {{"leaf"}, "other.example", false},   {{"leaf"}, "", false},
        {{"leaf"}, nullptr, false},         {{"wrong"}, "127.0.0.1", false},      {{"wrong"}, "localhost", false},
        {{"wrong"}, "other.example", true}, {{"self"}, "localhost", false},       {{"expired"}, "localhost", false},
        {{"foreign"}, "localhost", false},  {{"leaf2", "int"}, "127.0.0.1", true}, {{"leaf2"}, "127.0.0.1", false},
        {{"leaf2", "ca", "int"}, "127.0.0.1", true},      {{"leaf2", "foreign", "int"}, "127.0.0.1", true},
        {{"int", "leaf2"}, "127.0.0.1", false},           {{"client"}, "localhost", false},
        {{"sha1"}, "localhost", false},     {{"weak"}, "localhost", false},       {{"ec"}, "localhost", true},
        {{"wild"}, "a.qel.test", true},     {{"wild"}, "a.b.qel.test", false},    {{"wild"}, "qel.test", false},
        {{"wild"}, "foo.part.qel.test", false},           {{"ca"}, "localhost", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ChainPasses(c.m_chain, c.m_host), c.m_passes)
            << ::testing::PrintToString(c.m_chain) << " " << (c.m_host != nullptr ? c.m_host : "(null)");
    }
}

TEST_F(ServerAuthentication, TrustAnchorsComeFromTheSystemStoreAndTheExtraFile)
{
    // OpenSSL's default file and folder, replaced here by a store without our CA.
    qeltest::cEnvironmentVariable systemFile(X509_get_default_cert_file_env(), "/nonexistent/cert.pem");
    qeltest::cEnvironmentVariable systemDir(X509_get_default_cert_dir_env(), "/nonexistent");
    {
        qeltest::cEnvironmentVariable extra(kExtraCaFileVariable, nullptr);
        EXPECT_FALSE(ChainPasses({"leaf"}, "localhost"));
        {
            qeltest::cEnvironmentVariable system(X509_get_default_cert_file_env(), m_pki.Path("ca.pem"));
            EXPECT_TRUE(ChainPasses({"leaf"}, "localhost")) << "the system store path";
        }
        qeltest::cEnvironmentVariable system(X509_get_default_cert_dir_env(), m_pki.m_folder);
        EXPECT_FALSE(ChainPasses({"leaf"}, "localhost")) << "a folder without hash links";
    }
    // A named extra file that gives no anchor fails the check, whatever the chain.
    for (const std::string& file : {m_pki.Path("missing.pem"), m_pki.Path("empty.pem"), m_pki.Path("leaf.key"),
                                   m_pki.Path("content.bin"), m_pki.m_folder}) {
        qeltest::cEnvironmentVariable extra(kExtraCaFileVariable, file);
        EXPECT_EQ(AcquireTrustStore(), nullptr) << file;
        EXPECT_FALSE(ChainPasses({"leaf"}, "localhost")) << file;
    }
    {
        qeltest::cEnvironmentVariable extra(kExtraCaFileVariable, m_pki.Path("ca2.pem"));
        EXPECT_FALSE(ChainPasses({"leaf"}, "localhost"));
        EXPECT_TRUE(ChainPasses({"foreign"}, "localhost"));
    }
    // The store follows the variables: the same settings share one loaded store.
    qeltest::cEnvironmentVariable extra(kExtraCaFileVariable, m_pki.Path("ca.pem"));
    x509_store_st* first = AcquireTrustStore();
    x509_store_st* second = AcquireTrustStore();
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    ReleaseTrustStore(first);
    ReleaseTrustStore(second);
    EXPECT_TRUE(ChainPasses({"leaf"}, "localhost"));
}

// The list job and the downloader verify at the same time, on one loaded store; d2i_X509
// must take exactly its entry (a byte more or less fails).
TEST_F(ServerAuthentication, ThreadsShareTheStoreAndDerFillsItsEntry)
{
    qeltest::cEnvironmentVariable extra(kExtraCaFileVariable, m_pki.Path("ca.pem"));
    const std::vector<Bytes> good = {Der("leaf2"), Der("int")}, bad = {Der("foreign")};
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 25; ++i) {
                wrong += DersPass(i % 5 == 0 ? bad : good, "127.0.0.1") != (i % 5 != 0);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong.load(), 0);
    Bytes longer = Der("leaf");
    longer.push_back(0);
    for (const Bytes& der : {longer, Bytes(longer.begin(), longer.end() - 2), Bytes{0x30, 0x00}}) {
        EXPECT_FALSE(DersPass({der}, "localhost"));
    }
}

// Signatures made by `openssl dgst` with every scheme the client offers (and ECDSA, which
// it does not): each passes only under its own scheme, PKCS#1 v1.5 only in TLS 1.2, and
// never on another key, other content or a changed signature.
TEST_F(ServerAuthentication, SignatureSchemeMatrix)
{
    const Bytes content = ToBytes(m_pki.Read("content.bin"));
    EVP_PKEY* leaf = KeyOf(Der("leaf"));
    EVP_PKEY* other = KeyOf(Der("self"));
    EVP_PKEY* ec = KeyOf(Der("ec"));
    ASSERT_TRUE(leaf != nullptr && other != nullptr && ec != nullptr);
    auto verifies = [&](EVP_PKEY* key, uint16_t scheme, const Bytes& signature, eTlsAuthVersion version,
                        const Bytes& signedContent) {
        const sHandshakeSignature framed = {scheme, signature.data(), u32(signature.size())};
        return VerifyHandshakeSignature(key, framed, version, signedContent.data(), u32(signedContent.size()));
    };
    const uint16_t made[] = {0x0401, 0x0501, 0x0601, 0x0804, 0x0805, 0x0806, 0x0403};
    for (const uint16_t scheme : made) {
        char name[16];
        std::snprintf(name, sizeof(name), "%04x.sig", scheme);
        const Bytes signature = ToBytes(m_pki.Read(name));
        ASSERT_FALSE(signature.empty()) << name;
        EVP_PKEY* key = scheme == 0x0403 ? ec : leaf;
        const bool pkcs1 = (scheme & 0xff) == 0x01;
        for (const eTlsAuthVersion version : kBothVersions) {
            SCOPED_TRACE(std::string(name) + (version == eTlsAuthVersion::Tls13 ? " TLS 1.3" : " TLS 1.2"));
            for (const uint16_t claimed : {0x0401, 0x0501, 0x0601, 0x0804, 0x0805, 0x0806, 0x0403, 0x0809, 0x0201, 0x0000}) {
                const bool passes = claimed == scheme && scheme != 0x0403 && !(pkcs1 && version == eTlsAuthVersion::Tls13);
                EXPECT_EQ(verifies(key, claimed, signature, version, content), passes) << std::hex << claimed;
            }
            EXPECT_FALSE(verifies(other, scheme, signature, version, content)) << "another key";
            EXPECT_FALSE(verifies(key, scheme, signature, version, Bytes(content.begin(), content.end() - 1)));
            Bytes changed = content;
            changed[50] ^= 1;
            EXPECT_FALSE(verifies(key, scheme, signature, version, changed));
            EXPECT_FALSE(verifies(nullptr, scheme, signature, version, content));
            Bytes flipped = signature;
            flipped[signature.size() / 2] ^= 1;
            EXPECT_FALSE(verifies(key, scheme, flipped, version, content));
        }
    }
    EVP_PKEY_free(leaf);
    EVP_PKEY_free(other);
    EVP_PKEY_free(ec);
}

// The authenticator keeps the key of the certificate checked last, and none after a
// failed check: a signature never passes on a key from an earlier connection.
TEST_F(ServerAuthentication, SignatureNeedsTheCertificateJustVerified)
{
    qeltest::cEnvironmentVariable extra(kExtraCaFileVariable, m_pki.Path("ca.pem"));
    const Bytes content = ToBytes(m_pki.Read("content.bin"));
    const Bytes message = SignedMessage(eTlsAuthVersion::Tls12, 0x0401, ToBytes(m_pki.Read("0401.sig")));
    const Bytes good = CertificateMessage({Der("leaf")}, eTlsAuthVersion::Tls12);
    const Bytes bad = CertificateMessage({Der("wrong")}, eTlsAuthVersion::Tls12);
    cServerAuthenticator authenticator;
    auto signatureOk = [&] {
        return authenticator.VerifySignature(message.data(), u32(message.size()), eTlsAuthVersion::Tls12,
                                             content.data(), u32(content.size()));
    };
    EXPECT_FALSE(signatureOk()) << "no certificate yet";
    ASSERT_TRUE(authenticator.VerifyCertificate(good.data(), u32(good.size()), eTlsAuthVersion::Tls12, "localhost"));
    EXPECT_TRUE(signatureOk());
    EXPECT_FALSE(authenticator.VerifyCertificate(bad.data(), u32(bad.size()), eTlsAuthVersion::Tls12, "localhost"));
    EXPECT_FALSE(signatureOk());
    ASSERT_TRUE(authenticator.VerifyCertificate(good.data(), u32(good.size()), eTlsAuthVersion::Tls12, "localhost"));
    authenticator.Reset();
    EXPECT_FALSE(signatureOk());
}

// Interoperation with real TLS and HTTP servers on loopback: openssl s_server (every suite
// the client offers, its quirks and what we cannot agree on), libssl sending KeyUpdates in
// the middle of a body, gnutls-serv, nginx, lighttpd
// with wolfSSL (TLS 1.3, no ChangeCipherSpec) and mbedTLS (TLS 1.2), and Python's
// http.server. Every body is compared by its SHA-256 with the file served, and the
// secrets of our key log with the server's.
#include "bodydigest.h"
#include "libsslserver.h"
#include "net/engineplay.h"
#include "net/http/httpexchange.h"
#include "net/peerservers.h"

#include <set>
#include <sys/stat.h>

using namespace nettest;

namespace {

constexpr size_t kBodySize = 1 << 20;

struct sFetch
{
    bool m_ok = false;
    int m_status = 0;
    u64 m_bytes = 0;
    std::string m_digest;
    bool m_contiguous = false;
    eTlsState m_state = eTlsState::Plain;
    std::vector<std::string> m_keyLog;
};

// One exchange through PerformRequest with our key log captured.
sFetch Fetch(const std::string& url)
{
    sFetch result;
    cHttpRequest request(url.c_str());
    cTestHooks hooks;
    cHttpTransport transport;
    InstallTlsHooksForTesting(transport, &hooks);
    cBodyDigest body;
    result.m_ok = PerformRequest(request, transport, body);
    result.m_status = body.m_status;
    result.m_bytes = body.m_bytes;
    result.m_digest = body.Digest();
    result.m_contiguous = body.m_contiguous;
    result.m_state = transport.GetTlsState();
    result.m_keyLog = hooks.m_keyLog;
    return result;
}

// Every secret we logged is in the server's key log (NSS format, same client random).
void ExpectKeyLogMatches(const sFetch& fetch, const std::string& serverLog)
{
    std::ifstream file(serverLog);
    std::set<std::string> server;
    for (std::string line; std::getline(file, line);) {
        server.insert(line);
    }
    ASSERT_EQ(fetch.m_keyLog.size(), fetch.m_state == eTlsState::Tls13 ? 4u : 1u);
    for (const std::string& line : fetch.m_keyLog) {
        EXPECT_EQ(server.count(line), 1u) << line;
    }
}

std::string Url(const char* scheme, uint16_t port, const std::string& path)
{
    return std::string(scheme) + "://127.0.0.1:" + std::to_string(port) + path;
}

class Interop : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_pki = TestPki();
        QEL_REQUIRE(!m_pki.m_folder.empty(), "openssl for the test PKI");
        m_body = MakeBody(kBodySize, 1);
        ::mkdir(m_folder.PathOf("www").c_str(), 0755);
        m_folder.Write("www/big.bin", m_body);
        // openssl s_server -HTTP sends this file as the whole response.
        m_folder.Write("chunked.bin", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" +
                                          ChunkedEncode(m_body, 2));
        // lighttpd streams a CGI body that comes in two parts as chunked.
        m_folder.Write("www/chunked.sh", "printf 'Content-Type: application/octet-stream\\r\\n\\r\\n'\n"
                                         "head -c 1000 big.bin\nsleep 0.05\ntail -c +1001 big.bin\n");
    }

    void ExpectBody(const sFetch& fetch, eTlsState state)
    {
        EXPECT_TRUE(fetch.m_ok);
        EXPECT_EQ(fetch.m_status, 200);
        EXPECT_EQ(fetch.m_bytes, m_body.size());
        EXPECT_EQ(fetch.m_digest, Sha256Hex(m_body));
        EXPECT_TRUE(fetch.m_contiguous);
        EXPECT_EQ(fetch.m_state, state);
    }

    sTestPki m_pki;
    cScratchFolder m_folder;
    std::string m_body;
};

struct sOpenSslCell
{
    const char* m_name;
    std::vector<std::string> m_args;
    eTlsState m_state; // Plain: the exchange must fail
};

// -max_send_frag 512 makes the ~820-byte Certificate of the RSA-2048 leaf span records.
const sOpenSslCell kOpenSslCells[] = {
    {"Tls13Aes128Gcm", {"-tls1_3", "-ciphersuites", "TLS_AES_128_GCM_SHA256"}, eTlsState::Tls13},
    {"Tls13Aes256Gcm", {"-tls1_3", "-ciphersuites", "TLS_AES_256_GCM_SHA384"}, eTlsState::Tls13},
    {"Tls12Aes128Cbc", {"-tls1_2", "-cipher", "ECDHE-RSA-AES128-SHA"}, eTlsState::Tls12},
    {"Tls12Aes256Cbc", {"-tls1_2", "-cipher", "ECDHE-RSA-AES256-SHA"}, eTlsState::Tls12},
    {"RecordPadding", {"-tls1_3", "-record_padding", "256"}, eTlsState::Tls13},
    {"SmallFragments13", {"-tls1_3", "-max_send_frag", "512"}, eTlsState::Tls13},
    {"SmallFragments12", {"-tls1_2", "-cipher", "ECDHE-RSA-AES128-SHA", "-max_send_frag", "512"}, eTlsState::Tls12},
    {"FourTickets", {"-tls1_3", "-num_tickets", "4"}, eTlsState::Tls13},
    {"PssSha384", {"-tls1_3", "-sigalgs", "rsa_pss_rsae_sha384"}, eTlsState::Tls13},
    {"PkcsSha256", {"-tls1_2", "-cipher", "ECDHE-RSA-AES256-SHA", "-sigalgs", "RSA+SHA256"}, eTlsState::Tls12},
    {"Tls12Tickets", {"-tls1_2", "-cipher", "ECDHE-RSA-AES128-SHA", "-num_tickets", "2"}, eTlsState::Tls12},
    {"OnlyChaCha20", {"-tls1_3", "-ciphersuites", "TLS_CHACHA20_POLY1305_SHA256"}, eTlsState::Plain},
    {"OnlyGcmInTls12", {"-tls1_2", "-cipher", "ECDHE-RSA-AES128-GCM-SHA256"}, eTlsState::Plain},
    {"ClientCertificateAsked13", {"-tls1_3", "-verify", "1"}, eTlsState::Tls13},
    {"ClientCertificateAsked12", {"-tls1_2", "-cipher", "ECDHE-RSA-AES128-SHA", "-verify", "1"}, eTlsState::Tls12},
    {"ClientCertificateRequired", {"-Verify", "1"}, eTlsState::Plain},
};

class InteropOpenSsl : public Interop, public ::testing::WithParamInterface<sOpenSslCell>
{
};

} // namespace

// By name: s_server takes "localhost" from the server name as it is.
TEST_P(InteropOpenSsl, ChunkedBodyOrRefusal)
{
    QEL_REQUIRE(qeltest::HaveTool("openssl"), "openssl");
    cChildProcess peer;
    const uint16_t port = StartOpenSslServer(peer, m_pki, m_folder.Path(), 1, GetParam().m_args);
    ASSERT_NE(port, 0) << peer.Log();
    const sFetch fetch = Fetch("https://localhost:" + std::to_string(port) + "/chunked.bin");
    if (GetParam().m_state == eTlsState::Plain) {
        EXPECT_FALSE(fetch.m_ok);
        EXPECT_EQ(fetch.m_bytes, 0u);
        return;
    }
    ExpectBody(fetch, GetParam().m_state);
    peer.Stop();
    ExpectKeyLogMatches(fetch, m_folder.PathOf("k.txt"));
}

INSTANTIATE_TEST_SUITE_P(Cells, InteropOpenSsl, ::testing::ValuesIn(kOpenSslCells),
                         [](const auto& info) { return std::string(info.param.m_name); });

// Restricted to AES-256-GCM without a certificate request, and with its defaults (which
// ask for a client certificate) in both versions.
TEST_F(Interop, GnutlsServer)
{
    QEL_REQUIRE(qeltest::HaveTool("gnutls-serv"), "gnutls-serv (gnutls-bin)");
    const struct
    {
        const char* m_priority;
        eClientCertificate m_request;
        eTlsState m_state;
    } cells[] = {
        {"NORMAL:-VERS-ALL:+VERS-TLS1.3:-CIPHER-ALL:+AES-256-GCM:-GROUP-ALL:+GROUP-X25519", eClientCertificate::NotAsked,
         eTlsState::Tls13},
        {"NORMAL", eClientCertificate::Asked, eTlsState::Tls13},
        {"NORMAL:-VERS-ALL:+VERS-TLS1.2", eClientCertificate::Asked, eTlsState::Tls12},
    };
    for (const auto& cell : cells) {
        SCOPED_TRACE(cell.m_priority);
        cChildProcess peer;
        const uint16_t port =
            StartGnutlsServer(peer, m_pki, m_folder.Path(), cell.m_priority, m_folder.PathOf("www/big.bin"), cell.m_request);
        ASSERT_NE(port, 0) << peer.Log();
        const sFetch fetch = Fetch(Url("https", port, "/"));
        ExpectBody(fetch, cell.m_state);
        peer.Stop();
        ExpectKeyLogMatches(fetch, m_folder.PathOf("k.txt"));
    }
}

TEST_F(Interop, NginxLengthAndChunkedBodies)
{
    QEL_REQUIRE(qeltest::HaveTool("nginx"), "nginx");
    cChildProcess peer;
    const uint16_t port = StartNginx(peer, m_folder.Path(), [&](uint16_t p) {
        // sub_filter drops the length, so an HTTP/1.1 answer goes out chunked.
        return "listen 127.0.0.1:" + std::to_string(p) + " ssl;\nssl_certificate " + m_pki.m_leafCert +
               ";\nssl_certificate_key " + m_pki.m_leafKey + ";\n" +
               "ssl_protocols TLSv1.2; ssl_ciphers ECDHE-RSA-AES128-SHA;\nlocation /chunked/ { alias " +
               m_folder.PathOf("www/") + "; sub_filter_types *; sub_filter 'zqzqzqzqzq' 'zqzqzqzqzq'; }\n";
    });
    ASSERT_NE(port, 0) << peer.Log();
    ExpectBody(Fetch(Url("https", port, "/big.bin")), eTlsState::Tls12);
    ExpectBody(Fetch(Url("https", port, "/chunked/big.bin")), eTlsState::Tls12);
}

// wolfSSL sends no ChangeCipherSpec in TLS 1.3; mbedTLS speaks TLS 1.2 only.
TEST_F(Interop, LighttpdWithWolfSslAndMbedTls)
{
    QEL_REQUIRE(qeltest::HaveTool("lighttpd"), "lighttpd");
    const struct
    {
        const char* m_module;
        const char* m_commands;
        eTlsState m_state;
    } cells[] = {
        {"wolfssl", "\"MinProtocol\" => \"TLSv1.3\", \"CipherString\" => \"TLS13-AES256-GCM-SHA384\"", eTlsState::Tls13},
        {"mbedtls",
         "\"MinProtocol\" => \"TLSv1.2\", \"MaxProtocol\" => \"TLSv1.2\", \"CipherString\" => "
         "\"TLS-ECDHE-RSA-WITH-AES-128-CBC-SHA\", \"Curves\" => \"x25519\"",
         eTlsState::Tls12},
    };
    for (const auto& cell : cells) {
        SCOPED_TRACE(cell.m_module);
        QEL_REQUIRE(qeltest::PathExists(std::string("/usr/lib/lighttpd/mod_") + cell.m_module + ".so"),
                    std::string("lighttpd-mod-") + cell.m_module);
        cChildProcess peer;
        const uint16_t port = StartLighttpd(peer, m_pki, m_folder.Path(), cell.m_module, cell.m_commands);
        ASSERT_NE(port, 0) << peer.Log();
        ExpectBody(Fetch(Url("https", port, "/big.bin")), cell.m_state);
        ExpectBody(Fetch(Url("https", port, "/chunked.sh")), cell.m_state);
    }
}

// 64 MiB through each record protection: the peer checks every MAC and padding we make
// (our request) and we check every one of its records.
TEST_F(Interop, LargeBodiesBothVersions)
{
    QEL_REQUIRE(qeltest::HaveTool("openssl"), "openssl");
    const std::string large = MakeBody(64u << 20, 3);
    m_folder.Write("large.bin", "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(large.size()) +
                                    "\r\n\r\n" + large);
    for (const sOpenSslCell& cell : {kOpenSslCells[0], kOpenSslCells[3]}) {
        SCOPED_TRACE(cell.m_name);
        cChildProcess peer;
        const uint16_t port = StartOpenSslServer(peer, m_pki, m_folder.Path(), 1, cell.m_args);
        ASSERT_NE(port, 0) << peer.Log();
        const sFetch fetch = Fetch(Url("https", port, "/large.bin"));
        EXPECT_TRUE(fetch.m_ok);
        EXPECT_EQ(fetch.m_bytes, large.size());
        EXPECT_EQ(fetch.m_digest, Sha256Hex(large));
    }
}

// OpenSSL's TLS 1.3 server updates its keys before the answer and inside the body, twice
// asking for ours (RFC 8446 4.6.3): the whole body arrives, and OpenSSL takes our
// KeyUpdates (a bad one would end its read with an error, not with our close).
TEST_F(Interop, KeyUpdatesInTheMiddleOfTheBody)
{
    constexpr size_t kPiece = 16384;
    int serverEnd = -1;
    cLibSslServer server(m_pki, [&](SSL* ssl) {
        if (!ReadRequestHead(ssl)) {
            return;
        }
        SSL_key_update(ssl, SSL_KEY_UPDATE_REQUESTED);
        const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(m_body.size()) + "\r\n\r\n";
        bool written = SSL_write(ssl, head.data(), int(head.size())) > 0;
        for (size_t at = 0, piece = 0; written && at < m_body.size(); at += kPiece, ++piece) {
            if (piece == 3 || piece == 20) {
                SSL_key_update(ssl, piece == 3 ? SSL_KEY_UPDATE_NOT_REQUESTED : SSL_KEY_UPDATE_REQUESTED);
            }
            written = SSL_write(ssl, m_body.data() + at, int(std::min(kPiece, m_body.size() - at))) > 0;
        }
        char byte = 0;
        serverEnd = SSL_get_error(ssl, SSL_read(ssl, &byte, 1));
    });
    ASSERT_TRUE(server.Ready());
    const sFetch fetch = Fetch(Url("https", server.Port(), "/"));
    ExpectBody(fetch, eTlsState::Tls13);
    server.Join(); // the server's last read ends with our close
    EXPECT_EQ(serverEnd, SSL_ERROR_ZERO_RETURN);
}

TEST_F(Interop, PythonHttpServer)
{
    cChildProcess python;
    const uint16_t port = StartPythonHttpServer(python, m_folder.Path());
    ASSERT_NE(port, 0) << python.Log();
    ExpectBody(Fetch(Url("http", port, "/big.bin")), eTlsState::Plain);
}

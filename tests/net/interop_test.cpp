// Interoperation with real TLS and HTTP servers on loopback: openssl s_server, gnutls-serv,
// nginx, lighttpd with wolfSSL (TLS 1.3, no ChangeCipherSpec) and mbedTLS (TLS 1.2), and
// Python's http.server. Every cell compares the body's SHA-256 with the file served, and
// the secrets of our key log with the server's.
#include "bodydigest.h"
#include "net/http/httpexchange.h"
#include "engineplay.h"
#include "peerservers.h"

#include <chrono>
#include <set>
#include <sstream>
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
    double m_seconds = 0;
};

// One exchange through PerformRequest with our key log captured.
sFetch Fetch(const std::string& url)
{
    sFetch result;
    cHttpRequest request(url.c_str());
    cTestHooks hooks;
    cHttpTransport transport(&hooks);
    cBodyDigest body;
    const auto start = std::chrono::steady_clock::now();
    result.m_ok = PerformRequest(request, transport, body);
    result.m_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.m_status = body.m_status;
    result.m_bytes = body.m_bytes;
    result.m_digest = body.Digest();
    result.m_contiguous = body.m_contiguous;
    result.m_state = transport.GetTlsState();
    result.m_keyLog = hooks.m_keyLog;
    return result;
}

std::set<std::string> ReadLines(const std::string& path)
{
    std::ifstream file(path);
    std::set<std::string> lines;
    for (std::string line; std::getline(file, line);) {
        lines.insert(line);
    }
    return lines;
}

// Every secret we logged is in the server's key log (NSS format, same client random).
void ExpectKeyLogMatches(const sFetch& fetch, const std::string& serverLog, eTlsState state)
{
    const std::set<std::string> server = ReadLines(serverLog);
    ASSERT_EQ(fetch.m_keyLog.size(), state == eTlsState::Tls13 ? 4u : 1u);
    for (const std::string& line : fetch.m_keyLog) {
        EXPECT_EQ(server.count(line), 1u) << line;
    }
}

class Interop : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_pki = TestPki();
        QEL_REQUIRE(!m_pki.m_folder.empty(), "openssl for the test PKI");
        m_body = MakeBody(kBodySize, 1);
        m_bodyDigest = Sha256Hex(m_body);
        ::mkdir(m_folder.PathOf("www").c_str(), 0755);
        m_folder.Write("www/big.bin", m_body);
        // openssl s_server -HTTP sends these files as whole responses.
        m_folder.Write("big.bin", "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(m_body.size()) +
                                      "\r\n\r\n" + m_body);
        m_folder.Write("chunked.bin", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" +
                                          ChunkedEncode(m_body, 2));
        m_folder.Write("small.txt", "HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhello");
        // lighttpd streams a CGI body that comes in two parts as chunked.
        m_folder.Write("www/chunked.sh", "printf 'Content-Type: application/octet-stream\\r\\n\\r\\n'\n"
                                         "head -c 1000 big.bin\nsleep 0.05\ntail -c +1001 big.bin\n");
    }

    void ExpectBody(const sFetch& fetch, eTlsState state)
    {
        EXPECT_TRUE(fetch.m_ok);
        EXPECT_EQ(fetch.m_status, 200);
        EXPECT_EQ(fetch.m_bytes, m_body.size());
        EXPECT_EQ(fetch.m_digest, m_bodyDigest);
        EXPECT_TRUE(fetch.m_contiguous);
        EXPECT_EQ(fetch.m_state, state);
    }

    sTestPki m_pki;
    cScratchFolder m_folder;
    std::string m_body;
    std::string m_bodyDigest;
};

struct sSuiteCell
{
    const char* m_name;
    std::vector<std::string> m_openssl; // s_server arguments
    const char* m_gnutlsPriority;
    const char* m_nginx;                // ssl_* directives
    eTlsState m_state;
};

const sSuiteCell kSuiteCells[] = {
    {"Tls13Aes128Gcm", {"-tls1_3", "-ciphersuites", "TLS_AES_128_GCM_SHA256"},
     "NORMAL:-VERS-ALL:+VERS-TLS1.3:-CIPHER-ALL:+AES-128-GCM:-GROUP-ALL:+GROUP-X25519",
     "ssl_protocols TLSv1.3; ssl_conf_command Ciphersuites TLS_AES_128_GCM_SHA256;", eTlsState::Tls13},
    {"Tls13Aes256Gcm", {"-tls1_3", "-ciphersuites", "TLS_AES_256_GCM_SHA384"},
     "NORMAL:-VERS-ALL:+VERS-TLS1.3:-CIPHER-ALL:+AES-256-GCM:-GROUP-ALL:+GROUP-X25519",
     "ssl_protocols TLSv1.3; ssl_conf_command Ciphersuites TLS_AES_256_GCM_SHA384;", eTlsState::Tls13},
    {"Tls12Aes128Cbc", {"-tls1_2", "-cipher", "ECDHE-RSA-AES128-SHA"},
     "NORMAL:-VERS-ALL:+VERS-TLS1.2:-CIPHER-ALL:+AES-128-CBC:-MAC-ALL:+SHA1:-KX-ALL:+ECDHE-RSA:-GROUP-ALL:+GROUP-X25519",
     "ssl_protocols TLSv1.2; ssl_ciphers ECDHE-RSA-AES128-SHA;", eTlsState::Tls12},
    {"Tls12Aes256Cbc", {"-tls1_2", "-cipher", "ECDHE-RSA-AES256-SHA"},
     "NORMAL:-VERS-ALL:+VERS-TLS1.2:-CIPHER-ALL:+AES-256-CBC:-MAC-ALL:+SHA1:-KX-ALL:+ECDHE-RSA:-GROUP-ALL:+GROUP-X25519",
     "ssl_protocols TLSv1.2; ssl_ciphers ECDHE-RSA-AES256-SHA;", eTlsState::Tls12},
};

class InteropSuites : public Interop, public ::testing::WithParamInterface<sSuiteCell>
{
};

std::string Url(const char* scheme, uint16_t port, const std::string& path)
{
    return std::string(scheme) + "://127.0.0.1:" + std::to_string(port) + path;
}

} // namespace

TEST_P(InteropSuites, OpenSslServer)
{
    QEL_REQUIRE(qeltest::HaveTool("openssl"), "openssl");
    cPeerProcess peer;
    const uint16_t port = StartOpenSslServer(peer, m_pki, m_folder.Path(), 3, GetParam().m_openssl);
    ASSERT_NE(port, 0) << peer.Log();
    const sFetch small = Fetch(Url("https", port, "/small.txt"));
    EXPECT_TRUE(small.m_ok);
    EXPECT_EQ(small.m_digest, Sha256Hex("hello"));
    ExpectBody(Fetch(Url("https", port, "/big.bin")), GetParam().m_state);
    // By name: s_server takes "localhost" from the server name as it is.
    const sFetch chunked = Fetch("https://localhost:" + std::to_string(port) + "/chunked.bin");
    ExpectBody(chunked, GetParam().m_state);
    peer.Stop();
    ExpectKeyLogMatches(chunked, m_folder.PathOf("k.txt"), GetParam().m_state);
}

TEST_P(InteropSuites, GnutlsServer)
{
    QEL_REQUIRE(qeltest::HaveTool("gnutls-serv"), "gnutls-serv (gnutls-bin)");
    cPeerProcess peer;
    const uint16_t port = StartGnutlsServer(peer, m_pki, m_folder.Path(), GetParam().m_gnutlsPriority,
                                            m_folder.PathOf("www/big.bin"));
    ASSERT_NE(port, 0) << peer.Log();
    const sFetch fetch = Fetch(Url("https", port, "/"));
    ExpectBody(fetch, GetParam().m_state);
    peer.Stop();
    ExpectKeyLogMatches(fetch, m_folder.PathOf("k.txt"), GetParam().m_state);
}

TEST_P(InteropSuites, Nginx)
{
    QEL_REQUIRE(qeltest::HaveTool("nginx"), "nginx");
    cPeerProcess peer;
    const std::string pki = "ssl_certificate " + m_pki.m_leafCert + ";\nssl_certificate_key " + m_pki.m_leafKey + ";\n";
    const uint16_t port = StartNginx(peer, m_folder.Path(), [&](uint16_t p) {
        // sub_filter drops the length, so an HTTP/1.1 answer goes out chunked.
        return "listen 127.0.0.1:" + std::to_string(p) + " ssl;\n" + pki + GetParam().m_nginx +
               "\nlocation /chunked/ { alias " + m_folder.PathOf("www/") +
               "; sub_filter_types *; sub_filter 'zqzqzqzqzq' 'zqzqzqzqzq'; }\n";
    });
    ASSERT_NE(port, 0) << peer.Log();
    ExpectBody(Fetch(Url("https", port, "/big.bin")), GetParam().m_state);
    ExpectBody(Fetch(Url("https", port, "/chunked/big.bin")), GetParam().m_state);
}

INSTANTIATE_TEST_SUITE_P(Suites, InteropSuites, ::testing::ValuesIn(kSuiteCells),
                         [](const auto& info) { return std::string(info.param.m_name); });

struct sLighttpdCell
{
    const char* m_name;
    const char* m_module;
    const char* m_commands;
    eTlsState m_state;
};

class InteropLighttpd : public Interop, public ::testing::WithParamInterface<sLighttpdCell>
{
};

// wolfSSL sends no ChangeCipherSpec in TLS 1.3; mbedTLS speaks TLS 1.2 only.
TEST_P(InteropLighttpd, BodyAndChunkedBody)
{
    QEL_REQUIRE(qeltest::HaveTool("lighttpd"), "lighttpd");
    QEL_REQUIRE(qeltest::PathExists(std::string("/usr/lib/lighttpd/mod_") + GetParam().m_module + ".so"),
                std::string("lighttpd-mod-") + GetParam().m_module);
    cPeerProcess peer;
    const uint16_t port = StartLighttpd(peer, m_pki, m_folder.Path(), GetParam().m_module,
                                        GetParam().m_commands);
    ASSERT_NE(port, 0) << peer.Log();
    ExpectBody(Fetch(Url("https", port, "/big.bin")), GetParam().m_state);
    ExpectBody(Fetch(Url("https", port, "/chunked.sh")), GetParam().m_state);
}

const sLighttpdCell kLighttpdCells[] = {
    {"WolfSslAes128Gcm", "wolfssl", "\"MinProtocol\" => \"TLSv1.3\", \"CipherString\" => \"TLS13-AES128-GCM-SHA256\"", eTlsState::Tls13},
    {"WolfSslAes256Gcm", "wolfssl", "\"MinProtocol\" => \"TLSv1.3\", \"CipherString\" => \"TLS13-AES256-GCM-SHA384\"", eTlsState::Tls13},
    {"MbedTlsAes128Cbc", "mbedtls",
     "\"MinProtocol\" => \"TLSv1.2\", \"MaxProtocol\" => \"TLSv1.2\", \"CipherString\" => \"TLS-ECDHE-RSA-WITH-AES-128-CBC-SHA\", \"Curves\" => \"x25519\"",
     eTlsState::Tls12},
    {"MbedTlsAes256Cbc", "mbedtls",
     "\"MinProtocol\" => \"TLSv1.2\", \"MaxProtocol\" => \"TLSv1.2\", \"CipherString\" => \"TLS-ECDHE-RSA-WITH-AES-256-CBC-SHA\", \"Curves\" => \"x25519\"",
     eTlsState::Tls12},
};

INSTANTIATE_TEST_SUITE_P(Modules, InteropLighttpd, ::testing::ValuesIn(kLighttpdCells),
                         [](const auto& info) { return std::string(info.param.m_name); });

struct sQuirk
{
    const char* m_name;
    std::vector<std::string> m_args;
    eTlsState m_state;
};

class InteropOpenSslQuirks : public Interop, public ::testing::WithParamInterface<sQuirk>
{
};

TEST_P(InteropOpenSslQuirks, Succeeds)
{
    QEL_REQUIRE(qeltest::HaveTool("openssl"), "openssl");
    cPeerProcess peer;
    const uint16_t port = StartOpenSslServer(peer, m_pki, m_folder.Path(), 1, GetParam().m_args);
    ASSERT_NE(port, 0) << peer.Log();
    ExpectBody(Fetch(Url("https", port, "/big.bin")), GetParam().m_state);
}

// -max_send_frag 512 makes the ~820-byte Certificate of the RSA-2048 leaf span records.
const sQuirk kQuirks[] = {
    {"NoMiddleboxChangeCipherSpec", {"-tls1_3", "-no_middlebox"}, eTlsState::Tls13},
    {"RecordPadding", {"-tls1_3", "-record_padding", "256"}, eTlsState::Tls13},
    {"SmallFragments13", {"-tls1_3", "-max_send_frag", "512"}, eTlsState::Tls13},
    {"SmallFragments12", {"-tls1_2", "-cipher", "ECDHE-RSA-AES128-SHA", "-max_send_frag", "512"}, eTlsState::Tls12},
    {"NoTickets", {"-tls1_3", "-num_tickets", "0"}, eTlsState::Tls13},
    {"FourTickets", {"-tls1_3", "-num_tickets", "4"}, eTlsState::Tls13},
    {"PssSha384", {"-tls1_3", "-sigalgs", "rsa_pss_rsae_sha384"}, eTlsState::Tls13},
    {"PkcsSha256", {"-tls1_2", "-cipher", "ECDHE-RSA-AES256-SHA", "-sigalgs", "RSA+SHA256"}, eTlsState::Tls12},
    {"Tls12Tickets", {"-tls1_2", "-cipher", "ECDHE-RSA-AES128-SHA", "-num_tickets", "2"}, eTlsState::Tls12},
};

INSTANTIATE_TEST_SUITE_P(Quirks, InteropOpenSslQuirks, ::testing::ValuesIn(kQuirks),
                         [](const auto& info) { return std::string(info.param.m_name); });

class InteropOpenSslRefusals : public Interop, public ::testing::WithParamInterface<sQuirk>
{
};

// What we cannot agree on fails quickly, never waits for a time-out.
TEST_P(InteropOpenSslRefusals, FailWithinTwoSeconds)
{
    QEL_REQUIRE(qeltest::HaveTool("openssl"), "openssl");
    cPeerProcess peer;
    const uint16_t port = StartOpenSslServer(peer, m_pki, m_folder.Path(), 1, GetParam().m_args);
    ASSERT_NE(port, 0) << peer.Log();
    const sFetch fetch = Fetch(Url("https", port, "/small.txt"));
    EXPECT_FALSE(fetch.m_ok);
    EXPECT_EQ(fetch.m_bytes, 0u);
    EXPECT_LT(fetch.m_seconds, 2.0);
}

const sQuirk kRefusals[] = {
    {"OnlyP256", {"-groups", "P-256"}, eTlsState::Plain},
    {"OnlyChaCha20", {"-tls1_3", "-ciphersuites", "TLS_CHACHA20_POLY1305_SHA256"}, eTlsState::Plain},
    {"OnlyGcmInTls12", {"-tls1_2", "-cipher", "ECDHE-RSA-AES128-GCM-SHA256"}, eTlsState::Plain},
    {"ClientCertificateRequested", {"-Verify", "1"}, eTlsState::Plain},
};

INSTANTIATE_TEST_SUITE_P(Refusals, InteropOpenSslRefusals, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.m_name); });

// 64 MiB through each record protection: the peer checks every MAC and padding we make
// (our request) and we check every one of its records.
TEST_F(Interop, LargeBodiesBothVersions)
{
    QEL_REQUIRE(qeltest::HaveTool("openssl"), "openssl");
    const std::string large = MakeBody(64u << 20, 3);
    m_folder.Write("large.bin", "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(large.size()) +
                                    "\r\n\r\n" + large);
    const std::string digest = Sha256Hex(large);
    for (const sSuiteCell& cell : {kSuiteCells[0], kSuiteCells[3]}) {
        SCOPED_TRACE(cell.m_name);
        cPeerProcess peer;
        const uint16_t port = StartOpenSslServer(peer, m_pki, m_folder.Path(), 1, cell.m_openssl);
        ASSERT_NE(port, 0) << peer.Log();
        const sFetch fetch = Fetch(Url("https", port, "/large.bin"));
        EXPECT_TRUE(fetch.m_ok);
        EXPECT_EQ(fetch.m_bytes, large.size());
        EXPECT_EQ(fetch.m_digest, digest);
    }
}

TEST_F(Interop, PlainHttpServers)
{
    if (qeltest::HaveTool("nginx") || qeltest::IsCiRun()) {
        cPeerProcess peer;
        const uint16_t port = StartNginx(peer, m_folder.Path(), [](uint16_t p) {
            return "listen 127.0.0.1:" + std::to_string(p) + ";\n";
        });
        ASSERT_NE(port, 0) << peer.Log();
        ExpectBody(Fetch(Url("http", port, "/big.bin")), eTlsState::Plain);
    }
    cPeerProcess python;
    const uint16_t port = StartPythonHttpServer(python, m_folder.Path());
    ASSERT_NE(port, 0) << python.Log();
    ExpectBody(Fetch(Url("http", port, "/big.bin")), eTlsState::Plain);
}

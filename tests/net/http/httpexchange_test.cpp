// Whole exchanges against real servers, with curl as the oracle for status and body:
// nginx (keep-alive, 404, redirects with a body, relative redirects) in plain HTTP and TLS,
// and a transport reused after a stopped exchange.
#include "bodydigest.h"
#include "net/http/httpexchange.h"
#include "net/peerservers.h"

#include <chrono>
#include <sys/stat.h>

using namespace nettest;

namespace {

struct sExchange
{
    bool m_ok;
    int m_status;
    std::string m_digest;
    u64 m_bytes;
    std::string m_location;
    double m_seconds;
};

sExchange Exchange(const std::string& url, cHttpTransport& transport, cBodyDigest& body)
{
    cHttpRequest request(url.c_str());
    const auto start = std::chrono::steady_clock::now();
    const bool ok = PerformRequest(request, transport, body);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const char* location = GetLocationHeader(body);
    return {ok, body.m_status, body.Digest(), body.m_bytes, location != nullptr ? location : "", seconds};
}

sExchange Exchange(const std::string& url)
{
    cHttpTransport transport;
    cBodyDigest body;
    return Exchange(url, transport, body);
}

// curl's view of the same URL: the status of the last header block and the body digest.
struct sCurlView
{
    int m_status = 0;
    std::string m_digest;
};

sCurlView Curl(const std::string& url, const cScratchFolder& folder)
{
    sCurlView view;
    if (!RunShell("curl -sk --http1.1 -D hdr -o body '" + url + "'", folder.Path())) {
        return view;
    }
    const std::string headers = folder.Read("hdr");
    view.m_status = std::stoi(headers.substr(headers.find(' ') + 1, 3));
    view.m_digest = Sha256Hex(folder.Read("body"));
    return view;
}

// Stops the exchange at a redirect, as a downloader does to follow it.
class cStopAtRedirect : public cBodyDigest
{
public:
    bool OnHeadersDone() override { return m_status == 200; }
};

class HttpExchange : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_pki = TestPki();
        QEL_REQUIRE(!m_pki.m_folder.empty(), "openssl for the test PKI");
        m_body = MakeBody(300000, 7);
        ::mkdir(m_folder.PathOf("www").c_str(), 0755);
        m_folder.Write("www/big.bin", m_body);
    }

    // nginx with both a plain and a TLS listener on one port each.
    void StartNginxPair()
    {
        QEL_REQUIRE(qeltest::HaveTool("nginx"), "nginx");
        m_tlsPort = FindFreeLoopbackPort();
        m_plainPort = StartNginx(m_nginx, m_folder.Path(), [&](uint16_t port) {
            const std::string tls = std::to_string(m_tlsPort);
            return "listen 127.0.0.1:" + std::to_string(port) + ";\nlisten 127.0.0.1:" + tls + " ssl;\n" +
                   "ssl_certificate " + m_pki.m_leafCert + ";\nssl_certificate_key " + m_pki.m_leafKey + ";\n" +
                   "location = /redirect { return 302 https://localhost:" + tls + "/big.bin; }\n"
                   "location = /relative { absolute_redirect off; return 302 /big.bin; }\n"
                   // sub_filter drops the length: the small file goes out chunked.
                   "location = /small.txt { sub_filter_types *; sub_filter 'never' 'seen'; }\n"
                   "location = /nocontent { return 204; }\n";
        });
        ASSERT_NE(m_plainPort, 0) << m_nginx.Log();
        ASSERT_TRUE(WaitForLoopbackPort(m_tlsPort, 3000));
    }

    sTestPki m_pki;
    cScratchFolder m_folder;
    cScratchFolder m_curlFolder;
    std::string m_body;
    cChildProcess m_nginx;
    uint16_t m_plainPort = 0;
    uint16_t m_tlsPort = 0;
};

} // namespace

TEST_F(HttpExchange, NginxAnswersAsCurlSeesThem)
{
    StartNginxPair();
    QEL_REQUIRE(qeltest::HaveTool("curl"), "curl");
    for (const std::string scheme : {"http", "https"}) {
        const uint16_t port = scheme == "http" ? m_plainPort : m_tlsPort;
        for (const std::string path : {"/big.bin", "/missing", "/redirect", "/relative"}) {
            const std::string url = scheme + "://127.0.0.1:" + std::to_string(port) + path;
            SCOPED_TRACE(url);
            const sExchange ours = Exchange(url);
            const sCurlView curl = Curl(url, m_curlFolder);
            EXPECT_TRUE(ours.m_ok);
            EXPECT_EQ(ours.m_status, curl.m_status);
            EXPECT_EQ(ours.m_digest, curl.m_digest);
            // nginx keeps the connection open: the exchange ends at the length.
            EXPECT_LT(ours.m_seconds, 5.0);
        }
    }
    const std::string tls = std::to_string(m_tlsPort);
    const sExchange redirect = Exchange("https://127.0.0.1:" + tls + "/redirect");
    EXPECT_EQ(redirect.m_status, 302);
    EXPECT_EQ(redirect.m_location, "https://localhost:" + tls + "/big.bin");
    EXPECT_GT(redirect.m_bytes, 100u) << "nginx sends a small page with its redirect";
    EXPECT_EQ(Exchange("http://127.0.0.1:" + std::to_string(m_plainPort) + "/relative").m_location, "/big.bin");
    const sExchange big = Exchange(redirect.m_location);
    EXPECT_EQ(big.m_digest, Sha256Hex(m_body)) << "localhost resolves and names the server";
}

// On a keep-alive connection a small chunked answer ends at its last chunk and a 204 at
// its header block, both with bytes the reader already holds: no wait for the receive
// time-out (30 s).
TEST_F(HttpExchange, KeepAliveAnswersEndWithTheirFraming)
{
    const std::string small = MakeBody(1234, 5);
    m_folder.Write("www/small.txt", small);
    StartNginxPair();
    for (const std::string scheme : {"http", "https"}) {
        const std::string root = scheme + "://127.0.0.1:" + std::to_string(scheme == "http" ? m_plainPort : m_tlsPort);
        SCOPED_TRACE(root);
        cHttpTransport transport;
        cBodyDigest body;
        const sExchange chunked = Exchange(root + "/small.txt", transport, body);
        EXPECT_TRUE(chunked.m_ok);
        EXPECT_EQ(body.m_chunked, 1) << "sub_filter made the answer chunked";
        EXPECT_EQ(chunked.m_digest, Sha256Hex(small));
        EXPECT_LT(chunked.m_seconds, 1.0);
        const sExchange none = Exchange(root + "/nocontent");
        EXPECT_TRUE(none.m_ok);
        EXPECT_EQ(none.m_status, 204);
        EXPECT_EQ(none.m_bytes, 0u);
        EXPECT_LT(none.m_seconds, 1.0);
    }
}

// The downloader's case: the first exchange stops at a 302 whose page is still buffered
// as plaintext; the same transport then fetches from another server, cleanly.
TEST_F(HttpExchange, TransportReuseAfterAStoppedExchange)
{
    StartNginxPair();
    cChildProcess openssl;
    m_folder.Write("answer.txt", "HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nclean");
    const uint16_t second = StartOpenSslServer(openssl, m_pki, m_folder.Path(), 1, {"-tls1_2", "-cipher", "ECDHE-RSA-AES256-SHA"});
    ASSERT_NE(second, 0) << openssl.Log();

    cHttpTransport transport;
    cStopAtRedirect first;
    const sExchange stopped = Exchange("https://127.0.0.1:" + std::to_string(m_tlsPort) + "/redirect", transport, first);
    EXPECT_FALSE(stopped.m_ok);
    EXPECT_EQ(stopped.m_status, 302);
    EXPECT_EQ(stopped.m_bytes, 0u);

    cBodyDigest body;
    const sExchange clean = Exchange("https://127.0.0.1:" + std::to_string(second) + "/answer.txt", transport, body);
    EXPECT_TRUE(clean.m_ok);
    EXPECT_EQ(clean.m_status, 200);
    EXPECT_EQ(body.m_head, "clean");
    EXPECT_EQ(transport.GetTlsState(), eTlsState::Tls12);
}

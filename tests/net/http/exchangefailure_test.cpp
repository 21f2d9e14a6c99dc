// The first reason of a failed exchange, each produced by a real setup on loopback:
// openssl s_server with an expired, a self-signed, a wrong-name, a 1024-bit and a
// SHA-1-signed certificate, and with no group in common (it sends an alert); a proxy that alters a signature or a protected
// record or drops the close_notify; a port with nothing listening; raw servers that close
// mid-body, answer TLS with HTTP, choose a suite nobody offered, frame their answer twice,
// end lines with a bare LF, use a transfer coding we cannot undo, or go silent.
#include "bodydigest.h"
#include "net/http/httpexchange.h"
#include "net/peerservers.h"
#include "tamperproxy.h"

#include <functional>
#include <memory>
#include <thread>

using namespace nettest;

namespace {

// A raw server that takes the request (or ClientHello), answers `answer` and ends its side;
// it closes once the client has.
class cRawServer
{
public:
    explicit cRawServer(std::string answer)
    {
        m_server.Serve([answer](int handle) {
            uint8_t request[4096];
            ::recv(handle, request, sizeof(request), 0);
            WriteAllFd(handle, answer);
            ::shutdown(handle, SHUT_WR);
            ReadToEndFd(handle);
        });
    }
    uint16_t Port() const { return m_server.Port(); }

private:
    cLoopbackServer m_server;
};

// A raw server that takes the request, answers `answer` and then stays silent until the
// client gives up (within 40 s).
class cSilentServer
{
public:
    explicit cSilentServer(std::string answer)
    {
        m_server.Serve([answer](int handle) {
            uint8_t request[4096];
            ::recv(handle, request, sizeof(request), 0);
            WriteAllFd(handle, answer);
            SetReceiveTimeoutMs(handle, 40000);
            ReadToEndFd(handle);
        });
    }
    uint16_t Port() const { return m_server.Port(); }

private:
    cLoopbackServer m_server;
};

class ExchangeFailure : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QEL_REQUIRE(qeltest::HaveTool("openssl"), "openssl");
        m_pki = TestPki();
        ASSERT_FALSE(m_pki.m_folder.empty());
        m_folder.Write("answer.txt", "HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhello");
    }

    // openssl s_server with the test PKI's `name`.pem and its key (the leaf's when empty)
    // for one connection; its port.
    uint16_t StartServer(const std::string& name, const std::vector<std::string>& extra = {})
    {
        sTestPki pki = m_pki;
        if (!name.empty()) {
            pki.m_leafCert = m_pki.Path(name + ".pem");
            pki.m_leafKey = m_pki.Path(name == "self" || name == "weak" ? name + ".key" : "leaf.key");
        }
        const uint16_t port = StartOpenSslServer(m_server, pki, m_folder.Path(), 1, extra);
        EXPECT_NE(port, 0) << m_server.Log();
        return port;
    }

    sTestPki m_pki;
    cScratchFolder m_folder;
    cChildProcess m_server;
};

std::string Url(const char* scheme, uint16_t port, const char* path = "/answer.txt")
{
    return std::string(scheme) + "://127.0.0.1:" + std::to_string(port) + path;
}

} // namespace

TEST_F(ExchangeFailure, EachReasonFromARealSetup)
{
    // A TLS 1.2 ServerHello choosing TLS_RSA_WITH_AES_128_GCM_SHA256, which we never offer.
    std::string unofferedSuite = {0x16, 3, 3, 0, 42, 2, 0, 0, 38, 3, 3};
    unofferedSuite += std::string(32, 'r') + std::string{0, 0, char(0x9c), 0};
    struct sRow
    {
        const char* m_name;
        std::function<std::string()> m_setup; // the URL to fetch, its server running
        eExchangeFailure m_reason;
        u8 m_alert = 0;
    };
    std::unique_ptr<cRawServer> raw;
    std::unique_ptr<cTamperProxy> proxy;
    const auto rawAt = [&](const char* scheme, const std::string& answer) {
        raw = std::make_unique<cRawServer>(answer);
        return Url(scheme, raw->Port());
    };
    const std::vector<sRow> rows = {
        {"NothingListening", [&] { return Url("http", FindFreeLoopbackPort()); }, eExchangeFailure::ConnectionRefused},
        {"Expired", [&] { return Url("https", StartServer("expired")); }, eExchangeFailure::CertificateExpired},
        {"SelfSigned", [&] { return Url("https", StartServer("self")); }, eExchangeFailure::CertificateUntrusted},
        {"WrongName", [&] { return Url("https", StartServer("wrong")); }, eExchangeFailure::CertificateWrongHost},
        {"NoCommonGroup", [&] { return Url("https", StartServer("", {"-groups", "P-256"})); },
         eExchangeFailure::HandshakeRefused, 40},
        // s_server itself refuses to serve these at its default security level.
        {"WeakKey", [&] { return Url("https", StartServer("weak", {"-cipher", "DEFAULT:@SECLEVEL=0"})); },
         eExchangeFailure::CertificateWeakKey},
        {"Sha1Signature", [&] { return Url("https", StartServer("sha1", {"-cipher", "DEFAULT:@SECLEVEL=0"})); },
         eExchangeFailure::CertificateWeakHash},
        {"AlteredSignature", [&] {
             proxy = std::make_unique<cTamperProxy>(StartServer("", {"-tls1_2"}), eTamperTarget::ServerKeyExchange);
             return Url("https", proxy->Port());
         }, eExchangeFailure::BadSignature},
        {"AlteredRecord", [&] {
             proxy = std::make_unique<cTamperProxy>(StartServer("", {"-tls1_3"}), eTamperTarget::ProtectedRecord);
             return Url("https", proxy->Port());
         }, eExchangeFailure::RecordAuthentication},
        {"UnofferedSuite", [&] { return rawAt("https", unofferedSuite); }, eExchangeFailure::NoCommonProtocol},
        {"HttpAnswerToTls", [&] { return rawAt("https", "HTTP/1.1 400 Bad Request\r\n\r\n"); },
         eExchangeFailure::MalformedRecord},
        {"ClosedWithoutAnswer", [&] { return rawAt("http", ""); }, eExchangeFailure::ClosedEarly},
        {"ClosedMidBody", [&] { return rawAt("http", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly part"); },
         eExchangeFailure::ClosedEarly},
        {"BareLfLineEnds", [&] { return rawAt("http", "HTTP/1.1 200 OK\nContent-Length: 5\n\nhello"); },
         eExchangeFailure::MalformedAnswer},
        {"GzipThenChunked",
         [&] { return rawAt("http", "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n1\r\nx\r\n0\r\n\r\n"); },
         eExchangeFailure::UnsupportedCoding},
        {"NoCloseNotify", [&] {
             m_folder.Write("open.txt", "HTTP/1.0 200 OK\r\n\r\nhello");
             proxy = std::make_unique<cTamperProxy>(StartServer("", {"-tls1_2"}), eTamperTarget::DropAlerts);
             return Url("https", proxy->Port(), "/open.txt");
         }, eExchangeFailure::NoCloseNotify},
        {"DifferingLengths",
         [&] { return rawAt("http", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\nhello!"); },
         eExchangeFailure::MalformedAnswer},
    };
    for (const sRow& row : rows) {
        SCOPED_TRACE(row.m_name);
        const std::string url = row.m_setup();
        cHttpRequest request(url.c_str());
        cHttpTransport transport;
        cBodyDigest body;
        EXPECT_FALSE(PerformRequest(request, transport, body));
        EXPECT_STREQ(ExchangeFailureText(transport.GetFailure().m_reason), ExchangeFailureText(row.m_reason));
        EXPECT_EQ(transport.GetFailure().m_alert, row.m_alert);
        m_server.Stop();
        proxy.reset();
        raw.reset();
    }
}

// A body that ends at the close is whole over TLS only with the server's close_notify.
TEST_F(ExchangeFailure, CloseNotifyEndsACloseDelimitedBody)
{
    m_folder.Write("open.txt", "HTTP/1.0 200 OK\r\n\r\nhello");
    for (const char* version : {"-tls1_2", "-tls1_3"}) {
        SCOPED_TRACE(version);
        const std::string url = Url("https", StartServer("", {version}), "/open.txt");
        cHttpRequest request(url.c_str());
        cHttpTransport transport;
        cBodyDigest body;
        EXPECT_TRUE(PerformRequest(request, transport, body));
        EXPECT_EQ(body.m_head, "hello");
        m_server.Stop();
    }
}

// A server that goes silent fails the exchange with a time-out (20 s in the handshake,
// 30 s after the request), inside the TLS handshake, before its answer and inside a body
// that only the close would end; all run at once.
TEST(ExchangeTimeOut, SilenceIsAFailureAtEveryStage)
{
    const std::vector<std::pair<const char*, std::string>> answers = {
        {"https", ""}, {"http", ""}, {"http", "HTTP/1.0 200 OK\r\n\r\npart of a body"}};
    std::vector<std::unique_ptr<cSilentServer>> servers;
    std::vector<std::thread> clients;
    std::vector<int> outcomes(answers.size(), -1);
    std::vector<eExchangeFailure> reasons(answers.size());
    for (size_t i = 0; i < answers.size(); ++i) {
        servers.push_back(std::make_unique<cSilentServer>(answers[i].second));
        const std::string url = Url(answers[i].first, servers.back()->Port());
        clients.emplace_back([&outcomes, &reasons, url, i] {
            cHttpRequest request(url.c_str());
            cHttpTransport transport;
            cBodyDigest body;
            outcomes[i] = PerformRequest(request, transport, body) ? 1 : 0;
            reasons[i] = transport.GetFailure().m_reason;
        });
    }
    for (size_t i = 0; i < answers.size(); ++i) {
        clients[i].join();
        SCOPED_TRACE(answers[i].first + (": " + answers[i].second));
        EXPECT_EQ(outcomes[i], 0);
        EXPECT_STREQ(ExchangeFailureText(reasons[i]), "time-out");
    }
}

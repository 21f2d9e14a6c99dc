// Update checks end to end against openssl s_server -HTTP, whose canned files are whole
// responses: acceptance in TLS 1.3 and TLS 1.2 and a refusal, each with curl's verdict on
// the same server. (The certificate and scheme matrices run against the verifier
// directly, the answer forms against the parser.)
#include "net/update/updatecheck.h"
#include "net/peerservers.h"
#include "net/update/updatehosts.h"
#include "support/filehelpers.h"
#include "testhooks/nethooks.h"

#include <chrono>

using namespace nettest;

namespace {

std::string Answer(const std::string& body)
{
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

struct sCheck
{
    bool m_ok = false;
    u64 m_version = 0;
    std::u16string m_download, m_site, m_notes;
};

sCheck Check(const char* id)
{
    sCheck check;
    _guardchar<char16_t> download, site, notes;
    check.m_ok = CheckForUpdate(id, check.m_version, download, site, notes);
    check.m_download = download.GetOrEmpty();
    check.m_site = site.GetOrEmpty();
    check.m_notes = notes.GetOrEmpty();
    return check;
}

constexpr u64 Version(u64 major, u64 minor, u64 sub = 0, u64 build = 0)
{
    return major << 48 | minor << 32 | sub << 16 | build;
}

const std::vector<std::string> kTls12 = {"-tls1_2", "-cipher", "ECDHE-RSA-AES256-SHA"};

class UpdateCheck : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_pki = TestPki();
        QEL_REQUIRE(!m_pki.m_folder.empty(), "openssl for the test PKI");
        m_answers.Write("autocheck.php?softwareid=demo&os=win",
                        Answer("3.0.2.7\r\n\r\n\r\nhttps://dl/x.exe\r\n\n\r\nhttps://w/\r\n\r\nGr\xC3\xB6\xC3\x9F" "e\r\nzwei\r\n"));
    }
    // s_server in the canned-answer folder with `certificate` and leaf.key.
    uint16_t StartServer(int accepts, const std::string& certificate, const std::vector<std::string>& options)
    {
        sTestPki server = m_pki;
        server.m_leafCert = m_pki.Path(certificate);
        const uint16_t port = StartOpenSslServer(m_server, server, m_answers.Path(), accepts, options);
        EXPECT_NE(port, 0) << m_server.Log();
        return port;
    }

    sTestPki m_pki;
    cScratchFolder m_answers;
    cChildProcess m_server;
};

} // namespace

TEST_F(UpdateCheck, AcceptsAndRefusesAsCurlDoes)
{
    QEL_REQUIRE(qeltest::HaveTool("curl"), "curl");
    const std::vector<std::string> tls13 = {"-tls1_3", "-ciphersuites", "TLS_AES_128_GCM_SHA256"};
    std::vector<std::string> tls12Chain = kTls12;
    tls12Chain.insert(tls12Chain.end(), {"-cert_chain", m_pki.Path("int.pem")});
    const struct
    {
        const char* m_certificate;
        std::vector<std::string> m_options;
        bool m_passes;
    } rows[] = {
        {"leaf.pem", tls13, true},
        {"leaf2.pem", tls12Chain, true},
        {"wrong.pem", tls13, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.m_certificate) + " " + row.m_options[0]);
        const uint16_t port = StartServer(2, row.m_certificate, row.m_options);
        ASSERT_NE(port, 0);
        const std::string origin = "https://127.0.0.1:" + std::to_string(port);
        // curl's verdict on the same server: 60 is its "peer certificate cannot be
        // authenticated".
        const std::string curl = "curl -s -o /dev/null --cacert '" + m_pki.Path("ca.pem") + "' '" + origin +
                                 "/autocheck.php?softwareid=demo&os=win'";
        const int curlStatus = std::system(curl.c_str());
        EXPECT_EQ(WIFEXITED(curlStatus) ? WEXITSTATUS(curlStatus) : -1, row.m_passes ? 0 : 60) << "curl disagrees";

        qeltest::cEnvironmentVariable base(kUpdateBaseUrlVariable, origin);
        const sCheck check = Check("demo");
        EXPECT_EQ(check.m_ok, row.m_passes);
        if (row.m_passes) {
            EXPECT_EQ(check.m_version, Version(3, 0, 2, 7));
            EXPECT_EQ(check.m_download, u"https://dl/x.exe");
            EXPECT_EQ(check.m_site, u"https://w/");
            EXPECT_EQ(check.m_notes, u"Größe\r\nzwei\r\n");
        }
        m_server.Stop();
    }
}

// A server that trickles its answer, a byte every 250 ms (each well within any receive
// time-out), cannot hold the check past its deadline, shortened here to 1.5 s: the check
// fails as a time-out instead of taking the 25 s the body would take.
TEST_F(UpdateCheck, DeadlineEndsATricklingAnswer)
{
    static const char kTrickle[] = R"(
import socket, ssl, sys, time
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(sys.argv[1], sys.argv[2])
listener = socket.create_server(("127.0.0.1", int(sys.argv[3])))
while True:
    connection, _ = listener.accept()
    try:
        peer = context.wrap_socket(connection, server_side=True)
        peer.recv(4096)
        peer.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n")
        for _ in range(100):
            peer.sendall(b"x")
            time.sleep(0.25)
    except OSError:
        pass
    connection.close()
)";
    const uint16_t port = StartOnFreePort(m_server, [&](uint16_t candidate) {
        return m_server.Start({"/usr/bin/python3", "-c", kTrickle, m_pki.m_leafCert, m_pki.m_leafKey,
                               std::to_string(candidate)});
    });
    ASSERT_NE(port, 0) << m_server.Log();
    qeltest::cEnvironmentVariable base(kUpdateBaseUrlVariable, "https://127.0.0.1:" + std::to_string(port));
    SetUpdateCheckDeadlineForTesting(1500);
    u64 version = 0;
    _guardchar<char16_t> download, site, notes;
    sExchangeFailure failure;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(CheckForUpdate("demo", version, download, site, notes, &failure));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    SetUpdateCheckDeadlineForTesting(0);
    EXPECT_EQ(failure.m_reason, eExchangeFailure::TimedOut);
    EXPECT_GE(elapsed, std::chrono::milliseconds(1400));
    EXPECT_LT(elapsed, std::chrono::milliseconds(6000));
}

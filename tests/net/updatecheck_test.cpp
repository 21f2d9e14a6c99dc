// Update checks end to end against openssl s_server -HTTP, whose canned files are whole
// responses, in TLS 1.3 and TLS 1.2: answers, suffix routing, and server authentication
// with curl as the oracle for which certificates must pass.
#include "authpki.h"
#include "net/http/httpexchange.h"
#include "net/http/plaindatareader.h"
#include "net/tls/truststore.h"
#include "net/update/updatecheck.h"
#include "net/update/updatehosts.h"
#include "peerservers.h"
#include "scopedenvironment.h"
#include "tamperproxy.h"

#include <openssl/x509.h>

using namespace nettest;

namespace {

struct sTlsVersion
{
    const char* m_name;
    std::vector<std::string> m_serverOptions;
};

const sTlsVersion kVersions[] = {
    {"TLS 1.3", {"-tls1_3", "-ciphersuites", "TLS_AES_128_GCM_SHA256"}},
    {"TLS 1.2", {"-tls1_2", "-cipher", "ECDHE-RSA-AES256-SHA"}},
};

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

class UpdateCheck : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_pki = AuthPki();
        QEL_REQUIRE(!m_pki.m_folder.empty(), "openssl for the test PKI");
    }

    // s_server in the canned-answer folder with `certificate` (leaf.key unless `key`).
    uint16_t StartServer(const sTlsVersion& version, int accepts, const std::string& certificate = "leaf.pem",
                         std::vector<std::string> extra = {}, const std::string& key = "leaf.key")
    {
        const sTestPki server{m_pki.m_folder, "", m_pki.Path(certificate), m_pki.Path(key), ""};
        extra.insert(extra.end(), version.m_serverOptions.begin(), version.m_serverOptions.end());
        const uint16_t port = StartOpenSslServer(m_server, server, m_answers.Path(), accepts, extra);
        EXPECT_NE(port, 0) << m_server.Log();
        return port;
    }

    void WriteAnswer(const std::string& path, const std::string& response) { m_answers.Write(path, response); }

    sAuthPki m_pki;
    cScratchFolder m_answers;
    cPeerProcess m_server;
};

} // namespace

TEST_F(UpdateCheck, AnswersAsTheServiceWritesThem)
{
    WriteAnswer("autocheck.php?softwareid=demo&os=win",
                Answer("2.1\r\nhttps://dl.example/setup.exe\r\nhttps://w/\r\n"));
    WriteAnswer("autocheck.php?softwareid=blank&os=win",
                Answer("3.0.2.7\r\n\r\n\r\nhttps://dl/x.exe\r\n\n\r\nhttps://w/\r\n\r\nGr\xC3\xB6\xC3\x9F" "e\r\nzwei\r\n"));
    WriteAnswer("autocheck.php?softwareid=range&os=win", Answer("70000.1\r\nDL\r\nSITE\r\n"));
    WriteAnswer("autocheck.php?softwareid=one&os=win", Answer("2\r\nDL\r\nSITE\r\n"));
    const std::string lines = "2.1\r\nDL\r\nSITE\r\n";
    WriteAnswer("autocheck.php?softwareid=big&os=win", Answer(lines + std::string(65537 - lines.size(), 'n')));
    WriteAnswer("autocheck.php?softwareid=full&os=win", Answer(lines + std::string(65536 - lines.size(), 'n')));
    WriteAnswer("autocheck.php?softwareid=chunked&os=win",
                "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\n2.1\r\nDL\r\nSITE\r\n\r\n0\r\n\r\n");
    WriteAnswer("autocheck.php?softwareid=gone&os=win",
                "HTTP/1.1 404 Not Found\r\nContent-Length: 16\r\n\r\n2.1\r\nDL\r\nSITE\r\n");
    WriteAnswer("autocheck.php?softwareid=lf&os=win", Answer("2.1\nDL\nSITE\n"));
    const std::vector<std::string> failing = {"range", "one", "big", "chunked", "gone", "lf", "absent"};
    for (const sTlsVersion& version : kVersions) {
        SCOPED_TRACE(version.m_name);
        const uint16_t port = StartServer(version, int(3 + failing.size()));
        ASSERT_NE(port, 0);
        cScopedEnvironment base(kUpdateBaseUrlVariable, "https://127.0.0.1:" + std::to_string(port));
        cScopedEnvironment extra(kExtraCaFileVariable, m_pki.Path("ca.pem"));

        const sCheck demo = Check("demo");
        EXPECT_TRUE(demo.m_ok);
        EXPECT_EQ(demo.m_version, Version(2, 1));
        EXPECT_EQ(demo.m_download, u"https://dl.example/setup.exe");
        EXPECT_EQ(demo.m_site, u"https://w/");
        EXPECT_EQ(demo.m_notes, u"");

        const sCheck blank = Check("blank");
        EXPECT_TRUE(blank.m_ok);
        EXPECT_EQ(blank.m_version, Version(3, 0, 2, 7));
        EXPECT_EQ(blank.m_download, u"https://dl/x.exe");
        EXPECT_EQ(blank.m_site, u"https://w/");
        EXPECT_EQ(blank.m_notes, u"Größe\r\nzwei\r\n");

        const sCheck full = Check("full");
        EXPECT_TRUE(full.m_ok) << "65536 bytes is the largest answer";
        EXPECT_EQ(full.m_notes.size(), 65536u - lines.size());

        for (const std::string& id : failing) {
            EXPECT_FALSE(Check(id.c_str()).m_ok) << id;
        }
        m_server.Stop();
    }
}

// Every suffix's path holds a different version, so the answer tells which path was asked.
TEST_F(UpdateCheck, SuffixChoosesThePath)
{
    const struct
    {
        const char* m_id;
        const sUpdateHost& m_host;
    } ids[] = {{"demo", kUpdateHostMaker}, {"demo.KR", kUpdateHostKorea}, {"demo.jp", kUpdateHostJapan},
               {"kr", kUpdateHostMaker},   {"x.de", kUpdateHostMaker}};
    const sUpdateHost* hosts[] = {&kUpdateHostMaker, &kUpdateHostKorea, &kUpdateHostJapan};
    for (const auto& id : ids) {
        for (u64 minor = 0; minor < 3; ++minor) {
            WriteAnswer(std::string(hosts[minor]->m_pathAndQuery + 1) + id.m_id + "&os=win",
                        Answer("1." + std::to_string(minor) + "\r\nDL\r\nSITE\r\n"));
        }
    }
    for (const sTlsVersion& version : kVersions) {
        SCOPED_TRACE(version.m_name);
        const uint16_t port = StartServer(version, int(std::size(ids)));
        ASSERT_NE(port, 0);
        cScopedEnvironment base(kUpdateBaseUrlVariable, "https://localhost:" + std::to_string(port) + "/");
        cScopedEnvironment extra(kExtraCaFileVariable, m_pki.Path("ca.pem"));
        for (const auto& id : ids) {
            const u64 expected = u64(std::find(std::begin(hosts), std::end(hosts), &id.m_host) - std::begin(hosts));
            const sCheck check = Check(id.m_id);
            EXPECT_TRUE(check.m_ok) << id.m_id;
            EXPECT_EQ(check.m_version, Version(1, expected)) << id.m_id;
        }
        m_server.Stop();
    }
    // A suffix whose path has no file gets s_server's "200 ok" without a length.
    const uint16_t port = StartServer(kVersions[0], 1);
    cScopedEnvironment base(kUpdateBaseUrlVariable, "https://127.0.0.1:" + std::to_string(port));
    cScopedEnvironment extra(kExtraCaFileVariable, m_pki.Path("ca.pem"));
    EXPECT_FALSE(Check("other.jp").m_ok);
}

namespace {

// One row of the certificate matrix.
struct sServerRow
{
    const char* m_certificate;
    std::vector<std::string> m_serverOptions;
    const char* m_host;        // in the base URL
    bool m_extraCa;            // QEL_EXTRA_CA_FILE=ca.pem (curl --cacert ca.pem)
    bool m_systemIsTestCa;     // SSL_CERT_FILE=ca.pem
    bool m_passes;
};

} // namespace

TEST_F(UpdateCheck, OnlyTheUpdateHostIsBelieved)
{
    QEL_REQUIRE(qeltest::HaveTool("curl"), "curl");
    WriteAnswer("autocheck.php?softwareid=demo&os=win", Answer("2.1\r\nDL\r\nSITE\r\n"));
    const sServerRow rows[] = {
        {"leaf.pem", {}, "127.0.0.1", true, false, true},
        {"wrong.pem", {}, "127.0.0.1", true, false, false},
        {"self.pem", {}, "127.0.0.1", true, false, false},
        {"expired.pem", {}, "127.0.0.1", true, false, false},
        {"foreign.pem", {}, "127.0.0.1", true, false, false},
        {"leaf2.pem", {"-cert_chain", m_pki.Path("int.pem")}, "127.0.0.1", true, false, true},
        {"leaf2.pem", {}, "127.0.0.1", true, false, false},
        {"leaf.pem", {}, "127.0.0.1", false, false, false},
        {"leaf.pem", {}, "127.0.0.1", false, true, true},
        {"wrong.pem", {}, "localhost", true, false, false},
        {"leaf.pem", {}, "localhost", true, false, true},
    };
    for (const sTlsVersion& version : kVersions) {
        for (const sServerRow& row : rows) {
            SCOPED_TRACE(std::string(version.m_name) + " " + row.m_certificate + " " + row.m_host +
                         (row.m_serverOptions.empty() ? "" : " with chain") + (row.m_extraCa ? "" : " no extra CA") +
                         (row.m_systemIsTestCa ? " SSL_CERT_FILE" : ""));
            const std::string key = std::string(row.m_certificate) == "self.pem" ? "self.key" : "leaf.key";
            const uint16_t port = StartServer(version, 2, row.m_certificate, row.m_serverOptions, key);
            ASSERT_NE(port, 0);
            const std::string origin = "https://" + std::string(row.m_host) + ":" + std::to_string(port);
            // curl's verdict on the same server: 60 is its "peer certificate cannot be
            // authenticated".
            const std::string cacert = row.m_extraCa || row.m_systemIsTestCa ? "--cacert '" + m_pki.Path("ca.pem") + "' " : "";
            const std::string curl = "curl -s -o /dev/null " + cacert + "'" + origin + "/autocheck.php?softwareid=demo&os=win'";
            const int curlStatus = std::system(curl.c_str());
            EXPECT_EQ(WIFEXITED(curlStatus) ? WEXITSTATUS(curlStatus) : -1, row.m_passes ? 0 : 60) << "curl disagrees";

            cScopedEnvironment base(kUpdateBaseUrlVariable, origin);
            cScopedEnvironment extra(kExtraCaFileVariable, row.m_extraCa ? m_pki.Path("ca.pem").c_str() : nullptr);
            cScopedEnvironment system(X509_get_default_cert_file_env(),
                                      row.m_systemIsTestCa ? m_pki.Path("ca.pem").c_str() : nullptr);
            EXPECT_EQ(Check("demo").m_ok, row.m_passes);
            m_server.Stop();
        }
    }
}

namespace {

// Keeps the signature scheme of the server's CertificateVerify or ServerKeyExchange.
class cSchemeRecorder : public cHttpTransport
{
public:
    bool VerifyCertificateVerify(const u8* message, u32 size, const u8* content, u32 contentSize) override
    {
        const u32 at = message[0] == 15 ? 4 : 4 + 36;
        m_scheme = size >= at + 2 ? u16(message[at] << 8 | message[at + 1]) : 0;
        return cHttpTransport::VerifyCertificateVerify(message, size, content, contentSize);
    }
    u16 m_scheme = 0;
};

} // namespace

// s_server signs with each scheme the client offers, and the check passes.
TEST_F(UpdateCheck, EveryOfferedSchemeFromARealSigner)
{
    WriteAnswer("answer", Answer("2.1\r\nDL\r\nSITE\r\n"));
    cScopedEnvironment extra(kExtraCaFileVariable, m_pki.Path("ca.pem"));
    const struct
    {
        const char* m_sigalgs;
        u16 m_scheme;
        bool m_tls13Too;
    } schemes[] = {
        {"rsa_pss_rsae_sha256", 0x0804, true}, {"rsa_pss_rsae_sha384", 0x0805, true},
        {"rsa_pss_rsae_sha512", 0x0806, true}, {"RSA+SHA256", 0x0401, false},
        {"RSA+SHA384", 0x0501, false},         {"RSA+SHA512", 0x0601, false},
    };
    for (const sTlsVersion& version : kVersions) {
        for (const auto& scheme : schemes) {
            if (!scheme.m_tls13Too && std::string(version.m_name) == "TLS 1.3") {
                continue;
            }
            SCOPED_TRACE(std::string(version.m_name) + " " + scheme.m_sigalgs);
            const uint16_t port = StartServer(version, 1, "leaf.pem", {"-sigalgs", scheme.m_sigalgs});
            ASSERT_NE(port, 0);
            const std::string url = "https://127.0.0.1:" + std::to_string(port) + "/answer";
            cHttpRequest request(url.c_str());
            cSchemeRecorder transport;
            cPlainDataReader reader;
            EXPECT_TRUE(PerformRequest(request, transport, reader));
            EXPECT_EQ(transport.m_scheme, scheme.m_scheme);
            m_server.Stop();
        }
    }
}

// A TLS 1.2 ServerKeyExchange changed on the way fails the check; through the same proxy
// without the change it passes.
TEST_F(UpdateCheck, AlteredServerKeyExchangeIsRefused)
{
    WriteAnswer("autocheck.php?softwareid=demo&os=win", Answer("2.1\r\nDL\r\nSITE\r\n"));
    const uint16_t port = StartServer(kVersions[1], 2);
    ASSERT_NE(port, 0);
    cScopedEnvironment extra(kExtraCaFileVariable, m_pki.Path("ca.pem"));
    for (const bool tamper : {false, true}) {
        cTamperProxy proxy(port, tamper);
        cScopedEnvironment base(kUpdateBaseUrlVariable, "https://127.0.0.1:" + std::to_string(proxy.Port()));
        EXPECT_EQ(Check("demo").m_ok, !tamper);
        EXPECT_EQ(proxy.Altered(), tamper);
    }
}

// A plain-HTTP origin (for tests) gets the same request: the path of the suffix, the raw
// id, "&os=win".
TEST(UpdateCheckPlain, RequestLineCarriesTheRawId)
{
    cLoopbackServer server;
    std::string request;
    server.Serve([&](int handle) {
        while (request.find("\r\n\r\n") == std::string::npos) {
            const Bytes more = ReadFd(handle, 1);
            if (more.empty()) {
                return;
            }
            request += char(more[0]);
        }
        WriteAllFd(handle, Answer("1.2.3\r\nDL\r\nSITE\r\nnotes"));
    });
    const std::string authority = "127.0.0.1:" + std::to_string(server.Port());
    cScopedEnvironment base(kUpdateBaseUrlVariable, "http://" + authority);
    const sCheck check = Check("a/b&c=d.jp");
    server.Join();
    EXPECT_TRUE(check.m_ok);
    EXPECT_EQ(check.m_version, Version(1, 2, 3));
    EXPECT_EQ(check.m_notes, u"notes");
    EXPECT_EQ(request.substr(0, request.find("\r\n")), "GET /update?softid=a/b&c=d.jp&os=win HTTP/1.1");
    EXPECT_NE(request.find("\r\nHost: " + authority + "\r\n"), std::string::npos);
}

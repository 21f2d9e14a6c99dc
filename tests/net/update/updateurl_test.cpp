// The update address: the host chosen by the id's suffix and the configured
// origin of QEL_UPDATE_BASE_URL. Also the answer receiver's status and length table.
#include "net/http/httpresponse.h"
#include "net/http/httprequest.h"
#include "net/http/plaindatareader.h"
#include "net/update/updatehosts.h"
#include "net/update/updateurl.h"
#include "support/filehelpers.h"
#include "support/testsupport.h"

#include <cstdlib>
#include <optional>
#include <string>

using qeltest::cEnvironmentVariable;

namespace {

std::optional<std::string> UrlOf(const char* id)
{
    _guardchar<char> url;
    if (!BuildUpdateUrl(id, url)) {
        EXPECT_EQ(url.Get(), nullptr);
        return std::nullopt;
    }
    return std::string(url.GetOrEmpty());
}

std::string Expected(const sUpdateHost& host, const std::string& id)
{
    return std::string(host.m_origin) + host.m_pathAndQuery + id + "&os=win";
}

} // namespace

TEST(UpdateUrl, SuffixChoosesTheHost)
{
    cEnvironmentVariable noBase(kUpdateBaseUrlVariable, nullptr);
    const struct
    {
        const char* m_id;
        const sUpdateHost& m_host;
    } cases[] = {
        {"A.KR", kUpdateHostKorea},   {"demo.kr", kUpdateHostKorea}, {".kr", kUpdateHostKorea},
        {"a.jp.kr", kUpdateHostKorea}, {"demo.jp", kUpdateHostJapan}, {"x.Jp", kUpdateHostJapan},
        {"a.kr.jp", kUpdateHostJapan}, {"demo", kUpdateHostMaker},    {"kr", kUpdateHostMaker},
        {"jp", kUpdateHostMaker},      {"x.de", kUpdateHostMaker},    {"x.", kUpdateHostMaker},
        {"x.krr", kUpdateHostMaker},   {"x.k", kUpdateHostMaker},     {"", kUpdateHostMaker},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(UrlOf(c.m_id), Expected(c.m_host, c.m_id)) << c.m_id;
    }
    EXPECT_EQ(UrlOf(nullptr), std::nullopt);
    // Every default is an https address that parses, with the path that the host keeps.
    for (const sUpdateHost* host : {&kUpdateHostKorea, &kUpdateHostJapan, &kUpdateHostMaker}) {
        cHttpRequest request;
        ASSERT_TRUE(ParseUrl(Expected(*host, "id").c_str(), request));
        EXPECT_EQ(request.m_secure, 1);
        EXPECT_EQ(request.m_port, 443u);
        EXPECT_EQ(std::string(request.m_path.GetOrEmpty()), std::string(host->m_pathAndQuery) + "id&os=win");
    }
}

TEST(UpdateUrl, ConfiguredOriginKeepsEachPath)
{
    for (const char* base : {"https://127.0.0.1:8443", "https://127.0.0.1:8443/", "HTTPS://h"}) {
        cEnvironmentVariable configured(kUpdateBaseUrlVariable, base);
        std::string origin = base;
        if (origin.back() == '/') {
            origin.pop_back();
        }
        EXPECT_EQ(UrlOf("demo.KR"), origin + "/update?softwareid=demo.KR&os=win");
        EXPECT_EQ(UrlOf("demo.jp"), origin + "/update?softid=demo.jp&os=win");
        EXPECT_EQ(UrlOf("kr"), origin + "/autocheck.php?softwareid=kr&os=win");
    }
    // No silent fall-back to the real services, and no unauthenticated check.
    for (const char* base : {"", "ftp://h", "http://localhost:8080", "HTTP://h", "https://", "https://h:0", "https://h:65536", "https://h/x",
                             "https://h//", "https://h/?a=1", "https://h?a=1", "https://h#f", "https://h p", "https://:8443", "127.0.0.1:8443"}) {
        cEnvironmentVariable configured(kUpdateBaseUrlVariable, base);
        EXPECT_EQ(UrlOf("demo"), std::nullopt) << '"' << base << '"';
        EXPECT_FALSE(IsUsableUpdateBaseUrl(base)) << '"' << base << '"';
    }
}

// An accepted response is received twice by one receiver: each response starts empty.
TEST(PlainDataReader, StatusAndLengthTable)
{
    const std::string full(65536, 'a');
    const struct
    {
        std::string m_response;
        bool m_accepted;
    } cases[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 65536\r\n\r\n" + full, true},
        {"HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nx", true},
        {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", false},
        {"HTTP/1.1 200 OK\r\nContent-Length: 65537\r\n\r\n" + full + "a", false},
        {"HTTP/1.0 200 OK\r\n\r\nbody", false},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nbody\r\n0\r\n\r\n", false},
        {"HTTP/1.1 200 OK\r\nContent-Length: 4\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nbody\r\n0\r\n\r\n", false},
        {"HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\nbody", false},
        {"HTTP/1.1 301 Moved\r\nContent-Length: 4\r\nLocation: /x\r\n\r\nbody", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_response.substr(0, 70));
        cPlainDataReader reader;
        for (int pass = c.m_accepted ? 2 : 1; pass > 0; --pass) {
            cBufWrapperIO stream(c.m_response.data(), c.m_response.size());
            EXPECT_EQ(ReceiveResponse(reader, &stream), c.m_accepted);
        }
        sMemBlock body;
        ASSERT_TRUE(reader.GetBody(body));
        const std::string kept(reinterpret_cast<const char*>(body.m_data), size_t(body.m_count));
        std::free(body.m_data);
        EXPECT_EQ(kept, c.m_accepted ? c.m_response.substr(c.m_response.find("\r\n\r\n") + 4) : "");
    }
}

// The URL parser and the request writer: the parse table, byte-exact requests, and a
// POST as an in-process listener receives it.
#include "base/clock.h"
#include "net/http/httpexchange.h"
#include "net/http/httprequest.h"
#include "net/scriptedpeer.h"
#include "testhooks/basehooks.h"

using namespace nettest;

namespace {

struct sUrlCase
{
    const char* m_url;
    const char* m_host;
    const char* m_authority;
    u32 m_port;
    const char* m_path;
    u8 m_secure;
};

std::string Written(const cHttpRequest& request)
{
    _typebuf<u8> bytes;
    if (!WriteHttpRequest(request, bytes)) {
        EXPECT_EQ(bytes.GetCount(), 0);
        return "<failed>";
    }
    return std::string(reinterpret_cast<const char*>(bytes.GetData()), size_t(bytes.GetCount()));
}

u64 FixedMicroseconds(void*) { return 0x1234abcdULL; }
void NoSleep(void*, u32) {}

sHttpFormPart* Part(const char* name, const char* type, const char* parameters, const std::string& data)
{
    auto* part = new sHttpFormPart;
    EXPECT_TRUE(part->m_name.Assign(name));
    EXPECT_TRUE(part->m_contentType.Assign(type));
    EXPECT_TRUE(part->m_dispositionParameters.Assign(parameters));
    EXPECT_TRUE(part->m_data.Alloc(i64(data.size())));
    std::memcpy(part->m_data.GetData(), data.data(), data.size());
    return part;
}

void AddPart(cHttpRequest& request, sHttpFormPart* part)
{
    ASSERT_TRUE(request.m_formParts.Append(part));
}

void AddHeader(cHttpRequest& request, const char* name, const char* value)
{
    sPackedKey key;
    ASSERT_TRUE(key.InitFromBytes(name));
    _guardchar<char>* slot = request.m_extraHeaders.GetOrAdd(key);
    ASSERT_NE(slot, nullptr);
    ASSERT_TRUE(slot->Assign(value));
}

} // namespace

TEST(ParseUrl, Table)
{
    const sUrlCase cases[] = {
        {"HTTPS://H/a?b=1", "H", "H", 443, "/a?b=1", 1},
        {"http://h:8080", "h", "h:8080", 8080, "/", 0},
        {"hTtP://example.com/", "example.com", "example.com", 80, "/", 0},
        {"https://h?x", "h?x", "h?x", 443, "/", 1},
        {"http://h:0080/p#frag", "h", "h:0080", 80, "/p#frag", 0},
        {"http://h:65535/", "h", "h:65535", 65535, "/", 0},
    };

    for (const sUrlCase& test : cases) {
        SCOPED_TRACE(test.m_url);
        cHttpRequest request;
        ASSERT_TRUE(ParseUrl(test.m_url, request));
        EXPECT_STREQ(request.m_host.GetOrEmpty(), test.m_host);
        EXPECT_STREQ(request.m_authority.GetOrEmpty(), test.m_authority);
        EXPECT_EQ(request.m_port, test.m_port);
        EXPECT_STREQ(request.m_path.GetOrEmpty(), test.m_path);
        EXPECT_EQ(request.m_secure, test.m_secure);
    }
    // A colon in the host part always starts the port, so "[::1]" is refused.
    const char* refused[] = {"http://h:65536/", "http://h:/", "http://h:0/", "http://h:8a/",
                             "http://h:99999999999999999999/", "http://[::1]/", "http://h/a b",
                             "http://h/a\"b", "http://h/<", "http://h/>", "http://h/\\", "http://h/^",
                             "http://h/`", "http://h/{}", "http://h/|", "http://h/\x7f",
                             "http://h/\x80", "http://h/\t", "ftp://h/", "http:/h/", "httpx://h/", ""};
    for (const char* url : refused) {
        cHttpRequest request;
        EXPECT_FALSE(ParseUrl(url, request)) << url;
    }
    cHttpRequest request;
    EXPECT_FALSE(ParseUrl(nullptr, request));
    EXPECT_TRUE(ParseUrl("http://h/!#$%&'()*+,-./:;=?@[]_~azAZ09", request));
}

TEST(WriteHttpRequest, GetIsExact)
{
    cHttpRequest request("http://h:8080/a?b=1#c");
    EXPECT_EQ(Written(request), "GET /a?b=1#c HTTP/1.1\r\nHost: h:8080\r\n"
                                "User-Agent: QELNetHTTP (compatible; cross-platform)\r\n\r\n");
    request.m_version = 0;
    ASSERT_TRUE(request.m_userAgent.Assign("agent/1"));
    AddHeader(request, "X-b", "2");
    AddHeader(request, "x-lower", "3");
    AddHeader(request, "Accept", "*/*");
    AddHeader(request, "X-a", "1");
    AddHeader(request, "X-\xc3\xa9", "4");
    // Extra headers come in byte order of their names, bytes taken unsigned.
    EXPECT_EQ(Written(request), "GET /a?b=1#c HTTP/1.0\r\nHost: h:8080\r\nUser-Agent: agent/1\r\n"
                                "Accept: */*\r\nX-a: 1\r\nX-b: 2\r\nX-\xc3\xa9: 4\r\nx-lower: 3\r\n\r\n");
}

TEST(WriteHttpRequest, RefusesBadRequests)
{
    cHttpRequest request("http://h/");
    request.m_method = 2;
    EXPECT_EQ(Written(request), "<failed>");
    request.m_method = 0;
    request.m_version = 2;
    EXPECT_EQ(Written(request), "<failed>");
    request.m_version = -1;
    EXPECT_EQ(Written(request), "<failed>");
    cHttpRequest unparsed("http://h:0/");
    EXPECT_TRUE(unparsed.m_host.IsEmpty());
    EXPECT_EQ(Written(unparsed), "<failed>");
    cHttpRequest empty;
    EXPECT_EQ(Written(empty), "<failed>");
}

TEST(WriteHttpRequest, PostWithAndWithoutParts)
{
    cHttpRequest request("http://h/upload");
    request.m_method = 1;
    EXPECT_EQ(Written(request), "POST /upload HTTP/1.1\r\nHost: h\r\n"
                                "User-Agent: QELNetHTTP (compatible; cross-platform)\r\n\r\n");

    const sClockHook hook = {FixedMicroseconds, NoSleep, nullptr};
    SetClockHook(&hook);
    AddPart(request, Part("file", "application/octet-stream", "filename=\"a.bin\"", std::string("\0\x01\r\n", 4)));
    AddPart(request, Part("note", nullptr, nullptr, "hi"));
    const std::string written = Written(request);
    SetClockHook(nullptr);
    const std::string boundary = "----qelnethttp1234abcd----";
    const std::string body = "--" + boundary + "\r\n"
                             "Content-Disposition: form-data; name=\"file\"; filename=\"a.bin\"\r\n"
                             "Content-Type: application/octet-stream\r\n\r\n" +
                             std::string("\0\x01\r\n", 4) + "\r\n"
                             "--" + boundary + "\r\n"
                             "Content-Disposition: form-data; name=\"note\"\r\n\r\nhi\r\n"
                             "--" + boundary + "--\r\n\r\n";
    EXPECT_EQ(written, "POST /upload HTTP/1.1\r\nHost: h\r\n"
                       "User-Agent: QELNetHTTP (compatible; cross-platform)\r\n"
                       "Content-Type: multipart/form-data; boundary=" + boundary + "\r\n"
                       "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
}

TEST(ResetForUrl, ClearsWhatTheLastRequestHad)
{
    cHttpRequest request("https://a:444/x");
    request.m_method = 1;
    request.m_version = 0;
    ASSERT_TRUE(request.m_userAgent.Assign("agent"));
    AddHeader(request, "X", "y");
    AddPart(request, Part("n", nullptr, nullptr, "v"));
    ASSERT_TRUE(ResetForUrl(request, "http://b/y"));
    EXPECT_EQ(Written(request), "GET /y HTTP/1.1\r\nHost: b\r\n"
                                "User-Agent: QELNetHTTP (compatible; cross-platform)\r\n\r\n");
    EXPECT_EQ(request.m_port, 80u);
    EXPECT_EQ(request.m_secure, 0);
    EXPECT_FALSE(ResetForUrl(request, "/relative"));
    EXPECT_EQ(Written(request), "<failed>");
}

// A POST as a listener receives it, byte for byte what the writer makes; then the answer
// goes to the receiver and the connection is closed.
TEST(PerformRequest, PostArrivesByteForByte)
{
    cLoopbackServer server;
    const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/form";
    cHttpRequest request(url.c_str());
    request.m_method = 1;
    AddPart(request, Part("field", "text/plain", nullptr, "value"));
    const sClockHook hook = {FixedMicroseconds, NoSleep, nullptr};
    SetClockHook(&hook);
    const std::string expected = Written(request);
    std::string received;
    server.Serve([&](int handle) {
        const Bytes bytes = ReadFd(handle, expected.size());
        received.assign(bytes.begin(), bytes.end());
        WriteAllFd(handle, std::string("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"));
    });
    cHttpTransport transport;
    cHttpResponse response;
    const bool ok = PerformRequest(request, transport, response);
    SetClockHook(nullptr);
    server.Join();
    EXPECT_TRUE(ok);
    EXPECT_EQ(response.m_status, 200);
    EXPECT_EQ(received, expected);
    EXPECT_NE(received.find("name=\"field\"\r\nContent-Type: text/plain\r\n\r\nvalue\r\n"), std::string::npos);
    EXPECT_FALSE(transport.IsConnected()) << "closed after the response";
}

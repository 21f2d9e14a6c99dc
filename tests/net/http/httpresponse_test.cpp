// The response reader over scripted streams: every response gives the same outcome fed
// whole, byte by byte and split at every position.
#include "net/http/httpresponse.h"
#include "net/scriptedpeer.h"
#include "support/piecestream.h"

#include <map>

using namespace nettest;

namespace {

using qeltest::cPieceStream;

// Everything a caller can observe of one response.
class cObservedResponse : public cHttpResponse
{
public:
    bool OnHeadersDone() override
    {
        ++m_headersDone;
        return true;
    }
    bool OnData(const u8* bytes, u32 count, u64 offset) override
    {
        m_contiguous = m_contiguous && offset == m_body.size();
        m_body.append(reinterpret_cast<const char*>(bytes), count);
        return true;
    }
    std::string m_body;
    bool m_contiguous = true;
    int m_headersDone = 0;
};

struct sOutcome
{
    bool m_ok;
    int m_status;
    i64 m_length;
    std::map<std::string, std::string> m_headers;
    std::string m_body;
    bool m_contiguous;
    int m_headersDone;

    bool operator==(const sOutcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const sOutcome& o)
{
    return out << "ok=" << o.m_ok << " status=" << o.m_status << " length=" << o.m_length
               << " body=" << o.m_body.size() << " bytes, headers done " << o.m_headersDone;
}

sOutcome Receive(const std::string& response, std::vector<size_t> pieces)
{
    cPieceStream stream(response, std::move(pieces));
    cObservedResponse observed;
    sOutcome outcome;
    outcome.m_ok = ReceiveResponse(observed, &stream);
    outcome.m_status = observed.m_status;
    outcome.m_length = observed.m_contentLength;
    using tHeaders = _keytree<sPackedKey, _guardchar<char>>;
    for (const tHeaders::cNode* node = observed.m_headers.First(); node != nullptr; node = tHeaders::Next(node)) {
        _typebuf<u8> name;
        EXPECT_TRUE(node->GetKey().ToBytes(name));
        outcome.m_headers[reinterpret_cast<const char*>(name.GetData())] = node->GetValue().GetOrEmpty();
    }
    outcome.m_body = observed.m_body;
    outcome.m_contiguous = observed.m_contiguous;
    outcome.m_headersDone = observed.m_headersDone;
    return outcome;
}

// The outcome fed whole; the same fed byte by byte and split in two at every position.
sOutcome ReceiveEveryWay(const std::string& response)
{
    const sOutcome whole = Receive(response, {1 << 20});
    EXPECT_EQ(Receive(response, {1}), whole) << "byte by byte";
    for (size_t cut = 1; cut < response.size(); ++cut) {
        const sOutcome split = Receive(response, {cut, 1 << 20});
        EXPECT_EQ(split, whole) << "split at " << cut;
        if (!(split == whole)) {
            break;
        }
    }
    EXPECT_TRUE(whole.m_contiguous);
    return whole;
}

struct sCase
{
    const char* m_name;
    std::string m_response;
    bool m_ok;
    int m_status;
    std::string m_body;
};

const std::string kHello = "hello";

} // namespace

TEST(HttpResponse, SplitInvarianceTable)
{
    const std::vector<sCase> cases = {
        {"ContentLength", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", true, 200, kHello},
        {"LowerCaseName", "HTTP/1.1 200 OK\r\ncontent-length: 5\r\n\r\nhello", true, 200, kHello},
        {"NoSpaceAfterColon", "HTTP/1.1 200 OK\r\nContent-Length:5\r\n\r\nhello", true, 200, kHello},
        {"PaddedValue", "HTTP/1.1 200 OK\r\nContent-Length: \t5 \t\r\n\r\nhello", true, 200, kHello},
        {"HexLength", "HTTP/1.1 200 OK\r\nContent-Length: 0x10\r\n\r\nhello", false, 200, ""},
        {"SignedLength", "HTTP/1.1 200 OK\r\nContent-Length: +5\r\n\r\nhello", false, 200, ""},
        {"JunkLength", "HTTP/1.1 200 OK\r\nContent-Length: 5x\r\n\r\nhello", false, 200, ""},
        {"EmptyLength", "HTTP/1.1 200 OK\r\nContent-Length:\r\n\r\nhello", false, 200, ""},
        {"HugeLength", "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\n", false, 200, ""},
        {"Chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nwiki\r\n0\r\n\r\n", true, 200, "wiki"},
        {"ChunkSizeUpper", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nA\r\n0123456789\r\n0\r\n\r\n", true, 200, "0123456789"},
        {"ChunkSizeLower", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\na\r\n0123456789\r\n0\r\n\r\n", true, 200, "0123456789"},
        {"ChunkExtension", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4;x=y\r\nwiki\r\n0\r\n\r\n", true, 200, "wiki"},
        {"ChunkExtensionsWithBlanks", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4 ; x=\"a;b\" ;y\r\nwiki\r\n0;end\r\n\r\n", true, 200, "wiki"},
        {"ChunkDataWithoutCrlf", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhelloXX5\r\nworld\r\n0\r\n\r\n", false, 200, kHello},
        {"ChunkDataBareLf", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\n0\r\n\r\n", false, 200, kHello},
        {"ChunkedAnyCase", "HTTP/1.1 200 OK\r\nTransfer-Encoding: ChUnKeD\r\n\r\n4\r\nwiki\r\n0\r\n\r\n", true, 200, "wiki"},
        {"GzipThenChunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n4\r\nwiki\r\n0\r\n\r\n", false, 200, ""},
        {"ChunkedInTwoFields", "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nwiki\r\n0\r\n\r\n", false, 200, ""},
        {"ChunkedTwice", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked, chunked\r\n\r\n4\r\nwiki\r\n0\r\n\r\n", false, 200, ""},
        {"OnlyGzipToTheClose", "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n\r\nwiki", false, 200, ""},
        {"EmptyTransferEncoding", "HTTP/1.1 200 OK\r\nTransfer-Encoding:\r\n\r\nwiki", false, 200, ""},
        {"ChunkSizeEmpty", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n\r\nwiki\r\n0\r\n\r\n", false, 200, ""},
        {"ChunkSizeOverflow", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1000000000000000000\r\nx", false, 200, ""},
        {"ChunkBadLineEnd", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\rXwiki\r\n0\r\n\r\n", false, 200, ""},
        {"ChunkedOverLength", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nwiki\r\n5\r\npedia\r\n0\r\n\r\n", true, 200, "wikipedia"},
        {"ChunkedNoLastChunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nwiki\r\n", false, 200, "wiki"},
        {"ChunkedCutInData", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n8\r\nwiki", false, 200, "wiki"},
        {"ExtraBytesAfterBody", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhelloEXTRA", true, 200, kHello},
        {"ClosedShortOfLength", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nhello", false, 200, kHello},
        {"NoLengthClosed", "HTTP/1.1 200 OK\r\n\r\nhello", true, 200, kHello},
        {"Http2", "HTTP/2 200 OK\r\nContent-Length: 5\r\n\r\nhello", false, 0, ""},
        {"StatusZero", "HTTP/1.1 000 OK\r\nContent-Length: 5\r\n\r\nhello", false, 0, ""},
        {"ShortStatusLine", "HTTP/1.1 20\r\nContent-Length: 5\r\n\r\nhello", false, 0, ""},
        {"FourDigitStatus", "HTTP/1.1 2000 OK\r\nContent-Length: 5\r\n\r\nhello", false, 0, ""},
        {"StatusWithoutReason", "HTTP/1.1 200\r\nContent-Length: 5\r\n\r\nhello", true, 200, kHello},
        {"Continue100ThenAnswer", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", true, 200, kHello},
        {"TwoInterimAnswers", "HTTP/1.1 103 Early Hints\r\nContent-Length: 9\r\n\r\nHTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 404 x\r\n\r\nhello", true, 404, kHello},
        {"CutAfterInterimAnswer", "HTTP/1.1 100 Continue\r\n\r\n", false, 0, ""},
        {"BareLfLines", "HTTP/1.1 200 OK\nContent-Length: 5\n\nhello", false, 0, ""},
        {"BareLfAfterStatus", "HTTP/1.1 200 OK\r\nContent-Length: 5\n\r\nhello", false, 200, ""},
        {"BareCrInField", "HTTP/1.1 200 OK\r\nX-A: a\rb\r\nContent-Length: 5\r\n\r\nhello", false, 200, ""},
        {"Http10NotFound", "HTTP/1.0 404 x\r\nContent-Length: 5\r\n\r\nhello", true, 404, kHello},
        {"NothingAtAll", "", false, 0, ""},
        {"CutInStatusLine", "HTTP/1.1 200", false, 0, ""},
        {"CutInHeaders", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n", false, 200, ""},
        {"RedirectEmptyBody", "HTTP/1.1 302 Found\r\nLocation: https://h/x\r\nContent-Length: 0\r\nServer: s\r\n\r\n", true, 302, ""},
        {"HeaderWithoutColon", "HTTP/1.1 200 OK\r\nbroken\r\n\r\n", false, 200, ""},
        {"HeaderEmptyName", "HTTP/1.1 200 OK\r\n: x\r\n\r\n", false, 200, ""},
        {"EmptyValueAllowed", "HTTP/1.1 200 OK\r\nX-Empty:\r\nContent-Length: 5\r\n\r\nhello", true, 200, kHello},
    };
    for (const sCase& test : cases) {
        SCOPED_TRACE(test.m_name);
        const sOutcome outcome = ReceiveEveryWay(test.m_response);
        EXPECT_EQ(outcome.m_ok, test.m_ok);
        EXPECT_EQ(outcome.m_status, test.m_status);
        EXPECT_EQ(outcome.m_body, test.m_body);
    }
}

TEST(HttpResponse, HeaderMapAndLengths)
{
    const sOutcome redirect = ReceiveEveryWay(
        "HTTP/1.1 302 Found\r\nlocation: https://a/\r\nLocation: https://b/\r\nX-A: 1\r\nX-A: 2\r\n"
        "Content-Length: 0\r\n\r\n");
    EXPECT_TRUE(redirect.m_ok);
    EXPECT_EQ(redirect.m_headersDone, 1) << "the header block spans reads after Content-Length: 0";
    EXPECT_EQ(redirect.m_headers.at("X-A"), "2") << "the last repeat wins";
    EXPECT_EQ(redirect.m_headers.at("location"), "https://a/") << "names are kept as received";
    EXPECT_EQ(redirect.m_length, 0);

    // Chunked: the length stays unknown until the last chunk, which sets it.
    const sOutcome chunked = ReceiveEveryWay("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nwiki\r\n0\r\n\r\n");
    EXPECT_EQ(chunked.m_length, 4);
    // "chunked" is matched without case.
    const sOutcome upper = ReceiveEveryWay("HTTP/1.1 200 OK\r\nTransfer-Encoding: CHUNKED\r\n\r\n4\r\nwiki\r\n0\r\n\r\n");
    EXPECT_TRUE(upper.m_ok);
    EXPECT_EQ(upper.m_length, 4);
    // The fields of an interim answer are dropped with it.
    const sOutcome interim = ReceiveEveryWay("HTTP/1.1 103 Early Hints\r\nLink: </a>\r\n\r\nHTTP/1.1 200 OK\r\nX-B: 1\r\n\r\n");
    EXPECT_EQ(interim.m_headers, (std::map<std::string, std::string>{{"X-B", "1"}}));
    // "\r" as the last byte of a read: the line completes only with the next byte.
    EXPECT_EQ(Receive("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", {16, 1, 1 << 20}).m_body, kHello);
}

TEST(HttpResponse, HeaderFloodsFail)
{
    std::string many = "HTTP/1.1 200 OK\r\n";
    for (int i = 0; i < 10000; ++i) {
        many += "X-" + std::to_string(i) + ": v\r\n";
    }
    many += "Content-Length: 5\r\n\r\nhello";
    EXPECT_FALSE(Receive(many, {1 << 20}).m_ok);
    EXPECT_FALSE(Receive(many, {7}).m_ok);

    const std::string longLine = "HTTP/1.1 200 OK\r\nX-Long: " + std::string(70 * 1024, 'a') + "\r\n\r\n";
    EXPECT_FALSE(Receive(longLine, {1 << 20}).m_ok);
    EXPECT_FALSE(Receive(longLine, {1000}).m_ok);

    // Just within the limits: 255 header lines besides the status line... the empty line
    // counts too, so 254 fields pass.
    std::string within = "HTTP/1.1 200 OK\r\n";
    for (int i = 0; i < 253; ++i) {
        within += "X-" + std::to_string(i) + ": v\r\n";
    }
    within += "Content-Length: 5\r\n\r\nhello";
    EXPECT_TRUE(Receive(within, {1 << 20}).m_ok);
}

TEST(HttpResponse, HooksThatRefuseEndTheExchange)
{
    class cRefusing : public cHttpResponse
    {
    public:
        bool OnHeadersDone() override { return m_acceptHeaders; }
        bool OnData(const u8*, u32, u64) override { return false; }
        bool m_acceptHeaders = false;
    };
    cRefusing refusing;
    cPieceStream first("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", {100});
    EXPECT_FALSE(ReceiveResponse(refusing, &first));
    refusing.m_acceptHeaders = true;
    cPieceStream second("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", {100});
    EXPECT_FALSE(ReceiveResponse(refusing, &second));
    EXPECT_FALSE(ReceiveResponse(refusing, nullptr));
}

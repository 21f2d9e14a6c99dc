// The HTTP response reader on arbitrary bytes. The first byte n (low 4 bits) is followed
// by n piece sizes (each 1..256) that the stream hands out in turn; the rest is the
// response. Invariants: offsets are contiguous, no byte passes a known Content-Length,
// and the outcome equals that of the same response read in one piece.
// Links: qel_net_http qel_base
#include "net/http/httpresponse.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

class cPieceStream : public cFileIOTarget
{
public:
    cPieceStream(const u8* data, size_t size, std::vector<size_t> pieces)
        : m_data(data), m_size(size), m_pieces(std::move(pieces))
    {
    }
    u32 Read(void* buffer, u32 length) override
    {
        const size_t piece = m_pieces[std::min(m_call++, m_pieces.size() - 1)];
        const size_t count = std::min({size_t(length), piece, m_size - m_at});
        std::memcpy(buffer, m_data + m_at, count);
        m_at += count;
        return u32(count);
    }
    bool IsOpen() override { return true; }

private:
    const u8* m_data;
    size_t m_size;
    std::vector<size_t> m_pieces;
    size_t m_call = 0;
    size_t m_at = 0;
};

class cCheckedResponse : public cHttpResponse
{
public:
    bool OnData(const u8* bytes, u32 count, u64 offset) override
    {
        if (offset != m_delivered) {
            std::abort(); // a gap or an overlap
        }
        m_delivered += count;
        if (m_chunked == 0 && m_contentLength >= 0 && m_delivered > u64(m_contentLength)) {
            std::abort(); // bytes past the announced length
        }
        m_body.append(reinterpret_cast<const char*>(bytes), count);
        return true;
    }
    u64 m_delivered = 0;
    std::string m_body;
};

struct sOutcome
{
    bool m_ok;
    i32 m_status;
    i64 m_length;
    std::string m_body;
    bool operator==(const sOutcome&) const = default;
};

sOutcome Run(const u8* data, size_t size, std::vector<size_t> pieces)
{
    cPieceStream stream(data, size, std::move(pieces));
    cCheckedResponse response;
    const bool ok = ReceiveResponse(response, &stream);
    return {ok, response.m_status, response.m_contentLength, response.m_body};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    if (size == 0 || size > (1u << 20)) {
        return 0;
    }
    const size_t count = data[0] & 15;
    if (size < 1 + count) {
        return 0;
    }
    std::vector<size_t> pieces;
    for (size_t i = 0; i < count; ++i) {
        pieces.push_back(size_t(data[1 + i]) + 1);
    }
    if (pieces.empty()) {
        pieces.push_back(1);
    }
    const u8* response = data + 1 + count;
    const size_t length = size - 1 - count;
    if (!(Run(response, length, pieces) == Run(response, length, {size_t(1) << 30}))) {
        std::abort(); // the outcome depends on how the bytes were cut
    }
    return 0;
}

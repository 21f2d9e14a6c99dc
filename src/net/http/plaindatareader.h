#pragma once
// A response receiver that keeps a small body in memory: the update service's answer.
#include "base/memio.h"
#include "net/http/httpresponse.h"

// The largest body taken (64 KB).
inline constexpr i64 kMaxPlainDataLength = 0x10000;

class cPlainDataReader : public cHttpResponse
{
public:
    // Appends at the end, whatever the offset; true when every byte was kept.
    bool OnData(const u8* bytes, u32 count, u64 offset) override;
    // Accepts only status 200 with a Content-Length of 1..64 KB, so a chunked answer
    // (length unknown until its end) or one without a length is refused. Empties the body.
    bool OnHeadersDone() override;

    // The body received; the caller frees the block (see sMemBlock).
    [[nodiscard]] bool GetBody(sMemBlock& out) { return m_body.GetContents(out); }

private:
    cMemIOTarget m_body;
};

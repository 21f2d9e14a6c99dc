#pragma once
// The receiving side of one HTTP/1.x exchange: the response receiver with its hooks, the
// header parser, the body loop and the chunked-transfer decoder (RFC 9112 6-7).
//
// Callers derive a receiver, and get the body through OnData as it arrives. A failure
// of either hook, of the peer or of the parser ends the exchange with false.
#include "net/http/exchangefailure.h"
#include "base/keytree.h"
#include "base/packedkey.h"
#include "base/streams.h"
#include "base/texts.h"

// Header block limits: beyond them the exchange fails.
inline constexpr u32 kMaxHeaderLines = 256;
inline constexpr u32 kMaxHeaderBytes = 64 * 1024;
// The largest Content-Length or chunk size taken (2^62).
inline constexpr u64 kMaxHttpBodyLength = u64(1) << 62;

class cHttpResponse
{
public:
    cHttpResponse();
    cHttpResponse(const cHttpResponse&) = delete;
    cHttpResponse& operator=(const cHttpResponse&) = delete;

    // Clears the headers, the status (0), the content length (-1) and the parse and chunk
    // state; called once at the start of each response.
    virtual void Reset();
    // Body bytes at decoded body `offset`. The base accepts.
    virtual bool OnData(const u8* bytes, u32 count, u64 offset);
    // Called once when the header block has been parsed. The base accepts.
    virtual bool OnHeadersDone();
    virtual ~cHttpResponse();

    i32 m_status = 0;          // 0 until a status line was read
    // Why ReceiveResponse failed; the first reason is kept.
    eExchangeFailure m_failure = eExchangeFailure::None;
    i64 m_contentLength = 0;   // -1 unknown (no header, or chunked before the last chunk)
    u8 m_chunked = 0;          // the last transfer coding named is "chunked"
    u8 m_transferCodings = 0;  // transfer codings named (saturates at 255)
    // Header name as received -> value; the last of repeated headers wins.
    _keytree<sPackedKey, _guardchar<char>> m_headers;

    // Chunked decoding state; every field survives from one buffer to the next.
    u64 m_chunkSize = 0;   // size line accumulator
    u64 m_chunkLeft = 0;   // data bytes left in the open chunk
    u8 m_chunkStage = 0;   // where in the chunk framing the next byte falls (httpresponse.cpp)
    u8 m_sizeDigits = 0;   // hex digits seen on the size line

    // Header block accounting against the limits above.
    u32 m_headerLines = 0;
    u32 m_headerBytes = 0;
};

// Parses the complete lines at the start of `bytes`: a line is complete once its "\n" is
// present. In: `count` bytes available; out: bytes consumed. Interim (1xx) answers are
// read and dropped (RFC 9110 15.2); `inHeaders` is cleared at the empty line of the final
// one. False for a bare LF or CR, a bad status line, header line or Content-Length, a
// header block past the limits, and (with the reason kept) transfer codings other than a
// lone "chunked".
[[nodiscard]] bool ParseResponseHeaders(cHttpResponse& response, const u8* bytes, u32& count,
                                        bool& inHeaders);

// Delivers `count` body bytes (chunked: decodes them) to OnData, advancing `offset`. Bytes
// past a known length are dropped. False when a hook refuses or a chunk line is bad.
[[nodiscard]] bool DecodeResponseBody(cHttpResponse& response, const u8* bytes, u32 count,
                                      u64& offset);

// Reads one response from `stream` into `response`. True when the body ended where its
// length says (or, without a length, where the stream ended); a stream that ends before a
// whole header block, even before any byte, fails. The stream cannot tell a close from a
// time-out: the exchange asks its transport why the stream ended.
[[nodiscard]] bool ReceiveResponse(cHttpResponse& response, cFileIOTarget* stream);

// The value of the header named exactly "Location", or null.
const char* GetLocationHeader(const cHttpResponse& response);

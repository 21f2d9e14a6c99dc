#include "net/http/httpresponse.h"

#include "base/buffers.h"

#include <cstring>

namespace {

constexpr u32 kReceiveBufferSize = 64 * 1024;

bool IsDigit(u8 byte) { return byte >= '0' && byte <= '9'; }
bool IsBlankSpace(u8 byte) { return byte == ' ' || byte == '\t'; }

i32 HexValue(u8 byte)
{
    if (IsDigit(byte)) return byte - '0';
    if (byte >= 'a' && byte <= 'f') return byte - 'a' + 10;
    if (byte >= 'A' && byte <= 'F') return byte - 'A' + 10;
    return -1;
}

// "HTTP/1.x NNN": the minor version and the separator are not checked.
bool ParseStatusLine(cHttpResponse& response, const u8* line, u32 length)
{
    if (length < 12 || std::memcmp(line, "HTTP/1.", 7) != 0 || !IsDigit(line[9]) ||
        !IsDigit(line[10]) || !IsDigit(line[11])) {
        return false;
    }
    response.m_status = (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
    return response.m_status != 0;
}

// Content-Length = 1*DIGIT (RFC 9110 8.6); signs, "0x" and junk are refused.
bool ParseContentLength(const u8* value, u32 length, i64& out)
{
    if (length == 0) {
        return false;
    }
    u64 total = 0;
    for (u32 i = 0; i < length; ++i) {
        if (!IsDigit(value[i])) {
            return false;
        }
        total = total * 10 + u64(value[i] - '0');
        if (total > kMaxHttpBodyLength) {
            return false;
        }
    }
    out = static_cast<i64>(total);
    return true;
}

bool ContainsChunked(const u8* value, u32 length)
{
    static constexpr char kWord[] = "chunked";
    constexpr u32 kWordLength = sizeof(kWord) - 1;
    for (u32 i = 0; i + kWordLength <= length; ++i) {
        if (std::memcmp(value + i, kWord, kWordLength) == 0) {
            return true;
        }
    }
    return false;
}

bool ParseHeaderLine(cHttpResponse& response, const u8* line, u32 length)
{
    const u8* colon = static_cast<const u8*>(std::memchr(line, ':', length));
    if (colon == nullptr || colon == line) {
        return false;
    }
    const u32 nameLength = static_cast<u32>(colon - line);
    // RFC 9110 5.5: the field value is trimmed of surrounding whitespace.
    u32 start = nameLength + 1;
    u32 end = length;
    while (start < end && IsBlankSpace(line[start])) {
        ++start;
    }
    while (end > start && IsBlankSpace(line[end - 1])) {
        --end;
    }
    const u8* value = line + start;
    const u32 valueLength = end - start;

    sPackedKey key;
    if (!key.InitFromBytes(reinterpret_cast<const char*>(line), nameLength)) {
        return false;
    }
    _guardchar<char>* slot = response.m_headers.GetOrAdd(key);
    if (slot == nullptr || !slot->AssignN(reinterpret_cast<const char*>(value), valueLength)) {
        return false;
    }
    const char* name = reinterpret_cast<const char*>(line);
    if (nameLength == 14 && CompareNarrowNoCaseN(name, "Content-Length", 14) == 0) {
        // RFC 9112 6.3: differing Content-Length values make the framing unknowable, so
        // the answer is refused; equal duplicates are harmless.
        i64 length = -1;
        if (!ParseContentLength(value, valueLength, length) ||
            (response.m_contentLength >= 0 && response.m_contentLength != length)) {
            return false;
        }
        response.m_contentLength = length;
        return true;
    }
    if (nameLength == 17 && CompareNarrowNoCaseN(name, "Transfer-Encoding", 17) == 0 &&
        ContainsChunked(value, valueLength)) {
        response.m_chunked = 1;
    }
    return true;
}

// The end of the header block (RFC 9112 6.3): a 1xx, 204 or 304 answer has no body,
// whatever its headers say; a chunked body's length is unknown until its last chunk,
// whatever a Content-Length said.
void FinishHeaders(cHttpResponse& response)
{
    const i32 status = response.m_status;
    if ((status >= 100 && status < 200) || status == 204 || status == 304) {
        response.m_chunked = 0;
        response.m_contentLength = 0;
    } else if (response.m_chunked != 0) {
        response.m_contentLength = -1;
    }
}

// Keeps `reason` unless one is kept already; false.
bool Refuse(cHttpResponse& response, eExchangeFailure reason)
{
    if (response.m_failure == eExchangeFailure::None) {
        response.m_failure = reason;
    }
    return false;
}

// Delivers `count` bytes to OnData at `offset`, advancing it.
bool Deliver(cHttpResponse& response, const u8* bytes, u32 count, u64& offset)
{
    if (count == 0) {
        return true;
    }
    if (!response.OnData(bytes, count, offset)) {
        return Refuse(response, eExchangeFailure::StoppedByReceiver);
    }
    offset += count;
    return true;
}

bool DecodeChunked(cHttpResponse& response, const u8* bytes, u32 count, u64& offset)
{
    u32 at = 0;
    while (at < count && response.m_lastChunk == 0) {
        if (response.m_skip > 0) {
            const u32 skipped = count - at < u32(response.m_skip) ? count - at : u32(response.m_skip);
            at += skipped;
            response.m_skip -= static_cast<i32>(skipped);
            continue;
        }
        if (response.m_expectLf != 0) {
            if (bytes[at] != '\n') {
                return false;
            }
            ++at;
            response.m_expectLf = 0;
            continue;
        }
        if (response.m_chunkLeft > 0) {
            const u64 available = count - at;
            const u32 piece = static_cast<u32>(available < response.m_chunkLeft ? available
                                                                                : response.m_chunkLeft);
            if (!Deliver(response, bytes + at, piece, offset)) {
                return false;
            }
            at += piece;
            response.m_chunkLeft -= piece;
            if (response.m_chunkLeft == 0) {
                response.m_skip = 2; // the CRLF after the data
            }
            continue;
        }
        // The chunk-size line: hex digits up to "\r". Extensions are not accepted.
        const u8 byte = bytes[at++];
        if (byte == '\r') {
            if (response.m_sizeDigits == 0) {
                return false;
            }
            const u64 size = response.m_chunkSize;
            response.m_chunkSize = 0;
            response.m_sizeDigits = 0;
            if (size == 0) {
                // The last chunk: the body ends here; trailers are not read.
                response.m_lastChunk = 1;
                response.m_contentLength = static_cast<i64>(offset);
                return true;
            }
            response.m_chunkLeft = size;
            response.m_expectLf = 1;
            continue;
        }
        const i32 digit = HexValue(byte);
        if (digit < 0 || response.m_chunkSize > (kMaxHttpBodyLength >> 4)) {
            return false;
        }
        response.m_chunkSize = (response.m_chunkSize << 4) | u64(digit);
        if (response.m_sizeDigits < 255) {
            ++response.m_sizeDigits;
        }
    }
    return true;
}

} // namespace

cHttpResponse::cHttpResponse() : m_headers(1024) {}

cHttpResponse::~cHttpResponse() = default;

void cHttpResponse::Reset()
{
    m_headers.Clear();
    m_status = 0;
    m_failure = eExchangeFailure::None;
    m_contentLength = -1;
    m_chunked = 0;
    m_chunkSize = 0;
    m_chunkLeft = 0;
    m_skip = 0;
    m_sizeDigits = 0;
    m_expectLf = 0;
    m_lastChunk = 0;
    m_headerLines = 0;
    m_headerBytes = 0;
}

bool cHttpResponse::OnData(const u8* bytes, u32 count, u64 offset) { return true; }

bool cHttpResponse::OnHeadersDone() { return true; }

bool ParseResponseHeaders(cHttpResponse& response, const u8* bytes, u32& count, bool& inHeaders)
{
    u32 at = 0;
    while (inHeaders && at < count) {
        const u8* cr = static_cast<const u8*>(std::memchr(bytes + at, '\r', count - at));
        // A line is complete only once the byte after its "\r" has come: it is skipped.
        if (cr == nullptr || u32(cr - bytes) + 1 >= count) {
            break;
        }
        const u32 lineLength = static_cast<u32>(cr - (bytes + at));
        const u32 next = static_cast<u32>(cr - bytes) + 2;
        response.m_headerBytes += next - at;
        ++response.m_headerLines;
        if (response.m_headerBytes > kMaxHeaderBytes || response.m_headerLines > kMaxHeaderLines) {
            return false;
        }
        const u8* line = bytes + at;
        if (response.m_status == 0) {
            if (!ParseStatusLine(response, line, lineLength)) {
                return false;
            }
        } else if (lineLength == 0) {
            inHeaders = false;
            FinishHeaders(response);
        } else if (!ParseHeaderLine(response, line, lineLength)) {
            return false;
        }
        at = next;
    }
    count = at;
    return true;
}

bool DecodeResponseBody(cHttpResponse& response, const u8* bytes, u32 count, u64& offset)
{
    if (response.m_chunked != 0) {
        return DecodeChunked(response, bytes, count, offset);
    }
    // Bytes beyond a known length never reach the receiver.
    u32 usable = count;
    if (response.m_contentLength >= 0) {
        const u64 length = static_cast<u64>(response.m_contentLength);
        const u64 left = offset < length ? length - offset : 0;
        usable = left < count ? static_cast<u32>(left) : count;
    }
    return Deliver(response, bytes, usable, offset);
}

bool ReceiveResponse(cHttpResponse& response, cFileIOTarget* stream)
{
    response.Reset();
    if (stream == nullptr || !stream->IsOpen()) {
        return Refuse(response, eExchangeFailure::ClosedEarly);
    }
    _typebuf<u8> buffer;
    if (!buffer.Alloc(kReceiveBufferSize)) {
        return Refuse(response, eExchangeFailure::OutOfMemory);
    }
    u8* data = buffer.GetData();
    bool inHeaders = true;
    bool receivedAny = false;
    u64 offset = 0;
    u32 fill = 0;
    for (;;) {
        // The header phase always reads; the body phase decodes the bytes it holds before
        // it reads again (on a keep-alive connection the last chunk may already be here,
        // and no more bytes come), and reads only while the known length is not reached
        // (an unknown length of -1 never stops it).
        const bool wantRead =
            inHeaders || (fill == 0 && offset < static_cast<u64>(response.m_contentLength));
        bool ended = !stream->IsOpen();
        if (!ended && wantRead && fill < kReceiveBufferSize) {
            const u32 got = stream->Read(data + fill, kReceiveBufferSize - fill);
            ended = got == 0;
            fill += got;
            receivedAny = receivedAny || got != 0;
        }
        if (fill == 0) {
            if (inHeaders) {
                // A peer that closes before any byte: true with status 0. After the status
                // line, a header block cut short fails.
                return !receivedAny || Refuse(response, eExchangeFailure::ClosedEarly);
            }
            // A chunked body cut before its last chunk, or one short of its length.
            const bool whole = response.m_chunked == 0 && response.m_contentLength <= 0;
            return whole || Refuse(response, eExchangeFailure::ClosedEarly);
        }
        if (inHeaders) {
            u32 consumed = fill;
            if (!ParseResponseHeaders(response, data, consumed, inHeaders)) {
                return Refuse(response, eExchangeFailure::MalformedAnswer);
            }
            if (consumed == 0) {
                if (ended) {
                    return Refuse(response, eExchangeFailure::ClosedEarly); // a line cut short
                }
                if (fill == kReceiveBufferSize) {
                    return Refuse(response, eExchangeFailure::MalformedAnswer); // a line too long
                }
                continue;
            }
            std::memmove(data, data + consumed, fill - consumed);
            fill -= consumed;
            if (!inHeaders && !response.OnHeadersDone()) {
                return Refuse(response, eExchangeFailure::StoppedByReceiver);
            }
            if (inHeaders && ended) {
                return Refuse(response, eExchangeFailure::ClosedEarly);
            }
            continue;
        }
        if (!DecodeResponseBody(response, data, fill, offset)) {
            return Refuse(response, eExchangeFailure::MalformedAnswer); // unless the receiver refused
        }
        fill = 0;
        if (response.m_contentLength >= 0 && offset >= static_cast<u64>(response.m_contentLength)) {
            return true;
        }
        if (ended) {
            const bool whole = response.m_chunked == 0 && response.m_contentLength < 0;
            return whole || Refuse(response, eExchangeFailure::ClosedEarly);
        }
    }
}

const char* GetLocationHeader(const cHttpResponse& response)
{
    sPackedKey key;
    if (!key.InitFromBytes("Location")) {
        return nullptr;
    }
    const auto* node = response.m_headers.Find(key);
    return node != nullptr ? node->GetValue().Get() : nullptr;
}

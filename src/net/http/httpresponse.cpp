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

// status-line = HTTP-version SP status-code SP [ reason-phrase ] (RFC 9112 4), the code
// exactly three digits; the minor version is not checked. Some servers leave out the SP
// before an empty reason: accepted.
bool ParseStatusLine(cHttpResponse& response, const u8* line, u32 length)
{
    if (length < 12 || std::memcmp(line, "HTTP/1.", 7) != 0 || line[8] != ' ' || !IsDigit(line[9]) ||
        !IsDigit(line[10]) || !IsDigit(line[11]) || (length > 12 && line[12] != ' ')) {
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

// Transfer-Encoding = #transfer-coding (RFC 9112 6.1): counts the codings of one field
// line and notes whether the last is "chunked", compared without case (RFC 9112 7). A
// field without any coding counts as one that is not chunked.
void NoteTransferCodings(cHttpResponse& response, const u8* value, u32 length)
{
    u32 named = 0;
    u32 at = 0;
    while (at < length) {
        while (at < length && (IsBlankSpace(value[at]) || value[at] == ',')) {
            ++at;
        }
        const u32 start = at;
        while (at < length && value[at] != ',' && value[at] != ';' && !IsBlankSpace(value[at])) {
            ++at;
        }
        if (at > start) {
            ++named;
            response.m_chunked = at - start == 7 &&
                                 CompareNarrowNoCaseN(reinterpret_cast<const char*>(value + start), "chunked", 7) == 0;
        }
        while (at < length && value[at] != ',') { // parameters of the coding
            ++at;
        }
    }
    if (named == 0) {
        named = 1;
        response.m_chunked = 0;
    }
    const u32 total = response.m_transferCodings + named;
    response.m_transferCodings = static_cast<u8>(total < 255 ? total : 255);
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
    if (nameLength == 17 && CompareNarrowNoCaseN(name, "Transfer-Encoding", 17) == 0) {
        NoteTransferCodings(response, value, valueLength);
    }
    return true;
}

// Keeps `reason` unless one is kept already; false.
bool Refuse(cHttpResponse& response, eExchangeFailure reason)
{
    if (response.m_failure == eExchangeFailure::None) {
        response.m_failure = reason;
    }
    return false;
}

// The end of the header block (RFC 9112 6.3): a 204 or 304 answer has no body, whatever
// its headers say; a chunked body's length is unknown until its last chunk, whatever a
// Content-Length said. Only "chunked" alone can be undone here: a body under any other
// transfer coding, or under more than one, is refused.
bool FinishHeaders(cHttpResponse& response)
{
    const i32 status = response.m_status;
    if (status == 204 || status == 304) {
        response.m_chunked = 0;
        response.m_contentLength = 0;
        return true;
    }
    if (response.m_transferCodings != 0 && (response.m_transferCodings != 1 || response.m_chunked == 0)) {
        return Refuse(response, eExchangeFailure::UnsupportedCoding);
    }
    if (response.m_chunked != 0) {
        response.m_contentLength = -1;
    }
    return true;
}

// An interim answer's fields are dropped; its lines still count against the limits, so
// an endless run of them ends the exchange.
void ForgetInterimAnswer(cHttpResponse& response)
{
    response.m_headers.Clear();
    response.m_status = 0;
    response.m_contentLength = -1;
    response.m_chunked = 0;
    response.m_transferCodings = 0;
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

// Where the next byte of a chunked body falls (RFC 9112 7.1):
//   chunk = chunk-size [ chunk-ext ] CRLF chunk-data CRLF
enum eChunkStage : u8 {
    kChunkSize,      // hex digits of the size line
    kChunkExtension, // after the digits: extensions, ignored up to the CR (RFC 9112 7.1.1)
    kChunkSizeLf,    // the size line's LF
    kChunkData,
    kChunkDataCr,    // the CRLF after the data
    kChunkDataLf,
    kChunkDone,      // the last chunk was seen; trailers are not read
};

bool DecodeChunked(cHttpResponse& response, const u8* bytes, u32 count, u64& offset)
{
    u32 at = 0;
    while (at < count && response.m_chunkStage != kChunkDone) {
        if (response.m_chunkStage == kChunkData) {
            const u64 available = count - at;
            const u32 piece = static_cast<u32>(available < response.m_chunkLeft ? available
                                                                                : response.m_chunkLeft);
            if (!Deliver(response, bytes + at, piece, offset)) {
                return false;
            }
            at += piece;
            response.m_chunkLeft -= piece;
            if (response.m_chunkLeft == 0) {
                response.m_chunkStage = kChunkDataCr;
            }
            continue;
        }
        const u8 byte = bytes[at++];
        switch (response.m_chunkStage) {
        case kChunkDataCr:
            if (byte != '\r') {
                return false;
            }
            response.m_chunkStage = kChunkDataLf;
            break;
        case kChunkSizeLf:
        case kChunkDataLf:
            if (byte != '\n') {
                return false;
            }
            if (response.m_chunkStage == kChunkDataLf) {
                response.m_chunkStage = kChunkSize;
            } else if (response.m_chunkLeft == 0) {
                // The last chunk: the body ends here.
                response.m_chunkStage = kChunkDone;
                response.m_contentLength = static_cast<i64>(offset);
                return true;
            } else {
                response.m_chunkStage = kChunkData;
            }
            break;
        case kChunkExtension:
            if (byte == '\n') {
                return false; // a bare LF
            }
            if (byte == '\r') {
                response.m_chunkStage = kChunkSizeLf;
            }
            break;
        default: { // kChunkSize
            if (response.m_sizeDigits != 0 && (byte == '\r' || byte == ';' || IsBlankSpace(byte))) {
                response.m_chunkLeft = response.m_chunkSize;
                response.m_chunkSize = 0;
                response.m_sizeDigits = 0;
                response.m_chunkStage = byte == '\r' ? kChunkSizeLf : kChunkExtension;
                break;
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
    m_transferCodings = 0;
    m_chunkSize = 0;
    m_chunkLeft = 0;
    m_chunkStage = kChunkSize;
    m_sizeDigits = 0;
    m_headerLines = 0;
    m_headerBytes = 0;
}

bool cHttpResponse::OnData(const u8* bytes, u32 count, u64 offset) { return true; }

bool cHttpResponse::OnHeadersDone() { return true; }

bool ParseResponseHeaders(cHttpResponse& response, const u8* bytes, u32& count, bool& inHeaders)
{
    u32 at = 0;
    while (inHeaders && at < count) {
        const u8* lf = static_cast<const u8*>(std::memchr(bytes + at, '\n', count - at));
        if (lf == nullptr) {
            break;
        }
        // RFC 9112 2.2: every line ends in CRLF; a bare LF or a CR elsewhere is refused.
        const u32 end = static_cast<u32>(lf - bytes);
        if (end == at || bytes[end - 1] != '\r') {
            return false;
        }
        const u8* line = bytes + at;
        const u32 lineLength = end - 1 - at;
        if (std::memchr(line, '\r', lineLength) != nullptr) {
            return false;
        }
        const u32 next = end + 1;
        response.m_headerBytes += next - at;
        ++response.m_headerLines;
        if (response.m_headerBytes > kMaxHeaderBytes || response.m_headerLines > kMaxHeaderLines) {
            return false;
        }
        if (response.m_status == 0) {
            if (!ParseStatusLine(response, line, lineLength)) {
                return false;
            }
        } else if (lineLength != 0) {
            if (!ParseHeaderLine(response, line, lineLength)) {
                return false;
            }
        } else if (response.m_status < 200) {
            ForgetInterimAnswer(response);
        } else {
            inHeaders = false;
            if (!FinishHeaders(response)) {
                return false;
            }
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
        }
        if (fill == 0) {
            if (inHeaders) {
                // No answer, or a header block cut short.
                return Refuse(response, eExchangeFailure::ClosedEarly);
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

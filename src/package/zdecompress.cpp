#include "package/zdecompress.h"

#include <algorithm>
#include <climits>

namespace {

// The zlib format with a 32 KB window (RFC 1950 2.2: CINFO 7).
constexpr int kWindowBits = 15;
// InflateStep's flush mode. Its value is Z_FULL_FLUSH, which inflate does not tell apart from
// Z_SYNC_FLUSH: it returns as much output as fits and never asks for more input first.
constexpr int kStepFlush = Z_FULL_FLUSH;
constexpr u32 kOutputChunk = 64 * 1024;

} // namespace

cZDecompress::~cZDecompress()
{
    if (m_initialised) {
        inflateEnd(&m_stream);
    }
}

bool cZDecompress::EnsureInitialised()
{
    if (!m_initialised) {
        m_initialised = inflateInit2(&m_stream, kWindowBits) == Z_OK;
    }
    return m_initialised;
}

bool cZDecompress::ResetInflateStream()
{
    return m_initialised && inflateReset(&m_stream) == Z_OK;
}

bool cZDecompress::InflateStep(const u8* input, u32& inputCount, u8* output, u32& outputCount)
{
    if (!EnsureInitialised()) {
        inputCount = 0;
        outputCount = 0;
        return false;
    }
    if (input != nullptr) {
        m_stream.next_in = const_cast<Bytef*>(input);
        m_stream.avail_in = inputCount;
    } else if (m_stream.avail_in == 0) {
        inputCount = 0;
        outputCount = 0;
        return true;
    }
    const uInt inputBefore = m_stream.avail_in;
    m_stream.next_out = output;
    m_stream.avail_out = outputCount;
    const int answer = inflate(&m_stream, kStepFlush);
    inputCount = inputBefore - m_stream.avail_in;
    outputCount -= m_stream.avail_out;
    return answer == Z_OK || answer == Z_STREAM_END;
}

bool cZDecompress::Decompress(const void* data, u64 count, cMemIOTarget& target,
                              u64 outputLimit)
{
    if (data == nullptr || count == 0) {
        return false;
    }
    if (!EnsureInitialised() || inflateReset(&m_stream) != Z_OK) {
        return false;
    }
    auto next = static_cast<const u8*>(data);
    u64 inputLeft = count;
    u64 produced = 0;
    u8 chunk[kOutputChunk];
    for (;;) {
        // avail_in is 32 bits wide: feed larger blocks in slices.
        if (m_stream.avail_in == 0 && inputLeft > 0) {
            const uInt slice = uInt(std::min<u64>(inputLeft, UINT_MAX));
            m_stream.next_in = const_cast<Bytef*>(next);
            m_stream.avail_in = slice;
            next += slice;
            inputLeft -= slice;
        }
        m_stream.next_out = chunk;
        m_stream.avail_out = kOutputChunk;
        const int answer = inflate(&m_stream, Z_NO_FLUSH);
        const u32 piece = kOutputChunk - m_stream.avail_out;
        if (piece > outputLimit - produced) {
            return false;
        }
        produced += piece;
        if (!target.WriteExact(chunk, piece)) {
            return false;
        }
        if (answer == Z_STREAM_END) {
            return true;
        }
        // Z_BUF_ERROR here means the input ran out before the end of the stream.
        if (answer != Z_OK) {
            return false;
        }
    }
}

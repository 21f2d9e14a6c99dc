#pragma once
// Decompressor objects. cZDecompress inflates zlib streams (RFC 1950 around RFC 1951 deflate
// data) in two ways: a whole block into a memory stream, or step by step over a caller's
// buffers as the PNG reader feeds it image data chunk by chunk.
#include "base/memio.h"
#include "base/types.h"

#include <zlib.h>

class cDecompress
{
public:
    // No limit on the size of the decompressed data.
    static constexpr u64 kNoOutputLimit = ~u64(0);

    virtual ~cDecompress() = default;

    // Which decompressor this is: 0 for none in particular, 2 for zlib.
    virtual i32 GetKind() { return 0; }
    // Decompresses a whole block and writes the result at the target's position. False on
    // corrupt or truncated data, when the result would exceed `outputLimit` bytes, or when the
    // target refuses a write; the target may then hold part of the output.
    [[nodiscard]] virtual bool Decompress(const void* data, u64 count, cMemIOTarget& target,
                                          u64 outputLimit = kNoOutputLimit) = 0;

    void Delete() { delete this; }
};

class cZDecompress : public cDecompress
{
public:
    cZDecompress() = default;
    ~cZDecompress() override;
    // zlib keeps a pointer back to its z_stream, so the object cannot move.
    cZDecompress(const cZDecompress&) = delete;
    cZDecompress& operator=(const cZDecompress&) = delete;

    i32 GetKind() override { return 2; }
    // The stream must end (Z_STREAM_END) within `count` bytes; bytes after its end are
    // ignored. The inflate state is the one InflateStep uses: it is reset first.
    [[nodiscard]] bool Decompress(const void* data, u64 count, cMemIOTarget& target,
                                  u64 outputLimit = kNoOutputLimit) override;

    // One inflate call. A non-null `input` replaces any input left from the previous call, so
    // the caller passes the unconsumed rest again; with a null input the pending input is
    // used, and when none is pending both counts become 0 and the answer is true. On return
    // `inputCount` holds the bytes consumed and `outputCount` the bytes produced. True when
    // zlib answered Z_OK or Z_STREAM_END; false for any other answer, Z_BUF_ERROR (no progress
    // possible) included. The stream is initialised on first use.
    [[nodiscard]] bool InflateStep(const u8* input, u32& inputCount, u8* output,
                                   u32& outputCount);
    // Starts a new stream. False when the stream was never initialised or zlib refuses.
    [[nodiscard]] bool ResetInflateStream();

private:
    [[nodiscard]] bool EnsureInitialised();

    z_stream m_stream{}; // zero-filled: zlib takes null allocators as "use malloc"
    bool m_initialised = false;
};

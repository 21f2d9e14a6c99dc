#pragma once
// A read-only stream over one archive entry's uncompressed data, decoded as it is read.
//
// The archive stream is shared by every entry stream and the caller, so each read seeks it
// to this entry's compressed position first. Seeking forward decodes and discards;
// seeking back restarts the decoder. The CRC-32 of the delivered bytes is checked when the
// last byte is produced: a mismatch fails that read.
#include "base/streams.h"
#include "base/types.h"

#include <memory>

enum : u16
{
    kZipMethodStored = 0,
    kZipMethodDeflate = 8,
    kZipMethodBzip2 = 12,
    kZipMethodLzma = 14,
};

struct sZipDecoder;

class cDecompressIOTarget : public cFileIOTarget
{
public:
    // Over `compressedSize` bytes at `dataStart` of `archive` that decode to `size` bytes
    // with `crc`; `method` is one of the kZipMethod values and `flags` the entry's
    // general-purpose flags.
    cDecompressIOTarget(cFileIOTarget* archive, u64 dataStart, u64 compressedSize, u64 size,
                        u32 crc, u16 method, u16 flags);
    ~cDecompressIOTarget() override;

    // Sets up the decoder; false for an unsupported method or when memory is short.
    [[nodiscard]] bool Begin();

    u64 GetSize() override { return m_size; }
    u32 Read(void* buffer, u32 length) override;
    bool Seek(u64 position) override;
    u64 GetPosition() override { return m_position; }
    bool IsOpen() override { return m_archive != nullptr && m_archive->IsOpen(); }

private:
    bool Restart();
    // Decodes up to `length` bytes into `out`; the count produced (0 at the end or on an
    // error, which also sets m_failed).
    u32 Decode(u8* out, u32 length);
    bool FillInput();

    cFileIOTarget* m_archive;
    u64 m_dataStart;
    u64 m_compressedSize;
    u64 m_size;
    u32 m_expectedCrc;
    u16 m_method;
    u16 m_flags;

    std::unique_ptr<sZipDecoder> m_decoder;
    std::unique_ptr<u8[]> m_input;
    u32 m_inputAvailable = 0;
    u32 m_inputOffset = 0;
    u64 m_compressedRead = 0; // compressed bytes taken from the archive
    u64 m_position = 0;       // uncompressed bytes delivered
    u32 m_crc = 0;
    bool m_failed = false;
};

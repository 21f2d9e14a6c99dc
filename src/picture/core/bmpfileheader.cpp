#include "picture/core/bmpfileheader.h"

namespace {

constexpr u32 kBmpFileHeaderSize = 14;
constexpr u32 kCoreHeaderSize = 12;
constexpr u32 kSmallestDataOffset = kBmpFileHeaderSize + 40;
constexpr u32 kSmallestCoreDataOffset = kBmpFileHeaderSize + kCoreHeaderSize;

u32 ReadU32LE(const u8* p)
{
    return u32(p[0]) | u32(p[1]) << 8 | u32(p[2]) << 16 | u32(p[3]) << 24;
}

// An offset below 54 is only room enough for the core header; the header size decides.
bool DataOffsetLeavesRoom(cFileIOTarget* stream, u32 dataOffset)
{
    if (dataOffset >= kSmallestDataOffset) {
        return true;
    }
    u8 headerSize[4];
    const bool core = dataOffset >= kSmallestCoreDataOffset &&
                      stream->ReadExact(headerSize, sizeof headerSize) &&
                      ReadU32LE(headerSize) == kCoreHeaderSize;
    return stream->Seek(kBmpFileHeaderSize) && core;
}

} // namespace

bool ReadBmpFileHeader(cFileIOTarget* stream, u32* fileSize, u32* dataOffset)
{
    u8 header[kBmpFileHeaderSize];
    if (stream == nullptr || !stream->Seek(0) || !stream->ReadExact(header, sizeof header)) {
        return false;
    }
    const u32 size = ReadU32LE(header + 2);
    const u32 reserved = ReadU32LE(header + 6);
    const u32 offset = ReadU32LE(header + 10);
    if (header[0] != 'B' || header[1] != 'M' || reserved != 0 || offset > size ||
        !DataOffsetLeavesRoom(stream, offset)) {
        return false;
    }
    if (fileSize != nullptr) {
        *fileSize = size;
        *dataOffset = offset;
    }
    return true;
}

bool BmpFileHeaderOk(cFileIOTarget* stream)
{
    return ReadBmpFileHeader(stream, nullptr, nullptr);
}

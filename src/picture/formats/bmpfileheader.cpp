#include "picture/formats/bmpfileheader.h"

#include "base/byteorder.h"

namespace {

constexpr u32 kBmpFileHeaderSize = 14;
constexpr u32 kCoreHeaderSize = 12;
constexpr u32 kSmallestDataOffset = kBmpFileHeaderSize + 40;
constexpr u32 kSmallestCoreDataOffset = kBmpFileHeaderSize + kCoreHeaderSize;

// An offset below 54 is only room enough for the core header; the header size decides.
bool DataOffsetLeavesRoom(cFileIOTarget* stream, u32 dataOffset)
{
    if (dataOffset >= kSmallestDataOffset) {
        return true;
    }
    u8 headerSize[4];
    const bool core = dataOffset >= kSmallestCoreDataOffset &&
                      stream->ReadExact(headerSize, sizeof headerSize) &&
                      LoadLe32(headerSize) == kCoreHeaderSize;
    return stream->Seek(kBmpFileHeaderSize) && core;
}

} // namespace

bool ReadBmpFileHeader(cFileIOTarget* stream, u32* fileSize, u32* dataOffset)
{
    u8 header[kBmpFileHeaderSize];
    if (stream == nullptr || !stream->Seek(0) || !stream->ReadExact(header, sizeof header)) {
        return false;
    }
    const u32 size = LoadLe32(header + 2);
    const u32 reserved = LoadLe32(header + 6);
    const u32 offset = LoadLe32(header + 10);
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

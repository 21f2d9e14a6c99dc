#include "picture/core/bmpfileheader.h"

namespace {

constexpr u32 kBmpFileHeaderSize = 14;
constexpr u32 kSmallestDataOffset = kBmpFileHeaderSize + 40;

u32 ReadU32LE(const u8* p)
{
    return u32(p[0]) | u32(p[1]) << 8 | u32(p[2]) << 16 | u32(p[3]) << 24;
}

} // namespace

bool BmpFileHeaderOk(cFileIOTarget* stream)
{
    u8 header[kBmpFileHeaderSize];
    if (stream == nullptr || !stream->Seek(0) || !stream->ReadExact(header, sizeof header)) {
        return false;
    }
    const u32 fileSize = ReadU32LE(header + 2);
    const u32 reserved = ReadU32LE(header + 6);
    const u32 dataOffset = ReadU32LE(header + 10);
    return header[0] == 'B' && header[1] == 'M' && reserved == 0 &&
           dataOffset >= kSmallestDataOffset && dataOffset <= fileSize;
}

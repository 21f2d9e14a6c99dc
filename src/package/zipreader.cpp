#include "package/zipreader.h"

#include "base/byteorder.h"
#include "package/zipmember.h"

#include <algorithm>
#include <memory>
#include <new>

namespace {

// APPNOTE 4.3 record signatures.
constexpr u32 kLocalHeader = 0x04034b50;
constexpr u32 kCentralHeader = 0x02014b50;
constexpr u32 kEndRecord = 0x06054b50;
constexpr u32 kZip64Locator = 0x07064b50;
constexpr u32 kZip64EndRecord = 0x06064b50;

constexpr u32 kEndRecordSize = 22;
constexpr u32 kZip64LocatorSize = 20;
constexpr u32 kZip64EndRecordSize = 56;
constexpr u32 kCentralHeaderSize = 46;
constexpr u32 kLocalHeaderSize = 30;
constexpr u32 kMaxCommentLength = 65535;

bool ReadAt(cFileIOTarget* stream, u64 offset, u8* out, u32 count)
{
    return stream->Seek(offset) && stream->ReadExact(out, count);
}

// The offset of the last end record in the `tailSize` bytes before the end whose 22
// bytes fit; -1 when none.
i64 FindEndRecord(cFileIOTarget* stream, u64 size, u32 tailSize, std::unique_ptr<u8[]>& tail)
{
    tail.reset(new (std::nothrow) u8[tailSize]);
    if (!tail || !ReadAt(stream, size - tailSize, tail.get(), tailSize)) {
        return -1;
    }
    for (i64 at = i64(tailSize) - kEndRecordSize; at >= 0; --at) {
        if (LoadLe32(tail.get() + at) == kEndRecord) {
            return i64(size - tailSize) + at;
        }
    }
    return -1;
}

} // namespace

bool IsZipStream(cFileIOTarget* stream)
{
    if (stream == nullptr) {
        return false;
    }
    const u64 size = stream->GetSize();
    if (size < kEndRecordSize || size == kUnknownStreamSize) {
        return false;
    }
    u8 signature[4];
    if (!ReadAt(stream, 0, signature, 4) || LoadLe32(signature) != kLocalHeader) {
        return false;
    }
    std::unique_ptr<u8[]> tail;
    return FindEndRecord(stream, size, u32(std::min<u64>(size, 1024)), tail) >= 0;
}

i32 cZIPFileContainer::Open(cFileIOTarget* stream, cSiArchTarget* target, i32 flags, void* progress)
{
    m_stream = nullptr;
    if (stream == nullptr || target == nullptr) {
        return kZipNoStream;
    }
    const u64 size = stream->GetSize();
    if (size < kEndRecordSize || size == kUnknownStreamSize) {
        return kZipNoStream;
    }
    std::unique_ptr<u8[]> tail;
    const u32 tailSize = u32(std::min<u64>(size, kMaxCommentLength + kEndRecordSize));
    const i64 endOffset = FindEndRecord(stream, size, tailSize, tail);
    if (endOffset < 0) {
        return kZipNoEndRecord;
    }
    const u8* end = tail.get() + (u64(endOffset) - (size - tailSize));
    // APPNOTE 4.3.16.
    const u16 disk = LoadLe16(end + 4);
    const u16 directoryDisk = LoadLe16(end + 6);
    const u16 entriesOnDisk = LoadLe16(end + 8);
    u64 entries = LoadLe16(end + 10);
    u64 directorySize = LoadLe32(end + 12);
    u64 directoryOffset = LoadLe32(end + 16);
    // ZIP64 (APPNOTE 4.3.14-15): any field at its all-ones value defers to the ZIP64 record.
    const bool zip64 = entries == 0xFFFF || entriesOnDisk == 0xFFFF || directorySize == 0xFFFFFFFF ||
                       directoryOffset == 0xFFFFFFFF || disk == 0xFFFF || directoryDisk == 0xFFFF;
    if (!zip64 && (disk != 0 || directoryDisk != 0 || entriesOnDisk != entries)) {
        return kZipMultiDisk;
    }
    if (zip64) {
        u8 locator[kZip64LocatorSize];
        if (u64(endOffset) < kZip64LocatorSize ||
            !ReadAt(stream, u64(endOffset) - kZip64LocatorSize, locator, kZip64LocatorSize) ||
            LoadLe32(locator) != kZip64Locator) {
            return kZipBadZip64;
        }
        const u64 recordOffset = LoadLe64(locator + 8);
        if (LoadLe32(locator + 4) != 0 || LoadLe32(locator + 16) > 1) {
            return kZipMultiDisk;
        }
        u8 record[kZip64EndRecordSize];
        if (size < kZip64EndRecordSize || recordOffset > size - kZip64EndRecordSize ||
            !ReadAt(stream, recordOffset, record, kZip64EndRecordSize) ||
            LoadLe32(record) != kZip64EndRecord) {
            return kZipBadZip64;
        }
        if (LoadLe32(record + 16) != 0 || LoadLe32(record + 20) != 0 ||
            LoadLe64(record + 24) != LoadLe64(record + 32)) {
            return kZipMultiDisk;
        }
        entries = LoadLe64(record + 32);
        directorySize = LoadLe64(record + 40);
        directoryOffset = LoadLe64(record + 48);
    }

    if (directoryOffset > u64(endOffset) || directorySize > u64(endOffset) - directoryOffset) {
        return kZipBadDirectory;
    }
    if (entries > directorySize / kCentralHeaderSize) {
        return kZipBadDirectory;
    }
    std::unique_ptr<u8[]> directory(new (std::nothrow) u8[size_t(directorySize) + 1]);
    if (!directory) {
        return kZipNoMemory;
    }
    // One read of the whole directory: the walk below makes no further seeks.
    if (directorySize > 0) {
        if (!stream->Seek(directoryOffset)) {
            return kZipBadDirectory;
        }
        u64 done = 0;
        while (done < directorySize) {
            const u32 chunk = u32(std::min<u64>(directorySize - done, 1u << 30));
            if (!stream->ReadExact(directory.get() + done, chunk)) {
                return kZipBadDirectory;
            }
            done += chunk;
        }
    }

    u64 at = 0;
    for (u64 index = 0; index < entries; ++index) {
        // APPNOTE 4.3.12.
        if (directorySize - at < kCentralHeaderSize) {
            return kZipBadEntry;
        }
        const u8* header = directory.get() + at;
        if (LoadLe32(header) != kCentralHeader) {
            return kZipBadEntry;
        }
        const u32 nameLength = LoadLe16(header + 28);
        const u32 extraLength = LoadLe16(header + 30);
        const u32 commentLength = LoadLe16(header + 32);
        const u64 recordSize = u64(kCentralHeaderSize) + nameLength + extraLength + commentLength;
        if (recordSize > directorySize - at) {
            return kZipBadEntry;
        }
        cArchiveFile::sFile file;
        file.m_flags = LoadLe16(header + 8);
        file.m_method = LoadLe16(header + 10);
        file.m_crc = LoadLe32(header + 16);
        file.m_compressedSize = LoadLe32(header + 20);
        file.m_size = LoadLe32(header + 24);
        file.m_localHeaderOffset = LoadLe32(header + 42);
        u32 entryDisk = LoadLe16(header + 34);

        // The ZIP64 extra field (4.5.3) holds, in order, only the fields that are all ones.
        const u8* extra = header + kCentralHeaderSize + nameLength;
        for (u32 offset = 0; offset + 4 <= extraLength;) {
            const u16 id = LoadLe16(extra + offset);
            const u16 length = LoadLe16(extra + offset + 2);
            if (u64(offset) + 4 + length > extraLength) {
                break;
            }
            if (id == 0x0001) {
                const u8* field = extra + offset + 4;
                u32 left = length;
                auto take = [&](u64& value) {
                    if (left >= 8) {
                        value = LoadLe64(field);
                        field += 8;
                        left -= 8;
                    }
                };
                if (file.m_size == 0xFFFFFFFF) {
                    take(file.m_size);
                }
                if (file.m_compressedSize == 0xFFFFFFFF) {
                    take(file.m_compressedSize);
                }
                if (file.m_localHeaderOffset == 0xFFFFFFFF) {
                    take(file.m_localHeaderOffset);
                }
                if (entryDisk == 0xFFFF && left >= 4) {
                    entryDisk = LoadLe32(field);
                }
            }
            offset += 4 + length;
        }
        if (entryDisk != 0) {
            return kZipMultiDisk;
        }
        if (!target->AddEntry(reinterpret_cast<const char*>(header + kCentralHeaderSize), nameLength,
                              file)) {
            return kZipNoMemory;
        }
        at += recordSize;
    }
    m_stream = stream;
    m_size = size;
    return kZipOk;
}

cFileIOTarget* cZIPFileContainer::OpenEntryStream(const sFile& entry)
{
    if (m_stream == nullptr) {
        return nullptr;
    }
    // APPNOTE 4.3.7: the local header's own name and extra lengths place the data; the
    // sizes come from the central directory (with data descriptors the local ones are 0).
    u8 local[kLocalHeaderSize];
    if (m_size < kLocalHeaderSize || entry.m_localHeaderOffset > m_size - kLocalHeaderSize ||
        !ReadAt(m_stream, entry.m_localHeaderOffset, local, kLocalHeaderSize) ||
        LoadLe32(local) != kLocalHeader) {
        return nullptr;
    }
    const u64 dataStart =
        entry.m_localHeaderOffset + kLocalHeaderSize + LoadLe16(local + 26) + LoadLe16(local + 28);
    if (dataStart > m_size || entry.m_compressedSize > m_size - dataStart) {
        return nullptr;
    }
    auto* member = new (std::nothrow) cDecompressIOTarget(m_stream, dataStart, entry.m_compressedSize,
                                                          entry.m_size, entry.m_crc, entry.m_method,
                                                          entry.m_flags);
    if (member == nullptr) {
        return nullptr;
    }
    if (!member->Begin()) {
        member->Delete();
        return nullptr;
    }
    return member;
}

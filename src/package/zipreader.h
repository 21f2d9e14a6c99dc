#pragma once
// The ZIP reader (APPNOTE.TXT 6.3): the end of central directory record (with the ZIP64
// records), the central directory, and streams over stored, deflate, bzip2 and LZMA
// entries. Everything the archive says is checked against the archive's size before it is
// used; entry data is decoded as it is read, never preallocated at its declared size.
#include "package/archive.h"

// A cheap test: at least 22 bytes, a local header signature at offset 0, and an end of
// central directory record within the last 1024 bytes. (An archive comment longer than
// about 1000 bytes hides the record from this test; Open searches the whole range.)
[[nodiscard]] bool IsZipStream(cFileIOTarget* stream);

// Open's answers.
enum : i32
{
    kZipOk = 0,
    kZipNoStream = 1,
    kZipNoEndRecord = 2,
    kZipMultiDisk = 3,
    kZipBadZip64 = 4,
    kZipBadDirectory = 5,
    kZipBadEntry = 6,
    kZipNoMemory = 7,
};

class cZIPFileContainer : public cArchiveFile
{
public:
    cZIPFileContainer() = default;

    // Reads the central directory of the archive in `stream` (borrowed; it must outlive
    // the container and its entry streams) and hands every entry to `target`. `flags` is
    // 0 and `progress` null. kZipOk on success.
    [[nodiscard]] i32 Open(cFileIOTarget* stream, cSiArchTarget* target, i32 flags, void* progress);

protected:
    cFileIOTarget* OpenEntryStream(const sFile& entry) override;

private:
    cFileIOTarget* m_stream = nullptr;
    u64 m_size = 0;
};

#pragma once
// A stream over a disk file.
//
// Reads go through a 64 KB read-ahead window, because the picture readers issue one- and
// two-byte reads (chunk headers, run lengths, tags) that would otherwise cost a system call
// each. Reads larger than the window bypass it. Writes, SetSize and a Seek outside the window
// drop it. Positions are 64-bit and the descriptor's own offset is never used (pread/pwrite
// at our position), so nothing but this object moves the position.
//
// Threads: IsOpen and Close may be called from another thread while one thread reads, as the
// thumbnail guard does to cancel a decode by closing its stream. A per-object mutex covers
// every use of the descriptor and its close, so a close never lands between another thread's
// check and its pread: the descriptor number, reused by the next open anywhere in the process,
// would otherwise read another file. Everything else is for one thread at a time.
#include "base/streams.h"

#include <atomic>
#include <memory>
#include <mutex>

enum class FileMode : u8
{
    Read,            // an existing file, read only
    CreateReadWrite, // created, or emptied when it exists; read and write
    ReadWrite,       // an existing file, read and write
};

class cFileIO : public cFileIOTarget
{
public:
    static constexpr u32 kReadAheadSize = 64 * 1024;

    cFileIO() = default;
    ~cFileIO() override;
    cFileIO(const cFileIO&) = delete;
    cFileIO& operator=(const cFileIO&) = delete;

    // Opens `path` as `mode` says, closing any file open before; the name follows the
    // platform's create-file call, which also opens. New files get 0666 less the umask. The
    // descriptor is not inherited by child processes. A folder is refused. The wide form
    // converts with the lossless file-name mapping and fails when the name cannot be encoded.
    [[nodiscard]] bool Create(const char16_t* path, FileMode mode);
    // `path` in the bytes the operating system uses.
    [[nodiscard]] bool Create(const char* path, FileMode mode);

    u64 GetSize() override;
    u32 Read(void* buffer, u32 length) override;
    u32 Write(const void* buffer, u32 length) override;
    // Any position up to INT64_MAX, past the end included (a later write fills the gap with
    // zeros).
    bool Seek(u64 position) override;
    // False, leaving the position, when `distance` is larger than the size.
    bool SeekFromEnd(u64 distance) override;
    u64 GetPosition() override;
    // Cuts or extends the file; a position past the new end moves back to it.
    bool SetSize(u64 size) override;
    void Close() override;
    bool IsOpen() override { return m_open.load(std::memory_order_acquire); }

private:
    void DropReadAhead() { m_readAheadLength = 0; }
    // Reads at m_position straight into `out`, past the window.
    u64 ReadDirect(u8* out, u64 length);

    std::mutex m_mutex;
    std::atomic<bool> m_open{false};
    int m_descriptor = -1;
    u64 m_position = 0;
    std::unique_ptr<u8[]> m_readAhead; // allocated at the first buffered read
    u64 m_readAheadStart = 0;          // file offset of m_readAhead[0]
    u64 m_readAheadLength = 0;         // valid bytes; 0 when no window is held
};

#pragma once
// Streams over memory: a growing in-memory stream, and a read-only view of a caller's buffer.
#include "base/streams.h"

// A contiguous block handed from one owner to the next. GetContents fills it with memory from
// std::malloc; the receiver releases `m_data` with std::free.
struct sMemBlock
{
    u8* m_data = nullptr;
    i32 m_count = 0;
};

// A growing stream kept in 64 KB pages, read and written at its position. Writing after a Seek
// past the end fills the gap with zeros; the pages of a gap that was never written take no
// memory. The stream is always open: Close empties it and moves the position to 0.
class cMemIOTarget : public cFileIOTarget
{
public:
    static constexpr u32 kPageShift = 16;
    static constexpr u32 kPageSize = u32(1) << kPageShift;
    // The largest size the stream grows to (1 TiB); a write beyond it is cut short. It keeps
    // the page table of a write at a hostile position to a few megabytes.
    static constexpr u64 kMaxSize = u64(1) << 40;

    cMemIOTarget() = default;
    ~cMemIOTarget() override;
    cMemIOTarget(const cMemIOTarget&) = delete;
    cMemIOTarget& operator=(const cMemIOTarget&) = delete;

    u64 GetSize() override { return m_size; }
    u32 Read(void* buffer, u32 length) override;
    // Short when a page cannot be allocated or the stream would pass kMaxSize.
    u32 Write(const void* buffer, u32 length) override;
    // Any position is accepted; reading there gives nothing until data is written.
    bool Seek(u64 position) override;
    bool SeekFromEnd(u64 distance) override;
    u64 GetPosition() override { return m_position; }
    void Close() override;
    bool IsOpen() override { return true; }

    // Copies the whole content into one new block (see sMemBlock for who frees it). An empty
    // stream gives true with {null, 0}. False, with `out` empty, when the content is larger
    // than INT32_MAX bytes or the block cannot be allocated.
    [[nodiscard]] bool GetContents(sMemBlock& out);

private:
    [[nodiscard]] u8* EnsurePage(u64 pageIndex);

    u8** m_pages = nullptr; // null entries are pages of zeros
    u64 m_pageCount = 0;    // entries in use
    u64 m_pageCapacity = 0; // entries allocated
    u64 m_size = 0;
    u64 m_position = 0;
};

// A read-only stream over a caller's buffer, which it neither copies nor frees. A null pointer
// reads as an empty buffer whatever the size.
class cBufWrapperIO : public cFileIOTarget
{
public:
    cBufWrapperIO(const void* data, u64 size);

    u64 GetSize() override { return m_size; }
    u32 Read(void* buffer, u32 length) override;
    // Clamps to the end of the buffer; true when no clamping was needed.
    bool Seek(u64 position) override;
    bool SeekFromEnd(u64 distance) override;
    u64 GetPosition() override { return m_position; }
    bool IsOpen() override { return true; }

private:
    const u8* m_data;
    u64 m_size;
    u64 m_position = 0;
};

#pragma once
// A read-ahead cache over another stream, safe to share between threads: every operation
// runs under the object's own critical section. The JPEG 2000 readers read through one.
//
// The logical position is kept apart from the inner stream's position: the inner stream may
// be moved by its owner between two calls, so every refill and every write seeks the inner
// stream explicitly instead of assuming it still sits at the window's end.
#include "base/locks.h"
#include "base/streams.h"

enum class StreamOwnership : u8
{
    Borrowed, // the caller keeps the inner stream alive and deletes it
    Owned,    // this object deletes the inner stream
};

class cMemBufferedIO : public cFileIOTarget
{
public:
    cMemBufferedIO() = default;
    // Frees the buffer and deletes an owned inner stream.
    ~cMemBufferedIO() override;
    cMemBufferedIO(const cMemBufferedIO&) = delete;
    cMemBufferedIO& operator=(const cMemBufferedIO&) = delete;

    // Puts the cache over `target` with a window of `bufferSize` bytes, letting go of the
    // previous inner stream first. False, with no inner stream, when `target` is null,
    // `bufferSize` is 0 or the buffer cannot be allocated; an owned target is deleted then.
    [[nodiscard]] bool Attach(cFileIOTarget* target, u32 bufferSize,
                              StreamOwnership ownership = StreamOwnership::Borrowed);

    u64 GetSize() override;
    u32 Read(void* buffer, u32 length) override;
    // Writes through to the inner stream at the logical position; the window is dropped.
    u32 Write(const void* buffer, u32 length) override;
    // Inside the window only the logical position moves; elsewhere the inner stream is asked
    // and its answer (and position) taken over.
    bool Seek(u64 position) override;
    bool SeekFromEnd(u64 distance) override;
    u64 GetPosition() override;
    // Lets go of the inner stream: an owned one is deleted, a borrowed one left open for its
    // owner. The cache is closed afterwards.
    void Close() override;
    bool IsOpen() override;

private:
    void Release();

    cCriticalSection m_lock;
    cFileIOTarget* m_inner = nullptr;
    StreamOwnership m_ownership = StreamOwnership::Borrowed;
    u8* m_buffer = nullptr;
    u32 m_bufferSize = 0;
    u64 m_windowStart = 0;  // inner offset of m_buffer[0]
    u32 m_windowLength = 0; // valid bytes in the window
    u64 m_position = 0;     // the logical position
};

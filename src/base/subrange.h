#pragma once
// A read-only window over part of another stream: embedded pictures, icon images, version
// blocks and Exif thumbnails are read through one, so that their readers see a stream of
// their own starting at 0.
#include "base/streams.h"

class cFileIOSubRange : public cFileIOTarget
{
public:
    // The window [start, start + length) of `target`, which it borrows. The window is clamped
    // to the target's size when it is made: a start at or past the end gives an empty window,
    // a length running past the end (or past 2^64) stops at it. A null target is an empty
    // window.
    cFileIOSubRange(cFileIOTarget* target, u64 start, u64 length);

    // Moves the window, clamped the same way, and the position back to 0.
    void Attach(cFileIOTarget* target, u64 start, u64 length);

    u64 GetSize() override { return m_length; }
    // Seeks the target to the window's start plus the position before every read: the
    // target's position is shared with its owner and with other windows over it.
    u32 Read(void* buffer, u32 length) override;
    // Clamps to [0, size]; true when no clamping was needed.
    bool Seek(u64 position) override;
    bool SeekFromEnd(u64 distance) override;
    u64 GetPosition() override { return m_position; }
    bool IsOpen() override { return m_target != nullptr && m_target->IsOpen(); }

private:
    cFileIOTarget* m_target = nullptr;
    u64 m_start = 0;
    u64 m_length = 0;
    u64 m_position = 0;
};

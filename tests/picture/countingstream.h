#pragma once
// A stream that forwards to another and counts the bytes read through it: how much of a
// file a reader touches, for the tests and the file property tool.
#include "base/streams.h"

namespace picttest {

class cCountingStream : public cFileIOTarget
{
public:
    explicit cCountingStream(cFileIOTarget* inner) : m_inner(inner) {}
    u64 GetSize() override { return m_inner->GetSize(); }
    u32 Read(void* buffer, u32 length) override
    {
        const u32 got = m_inner->Read(buffer, length);
        m_bytesRead += got;
        return got;
    }
    bool Seek(u64 position) override { return m_inner->Seek(position); }
    bool SeekFromEnd(u64 distance) override { return m_inner->SeekFromEnd(distance); }
    u64 GetPosition() override { return m_inner->GetPosition(); }
    bool IsOpen() override { return m_inner->IsOpen(); }

    u64 m_bytesRead = 0;

private:
    cFileIOTarget* m_inner;
};

} // namespace picttest

#pragma once
// Test helpers of the factory, preview and thumbnail tests: a stream that counts what is
// read through it, and the committed ZIP preview samples.
#include "base/memio.h"
#include "base/streams.h"
#include "picture/core/picture.h"
#include "support/testsupport.h"

#include <memory>
#include <string>
#include <vector>

namespace factorytest {

// Forwards to another stream and counts the bytes read, the reads and the seeks.
class cCountingStream : public cFileIOTarget
{
public:
    explicit cCountingStream(cFileIOTarget* inner) : m_inner(inner) {}

    u64 GetSize() override { return m_inner->GetSize(); }
    u32 Read(void* buffer, u32 length) override
    {
        ++m_reads;
        const u32 got = m_inner->Read(buffer, length);
        m_bytesRead += got;
        return got;
    }
    bool Seek(u64 position) override
    {
        ++m_seeks;
        return m_inner->Seek(position);
    }
    bool SeekFromEnd(u64 distance) override
    {
        ++m_seeks;
        return m_inner->SeekFromEnd(distance);
    }
    u64 GetPosition() override { return m_inner->GetPosition(); }
    bool IsOpen() override { return m_inner->IsOpen(); }

    u64 m_bytesRead = 0;
    u64 m_reads = 0;
    u64 m_seeks = 0;

private:
    cFileIOTarget* m_inner;
};

inline std::string PreviewSample(const std::string& name)
{
    return qeltest::LocalDataPath("zippreview/" + name);
}

// Deletes a picture through its deleting destructor.
struct sPictDelete
{
    void operator()(cPictBase* picture) const { picture->Delete(); }
};
using tPicture = std::unique_ptr<cPictBase, sPictDelete>;

// The 32-bit pixels of a picture (bottom-up, as stored).
inline std::vector<u32> PixelsOf(cPictBase& picture)
{
    const u32* data = picture.Pixels32().GetData();
    return data == nullptr ? std::vector<u32>()
                           : std::vector<u32>(data, data + picture.Pixels32().GetCount());
}

} // namespace factorytest

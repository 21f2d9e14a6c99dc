#include "base/memio.h"

#include "stream_model.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>

using streamtest::cStreamModel;
using streamtest::PatternBytes;
using streamtest::RunRandomOperations;

TEST(MemIOTarget, MatchesVectorModelUnderRandomOperations)
{
    for (u64 seed = 1; seed <= 6; ++seed) {
        cMemIOTarget stream;
        cStreamModel model;
        RunRandomOperations(stream, model, seed, {});
    }
}

TEST(MemIOTarget, WriteAfterSeekPastEndFillsGapWithZeros)
{
    cMemIOTarget stream;
    const u8 head[3] = {1, 2, 3};
    ASSERT_TRUE(stream.WriteExact(head, 3));
    // Past a whole page that is never written.
    const u64 far = 3 * u64(cMemIOTarget::kPageSize) + 5;
    ASSERT_TRUE(stream.Seek(far));
    ASSERT_EQ(stream.GetSize(), 3u);
    ASSERT_EQ(stream.Write(head, 0), 0u);
    ASSERT_EQ(stream.GetSize(), 3u) << "an empty write must not grow the stream";
    const u8 tail = 9;
    ASSERT_TRUE(stream.WriteExact(&tail, 1));
    ASSERT_EQ(stream.GetSize(), far + 1);

    std::vector<u8> all(far + 1, 0xEE);
    ASSERT_TRUE(stream.Seek(0));
    ASSERT_TRUE(stream.ReadExact(all.data(), u32(all.size())));
    EXPECT_EQ(all[0], 1);
    EXPECT_EQ(all[2], 3);
    for (u64 index = 3; index < far; ++index) {
        ASSERT_EQ(all[index], 0) << index;
    }
    EXPECT_EQ(all[far], 9);
}

TEST(MemIOTarget, CloseEmptiesAndTheStreamStaysUsable)
{
    cMemIOTarget stream;
    auto bytes = PatternBytes(100000, 3);
    ASSERT_TRUE(stream.WriteExact(bytes.data(), u32(bytes.size())));
    stream.Close();
    EXPECT_TRUE(stream.IsOpen());
    EXPECT_EQ(stream.GetSize(), 0u);
    EXPECT_EQ(stream.GetPosition(), 0u);
    u8 byte;
    EXPECT_EQ(stream.Read(&byte, 1), 0u);
    // Old bytes must not come back when the stream grows again over the same pages.
    ASSERT_TRUE(stream.Seek(10));
    ASSERT_TRUE(stream.WriteExact(&byte, 1));
    std::vector<u8> head(10, 0xEE);
    ASSERT_TRUE(stream.Seek(0));
    ASSERT_TRUE(stream.ReadExact(head.data(), 10));
    EXPECT_EQ(head, std::vector<u8>(10, 0));
}

TEST(MemIOTarget, GetContentsCopiesEverythingIntoOneBlock)
{
    cMemIOTarget stream;
    sMemBlock block{reinterpret_cast<u8*>(1), 7};
    ASSERT_TRUE(stream.GetContents(block));
    EXPECT_EQ(block.m_data, nullptr);
    EXPECT_EQ(block.m_count, 0);

    auto bytes = PatternBytes(3 * 65536 + 17, 4);
    ASSERT_TRUE(stream.WriteExact(bytes.data(), u32(bytes.size())));
    ASSERT_TRUE(stream.Seek(5));
    ASSERT_TRUE(stream.GetContents(block));
    ASSERT_EQ(block.m_count, i32(bytes.size()));
    EXPECT_EQ(std::memcmp(block.m_data, bytes.data(), bytes.size()), 0);
    EXPECT_EQ(stream.GetPosition(), 5u) << "copying out must not move the position";
    std::free(block.m_data);
}

TEST(MemIOTarget, GetContentsRefusesMoreThanInt32MaxBytes)
{
    // A gap costs no memory, so a single byte just past INT32_MAX makes the content too large
    // for an i32 count without allocating 2 GB.
    cMemIOTarget stream;
    ASSERT_TRUE(stream.Seek(u64(INT32_MAX)));
    const u8 byte = 1;
    ASSERT_TRUE(stream.WriteExact(&byte, 1));
    ASSERT_EQ(stream.GetSize(), u64(INT32_MAX) + 1);
    sMemBlock block{reinterpret_cast<u8*>(1), 7};
    EXPECT_FALSE(stream.GetContents(block));
    EXPECT_EQ(block.m_data, nullptr);
    EXPECT_EQ(block.m_count, 0);
}

TEST(MemIOTarget, WritesStopAtTheSizeLimit)
{
    cMemIOTarget stream;
    const u8 bytes[4] = {1, 2, 3, 4};
    ASSERT_TRUE(stream.Seek(cMemIOTarget::kMaxSize - 2));
    EXPECT_EQ(stream.Write(bytes, 4), 2u);
    EXPECT_EQ(stream.GetSize(), cMemIOTarget::kMaxSize);
    EXPECT_EQ(stream.Write(bytes, 4), 0u);
    ASSERT_TRUE(stream.Seek(~u64(0)));
    EXPECT_EQ(stream.Write(bytes, 4), 0u);
    u8 back[4] = {};
    EXPECT_EQ(stream.Read(back, 4), 0u);
    ASSERT_TRUE(stream.SeekFromEnd(2));
    EXPECT_EQ(stream.Read(back, 4), 2u);
    EXPECT_EQ(back[0], 1);
    EXPECT_EQ(back[1], 2);
}

TEST(BufWrapperIO, NullPointerReadsAsEmptyWhateverTheSize)
{
    cBufWrapperIO stream(nullptr, 1000);
    EXPECT_EQ(stream.GetSize(), 0u);
    u8 byte;
    EXPECT_EQ(stream.Read(&byte, 1), 0u);
    EXPECT_FALSE(stream.ReadExact(&byte, 1));
    EXPECT_TRUE(stream.ReadExact(&byte, 0));
    EXPECT_FALSE(stream.Seek(10));
}

TEST(BufWrapperIO, MatchesVectorModelUnderRandomReadsAndSeeks)
{
    auto bytes = PatternBytes(300000, 5);
    cBufWrapperIO stream(bytes.data(), bytes.size());
    cStreamModel model;
    model.m_data = bytes;
    streamtest::sModelOptions options;
    options.allowWrite = false;
    options.seekClampsToEnd = true;
    RunRandomOperations(stream, model, 11, options);
}

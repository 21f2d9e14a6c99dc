#include "base/memio.h"

#include "stream_model.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>

using streamtest::sStreamModel;
using streamtest::PatternBytes;
using streamtest::RunRandomOperations;

// The model covers gaps after a seek past the end (zero-filled) and empty writes.
TEST(MemIOTarget, MatchesVectorModelUnderRandomOperations)
{
    for (u64 seed = 1; seed <= 6; ++seed) {
        cMemIOTarget stream;
        sStreamModel model;
        RunRandomOperations(stream, model, seed);
    }
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

// Close empties the stream, whose old bytes never come back; GetContents copies all
// into one block without moving the position, and refuses more than INT32_MAX bytes (a
// gap costs no memory, so one byte past INT32_MAX needs no 2 GB).
TEST(MemIOTarget, CloseAndGetContents)
{
    cMemIOTarget stream;
    sMemBlock block{reinterpret_cast<u8*>(1), 7};
    ASSERT_TRUE(stream.GetContents(block));
    EXPECT_TRUE(block.m_data == nullptr && block.m_count == 0);
    auto bytes = PatternBytes(3 * 65536 + 17, 4);
    ASSERT_TRUE(stream.WriteExact(bytes.data(), u32(bytes.size())) && stream.Seek(5));
    ASSERT_TRUE(stream.GetContents(block));
    ASSERT_EQ(block.m_count, i32(bytes.size()));
    EXPECT_EQ(std::memcmp(block.m_data, bytes.data(), bytes.size()), 0);
    EXPECT_EQ(stream.GetPosition(), 5u);
    std::free(block.m_data);

    stream.Close();
    EXPECT_TRUE(stream.IsOpen());
    EXPECT_TRUE(stream.GetSize() == 0 && stream.GetPosition() == 0);
    u8 byte = 1;
    ASSERT_TRUE(stream.Seek(10) && stream.WriteExact(&byte, 1));
    std::vector<u8> head(10, 0xEE);
    ASSERT_TRUE(stream.Seek(0) && stream.ReadExact(head.data(), 10));
    EXPECT_EQ(head, std::vector<u8>(10, 0));

    ASSERT_TRUE(stream.Seek(u64(INT32_MAX)) && stream.WriteExact(&byte, 1));
    block = {reinterpret_cast<u8*>(1), 7};
    EXPECT_FALSE(stream.GetContents(block));
    EXPECT_TRUE(block.m_data == nullptr && block.m_count == 0);
}

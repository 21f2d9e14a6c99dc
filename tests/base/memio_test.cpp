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

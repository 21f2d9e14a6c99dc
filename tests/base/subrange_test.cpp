#include "base/subrange.h"

#include "base/memio.h"
#include "stream_model.h"

#include <gtest/gtest.h>

using streamtest::PatternBytes;

// Windows are clamped to the target; start + length past 2^64 stops at the target's end
// instead of wrapping. Attach moves the window and resets the position.
TEST(FileIOSubRange, ClampsToTheTargetWithSaturation)
{
    auto bytes = PatternBytes(1000, 22);
    cBufWrapperIO target(bytes.data(), bytes.size());
    struct sCase
    {
        cFileIOTarget* target;
        u64 start, length, size;
    } const cases[] = {
        {&target, 1000, 10, 0}, {&target, ~u64(0), 10, 0}, {&target, 990, ~u64(0) - 500, 10},
        {&target, 950, 100, 50}, {nullptr, 0, 100, 0},
    };
    cFileIOSubRange window(&target, 0, 50);
    ASSERT_TRUE(window.Seek(40));
    for (const sCase& c : cases) {
        window.Attach(c.target, c.start, c.length);
        EXPECT_EQ(window.GetPosition(), 0u);
        EXPECT_EQ(window.GetSize(), c.size) << c.start;
        u8 tail[20];
        const u64 count = std::min<u64>(c.size, sizeof tail);
        ASSERT_EQ(window.Read(tail, sizeof tail), count);
        EXPECT_TRUE(count == 0 || std::equal(tail, tail + count, bytes.begin() + i64(c.start)));
    }
    EXPECT_FALSE(window.IsOpen());
}

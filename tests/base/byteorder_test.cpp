#include "base/byteorder.h"

#include <gtest/gtest.h>

namespace {

// Bytes 0x01..0x10: every load at every offset below 8 is unaligned somewhere and reads a
// different word.
constexpr u8 kBytes[16] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
                           0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10};

// The independent reference: the word folded from its bytes one at a time, first byte
// highest (big-endian) or lowest (little-endian); no memcpy and no byte swap.
u64 Big(const u8* p, int size)
{
    u64 value = 0;
    for (int i = 0; i < size; ++i) {
        value = value << 8 | p[i];
    }
    return value;
}

u64 Little(const u8* p, int size)
{
    u64 value = 0;
    for (int i = size; i-- > 0;) {
        value = value << 8 | p[i];
    }
    return value;
}

} // namespace

TEST(ByteOrder, LoadsMatchTheFoldedBytesAtEveryOffset)
{
    EXPECT_EQ(LoadBe32(kBytes), 0x01020304u);
    EXPECT_EQ(LoadLe32(kBytes), 0x04030201u);
    for (int at = 0; at < 8; ++at) {
        const u8* p = kBytes + at;
        SCOPED_TRACE(at);
        EXPECT_EQ(LoadBe16(p), Big(p, 2));
        EXPECT_EQ(LoadLe16(p), Little(p, 2));
        EXPECT_EQ(LoadBe24(p), Big(p, 3));
        EXPECT_EQ(LoadLe24(p), Little(p, 3));
        EXPECT_EQ(LoadBe32(p), Big(p, 4));
        EXPECT_EQ(LoadLe32(p), Little(p, 4));
        EXPECT_EQ(LoadBe64(p), Big(p, 8));
        EXPECT_EQ(LoadLe64(p), Little(p, 8));
        EXPECT_EQ(LoadU16(p, true), Big(p, 2));
        EXPECT_EQ(LoadU16(p, false), Little(p, 2));
        EXPECT_EQ(LoadU32(p, true), Big(p, 4));
        EXPECT_EQ(LoadU32(p, false), Little(p, 4));
    }
}

TEST(ByteOrder, StoresWriteTheBytesInOrderAndNothingAround)
{
    const u64 value = 0x8877665544332211ull;
    struct sCase
    {
        void (*store)(u8*, u64);
        int size;
        bool big;
    };
    const sCase cases[] = {
        {[](u8* p, u64 v) { StoreBe16(p, u16(v)); }, 2, true},
        {[](u8* p, u64 v) { StoreLe16(p, u16(v)); }, 2, false},
        {[](u8* p, u64 v) { StoreBe32(p, u32(v)); }, 4, true},
        {[](u8* p, u64 v) { StoreLe32(p, u32(v)); }, 4, false},
        {[](u8* p, u64 v) { StoreBe64(p, v); }, 8, true},
        {[](u8* p, u64 v) { StoreLe64(p, v); }, 8, false},
    };
    for (const sCase& c : cases) {
        u8 buffer[11];
        std::memset(buffer, 0xEE, sizeof buffer);
        c.store(buffer + 1, value);
        u8 expected[11];
        std::memset(expected, 0xEE, sizeof expected);
        for (int i = 0; i < c.size; ++i) {
            // Byte i holds the value's byte i counted from the high end (big) or low end.
            const int shift = 8 * (c.big ? c.size - 1 - i : i);
            expected[1 + i] = u8(value >> shift);
        }
        EXPECT_EQ(std::memcmp(buffer, expected, sizeof buffer), 0) << c.size << c.big;
    }
}

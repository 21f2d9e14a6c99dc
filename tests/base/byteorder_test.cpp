#include "base/byteorder.h"

#include <gtest/gtest.h>

#include <endian.h>

namespace {

// Bytes 0x01..0x10: every load at every offset below 8 is unaligned somewhere and reads a
// different word.
constexpr u8 kBytes[16] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
                           0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10};

template <typename T> T Native(const u8* p)
{
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

} // namespace

// glibc's <endian.h> conversions are the independent reference.
TEST(ByteOrder, LoadsMatchTheCLibraryAtEveryOffset)
{
    for (int at = 0; at < 8; ++at) {
        const u8* p = kBytes + at;
        SCOPED_TRACE(at);
        EXPECT_EQ(LoadBe16(p), be16toh(Native<u16>(p)));
        EXPECT_EQ(LoadLe16(p), le16toh(Native<u16>(p)));
        EXPECT_EQ(LoadBe32(p), be32toh(Native<u32>(p)));
        EXPECT_EQ(LoadLe32(p), le32toh(Native<u32>(p)));
        EXPECT_EQ(LoadBe64(p), be64toh(Native<u64>(p)));
        EXPECT_EQ(LoadLe64(p), le64toh(Native<u64>(p)));
        EXPECT_EQ(LoadU16(p, true), be16toh(Native<u16>(p)));
        EXPECT_EQ(LoadU16(p, false), le16toh(Native<u16>(p)));
        EXPECT_EQ(LoadU32(p, true), be32toh(Native<u32>(p)));
        EXPECT_EQ(LoadU32(p, false), le32toh(Native<u32>(p)));
        EXPECT_EQ(LoadBe24(p), be32toh(Native<u32>(p)) >> 8);
        EXPECT_EQ(LoadLe24(p), le32toh(Native<u32>(p)) & 0xFFFFFF);
    }
}

TEST(ByteOrder, StoresWriteTheCLibrarysBytesAndNothingAround)
{
    const u64 value = 0x8877665544332211ull;
    struct sCase
    {
        void (*store)(u8*, u64);
        u64 expected;
        size_t size;
    };
    const sCase cases[] = {
        {[](u8* p, u64 v) { StoreBe16(p, u16(v)); }, htobe16(u16(value)), 2},
        {[](u8* p, u64 v) { StoreLe16(p, u16(v)); }, htole16(u16(value)), 2},
        {[](u8* p, u64 v) { StoreBe32(p, u32(v)); }, htobe32(u32(value)), 4},
        {[](u8* p, u64 v) { StoreLe32(p, u32(v)); }, htole32(u32(value)), 4},
        {[](u8* p, u64 v) { StoreBe64(p, v); }, htobe64(value), 8},
        {[](u8* p, u64 v) { StoreLe64(p, v); }, htole64(value), 8},
    };
    for (const sCase& c : cases) {
        u8 buffer[11];
        std::memset(buffer, 0xEE, sizeof buffer);
        c.store(buffer + 1, value);
        u8 expected[11];
        std::memset(expected, 0xEE, sizeof expected);
        std::memcpy(expected + 1, &c.expected, c.size);
        EXPECT_EQ(std::memcmp(buffer, expected, sizeof buffer), 0) << c.size;
    }
}

#include "base/crc32.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>
#include <zlib.h>

namespace {

// Bit-at-a-time CRC-32 written from the definition (reflected 0xEDB88320, preset and final
// complement), independent of any table.
u32 BitwiseCrc32(const u8* bytes, size_t count)
{
    u32 crc = 0xFFFFFFFFu;
    for (size_t index = 0; index < count; ++index) {
        crc ^= bytes[index];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

} // namespace

TEST(Crc32, MatchesZlibAndTheBitwiseDefinitionOnRandomBuffers)
{
    std::mt19937_64 random(42);
    for (int round = 0; round < 200; ++round) {
        // Lengths cover the slicing paths of table-driven code: tiny, odd, long.
        size_t count = round < 40 ? size_t(round) : size_t(random() % 70000);
        std::vector<u8> bytes(count);
        for (u8& byte : bytes) {
            byte = u8(random());
        }
        // Unaligned starts as well.
        size_t skip = count > 3 ? random() % 4 : 0;
        const u8* start = bytes.data() + skip;
        size_t length = count - skip;
        u32 expected = BitwiseCrc32(start, length);
        ASSERT_EQ(Crc32(start, length), expected) << "length " << length;
        ASSERT_EQ(u32(crc32(0, start, uInt(length))), expected);
    }
    // The "check" value of CRC-32/ISO-HDLC: the CRC of the nine ASCII digits.
    EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(Crc32(nullptr, 100), 0u);
}

#include "base/buffers.h"


#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <tuple>
#include <vector>

namespace {

// The exception a bad index must raise, with the file it names.
template <class Buffer>
void ExpectOutOfBounds(Buffer& buffer, i64 index, const char* message)
{
    try {
        (void)buffer[index];
        ADD_FAILURE() << "index " << index << " of " << buffer.GetCount() << " was accepted";
    } catch (const cException& error) {
        EXPECT_STREQ(error.m_message, message);
        EXPECT_STREQ(error.m_file, "base/buffers");
        EXPECT_GT(error.m_line, 0);
    }
}

} // namespace

// The 128-bit product is the reference; negative factors are refused, not wrapped.
TEST(CheckedMul64, AgreesWith128BitProduct)
{
    std::mt19937_64 random(1234);
    std::vector<u64> factors = {0, 1, 2, 3, UINT32_MAX, u64(UINT32_MAX) + 1, (u64(1) << 32) + 1,
                                u64(INT64_MAX), u64(INT64_MAX) + 1, UINT64_MAX};
    for (int i = 0; i < 2000; ++i) {
        factors.push_back(random() >> (random() % 64)); // both outcomes common
    }
    for (u64 a : factors) {
        for (u64 b : {factors[random() % factors.size()], u64(random() >> 32), u64(7)}) {
            const unsigned __int128 wide = static_cast<unsigned __int128>(a) * b;
            u64 product = 12345;
            const bool fits = CheckedMul64(a, b, product);
            ASSERT_EQ(fits, wide <= UINT64_MAX) << a << " * " << b;
            ASSERT_EQ(product, fits ? static_cast<u64>(wide) : 0u) << a << " * " << b;
        }
    }
    u64 product = 99;
    EXPECT_FALSE(CheckedMul64(-1, 1, product) || CheckedMul64(i32(4), i32(-4), product) ||
                 CheckedMul64(INT64_MIN, i64(0), product));
    EXPECT_EQ(product, 0u);
    // Typical picture-size use: i32 width and height, u32 bytes per pixel.
    EXPECT_TRUE(CheckedMul64(i32(65535), i32(65535), product) && CheckedMul64(product, u32(8), product));
    EXPECT_EQ(product, 34358689800u);
}

// By value across signedness: a u64 whose low 32 bits look small must not pass.
TEST(FitsI32, ComparesByValueAcrossSignedness)
{
    EXPECT_TRUE(FitsI32(i64(INT32_MAX)) && FitsI32(i64(INT32_MIN)) && FitsI32(u32(INT32_MAX)) &&
                FitsI32(u8(255)));
    EXPECT_FALSE(FitsI32(i64(INT32_MAX) + 1) || FitsI32(i64(INT32_MIN) - 1) || FitsI32(u32(INT32_MAX) + 1u) ||
                 FitsI32(u64(1) << 32) || FitsI32(UINT64_MAX));
}

// The cap counts pixels (2^28) and bytes (INT32_MAX) separately, and products of hostile
// sizes never wrap back under it.
TEST(PixelBufferSizeOk, CapsPixelsAndBytes)
{
    const std::tuple<i64, i64, i32, bool> cases[] = {
        {0, 5, 4, false}, {5, -1, 4, false}, {1, 1, 0, false}, {1, 1, 4, true},
        {16384, 16384, 4, true},                                  // exactly 2^28 pixels (2^30 bytes)
        {16385, 16384, 4, false}, {i64(1) << 29, 1, 4, false},    // past 2^28 pixels
        {i64(1) << 28, 1, 8, false}, {(i64(1) << 28) - 1, 1, 8, true}, // 2^31 bytes, 2^31 - 8
        {0x7FFFFFFF, 0x7FFFFFFF, 4, false}, {i64(1) << 32, i64(1) << 32, 4, false}, // 2^64 wraps to 0
        {i64(1) << 40, 2, 4, false},
    };
    for (const auto& [width, height, bytesPerPixel, allowed] : cases) {
        EXPECT_EQ(PixelBufferSizeOk(width, height, bytesPerPixel), allowed)
            << width << " x " << height << " x " << bytesPerPixel;
    }
}

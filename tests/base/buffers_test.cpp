#include "base/buffers.h"

#include "allocation_failure.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
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

// Counts live objects so that construction and destruction can be checked.
struct sCounted
{
    static inline int s_live = 0;
    static inline std::vector<int> s_destroyed;
    int m_tag = -1;

    sCounted() noexcept { ++s_live; }
    ~sCounted()
    {
        --s_live;
        s_destroyed.push_back(m_tag);
    }
};

} // namespace

TEST(CheckedMul64, AgreesWith128BitProductOnRandomAndEdgeFactors)
{
    std::mt19937_64 random(1234);
    std::vector<u64> factors = {0, 1, 2, 3, UINT32_MAX, u64(UINT32_MAX) + 1, u64(1) << 32,
                                (u64(1) << 32) + 1, u64(INT64_MAX), u64(INT64_MAX) + 1, UINT64_MAX};
    for (int i = 0; i < 2000; ++i) {
        // Mix small, mid-sized and huge factors so both outcomes are common.
        factors.push_back(random() >> (random() % 64));
    }
    for (u64 a : factors) {
        for (u64 b : {factors[random() % factors.size()], u64(random() >> 32), u64(7)}) {
            unsigned __int128 wide = static_cast<unsigned __int128>(a) * b;
            u64 product = 12345;
            bool fits = CheckedMul64(a, b, product);
            ASSERT_EQ(fits, wide <= UINT64_MAX) << a << " * " << b;
            ASSERT_EQ(product, fits ? static_cast<u64>(wide) : 0u) << a << " * " << b;
        }
    }
}

TEST(CheckedMul64, RefusesNegativeFactorsInsteadOfWrapping)
{
    u64 product = 99;
    EXPECT_FALSE(CheckedMul64(-1, 1, product));
    EXPECT_EQ(product, 0u);
    EXPECT_FALSE(CheckedMul64(i32(4), i32(-4), product));
    EXPECT_FALSE(CheckedMul64(INT64_MIN, i64(0), product));
    // Typical picture-size use: i32 width and height, u32 bytes per pixel.
    EXPECT_TRUE(CheckedMul64(i32(65535), i32(65535), product));
    EXPECT_EQ(product, 4294836225u);
    EXPECT_TRUE(CheckedMul64(product, u32(8), product));
    EXPECT_EQ(product, 34358689800u);
}

TEST(FitsI32, ComparesByValueAcrossSignedness)
{
    EXPECT_TRUE(FitsI32(i64(INT32_MAX)));
    EXPECT_FALSE(FitsI32(i64(INT32_MAX) + 1));
    EXPECT_TRUE(FitsI32(i64(INT32_MIN)));
    EXPECT_FALSE(FitsI32(i64(INT32_MIN) - 1));
    EXPECT_TRUE(FitsI32(u32(INT32_MAX)));
    EXPECT_FALSE(FitsI32(u32(INT32_MAX) + 1u));
    // A u64 whose low 32 bits look small must not pass.
    EXPECT_FALSE(FitsI32(u64(1) << 32));
    EXPECT_FALSE(FitsI32(UINT64_MAX));
    EXPECT_TRUE(FitsI32(u8(255)));
}

// The cap counts pixels (2^28) and bytes (INT32_MAX) separately, and products of hostile
// sizes never wrap back under it.
TEST(PixelBufferSizeOk, CapsPixelsAndBytes)
{
    struct sCase
    {
        i64 width, height;
        i32 bytesPerPixel;
        bool allowed;
    } cases[] = {
        {0, 5, 4, false},
        {5, -1, 4, false},
        {1, 1, 0, false},
        {1, 1, 4, true},
        {16384, 16384, 4, true},               // exactly 2^28 pixels (2^30 bytes)
        {16385, 16384, 4, false},              // one row past the cap
        {i64(1) << 29, 1, 4, false},           // past 2^28 pixels
        {i64(1) << 28, 1, 8, false},           // 2^31 bytes
        {(i64(1) << 28) - 1, 1, 8, true},      // 2^31 - 8 bytes
        {0x7FFFFFFF, 0x7FFFFFFF, 4, false},
        {i64(1) << 32, i64(1) << 32, 4, false}, // 2^64 pixels wrap to 0 in 64 bits
        {i64(1) << 40, 2, 4, false},
    };
    for (const sCase& c : cases) {
        EXPECT_EQ(PixelBufferSizeOk(c.width, c.height, c.bytesPerPixel), c.allowed)
            << c.width << " x " << c.height << " x " << c.bytesPerPixel;
    }
}

TEST(TypeBuf, AllocRefusesCountsOutsideOneToInt32Max)
{
    _typebuf<u32> buffer;
    ASSERT_TRUE(buffer.Alloc(3));
    for (i64 count : {i64(0), i64(-1), i64(INT32_MIN), i64(INT32_MAX) + 1, INT64_MAX}) {
        EXPECT_FALSE(buffer.Alloc(count)) << count;
        EXPECT_EQ(buffer.GetData(), nullptr) << count;
        EXPECT_EQ(buffer.GetCount(), 0) << count;
        ASSERT_TRUE(buffer.Alloc(3));
    }
    // A huge u64 converts to a negative count and is refused, never truncated to 32 bits.
    EXPECT_FALSE(buffer.Alloc(static_cast<i64>(UINT64_MAX - 1)));
    EXPECT_FALSE(buffer.Alloc(static_cast<i64>((u64(1) << 32) | 5u)));
    EXPECT_EQ(buffer.GetCount(), 0);
}

TEST(TypeBuf, HoldsFloatingPointAccumulatorsAndWeights)
{
    // Every element is written, so ASan sees an allocation of too few bytes.
    _typebuf<f32> accumulators;
    _typebuf<f64> weights;
    ASSERT_TRUE(accumulators.Alloc(4 * 1000) && weights.Alloc(333));
    for (i32 i = 0; i < accumulators.GetCount(); ++i) {
        accumulators[i] = 0.25f * static_cast<f32>(i);
    }
    for (i32 i = 0; i < weights.GetCount(); ++i) {
        weights[i] = -1.5 * i;
    }
    EXPECT_FLOAT_EQ(accumulators[3999], 999.75f);
    EXPECT_EQ(weights.GetData()[332], -498.0);
}

TEST(TypeBuf, IndexOutsideTheCountThrowsNamedException)
{
    _typebuf<u16> buffer;
    ExpectOutOfBounds(buffer, 0, "_typebuf::Out of bounds");
    ASSERT_TRUE(buffer.Alloc(5));
    buffer[0] = 1;
    buffer[4] = 5;
    ExpectOutOfBounds(buffer, 5, "_typebuf::Out of bounds");
    ExpectOutOfBounds(buffer, -1, "_typebuf::Out of bounds");
    ExpectOutOfBounds(buffer, INT64_MIN, "_typebuf::Out of bounds");
    ExpectOutOfBounds(buffer, static_cast<i64>(u64(1) << 32), "_typebuf::Out of bounds");
    const _typebuf<u16>& constant = buffer;
    ExpectOutOfBounds(constant, 5, "_typebuf::Out of bounds");
    EXPECT_EQ(constant[4], 5);
}

TEST(TypeBuf, FailedAllocationDiscardsOldContentsAndNeverThrows)
{
    _typebuf<u8> buffer;
    ASSERT_TRUE(buffer.Alloc(64));
    std::memset(buffer.GetData(), 0xAB, 64);
    {
        cAllocationFailureScope failing(0);
        EXPECT_FALSE(buffer.Alloc(16));
        EXPECT_EQ(failing.Refused(), 1);
    }
    EXPECT_EQ(buffer.GetData(), nullptr);
    EXPECT_EQ(buffer.GetCount(), 0);
    ExpectOutOfBounds(buffer, 0, "_typebuf::Out of bounds");
}

TEST(TypeBuf, MoveTransfersOwnershipAndEmptiesTheSource)
{
    _typebuf<u64> first;
    ASSERT_TRUE(first.Alloc(2));
    first[1] = 77;
    _typebuf<u64> second;
    ASSERT_TRUE(second.Alloc(9)); // freed by the assignment, else LSan reports it
    second = std::move(first);
    EXPECT_EQ(first.GetCount(), 0);
    EXPECT_EQ(first.GetData(), nullptr);
    EXPECT_EQ(second.GetCount(), 2);
    EXPECT_EQ(second[1], 77u);
}

TEST(ClassBuf, ConstructsEveryObjectAndDestroysThemOnReallocFreeAndDestruction)
{
    sCounted::s_live = 0;
    {
        _classbuf<sCounted> objects;
        ASSERT_TRUE(objects.Alloc(4));
        EXPECT_EQ(sCounted::s_live, 4);
        for (i32 i = 0; i < 4; ++i) {
            EXPECT_EQ(objects[i].m_tag, -1);
            objects[i].m_tag = i;
        }
        ExpectOutOfBounds(objects, 4, "_classbuf::Out of bounds");
        ExpectOutOfBounds(objects, -1, "_classbuf::Out of bounds");
        sCounted::s_destroyed.clear();
        ASSERT_TRUE(objects.Alloc(2));
        EXPECT_EQ(sCounted::s_live, 2);
        EXPECT_EQ(sCounted::s_destroyed, (std::vector<int>{3, 2, 1, 0}));
        EXPECT_FALSE(objects.Alloc(0));
        EXPECT_EQ(sCounted::s_live, 0);
        ASSERT_TRUE(objects.Alloc(3));
        _classbuf<sCounted> moved(std::move(objects));
        EXPECT_EQ(sCounted::s_live, 3);
        EXPECT_EQ(objects.GetCount(), 0);
    }
    EXPECT_EQ(sCounted::s_live, 0);
}

TEST(ClassBuf, FailedAllocationLeavesItEmptyWithOldObjectsDestroyed)
{
    sCounted::s_live = 0;
    _classbuf<sCounted> objects;
    ASSERT_TRUE(objects.Alloc(5));
    {
        cAllocationFailureScope failing(0);
        EXPECT_FALSE(objects.Alloc(6));
    }
    EXPECT_EQ(sCounted::s_live, 0);
    EXPECT_EQ(objects.GetCount(), 0);
    ExpectOutOfBounds(objects, 0, "_classbuf::Out of bounds");
}

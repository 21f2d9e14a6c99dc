// The TIFF walker on crafted hostile structures, and the Exif date parser. (Exif blocks
// written by exiftool are walked in tests/picture/formats/jpegpicture_test.cpp, whose
// properties are checked against exiftool's own reading.)
#include "base/memio.h"
#include "picture/tiffraw/tiffgeneric.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

// Records each tag's value bytes by (IFD, tag), and the IFDs it finished.
class cRecordingWalker : public cTiffGeneric
{
public:
    std::map<std::pair<u32, u16>, std::vector<u8>> m_tags;
    std::vector<u32> m_ifdsEnded;

protected:
    void OnTag(u16 tag, u16, const u8* value, u32 byteCount, u32 ifd) override
    {
        m_tags[{ifd, tag}] = std::vector<u8>(value, value + byteCount);
    }
    void OnIfdEnd(u32 ifd) override { m_ifdsEnded.push_back(ifd); }
};

// A little-endian TIFF header followed by IFDs written by the test.
struct sTiffBuilder
{
    std::vector<u8> m_bytes{'I', 'I', 42, 0, 8, 0, 0, 0};
    void U16(u16 v) { m_bytes.insert(m_bytes.end(), {u8(v), u8(v >> 8)}); }
    void U32(u32 v) { m_bytes.insert(m_bytes.end(), {u8(v), u8(v >> 8), u8(v >> 16), u8(v >> 24)}); }
    void Entry(u16 tag, u16 type, u32 count, u32 value)
    {
        U16(tag);
        U16(type);
        U32(count);
        U32(value);
    }
};

} // namespace

TEST(TiffGeneric, HostileStructuresFailOnlyAtTheHeader)
{
    // Not TIFF, or IFD0 outside the data.
    const u8 notTiff[] = {'I', 'I', 43, 0, 8, 0, 0, 0, 0, 0};
    cBufWrapperIO notTiffStream(notTiff, sizeof notTiff);
    cRecordingWalker rejected;
    EXPECT_FALSE(rejected.OpenTiff(&notTiffStream));
    const u8 farIfd[] = {'M', 'M', 0, 42, 0x7F, 0xFF, 0xFF, 0xFF};
    cBufWrapperIO farStream(farIfd, sizeof farIfd);
    EXPECT_FALSE(rejected.OpenTiff(&farStream));

    // IFD0 claims 0xFFFF entries but holds two; one points its value past the end, the
    // Exif pointer points at IFD0 itself, and IFD1 (next) loops back to IFD0.
    sTiffBuilder tiff;
    tiff.U16(0xFFFF);
    tiff.Entry(0x010F, kTiffAscii, 0xFFFFFFFF, 0x100000); // value far outside
    tiff.Entry(0x8769, kTiffLong, 1, 8);                  // Exif IFD = IFD0
    tiff.U32(8);                                          // unreachable: entries clipped
    cBufWrapperIO stream(tiff.m_bytes.data(), tiff.m_bytes.size());
    cRecordingWalker walker;
    EXPECT_TRUE(walker.OpenTiff(&stream));
    EXPECT_EQ(walker.m_tags.count({kTiffIfd0, 0x010F}), 0u);
    EXPECT_EQ(walker.m_tags.count({kTiffIfd0, 0x8769}), 1u);
    EXPECT_EQ(walker.m_ifdsEnded, std::vector<u32>{kTiffIfd0});

    // A next pointer back to IFD0 and an unknown type are skipped.
    sTiffBuilder loop;
    loop.U16(1);
    loop.Entry(0x0112, 99, 1, 6);
    loop.U32(8);
    cBufWrapperIO loopStream(loop.m_bytes.data(), loop.m_bytes.size());
    cRecordingWalker looping;
    EXPECT_TRUE(looping.OpenTiff(&loopStream));
    EXPECT_TRUE(looping.m_tags.empty());
    EXPECT_EQ(looping.m_ifdsEnded.size(), 1u);
}

TEST(TiffGeneric, EntriesSharingOneLargeValueStayWithinTheReadBudget)
{
    // 3000 entries all naming the same 1 MiB value: without a budget the walk would read
    // it 3000 times (3 GiB of reads from a 1 MiB structure).
    constexpr u32 kEntries = 3000;
    constexpr u32 kValueSize = 1u << 20;
    sTiffBuilder tiff;
    tiff.U16(u16(kEntries));
    const u32 valueOffset = 8 + 2 + kEntries * 12 + 4;
    for (u32 i = 0; i < kEntries; ++i) {
        tiff.Entry(u16(0xC000 + i), kTiffUndefined, kValueSize, valueOffset);
    }
    tiff.U32(0);
    tiff.m_bytes.resize(valueOffset + kValueSize, 0x5A);

    struct cCountingWalker : cTiffGeneric
    {
        u64 m_bytes = 0;
        u32 m_whole = 0;
        void OnTag(u16, u16, const u8* value, u32 byteCount, u32) override
        {
            m_bytes += byteCount;
            m_whole += byteCount == kValueSize && value[0] == 0x5A && value[kValueSize - 1] == 0x5A;
        }
    } walker;
    cBufWrapperIO stream(tiff.m_bytes.data(), tiff.m_bytes.size());
    ASSERT_TRUE(walker.OpenTiff(&stream));
    const u64 budget = cTiffGeneric::ValueBudget(tiff.m_bytes.size());
    EXPECT_LE(walker.m_bytes, budget);
    // Every value that fits the budget is still handed over whole.
    EXPECT_EQ(walker.m_whole, u32(budget / kValueSize));
}

TEST(TiffGeneric, RationalsNeverReadPastTheValue)
{
    sTiffBuilder tiff; // only for the byte order
    cBufWrapperIO stream(tiff.m_bytes.data(), tiff.m_bytes.size());
    cRecordingWalker walker;
    (void)walker.OpenTiff(&stream);
    const u8 value[] = {1, 0, 0, 0, 4, 0, 0, 0, 7, 0, 0, 0, 0, 0, 0, 0, 9, 9, 9};
    double out[4] = {-1, -1, -1, -1};
    EXPECT_EQ(ReadTagRationals(walker, value, sizeof value, out, 4), 2);
    EXPECT_EQ(out[0], 0.25);
    EXPECT_EQ(out[1], 0.0) << "a zero denominator gives 0";
    EXPECT_EQ(out[2], -1);
    EXPECT_EQ(ReadTagRationals(walker, value, 8, out, 1), 1);
}

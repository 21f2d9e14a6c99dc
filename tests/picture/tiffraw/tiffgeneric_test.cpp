// The TIFF walker on Exif blocks written by exiftool, and on crafted hostile structures.
#include "base/memio.h"
#include "picture/referencetools.h"
#include "picture/tiffraw/exifdatetime.h"
#include "picture/tiffraw/tiffgeneric.h"

#include <map>

namespace {

struct sSeenTag
{
    u16 m_type;
    std::vector<u8> m_value;
};

class cRecordingWalker : public cTiffGeneric
{
public:
    std::map<std::pair<u32, u16>, sSeenTag> m_tags; // (ifd, tag) -> value
    std::vector<u32> m_ifdsEnded;

    std::string Ascii(u32 ifd, u16 tag) const
    {
        auto found = m_tags.find({ifd, tag});
        if (found == m_tags.end()) {
            return "<absent>";
        }
        const std::vector<u8>& value = found->second.m_value;
        std::string text(value.begin(), value.end());
        return text.substr(0, text.find('\0'));
    }

protected:
    void OnTag(u16 tag, u16 type, const u8* value, u32 byteCount, u32 ifd) override
    {
        m_tags[{ifd, tag}] = {type, std::vector<u8>(value, value + byteCount)};
    }
    void OnIfdEnd(u32 ifd) override { m_ifdsEnded.push_back(ifd); }
};

// The payload of the first APP1 "Exif\0\0" segment, from its TIFF header on.
std::vector<u8> ExifPayload(const std::vector<u8>& jpeg)
{
    size_t at = 2;
    while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF) {
        const size_t length = (size_t(jpeg[at + 2]) << 8) | jpeg[at + 3];
        if (jpeg[at + 1] == 0xE1 && at + 2 + length <= jpeg.size() &&
            std::equal(jpeg.begin() + i64(at) + 4, jpeg.begin() + i64(at) + 10, "Exif\0\0")) {
            return std::vector<u8>(jpeg.begin() + i64(at) + 10, jpeg.begin() + i64(at + 2 + length));
        }
        at += 2 + length;
    }
    return {};
}

std::vector<u8> MakeTaggedExif(const std::string& byteOrder)
{
    const qeltest::cScratchFolder folder;
    const bool made = picttest::RunsOk(
        "cd " + folder.Path() + " && convert -size 32x24 xc:gray p.ppm && cjpeg -outfile p.jpg p.ppm && "
        "convert -size 16x12 xc:red t.jpg && exiftool -q -overwrite_original -ExifByteOrder=" +
        byteOrder +
        " -Make=Maker -Model=M1 '-DateTimeOriginal=2021:02:03 04:05:06' -GPSLatitude=48.51 "
        "-GPSLatitudeRef=S -ExposureTime=1/250 -XResolution=300 '-ThumbnailImage<=t.jpg' p.jpg");
    return made ? ExifPayload(picttest::ReadFileBytes(folder.PathOf("p.jpg"))) : std::vector<u8>();
}

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

TEST(TiffGeneric, WalksExiftoolBlocksInBothByteOrders)
{
    QEL_REQUIRE(qeltest::HaveTool("exiftool") && qeltest::HaveTool("cjpeg"),
                "exiftool (libimage-exiftool-perl) and cjpeg");
    for (const char* order : {"MM", "II"}) {
        SCOPED_TRACE(order);
        std::vector<u8> payload = MakeTaggedExif(order);
        ASSERT_FALSE(payload.empty());
        cBufWrapperIO stream(payload.data(), payload.size());
        cRecordingWalker walker;
        ASSERT_TRUE(walker.OpenTiff(&stream));
        EXPECT_EQ(walker.IsBigEndian(), std::string(order) == "MM");
        EXPECT_EQ(walker.Ascii(kTiffIfd0, 0x010F), "Maker");
        EXPECT_EQ(walker.Ascii(kTiffIfd0, 0x0110), "M1");
        EXPECT_EQ(walker.Ascii(kTiffIfdExif, 0x9003), "2021:02:03 04:05:06");
        EXPECT_EQ(walker.Ascii(kTiffIfdGps, 0x0001), "S");
        // Both IFD0 and the thumbnail IFD carry an XResolution; they stay apart.
        auto ifd0Resolution = walker.m_tags.find({kTiffIfd0, 0x011A});
        auto thumbResolution = walker.m_tags.find({kTiffIfdThumbnail, 0x011A});
        ASSERT_NE(ifd0Resolution, walker.m_tags.end());
        ASSERT_NE(thumbResolution, walker.m_tags.end());
        double resolution[2] = {};
        EXPECT_EQ(ReadTagRationals(walker, ifd0Resolution->second.m_value.data(),
                                   u32(ifd0Resolution->second.m_value.size()), resolution, 2),
                  1);
        EXPECT_EQ(resolution[0], 300.0);
        EXPECT_EQ(ReadTagRationals(walker, thumbResolution->second.m_value.data(),
                                   u32(thumbResolution->second.m_value.size()), resolution, 2),
                  1);
        EXPECT_EQ(resolution[0], 72.0);
        EXPECT_NE(walker.m_tags.find({kTiffIfdThumbnail, 0x0201}), walker.m_tags.end());
        EXPECT_NE(walker.m_tags.find({kTiffIfdThumbnail, 0x0202}), walker.m_tags.end());
        ASSERT_GE(walker.m_ifdsEnded.size(), 4u);
        EXPECT_EQ(walker.m_ifdsEnded.front(), u32(kTiffIfd0));
        EXPECT_EQ(walker.m_ifdsEnded.back(), u32(kTiffIfdThumbnail));
    }
}

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

TEST(ExifDateTime, AcceptsOnlyWellFormedDates)
{
    sDateTime when{};
    // Exif counts include the NUL: a date-time arrives as 20 bytes.
    ASSERT_TRUE(ParseExifDateTime("2021:02:03 04:05:06", 20, when));
    EXPECT_EQ(std::tuple(when.m_year, when.m_month, when.m_day, when.m_hour, when.m_minute,
                         when.m_second),
              std::tuple(2021, 2, 3, 4, 5, 6));
    ASSERT_TRUE(ParseExifDateTime("1999:12:31", 11, when));
    EXPECT_EQ(when.m_hour, 0);
    const char* refused[] = {
        "    :  :     :  :  ", "0000:00:00 00:00:00", "2021:13:01 00:00:00", "2021:01:32",
        "2021:01:01 24:00:00", "2021-01-01 00:00:00", "2021:01:01 00:00",    "2021:1:01",
        "2021:01:01T00:00:00",
    };
    for (const char* text : refused) {
        EXPECT_FALSE(ParseExifDateTime(text, 20, when)) << text;
    }
    // The length bounds the text even without a NUL.
    EXPECT_FALSE(ParseExifDateTime("2021:02:03 04:05:06", 12, when));
    EXPECT_FALSE(ParseExifDateTime(nullptr, 20, when));
}

// Small files that declare a 16384 x 16383 picture and hold a few rows of it, or none:
// the decode fails, and the memory made resident follows the rows that arrived, not the
// declared size (1 GB of 32-bit pixels, 2 GB of 64-bit ones).
#include "base/clock.h"
#include "picture/formats/jpegpicture.h"
#include "picture/picturesupport.h"

#include <fstream>

namespace {

using namespace picttest;

// The largest buffer here (64-bit pixels) brings AddressSanitizer's shadow with it.
constexpr i64 kShadowAllowance = AsanShadowOf(i64(16384) * 16383 * 8);

constexpr const char* kGrowthUnmeasured = "ThreadSanitizer's allocator commits cleared memory";

// A PNG of RGBA16 (zero, one or two rows of image data, plain and Adam7) and JPEGs with
// their frame patched to the huge size (baseline and progressive, about 4 KB each).
constexpr const char* kMakeFiles = R"(
import struct, sys, zlib
def chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
def png(name, interlace, rows):
    header = struct.pack('>IIBBBBB', 16384, 16383, 16, 6, 0, 0, interlace)
    data = zlib.compress(bytes(rows * (16384 * 8 + 1)))[:-4] if rows else b'\x78\x9c'
    open(name, 'wb').write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) + chunk(b'IDAT', data) + chunk(b'IEND', b''))
png('none.png', 0, 0); png('rows.png', 0, 2); png('adam7.png', 1, 2)
for name, sof in (('base.jpg', 0xC0), ('prog.jpg', 0xC2)):
    data = bytearray(open(name, 'rb').read())
    at = data.index(bytes([0xFF, sof]))
    data[at + 5:at + 9] = struct.pack('>HH', 16383, 16384)
    open('huge_' + name, 'wb').write(data)
)";

TEST(ResidentMemory, HugeDeclaredPicturesFailWithinTheRowsThatArrived)
{
    if (!kResidentGrowthMeasured) {
        GTEST_SKIP() << kGrowthUnmeasured;
    }
    QEL_REQUIRE(qeltest::HaveTool("convert"), "convert (imagemagick)");
    qeltest::cScratchFolder folder;
    WriteFileBytes(folder.PathOf("make.py"), kMakeFiles);
    ASSERT_TRUE(RunsOk("cd " + folder.Path() +
                       " && convert -seed 1 -size 80x80 plasma:fractal -quality 90 base.jpg"
                       " && convert base.jpg -interlace JPEG prog.jpg && /usr/bin/python3 make.py"));
    for (const char* name : {"none.png", "rows.png", "adam7.png", "huge_base.jpg", "huge_prog.jpg"}) {
        SCOPED_TRACE(name);
        const std::vector<u8> bytes = ReadFileBytes(folder.PathOf(name));
        ASSERT_LT(bytes.size(), 8192u);
        cPictPNG png;
        cPictJPEG jpeg;
        cPictBase& picture = bytes[0] == 0x89 ? static_cast<cPictBase&>(png) : jpeg;
        bool loaded = true;
        EXPECT_LT(PeakResidentGrowth([&] { loaded = DecodeBytes(bytes, picture); }),
                  (64 << 20) + kShadowAllowance);
        EXPECT_FALSE(loaded);
    }
}

// A 192-byte three-plane PCX that declares 16384 x 16384 and holds 64 bytes of its first
// row: its decode, thumbnail and file properties fail within a few rows' memory and time.
TEST(ResidentMemory, HugeDeclaredPcxFailsWithinTheRowsThatArrived)
{
    if (!kResidentGrowthMeasured) {
        GTEST_SKIP() << kGrowthUnmeasured;
    }
    std::vector<u8> bytes(192);
    const u8 header[] = {0x0A, 5, 1, 8, 0, 0, 0, 0, 0xFF, 0x3F, 0xFF, 0x3F};
    std::copy(std::begin(header), std::end(header), bytes.begin());
    bytes[65] = 3;    // planes
    bytes[67] = 0x40; // 16384 bytes per line
    bytes[68] = 1;    // colour palette interpretation
    const u64 start = MicrosecondClock();
    const sEveryRoad roads = TryEveryRoad(bytes);
    // Filling the declared picture before its rows took seconds and 1 GB.
    EXPECT_LT(MicrosecondClock() - start, 1500000u);
    EXPECT_LT(roads.growth, (64 << 20) + kShadowAllowance);
    EXPECT_FALSE(roads.decoded);
    EXPECT_FALSE(roads.thumbnail);
    EXPECT_FALSE(roads.propsPicture);
}

} // namespace

// Malformed JPEG headers and data, built from a small valid file by patching fields: each
// must fail cleanly (the ASan build checks "cleanly").
#include "jpegtestdecoder.h"

namespace {

// A 16x16 three-component baseline file: DQT, SOF0 (2x2, 1x1, 1x1), one DC and one AC
// table (one code each), SOS, entropy data of zeros (DC 0, EOB for every block), EOI.
std::vector<u8> ValidFile()
{
    std::vector<u8> f;
    f.reserve(256); // no reallocation: GCC 12 -O3 misreads a growing insert as out of bounds
    f.insert(f.end(), {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x43, 0x00});
    f.insert(f.end(), 64, 1);
    f.insert(f.end(), {0xFF, 0xC0, 0x00, 0x11, 0x08, 0x00, 0x10, 0x00, 0x10, 0x03, 0x01, 0x22,
                       0x00, 0x02, 0x11, 0x00, 0x03, 0x11, 0x00});
    for (u8 tableClass : {u8(0x00), u8(0x10)}) {
        f.insert(f.end(), {0xFF, 0xC4, 0x00, 0x14, tableClass, 0x01});
        f.insert(f.end(), 15, 0);
        f.push_back(0x00);
    }
    f.insert(f.end(), {0xFF, 0xDA, 0x00, 0x0C, 0x03, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x00,
                       0x3F, 0x00});
    f.insert(f.end(), 6, 0x00); // 6 blocks x (DC '0', EOB '0') = 12 bits
    f.insert(f.end(), {0xFF, 0xD9});
    return f;
}

// Bytes written at an offset from a marker of the valid file (the first DHT is the DC one).
struct sPatch
{
    u8 marker;
    size_t offset;
    std::vector<u8> bytes;
};

struct sHostileCase
{
    const char* what;
    std::vector<sPatch> patches;
};

const std::vector<u8> kCountsOf300 = {20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 0};

const sHostileCase kCases[] = {
    {"no components", {{0xC0, 9, {0}}}},
    {"five components", {{0xC0, 9, {5}}}},
    {"two components declared, three present", {{0xC0, 9, {2}}}},
    {"horizontal sampling 0", {{0xC0, 11, {0x02}}}},
    {"horizontal sampling 5", {{0xC0, 11, {0x52}}}},
    {"vertical sampling 0", {{0xC0, 11, {0x20}}}},
    {"3x2 beside 2x2, a 2 to 3 ratio", {{0xC0, 14, {0x32}}}},
    {"quantisation table 4 in the frame", {{0xC0, 12, {4}}}},
    {"precision 7 in a baseline frame", {{0xC0, 4, {7}}}},
    {"two components with one id", {{0xC0, 13, {1}}}},
    {"DQT naming table 4", {{0xDB, 4, {4}}}},
    {"17 codes of length 1, over-subscribed", {{0xC4, 5, {17}}}},
    {"2 codes of length 1, no all-ones code left", {{0xC4, 5, {2}}}},
    {"code counts summing to 300", {{0xC4, 5, kCountsOf300}}},
    {"DC symbol 16 in a lossy frame", {{0xC4, 21, {16}}}},
    {"scan of a component the frame lacks", {{0xDA, 5, {9}}}},
    {"scan naming undefined tables 1", {{0xDA, 6, {0x11}}}},
    {"scan naming one component twice", {{0xDA, 7, {1}}}},
    {"progressive scan with Ss above Se", {{0xC0, 1, {0xC2}}, {0xDA, 11, {5, 2}}}},
    {"progressive scan with Al 14", {{0xC0, 1, {0xC2}}, {0xDA, 12, {0, 0x0E}}}},
};

void PrintTo(const sHostileCase& item, std::ostream* out)
{
    *out << item.what;
}

class JpegHostile : public ::testing::TestWithParam<sHostileCase>
{
};

TEST_P(JpegHostile, Fails)
{
    const std::vector<u8> base = ValidFile();
    std::vector<u8> file = base;
    for (const sPatch& patch : GetParam().patches) {
        const std::optional<size_t> at = FindMarker(base, patch.marker);
        ASSERT_TRUE(at && *at + patch.offset + patch.bytes.size() <= file.size());
        std::copy(patch.bytes.begin(), patch.bytes.end(), file.begin() + i64(*at + patch.offset));
    }
    ASSERT_NE(file, base);
    cTestJpegDecoder decoder;
    EXPECT_FALSE(decoder.Decode(file));
}

INSTANTIATE_TEST_SUITE_P(Patches, JpegHostile, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<sHostileCase>& info) {
                             return picttest::CamelCaseName(info.param.what);
                         });

} // namespace

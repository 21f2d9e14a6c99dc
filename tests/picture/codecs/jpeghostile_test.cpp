// Malformed JPEG headers and data, built from a small valid file by patching fields: each
// must fail cleanly (the ASan build checks "cleanly").
#include "jpegtestdecoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A 16x16 three-component baseline file: DQT, SOF0 (2x2, 1x1, 1x1), one DC and one AC
// table (one code each), SOS, entropy data of zeros (DC 0, EOB for every block), EOI.
std::vector<u8> ValidFile()
{
    std::vector<u8> f = {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x43, 0x00};
    f.insert(f.end(), 64, 1);
    const u8 frame[] = {0xFF, 0xC0, 0x00, 0x11, 0x08, 0x00, 0x10, 0x00, 0x10, 0x03,
                        0x01, 0x22, 0x00, 0x02, 0x11, 0x00, 0x03, 0x11, 0x00};
    f.insert(f.end(), std::begin(frame), std::end(frame));
    for (u8 tableClass : {u8(0x00), u8(0x10)}) {
        const u8 table[] = {0xFF, 0xC4, 0x00, 0x14, tableClass, 0x01, 0, 0, 0, 0, 0, 0, 0,
                            0,    0,    0,    0,    0,          0,    0, 0, 0x00};
        f.insert(f.end(), std::begin(table), std::end(table));
    }
    const u8 scan[] = {0xFF, 0xDA, 0x00, 0x0C, 0x03, 0x01, 0x00, 0x02,
                       0x00, 0x03, 0x00, 0x00, 0x3F, 0x00};
    f.insert(f.end(), std::begin(scan), std::end(scan));
    f.insert(f.end(), 6, 0x00); // 6 blocks x (DC '0', EOB '0') = 12 bits
    f.insert(f.end(), {0xFF, 0xD9});
    return f;
}

size_t Find(const std::vector<u8>& file, u8 marker)
{
    for (size_t i = 0; i + 1 < file.size(); ++i) {
        if (file[i] == 0xFF && file[i + 1] == marker) {
            return i;
        }
    }
    return 0;
}

bool Decodes(const std::vector<u8>& file, std::string* error = nullptr)
{
    cTestJpegDecoder decoder;
    bool ok = decoder.Decode(file);
    if (error != nullptr) {
        *error = decoder.m_error;
    }
    return ok;
}

} // namespace

TEST(JpegHostile, TheBaseFileIsValid)
{
    std::string error;
    EXPECT_TRUE(Decodes(ValidFile(), &error)) << error;
}

TEST(JpegHostile, FrameHeaderFieldsOutOfRange)
{
    const std::vector<u8> base = ValidFile();
    const size_t sof = Find(base, 0xC0);
    struct sPatch
    {
        size_t m_offset;
        u8 m_value;
        const char* m_what;
    } patches[] = {
        {9, 0, "no components"},          {9, 5, "five components"}, {9, 2, "two components"},
        {11, 0x02, "horizontal sampling 0"}, {11, 0x52, "horizontal sampling 5"},
        {11, 0x20, "vertical sampling 0"},   {14, 0x32, "3x2 beside 2x2: a 2:3 ratio"},
        {12, 4, "quantisation table 4"},     {4, 7, "precision 7 in a baseline frame"},
        {13, 1, "two components with one id"},
    };
    for (const sPatch& patch : patches) {
        std::vector<u8> file = base;
        file[sof + patch.m_offset] = patch.m_value;
        EXPECT_FALSE(Decodes(file)) << patch.m_what;
    }
}

TEST(JpegHostile, TablesOutOfRange)
{
    const std::vector<u8> base = ValidFile();
    // DQT naming table 4.
    std::vector<u8> dqt = base;
    dqt[Find(dqt, 0xDB) + 4] = 0x04;
    EXPECT_FALSE(Decodes(dqt));
    // 17 codes of length 1: over-subscribed.
    std::vector<u8> oversubscribed = base;
    oversubscribed[Find(oversubscribed, 0xC4) + 5] = 17;
    EXPECT_FALSE(Decodes(oversubscribed));
    // Two codes of length 1 leave no room for the next code: also refused (no all-ones code).
    std::vector<u8> full = base;
    full[Find(full, 0xC4) + 5] = 2;
    EXPECT_FALSE(Decodes(full));
    // Counts summing to 300.
    std::vector<u8> many = base;
    const size_t dht = Find(many, 0xC4);
    for (int i = 0; i < 16; ++i) {
        many[dht + 5 + i] = i < 15 ? 20 : 0;
    }
    EXPECT_FALSE(Decodes(many));
    // A DC table whose symbol is 16 in a lossy frame.
    std::vector<u8> dcSymbol = base;
    const size_t symbol = Find(dcSymbol, 0xC4) + 21;
    ASSERT_LT(symbol, dcSymbol.size());
    dcSymbol[symbol] = 16;
    EXPECT_FALSE(Decodes(dcSymbol));
}

TEST(JpegHostile, ScanHeaderOutOfRange)
{
    const std::vector<u8> base = ValidFile();
    const size_t sos = Find(base, 0xDA);
    std::vector<u8> component = base;
    component[sos + 5] = 9; // a component the frame does not have
    EXPECT_FALSE(Decodes(component));
    std::vector<u8> table = base;
    table[sos + 6] = 0x11; // DC and AC table 1, never defined
    EXPECT_FALSE(Decodes(table));
    std::vector<u8> twice = base;
    twice[sos + 7] = 1; // the first component again
    EXPECT_FALSE(Decodes(twice));

    // A progressive frame with Ss > Se, and one with Al = 14.
    std::vector<u8> progressive = base;
    progressive.at(Find(progressive, 0xC0) + 1) = 0xC2;
    std::vector<u8> spectral = progressive;
    spectral[sos + 11] = 5;
    spectral[sos + 12] = 2;
    EXPECT_FALSE(Decodes(spectral));
    std::vector<u8> approximation = progressive;
    approximation[sos + 12] = 0;
    approximation[sos + 13] = 0x0E;
    EXPECT_FALSE(Decodes(approximation));
}

TEST(JpegHostile, EveryByteFlipFailsOrDecodesCleanly)
{
    const std::vector<u8> base = ValidFile();
    for (size_t i = 2; i < base.size(); ++i) {
        for (u8 value : {u8(0x00), u8(0xFF), u8(base[i] ^ 0x80)}) {
            std::vector<u8> file = base;
            file[i] = value;
            (void)Decodes(file);
        }
    }
}

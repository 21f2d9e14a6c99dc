// The MQ decoder and the generic region decoder against the T.88 Annex H.2 sequence and
// the test encoder (the jbig2dec comparison is in the picture tests).
#include "picture/codecs/jbig2encoder.h"
#include "picture/codecs/jbig2generic.h"

#include <gtest/gtest.h>

namespace {

using namespace jbig2test;

// T.88 H.2: 32 input bytes and their 30 coded bytes (one context, state 0, MPS 0).
const std::vector<u8> kH2Input = {0x00, 0x02, 0x00, 0x51, 0x00, 0x00, 0x00, 0xC0, 0x03, 0x52, 0x87,
                                  0x2A, 0xAA, 0xAA, 0xAA, 0xAA, 0x82, 0xC0, 0x20, 0x00, 0xFC, 0xD7,
                                  0x9E, 0xF6, 0xBF, 0x7F, 0xED, 0x90, 0x4F, 0x46, 0xA3, 0xBF};
const std::vector<u8> kH2Coded = {0x84, 0xC7, 0x3B, 0xFC, 0xE1, 0xA1, 0x43, 0x04, 0x02, 0x20,
                                  0x00, 0x00, 0x41, 0x0D, 0xBB, 0x86, 0xF4, 0x31, 0x7F, 0xFF,
                                  0x88, 0xFF, 0x37, 0x47, 0x1A, 0xDB, 0x6A, 0xDF, 0xFF, 0xAC};

TEST(Jbig2Mq, AnnexH2BothWays)
{
    cMqEncoder encoder;
    tMqContext context = 0;
    for (u8 byte : kH2Input) {
        for (i32 bit = 7; bit >= 0; --bit) {
            encoder.Encode((byte >> bit) & 1, context);
        }
    }
    EXPECT_EQ(encoder.Finish(), kH2Coded);

    sMqDecoder decoder;
    ASSERT_TRUE(MqDecoderInit(&decoder, kH2Coded.data(), kH2Coded.size()));
    tMqContext state = 0;
    std::vector<u8> decoded(kH2Input.size());
    for (u8& byte : decoded) {
        for (i32 bit = 0; bit < 8; ++bit) {
            byte = u8(byte << 1 | MqDecode(&decoder, &state));
        }
    }
    EXPECT_EQ(decoded, kH2Input);
    EXPECT_FALSE(MqDecoderInit(&decoder, kH2Coded.data(), 0));
}

// Decodes `code` as a region of the bitmap's size; the pixels, or empty on failure.
std::vector<u8> Decode(const std::vector<u8>& code, size_t window, const sBitmap& bitmap, u8 flags,
                       const i8* at)
{
    sJbig2GenericHeader header{u32(bitmap.width), u32(bitmap.height), flags};
    std::copy(at, at + 8, header.at);
    sMqDecoder decoder;
    _typebuf<u8> bits;
    if (!MqDecoderInit(&decoder, code.data(), window) ||
        !DecodeGenericRegion(header, &decoder, bits)) {
        return {};
    }
    const i32 stride = (bitmap.width - 1) / 8 + 1;
    std::vector<u8> pixels;
    for (i32 y = 0; y < bitmap.height; ++y) {
        for (i32 x = 0; x < stride * 8; ++x) { // padding bits must be 0 too
            const u32 bit = (bits.GetData()[y * stride + x / 8] >> (7 - x % 8)) & 1;
            if (x < bitmap.width) {
                pixels.push_back(u8(bit));
            } else if (bit != 0) {
                return {};
            }
        }
    }
    return pixels;
}

TEST(Jbig2Generic, EncoderRoundTripsEveryTemplateAtAndWidth)
{
    // Moved AT pixels: near ones (inside the row windows) and far ones (read one by one).
    const i8 kFar[4][8] = {{-40, -1, 5, -3, -128, 0, 127, -128}, {-30, 0}, {9, -7}, {-1, 0}};
    u32 seed = 1;
    for (i32 gbTemplate = 0; gbTemplate < 4; ++gbTemplate) {
        for (const auto* at : {kNominalAt[gbTemplate], kMovedAt[gbTemplate], kFar[gbTemplate]}) {
            for (bool tpgdon : {false, true}) {
                for (i32 width : {1, 7, 8, 9, 63, 64, 65, 1000}) {
                    const i32 height = 1 + i32(seed % (width == 1000 ? 40 : 300));
                    const sBitmap bitmap = RandomBitmap(width, height, seed++);
                    const std::vector<u8> code = EncodeGeneric(bitmap, gbTemplate, at, tpgdon);
                    const u8 flags = u8(gbTemplate << 1 | (tpgdon ? 8 : 0));
                    ASSERT_EQ(Decode(code, code.size(), bitmap, flags, at), bitmap.pixels)
                        << "template " << gbTemplate << " at " << i32(at[0]) << " tpgdon " << tpgdon
                        << " " << width << "x" << height;
                }
            }
        }
    }
}

// Fault fix: the decoder reads only the region's own bytes (past them it reads 0xFF), so
// the next segment's bytes cannot change the region.
TEST(Jbig2Mq, ReadsOnlyItsWindowAndOnesAfterIt)
{
    const sBitmap bitmap = RandomBitmap(64, 64, 7);
    std::vector<u8> code = EncodeGeneric(bitmap, 0, kNominalAt[0], false);
    code.resize(code.size() - 2); // without the end marker
    const size_t window = code.size();
    code.insert(code.end(), {0x00, 0x00, 0x00, 0x01, 0x30, 0x00});
    EXPECT_EQ(Decode(code, window, bitmap, 0, kNominalAt[0]), bitmap.pixels);
}

} // namespace

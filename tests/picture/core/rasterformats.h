#pragma once
// Helpers of the TGA, PPM, PCX and XPM tests: decoding bytes with a new reader, the checks
// every good file goes through (streaming, cut files), and tables of crafted files.
#include "reference_decoder.h"
#include "support/testsupport.h"

#include <functional>

namespace rastertest {

using tPixels = std::vector<u32>;
using tMake = std::function<cPictBase*()>;

// The picture's pixels from the top, deep ones mapped down.
inline tPixels Decoded(cPictBase& picture)
{
    _typebuf<u32> pixels;
    if (!picture.GetPixels32(pixels)) {
        return {};
    }
    return pngtest::TopDown(pixels.GetData(), picture.GetWidth(), picture.GetHeight());
}

// Decodes `bytes` with a new reader; empty when the load fails.
inline tPixels Decode(const tMake& make, const std::vector<u8>& bytes)
{
    std::unique_ptr<cPictBase> picture(make());
    return pngtest::DecodeBytes(bytes, *picture) ? Decoded(*picture) : tPixels();
}

// What every good file must also do: stream at scale 1 into a cleared same-size target
// with the pixels of the buffer decode, stream scaled into 37 x 23 without fault, and fail
// cleanly when cut at every 1/32 of its length (`cutsFail`: every cut must fail).
inline void CheckStreamingAndCuts(const tMake& make, const std::vector<u8>& bytes, bool cutsFail)
{
    std::unique_ptr<cPictBase> picture(make());
    ASSERT_TRUE(pngtest::DecodeBytes(bytes, *picture));
    cPictDummy same;
    ASSERT_TRUE(same.AllocClear32(picture->GetWidth(), picture->GetHeight()));
    sPictTarget target = PictTargetFromPicture(&same);
    std::unique_ptr<cPictBase> streamed(make());
    ASSERT_TRUE(streamed->SetTarget(&target));
    ASSERT_TRUE(pngtest::DecodeBytes(bytes, *streamed));
    EXPECT_EQ(Decoded(same), Decoded(*picture));
    std::vector<u32> small(37 * 23, 0);
    sPictTarget scaled{small.data(), 37, 23};
    ASSERT_TRUE(streamed->SetTarget(&scaled));
    EXPECT_TRUE(pngtest::DecodeBytes(bytes, *streamed));
    EXPECT_FALSE(streamed->HasTarget());
    for (size_t k = 1; k < 32; ++k) {
        const std::vector<u8> cut(bytes.begin(), bytes.begin() + i64(bytes.size() * k / 32));
        EXPECT_TRUE(Decode(make, cut).empty() || !cutsFail) << "cut at " << k << "/32";
    }
}

// A crafted file: whether the probe takes it and the pixels from the top (empty: Load
// fails). Good ones also stream; their cuts must not fault (some carry trailing bytes).
struct sCraftedCase
{
    const char* what;
    std::vector<u8> bytes;
    bool probes;
    tPixels want;
};

inline void ExpectCraftedCases(const tMake& make, const std::vector<sCraftedCase>& cases)
{
    for (const sCraftedCase& c : cases) {
        SCOPED_TRACE(c.what);
        cBufWrapperIO stream(c.bytes.data(), c.bytes.size());
        std::unique_ptr<cPictBase> probe(make());
        EXPECT_EQ(probe->ReadInfo(&stream, nullptr), c.probes);
        EXPECT_EQ(Decode(make, c.bytes), c.want);
        if (!c.want.empty()) {
            CheckStreamingAndCuts(make, c.bytes, false);
        }
    }
}

inline std::vector<u8> Bytes(const std::string& text)
{
    return std::vector<u8>(text.begin(), text.end());
}

inline u32 Grey(u32 v)
{
    return 0xFF000000 | v * 0x010101;
}

} // namespace rastertest

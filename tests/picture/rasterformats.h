#pragma once
// Helpers of the TGA, PPM, PCX and XPM tests: decoding bytes with a new reader, the checks
// every good file goes through (streaming, cut files), and tables of crafted files.
#include "picturesupport.h"

#include <functional>

namespace rastertest {

using tPixels = std::vector<u32>;
using tMake = std::function<cPictBase*()>;

// The picture's pixels from the top, deep ones mapped down; empty when the load fails.
inline tPixels Decode(const tMake& make, const std::vector<u8>& bytes)
{
    picttest::tPicture picture(make());
    _typebuf<u32> pixels;
    if (!picttest::DecodeBytes(bytes, *picture) || !picture->GetPixels32(pixels)) {
        return {};
    }
    return picttest::TopDown(pixels.GetData(), picture->GetWidth(), picture->GetHeight());
}

// What every good file must also do: stream at scale 1 into a cleared same-size target
// with the pixels of the buffer decode, stream scaled into 37 x 23 without fault, and fail
// cleanly when cut at every 1/32 of its length (`cutsFail`: every cut must fail).
inline void CheckStreamingAndCuts(const tMake& make, const std::vector<u8>& bytes, bool cutsFail)
{
    const tPixels decoded = Decode(make, bytes);
    picttest::tPicture picture(make());
    ASSERT_TRUE(picttest::DecodeBytes(bytes, *picture));
    const i32 w = picture->GetWidth();
    const i32 h = picture->GetHeight();
    for (const bool sameSize : {true, false}) {
        picttest::sTargetBuffer buffer(sameSize ? w : 37, sameSize ? h : 23, 0);
        ASSERT_TRUE(picture->SetTarget(&buffer.target));
        ASSERT_TRUE(picttest::DecodeBytes(bytes, *picture));
        EXPECT_FALSE(picture->HasTarget());
        if (sameSize) {
            EXPECT_EQ(picttest::TopDown(buffer.pixels.data(), w, h), decoded);
        }
    }
    picttest::ForEachCut(bytes, [&](const std::vector<u8>& cut) {
        EXPECT_TRUE(Decode(make, cut).empty() || !cutsFail);
    });
}

// A crafted file: the pixels from the top (empty: Load fails) and whether the probe takes
// it. Good ones also stream; their cuts must not fault (some carry trailing bytes).
struct sCraftedCase
{
    const char* what;
    std::vector<u8> bytes;
    tPixels want;
    bool probes = true;
};

inline void ExpectCraftedCases(const tMake& make, const std::vector<sCraftedCase>& cases)
{
    for (const sCraftedCase& c : cases) {
        SCOPED_TRACE(c.what);
        cBufWrapperIO stream(c.bytes.data(), c.bytes.size());
        EXPECT_EQ(picttest::tPicture(make())->ReadInfo(&stream, nullptr), c.probes);
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

#pragma once
// Helpers of the TGA, PPM, PCX and XPM tests: files made by real tools in a scratch folder
// from one plasma picture, reference decodes as 0xAARRGGBB pixels from the top, and the
// checks every corpus file goes through (streaming, cut files).
#include "reference_decoder.h"
#include "support/testsupport.h"

#include <functional>

namespace rastertest {

using tPixels = std::vector<u32>;

// The scratch folder with the plasma sources src.ppm (67 x 45) and s1x1, s1x9, s9x1,
// s13x7 (.ppm), made by ImageMagick 6 with a fixed seed.
struct sSources
{
    qeltest::cScratchFolder folder;
    bool made = false;
    sSources()
    {
        std::string command = "cd '" + folder.Path() + "'";
        for (const char* size : {"67x45", "1x1", "1x9", "9x1", "13x7"}) {
            command += std::string(" && /usr/bin/convert -seed 5 -size ") + size +
                       " plasma:fractal -depth 8 s" + size + ".ppm";
        }
        made = qeltest::RunCommand(command + " && mv s67x45.ppm src.ppm && echo ok") == "ok\n";
    }
    // Runs `command` in the folder; true when it succeeds.
    bool Run(const std::string& command) const
    {
        return qeltest::RunCommand("cd '" + folder.Path() + "' && { " + command +
                                   "; } >/dev/null 2>&1 && echo ok") == "ok\n";
    }
    std::string PathOf(const std::string& name) const { return folder.PathOf(name); }
};

// The picture's pixels from the top, deep ones mapped down.
inline tPixels Decoded(cPictBase& picture)
{
    _typebuf<u32> pixels;
    if (!picture.GetPixels32(pixels)) {
        return {};
    }
    return pngtest::TopDown(pixels.GetData(), picture.GetWidth(), picture.GetHeight());
}

// A netpbm reference decode (`command` prints a PNM or PAM) as pixels; maxval 1 (bitmaps)
// becomes 0 and 255, other samples are taken as they are (8-bit references only).
inline tPixels NetpbmPixels(const std::string& command)
{
    pngtest::sPam pam;
    if (!pngtest::ParsePam(pngtest::RunCommand(command + " | pamtopam"), pam) || pam.maxval > 255) {
        return {};
    }
    if (pam.maxval == 1) {
        pam.maxval = 255;
        for (u32& sample : pam.samples) {
            sample *= 255;
        }
    }
    return pngtest::PamPixels32(pam);
}

// Pillow's RGBA decode.
inline tPixels PillowPixels(const std::string& path)
{
    const std::vector<u8> rgba = pngtest::RunCommand(
        "/usr/bin/python3 -c 'import sys; from PIL import Image; "
        "sys.stdout.buffer.write(Image.open(sys.argv[1]).convert(\"RGBA\").tobytes())' '" +
        path + "'");
    tPixels pixels(rgba.size() / 4);
    for (size_t i = 0; i < pixels.size(); ++i) {
        const u8* p = rgba.data() + 4 * i;
        pixels[i] = u32(p[3]) << 24 | u32(p[0]) << 16 | u32(p[1]) << 8 | p[2];
    }
    return pixels;
}

// Decodes `bytes` with a new reader from `make`; empty when the load fails.
inline tPixels Decode(const std::function<cPictBase*()>& make, const std::vector<u8>& bytes)
{
    std::unique_ptr<cPictBase> picture(make());
    return pngtest::DecodeBytes(bytes, *picture) ? Decoded(*picture) : tPixels();
}

// What every good file must also do: stream at scale 1 into a cleared same-size target
// with the pixels of the buffer decode, stream scaled into 37 x 23 without fault, and fail
// cleanly when cut at every 1/32 of its length (`cutsFail`: every cut must fail).
inline void CheckStreamingAndCuts(const std::function<cPictBase*()>& make,
                                  const std::vector<u8>& bytes, bool cutsFail)
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
        std::unique_ptr<cPictBase> reader(make());
        const bool loaded = pngtest::DecodeBytes(cut, *reader);
        EXPECT_TRUE(!loaded || !cutsFail) << "cut at " << k << "/32";
    }
}

} // namespace rastertest

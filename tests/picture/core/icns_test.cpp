// The ICNS reader against real tools: every page of a png2icns file (24-bit RLE icons with
// masks, JP2 elements with channel definitions) equals the PNG it was made from; classic
// and 24-bit elements written byte by byte (tools/testdata/make_icns.py) match libicns's
// colours and the masks the script wrote; element choice, previews, thumbnails and broken
// containers.
#include "picture/core/icns.h"
#include "picture/core/thumbnail.h"
#include "picturesupport.h"

namespace {

using namespace picttest;

class IcnsFiles : public ::testing::Test
{
  protected:
    static void SetUpTestSuite()
    {
        s_folder = new qeltest::cScratchFolder;
        const std::string dir = s_folder->Path();
        const std::string tools = std::string(QEL_SOURCE_DIR) + "/tools/testdata/";
        std::string make = "cd " + dir + " && /usr/bin/python3 " + tools + "make_icns.py . && " +
                           "cc -o oracle " + tools + "icns_oracle.c -licns";
        for (const char* n : {"16", "32", "48", "128", "256", "512"}) {
            make += std::string(" && /usr/bin/convert -size ") + n + "x" + n +
                    " -seed 4 plasma:fractal -alpha set -channel A -fx 'i/w' +channel PNG32:p" +
                    n + ".png";
        }
        make += " && png2icns all.icns p16.png p32.png p48.png p128.png p256.png p512.png"
                " >/dev/null && /usr/bin/python3 -c \"from PIL import Image; "
                "Image.open('p512.png').save('pil.icns')\"";
        ASSERT_TRUE(RunsOk(make));
    }
    static void TearDownTestSuite() { delete s_folder; }
    static std::vector<u8> Bytes(const std::string& name)
    {
        return ReadFileBytes(s_folder->PathOf(name));
    }
    static std::vector<u32> PngPixels(const std::string& name)
    {
        sPnm pam;
        return PngToPamDecode(s_folder->PathOf(name), pam) ? PnmPixels32(pam) : std::vector<u32>();
    }
    static inline qeltest::cScratchFolder* s_folder = nullptr;
};

TEST_F(IcnsFiles, Png2IcnsPagesEqualTheirSources)
{
    const std::vector<u8> bytes = Bytes("all.icns");
    cBufWrapperIO stream(bytes.data(), bytes.size());
    cPictICNS icon;
    // is32, il32, ih32, it32 (with their masks), then ic08 and ic09 (JP2, ARGB with cdef).
    const char* sources[] = {"p16.png", "p32.png", "p48.png", "p128.png", "p256.png", "p512.png"};
    ASSERT_EQ(icon.GetPageCount(&stream), 6);
    for (i32 page = 0; page < 6; ++page) {
        SCOPED_TRACE(sources[page]);
        ASSERT_TRUE(icon.LoadPage(&stream, page));
        EXPECT_TRUE(SamePixels(TopDown32(icon), PngPixels(sources[page]), icon.GetWidth()));
    }
    sPictInfo info;
    const tPicture picture = CreatePicture(bytes, &info);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->GetFormatId(), kPictFormatICNS);
    EXPECT_EQ(info.width, 512);
    EXPECT_EQ(info.hasEmbeddedPreview, 1);

    // Pillow's file: ic07..ic14 PNG elements after a TOC, the largest 1024 x 1024.
    const std::vector<u8> pillow = Bytes("pil.icns");
    cBufWrapperIO pillowStream(pillow.data(), pillow.size());
    EXPECT_EQ(icon.GetPageCount(&pillowStream), 8);
    ASSERT_TRUE(icon.ReadInfo(&pillowStream, &info));
    EXPECT_EQ(info.width, 1024);
    ASSERT_TRUE(icon.Load(&pillowStream));
    EXPECT_EQ(icon.GetHeight(), 1024);
}

TEST_F(IcnsFiles, ClassicElementsMatchLibicnsAndScriptMasks)
{
    const std::vector<u8> bytes = Bytes("classic.icns");
    const std::vector<u8> alphas = Bytes("classic.alpha");
    cBufWrapperIO stream(bytes.data(), bytes.size());
    cPictICNS icon;
    const char* types[] = {"ICON", "ICN#", "ics4", "ics8", "icl4", "icl8",
                           "ich4", "ich8", "il32", "is32", "ih32", "it32"};
    ASSERT_EQ(icon.GetPageCount(&stream), 12); // the random ic08 and the TOC are no pages
    size_t alphaAt = 0;
    i32 oracleChecks = 0;
    for (i32 page = 0; page < 12; ++page) {
        SCOPED_TRACE(types[page]);
        ASSERT_TRUE(icon.LoadPage(&stream, page));
        const std::vector<u32> ours = TopDown32(icon);
        std::vector<u32> want(ours.size());
        for (size_t i = 0; i < ours.size() && alphaAt + i < alphas.size(); ++i) {
            want[i] = u32(alphas[alphaAt + i]) << 24 | (ours[i] & 0xFFFFFF);
        }
        alphaAt += ours.size();
        EXPECT_TRUE(SamePixels(ours, want, icon.GetWidth())) << "alpha";
        if (std::string(types[page]) == "il32") {
            // Exactly 32 x 32 x 3 bytes are raw R, G, B; libicns reads them as runs.
            const std::vector<u8> raw = Bytes("classic.il32");
            for (size_t i = 0; i < ours.size() && 3 * i + 2 < raw.size(); ++i) {
                want[i] = (want[i] & 0xFF000000) | u32(raw[3 * i]) << 16 | u32(raw[3 * i + 1]) << 8 |
                          raw[3 * i + 2];
            }
            EXPECT_TRUE(SamePixels(ours, want, icon.GetWidth()));
            continue;
        }
        sPnm oracle;
        ASSERT_TRUE(ParsePnm(RunCommand(s_folder->PathOf("oracle") + " " +
                                        s_folder->PathOf("classic.icns") + " '" + types[page] + "'"),
                             oracle) ||
                    oracle.width == 0);
        if (oracle.width == 0) {
            continue; // libicns has no decode for this kind without its own mask types
        }
        ++oracleChecks;
        std::vector<u32> colours = PnmPixels32(oracle);
        for (size_t i = 0; i < colours.size() && i < want.size(); ++i) {
            colours[i] = (colours[i] & 0xFFFFFF) | (want[i] & 0xFF000000);
        }
        EXPECT_TRUE(SamePixels(ours, colours, icon.GetWidth())) << "colours";
    }
    EXPECT_GE(oracleChecks, 8);
}

TEST_F(IcnsFiles, ChoosesElementsForBoxesAndThumbnails)
{
    const std::vector<u8> preview = Bytes("preview.icns");
    cBufWrapperIO stream(preview.data(), preview.size());
    cPictICNS icon;
    sPictInfo info;
    ASSERT_TRUE(icon.ReadInfo(&stream, &info));
    EXPECT_EQ(info.width, 128);
    EXPECT_EQ(info.hasEmbeddedPreview, 1);
    cPictDummy out;
    i32 width = 48, height = 48;
    ASSERT_TRUE(icon.LoadEmbeddedPreview(&stream, &out, &width, &height));
    EXPECT_EQ(out.GetWidth(), 16);
    EXPECT_EQ(width, 16);
    width = 15;
    EXPECT_FALSE(icon.LoadEmbeddedPreview(&stream, &out, &width, &height));

    // The scaled page thumbnail is streamed and the stream is ended: every cell written.
    ASSERT_TRUE(icon.RenderPageThumbnail(&stream, &out, 32, 20, 1, true, 0));
    ASSERT_EQ(out.GetWidth(), 20);
    ASSERT_EQ(out.GetHeight(), 20);
    for (u32 pixel : PixelsOf(out)) {
        ASSERT_EQ(pixel >> 24, 0xFFu);
    }

    const std::vector<u8> padded = Bytes("it32_padded.icns");
    const std::vector<u8> plain = Bytes("it32_plain.icns");
    cPictICNS a, b;
    ASSERT_TRUE(DecodeBytes(padded, a) && DecodeBytes(plain, b));
    EXPECT_EQ(PixelsOf(a), PixelsOf(b));

    const std::vector<u8> equal = Bytes("equal.icns");
    cBufWrapperIO equalStream(equal.data(), equal.size());
    cPictICNS first, chosen;
    ASSERT_TRUE(chosen.Load(&equalStream) && first.LoadPage(&equalStream, 0));
    EXPECT_EQ(PixelsOf(chosen), PixelsOf(first));

    // The factory and the thumbnail path: a 48 x 48 box takes the 48 x 48 element as it is,
    // 40 x 40 the 32 x 32 one; below 16 the largest is decoded streaming and resampled.
    const std::vector<u8> all = Bytes("all.icns");
    cBufWrapperIO allStream(all.data(), all.size());
    cPictDummy thumb;
    ASSERT_EQ(PictThumbnailFromStream(&allStream, &thumb, 48, 48), kThumbOk);
    EXPECT_TRUE(SamePixels(TopDown32(thumb), PngPixels("p48.png"), 48));
    ASSERT_EQ(PictThumbnailFromStream(&allStream, &thumb, 40, 40), kThumbOk);
    EXPECT_TRUE(SamePixels(TopDown32(thumb), PngPixels("p32.png"), 32));
    ASSERT_EQ(PictThumbnailFromStream(&allStream, &thumb, 10, 10), kThumbOk);
    EXPECT_EQ(thumb.GetWidth(), 10);
    EXPECT_NE(PixelsOf(thumb), std::vector<u32>(100, 0));
}

TEST_F(IcnsFiles, RefusesBrokenContainers)
{
    const auto be32 = [](u32 v) {
        return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    };
    const std::string ics8 = "ics8" + be32(264) + std::string(256, '\x01');
    const std::string cases[] = {
        "icnx" + be32(272) + ics8,                        // magic
        "icns" + be32(15) + ics8,                         // total below 16
        "icns" + be32(272) + "ics8" + be32(7) + ics8,     // element shorter than its header
        "icns" + be32(271) + ics8,                        // element passing the total
        "icns" + be32(0xFFFFFFF0) + ics8 + "it32" + be32(0xFFFFFFF8), // 64-bit end, past the file
        "icns" + be32(280) + ics8,                        // total past the file
    };
    for (const std::string& bytes : cases) {
        cBufWrapperIO stream(bytes.data(), bytes.size());
        cPictICNS icon;
        sPictInfo info;
        EXPECT_FALSE(icon.ReadInfo(&stream, &info));
        EXPECT_EQ(icon.GetPageCount(&stream), 0);
        EXPECT_FALSE(icon.Load(&stream));
    }
    ForEachCut(Bytes("all.icns"), [](const std::vector<u8>& cut) {
        EXPECT_EQ(CreatePicture(cut, nullptr), nullptr);
    }, 16);
}

} // namespace

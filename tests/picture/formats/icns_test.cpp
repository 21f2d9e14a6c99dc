// The ICNS reader against real tools (files by tools/testdata/make_icns.py): every page of a
// png2icns file (24-bit RLE icons with masks, JP2 elements with channel definitions) equals
// the PNG it was made from; classic and 24-bit elements written byte by byte match libicns's
// colours and the masks the script wrote; element choice, previews, thumbnails and broken
// containers.
#include "picture/factory/thumbnail.h"
#include "picture/formats/icns.h"
#include "picture/picturesupport.h"

namespace {

using namespace picttest;

class IcnsFiles : public ::testing::Test
{
  protected:
    static void SetUpTestSuite()
    {
        s_folder = new qeltest::cScratchFolder;
        const std::string tools = std::string(QEL_SOURCE_DIR) + "/tools/testdata/";
        ASSERT_TRUE(RunsOk("cd " + s_folder->Path() + " && /usr/bin/python3 " + tools +
                           "make_icns.py . && cc -o oracle " + tools + "icns_oracle.c -licns"));
    }
    static void TearDownTestSuite() { delete s_folder; }
    static std::vector<u8> Bytes(const std::string& name) { return ReadFileBytes(s_folder->PathOf(name)); }
    static std::vector<u32> PngPixels(i32 size)
    {
        sPnm pam;
        const std::string path = s_folder->PathOf("p" + std::to_string(size) + ".png");
        return PngToPamDecode(path, pam) ? PnmPixels32(pam) : std::vector<u32>();
    }
    static inline qeltest::cScratchFolder* s_folder = nullptr;
};

TEST_F(IcnsFiles, Png2IcnsAndPillowPagesEqualTheirSources)
{
    // is32, il32, ih32, it32 (with their masks), then ic08 and ic09 (JP2, ARGB with cdef).
    const std::vector<u8> bytes = Bytes("all.icns");
    cBufWrapperIO stream(bytes.data(), bytes.size());
    cPictICNS icon;
    ASSERT_EQ(icon.GetPageCount(&stream), 6);
    for (i32 page = 0; page < 6; ++page) {
        ASSERT_TRUE(icon.LoadPage(&stream, page));
        EXPECT_TRUE(SamePixels(TopDown32(icon), PngPixels(icon.GetWidth()), icon.GetWidth())) << page;
    }
    sPictInfo info;
    ASSERT_NE(CreatePicture(bytes, &info), nullptr);
    EXPECT_EQ(std::tuple(info.width, info.hasEmbeddedPreview), std::tuple(512, 1));
    // Pillow: ic07..ic14 PNG elements after a TOC, the largest 1024 x 1024.
    const std::vector<u8> pillow = Bytes("pil.icns");
    cBufWrapperIO pillowStream(pillow.data(), pillow.size());
    ASSERT_TRUE(icon.ReadInfo(&pillowStream, &info) && icon.Load(&pillowStream));
    EXPECT_EQ(std::tuple(icon.GetPageCount(&pillowStream), icon.GetHeight()), std::tuple(8, 1024));
}

// The script's pages in order with the alpha each must get; the colours come from libicns,
// which has no decode for ICON, ics4 and ics8 without their 1-bit masks and reads a raw il32
// of exactly 32 x 32 x 3 bytes as runs (the script writes those RGB bytes for it).
TEST_F(IcnsFiles, ClassicElementsMatchLibicnsAndScriptMasks)
{
    const std::vector<u8> bytes = Bytes("classic.icns");
    const std::vector<u8> alphas = Bytes("classic.alpha");
    const std::vector<u8> raw = Bytes("classic.il32");
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
        sPnm oracle;
        (void)ParsePnm(RunCommand(s_folder->PathOf("oracle") + " " + s_folder->PathOf("classic.icns") +
                                  " '" + types[page] + "'"), oracle);
        const std::vector<u32> colours = oracle.width > 0 ? PnmPixels32(oracle) : std::vector<u32>();
        oracleChecks += oracle.width > 0 ? 1 : 0;
        std::vector<u32> want(ours.size());
        for (size_t i = 0; i < ours.size() && alphaAt < alphas.size(); ++i) {
            const u32 rgb = page == 8 ? u32(raw[3 * i]) << 16 | u32(raw[3 * i + 1]) << 8 | raw[3 * i + 2]
                                      : (i < colours.size() ? colours[i] : ours[i]) & 0xFFFFFF;
            want[i] = u32(alphas[alphaAt++]) << 24 | rgb;
        }
        EXPECT_TRUE(SamePixels(ours, want, icon.GetWidth()));
    }
    EXPECT_EQ(oracleChecks, 9);
}

// Masks before their icon, after it and after other elements: each 24-bit page equals
// Pillow's decode of that size, alpha included.
TEST_F(IcnsFiles, MasksAnywhereMatchPillow)
{
    const std::vector<u8> bytes = Bytes("masks.icns"); // s8mk, TOC, is32, il32, h8mk, ics8,
    cBufWrapperIO stream(bytes.data(), bytes.size());   // ih32, it32, l8mk, t8mk
    cPictICNS icon;
    ASSERT_EQ(icon.GetPageCount(&stream), 5);
    for (const auto& [page, size] : {std::pair(0, 16), {1, 32}, {3, 48}, {4, 128}}) {
        SCOPED_TRACE(size);
        const std::string side = std::to_string(size);
        const std::vector<u32> pillow = ToolPixels(
            "/usr/bin/python3 -c \"import sys; from PIL import Image; i = Image.open(sys.argv[1])."
            "icns.getimage((" + side + ", " + side + ", 1)); sys.stdout.buffer.write(b'P7 WIDTH " +
            side + " HEIGHT " + side + " DEPTH 4 MAXVAL 255 ENDHDR\\n' + i.tobytes())\" " +
            s_folder->PathOf("masks.icns"));
        ASSERT_TRUE(icon.LoadPage(&stream, page));
        const std::vector<u32> ours = TopDown32(icon);
        ASSERT_EQ(ours.size(), pillow.size());
        EXPECT_TRUE(SamePixels(ours, pillow, size));
    }
}

TEST_F(IcnsFiles, ChoosesElementsForBoxesAndThumbnails)
{
    const std::vector<u8> preview = Bytes("preview.icns"); // ics8, then it32
    cBufWrapperIO stream(preview.data(), preview.size());
    cPictICNS icon, a, b, first, chosen;
    cPictDummy out;
    sPictInfo info;
    i32 width = 48, height = 48, tooSmall = 15;
    ASSERT_TRUE(icon.ReadInfo(&stream, &info) && icon.LoadEmbeddedPreview(&stream, &out, &width, &height));
    EXPECT_EQ(std::tuple(info.width, info.hasEmbeddedPreview, out.GetWidth(), width), std::tuple(128, 1, 16, 16));
    EXPECT_FALSE(icon.LoadEmbeddedPreview(&stream, &out, &tooSmall, &height));
    // A scaled page thumbnail is streamed, and the stream ended: every cell is written.
    ASSERT_TRUE(icon.RenderPageThumbnail(&stream, &out, 32, 20, 1, true, 0));
    const std::vector<u32> cells = PixelsOf(out);
    EXPECT_EQ(std::tuple(out.GetWidth(), out.GetHeight()), std::tuple(20, 20));
    EXPECT_EQ(std::count_if(cells.begin(), cells.end(), [](u32 p) { return p >> 24 == 0xFF; }), 400);

    ASSERT_TRUE(DecodeBytes(Bytes("it32_padded.icns"), a) && DecodeBytes(Bytes("it32_plain.icns"), b));
    EXPECT_EQ(PixelsOf(a), PixelsOf(b));
    const std::vector<u8> equal = Bytes("equal.icns"); // ics8, then is32: equal areas
    cBufWrapperIO equalStream(equal.data(), equal.size());
    ASSERT_TRUE(chosen.Load(&equalStream) && first.LoadPage(&equalStream, 0));
    EXPECT_EQ(PixelsOf(chosen), PixelsOf(first));

    // Through the factory: a 48 x 48 box takes the 48 x 48 element as it is, 40 x 40 the
    // 32 x 32 one; below 16 the largest is decoded streaming and resampled.
    const std::vector<u8> all = Bytes("all.icns");
    cBufWrapperIO allStream(all.data(), all.size());
    for (i32 box : {48, 40, 10}) {
        ASSERT_EQ(PictThumbnailFromStream(&allStream, &out, box, box), kThumbOk);
        EXPECT_TRUE(box == 10 ? PixelsOf(out) != std::vector<u32>(100, 0)
                              : SamePixels(TopDown32(out), PngPixels(box == 48 ? 48 : 32), out.GetWidth()));
    }
}

TEST_F(IcnsFiles, RefusesBrokenContainers)
{
    const auto be32 = [](u32 v) { return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; };
    const std::string ics8 = "ics8" + be32(264) + std::string(256, '\x01');
    const std::string cases[] = {
        "icnx" + be32(272) + ics8,                                    // magic
        "icns" + be32(15) + ics8,                                     // total below 16
        "icns" + be32(272) + "ics8" + be32(7) + ics8,                 // element below 8 bytes
        "icns" + be32(271) + ics8,                                    // element past the total
        "icns" + be32(0xFFFFFFF0) + ics8 + "it32" + be32(0xFFFFFFF8), // end past 2^32
        "icns" + be32(280) + ics8,                                    // total past the file
    };
    for (const std::string& bytes : cases) {
        cBufWrapperIO stream(bytes.data(), bytes.size());
        cPictICNS icon;
        EXPECT_FALSE(icon.ReadInfo(&stream, nullptr) || icon.Load(&stream) || icon.GetPageCount(&stream) != 0);
    }
    ForEachCut(Bytes("all.icns"), [](const std::vector<u8>& cut) { EXPECT_EQ(CreatePicture(cut, nullptr), nullptr); }, 16);
}

} // namespace

// The GIF reader: every frame of files made by ImageMagick and Pillow against netpbm's
// giftopnm (colours and transparency), and the block-walk rules on patched files.
#include "picture/core/gif.h"
#include "picture/core/picturesupport.h"

namespace {

using namespace picttest;

// Frame `page` by giftopnm: transparent pixels 0x00FFFFFF, the rest opaque.
std::vector<u32> GifToPnm(const std::string& path, i32 page, const std::string& alphaPath)
{
    const std::string image = " -image=" + std::to_string(page + 1) + " ";
    std::vector<u32> pixels = ToolPixels("giftopnm" + image + path);
    // The alpha mask comes as a bitmap (black transparent), made grey for the parser.
    const std::vector<u32> alpha =
        ToolPixels("rm -f " + alphaPath + " && giftopnm -alphaout=" + alphaPath + image + path +
                   " >/dev/null && pnmdepth 255 " + alphaPath);
    for (size_t i = 0; i < pixels.size() && alpha.size() == pixels.size(); ++i) {
        pixels[i] = (alpha[i] & 0xFF) == 0 ? 0x00FFFFFF : pixels[i];
    }
    return pixels;
}

TEST(GifReader, EveryFrameAgainstGifToPnm)
{
    QEL_REQUIRE(qeltest::HaveTool("giftopnm") && qeltest::HaveTool("convert"),
                "netpbm, imagemagick");
    const qeltest::cScratchFolder folder;
    const std::string dir = folder.Path() + "/";
    std::string make = "cd DIR && convert rose: -resize 10x10! f1.png && "
                       "convert f1.png -fill red -draw 'rectangle 5,6 9,9' f2.png && "
                       "convert -delay 10 f1.png f2.png -layers Optimize anim.gif && "
                       "/usr/bin/python3 -c \"from PIL import Image; f=[Image.open('f1.png')."
                       "quantize(c) for c in (4, 64, 200)]; f[0].save('pil.gif', save_all=True, "
                       "append_images=f[1:], transparency=1, interlace=True)\"";
    for (const char* colours : {"2", "4", "16", "256"}) {
        make += std::string(" && convert rose: -colors ") + colours + " c" + colours + ".gif";
        make += std::string(" && convert rose: -interlace GIF -colors ") + colours + " i" +
                colours + ".gif";
    }
    make.replace(make.find("DIR"), 3, dir);
    ASSERT_TRUE(RunsOk(make));
    const std::vector<std::pair<std::string, i32>> kFiles = {
        {"c2", 1}, {"c4", 1},  {"c16", 1},  {"c256", 1}, {"i2", 1},
        {"i4", 1}, {"i16", 1}, {"i256", 1}, {"anim", 2}, {"pil", 3}};
    for (const auto& [name, pages] : kFiles) {
        SCOPED_TRACE(name);
        const std::string path = dir + name + ".gif";
        const std::vector<u8> bytes = ReadFileBytes(path);
        cBufWrapperIO stream(bytes.data(), bytes.size());
        cPictGIF gif;
        ASSERT_EQ(gif.GetPageCount(&stream), pages);
        for (i32 page = 0; page < pages; ++page) {
            ASSERT_TRUE(gif.LoadPage(&stream, page));
            EXPECT_TRUE(SamePixels(TopDown32(gif), GifToPnm(path, page, dir + "alpha.pgm"),
                                   gif.GetWidth()));
        }
        ForEachCut(bytes, [](const std::vector<u8>& cut) { (void)CreatePicture(cut, nullptr); });
    }
    // The second frame of the optimised animation is smaller than the screen.
    const std::vector<u8> anim = ReadFileBytes(dir + "anim.gif");
    sPictInfo info;
    ASSERT_NE(CreatePicture(anim, &info), nullptr);
    EXPECT_EQ(info.width, 10);
    cBufWrapperIO stream(anim.data(), anim.size());
    cPictGIF gif;
    i32 width = 0, height = 0;
    ASSERT_TRUE(gif.GetPageSize(&stream, 1, &width, &height));
    EXPECT_LT(width, 10);
    // A thumbnail streams the frame into the fitted size.
    const std::vector<u8> rose = ReadFileBytes(dir + "c256.gif");
    cBufWrapperIO roseStream(rose.data(), rose.size());
    cPictDummy thumb;
    ASSERT_TRUE(gif.RenderPageThumbnail(&roseStream, &thumb, 35, 35, 0, false, 0));
    EXPECT_EQ(thumb.GetWidth(), 35);
    EXPECT_EQ(thumb.GetHeight(), 23);
    // "GIF88a" is no GIF; a file without trailer has no page count.
    std::vector<u8> patched = rose;
    patched[4] = '8';
    EXPECT_EQ(CreatePicture(patched, &info), nullptr);
    patched = std::vector<u8>(rose.begin(), rose.end() - 1);
    cBufWrapperIO cut(patched.data(), patched.size());
    EXPECT_EQ(gif.GetPageCount(&cut), -1);
}

} // namespace

// The format factory: recognition of real files against `file` and Pillow, non-pictures
// refused after reading headers only, loads with and without an info, and the BMP file
// header check.
#include "picture/formats/bmpfileheader.h"
#include "picture/formats/jpegpicture.h"
#include "picture/picturesupport.h"

#include <cstring>
#include <random>

namespace {

using namespace picttest;

std::vector<std::string> ValidPngSuiteFiles()
{
    std::vector<std::string> paths;
    for (const std::string& path : ListPngFiles(qeltest::SharedDataPath("pngsuite/png/"))) {
        if (BaseName(path)[0] != 'x') { // the suite's corrupt files
            paths.push_back(path);
        }
    }
    return paths;
}

// Without an info the picture comes back decoded, exactly as the reader decodes it alone.
// A bad CRC in the image data is found only by Load: with an info the header probe accepts
// the file, without one the failed load is deleted and the chain gives null.
TEST(PictFactory, LoadsWithoutInfoAndDropsFailedLoads)
{
    const std::string path = qeltest::SharedDataPath("pngsuite/png/basn6a16.png");
    QEL_REQUIRE(qeltest::PathExists(path), "PngSuite (shared test data)");
    const std::vector<u8> bytes = ReadFileBytes(path);
    tPicture picture = CreatePicture(bytes, nullptr);
    ASSERT_NE(picture, nullptr);
    cPictPNG alone;
    ASSERT_TRUE(DecodeBytes(bytes, alone));
    ASSERT_TRUE(picture->IsDeep());
    ASSERT_EQ(picture->Pixels64().GetCount(), alone.Pixels64().GetCount());
    EXPECT_EQ(std::memcmp(picture->Pixels64().GetData(), alone.Pixels64().GetData(),
                          size_t(alone.Pixels64().GetCount()) * 8),
              0);

    const std::vector<u8> badCrc = ReadFileBytes(qeltest::SharedDataPath("pngsuite/png/xcsn0g01.png"));
    sPictInfo info;
    EXPECT_NE(CreatePicture(badCrc, &info), nullptr);
    EXPECT_EQ(info.width, 32);
    EXPECT_EQ(CreatePicture(badCrc, nullptr), nullptr);
}

// What `file --mime-type` calls a PNG or a JPEG the factory recognises as one, with the
// size Pillow reads from it, and nothing else: the PngSuite, the committed JPEG samples, a
// cjpeg file and non-pictures. With an info the object is not loaded: its size stays 0
// until Load.
TEST(PictFactory, AgreesWithFileAndPillow)
{
    std::vector<std::string> paths = ValidPngSuiteFiles();
    QEL_REQUIRE(paths.size() == 161 && qeltest::HaveTool("file") && qeltest::HaveTool("cjpeg") &&
                    qeltest::HaveTool("convert"),
                "PngSuite, file, cjpeg, convert (imagemagick)");
    const qeltest::cScratchFolder folder;
    ASSERT_TRUE(RunsOk("convert -size 40x30 gradient:green-white ppm:- | cjpeg -progressive > " +
                       folder.PathOf("p.jpg")));
    paths.push_back(folder.PathOf("p.jpg"));
    for (const char* name : {"ext12.jpg", "lossless_p1.jpg", "prog12.jpg"}) {
        paths.push_back(qeltest::LocalDataPath(std::string("jpeg/") + name));
    }
    for (const char* name : {"text_only.zip", "jpeg_as_png.zip"}) {
        paths.push_back(PreviewSample(name));
    }
    for (const char* path : {"/usr/bin/ls", "/usr/share/common-licenses/GPL-3"}) {
        if (qeltest::PathExists(path)) {
            paths.push_back(path);
        }
    }
    std::string arguments;
    for (const std::string& path : paths) {
        arguments += " " + path;
    }
    const std::vector<u8> mimes = RunCommand("file --mime-type --brief" + arguments);
    const std::vector<u8> sizes = RunCommand(
        "/usr/bin/python3 -c 'import sys; from PIL import Image\n"
        "for p in sys.argv[1:]:\n try: print(*Image.open(p).size)\n except Exception: print(0, 0)'" +
        arguments);
    QEL_REQUIRE(!sizes.empty(), "/usr/bin/python3 with PIL");
    std::istringstream mimeLines(std::string(mimes.begin(), mimes.end()));
    std::istringstream sizeLines(std::string(sizes.begin(), sizes.end()));
    const std::map<std::string, i32> ids = {{"image/png", kPictFormatPNG},
                                            {"image/jpeg", kPictFormatJPEG}};
    for (const std::string& path : paths) {
        std::string mime;
        i32 width = 0;
        i32 height = 0;
        ASSERT_TRUE(mimeLines >> mime && sizeLines >> width >> height) << path;
        const std::vector<u8> bytes = ReadFileBytes(path);
        sPictInfo info;
        tPicture picture = CreatePicture(bytes, &info);
        const auto id = ids.find(mime);
        if (id == ids.end()) {
            EXPECT_EQ(picture, nullptr) << path << " " << mime;
            continue;
        }
        ASSERT_NE(picture, nullptr) << path << " " << mime;
        EXPECT_EQ(picture->GetFormatId(), id->second) << path;
        if (width == 0) { // Pillow opens no 12-bit or lossless JPEG
            EXPECT_EQ(mime, "image/jpeg") << path;
            std::tie(width, height) = std::pair(info.width, info.height);
        }
        EXPECT_EQ(std::tuple(info.width, info.height, info.hasEmbeddedPreview),
                  std::tuple(width, height, 0)) << path;
        EXPECT_EQ(picture->GetWidth(), 0) << path;
        cBufWrapperIO stream(bytes.data(), bytes.size());
        ASSERT_TRUE(picture->Load(&stream)) << path;
        EXPECT_EQ(picture->GetWidth(), width) << path;
    }
}

// "BM", file size, two reserved words, pixel data offset from 54 up to the file size. The
// DIB information header that follows is the next probe's: the stream is left there.
TEST(BmpFileHeader, MagicReservedWordsAndDataOffset)
{
    struct sCase
    {
        char second;
        u32 fileSize, reserved, dataOffset;
        size_t length;
        bool ok;
    };
    const sCase kCases[] = {
        {'M', 1000, 0, 53, 60, false},   {'M', 1000, 0, 54, 60, true},
        {'M', 1000, 0, 1000, 60, true},  {'M', 1000, 0, 1001, 60, false},
        {'M', 0xFFFFFFFF, 0, 0, 60, false}, {'A', 1000, 0, 54, 60, false},
        {'M', 1000, 1, 54, 60, false},   {'M', 1000, 0x10000, 54, 60, false},
        {'M', 1000, 0, 54, 13, false},
    };
    for (const sCase& c : kCases) {
        std::vector<u8> bytes = {'B', u8(c.second)};
        for (u32 value : {c.fileSize, c.reserved, c.dataOffset}) {
            for (int shift = 0; shift < 32; shift += 8) {
                bytes.push_back(u8(value >> shift));
            }
        }
        bytes.resize(c.length, 0);
        cBufWrapperIO stream(bytes.data(), bytes.size());
        EXPECT_EQ(BmpFileHeaderOk(&stream), c.ok) << c.second << " " << c.reserved << " " << c.dataOffset;
        if (c.ok) {
            EXPECT_EQ(stream.GetPosition(), 14u);
        }
    }
    EXPECT_FALSE(BmpFileHeaderOk(nullptr));
}

} // namespace

// The format factory: the chain's order, recognition of real files against `file` and
// Pillow, non-pictures refused after reading headers only, and the BMP file header tests.
#include "factory_support.h"
#include "picture/core/bmpfileheader.h"
#include "picture/core/jpegpicture.h"
#include "picture/core/pictfactory.h"
#include "reference_decoder.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <cstring>
#include <map>
#include <random>
#include <sstream>

namespace {

using factorytest::cCountingStream;
using factorytest::tPicture;

std::vector<std::string> ValidPngSuiteFiles()
{
    std::vector<std::string> paths;
    const std::string folder = qeltest::SharedDataPath("pngsuite/png");
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return paths;
    }
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        // Names starting with 'x' are the suite's corrupt files.
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".png") == 0 && name[0] != 'x') {
            paths.push_back(folder + "/" + name);
        }
    }
    closedir(dir);
    std::sort(paths.begin(), paths.end());
    return paths;
}

tPicture CreateFromBytes(const std::vector<u8>& bytes, sPictInfo* info)
{
    cBufWrapperIO stream(bytes.data(), bytes.size());
    return tPicture(PictCreateFromStream(&stream, info));
}

// Things that are not pictures, each with what it is.
std::vector<std::pair<std::string, std::vector<u8>>> NonPictures()
{
    std::vector<std::pair<std::string, std::vector<u8>>> items;
    items.emplace_back("empty", std::vector<u8>());
    std::mt19937 random(4242);
    std::vector<u8> noise(4096);
    for (u8& byte : noise) {
        byte = u8(random());
    }
    items.emplace_back("random bytes", noise);
    items.emplace_back("ZIP of texts",
                       pngtest::ReadFileBytes(factorytest::PreviewSample("text_only.zip")));
    for (const char* path : {"/usr/bin/ls", "/usr/share/common-licenses/GPL-3"}) {
        items.emplace_back(path, pngtest::ReadFileBytes(path));
    }
    return items;
}

TEST(PictFactory, StepsRunInTheirFixedOrder)
{
    const std::span<const sPictFactoryStep> steps = PictFactorySteps();
    ASSERT_GE(steps.size(), 2u);
    EXPECT_EQ(steps[0].order, 1);
    EXPECT_EQ(steps[0].formatId, kPictFormatJPEG);
    EXPECT_EQ(steps[1].order, 2);
    EXPECT_EQ(steps[1].formatId, kPictFormatPNG);
    for (size_t i = 0; i < steps.size(); ++i) {
        EXPECT_GE(steps[i].order, 1);
        EXPECT_LE(steps[i].order, 34);
        if (i > 0) {
            EXPECT_LT(steps[i - 1].order, steps[i].order);
        }
    }
}

TEST(PictFactory, NonPicturesGiveNullWithAndWithoutInfo)
{
    for (const auto& [what, bytes] : NonPictures()) {
        if (what[0] == '/' && bytes.empty()) {
            continue; // a system file missing on this machine
        }
        sPictInfo info{7, 7, 1};
        EXPECT_EQ(CreateFromBytes(bytes, &info), nullptr) << what;
        EXPECT_EQ(info.width, 0) << what;
        EXPECT_EQ(CreateFromBytes(bytes, nullptr), nullptr) << what;
    }
    EXPECT_EQ(PictCreateFromStream(nullptr, nullptr), nullptr);
}

// Probing reads headers: an ELF binary or a long text is refused after a few kilobytes
// (the ZIP probe reads the last 1024 bytes).
TEST(PictFactory, RefusesNonPicturesFromTheirHeaders)
{
    for (const auto& [what, bytes] : NonPictures()) {
        if (bytes.size() < 16384) {
            continue;
        }
        cBufWrapperIO memory(bytes.data(), bytes.size());
        cCountingStream stream(&memory);
        sPictInfo info;
        EXPECT_EQ(PictCreateFromStream(&stream, &info), nullptr) << what;
        EXPECT_LE(stream.m_bytesRead, 4096u) << what;
    }
}

// Sizes through the info against Pillow; every file is PNG (id 3). With an info the object
// is not loaded: its size stays 0 until Load.
TEST(PictFactory, RecognisesThePngSuiteWithItsHeaderSize)
{
    const std::vector<std::string> paths = ValidPngSuiteFiles();
    QEL_REQUIRE(paths.size() == 161, "PngSuite (shared test data)");
    QEL_REQUIRE(qeltest::PathExists("/usr/bin/python3"), "/usr/bin/python3 with PIL");
    std::string command =
        "/usr/bin/python3 -c 'import sys; from PIL import Image\n"
        "for p in sys.argv[1:]: print(*Image.open(p).size)'";
    for (const std::string& path : paths) {
        command += " " + path;
    }
    const std::vector<u8> output = pngtest::RunCommand(command);
    std::istringstream sizes(std::string(output.begin(), output.end()));
    for (const std::string& path : paths) {
        i32 width = 0;
        i32 height = 0;
        ASSERT_TRUE(sizes >> width >> height) << "Pillow gave no size for " << path;
        const std::vector<u8> bytes = pngtest::ReadFileBytes(path);
        sPictInfo info;
        tPicture picture = CreateFromBytes(bytes, &info);
        ASSERT_NE(picture, nullptr) << path;
        EXPECT_EQ(picture->GetFormatId(), kPictFormatPNG);
        EXPECT_EQ(info.width, width) << path;
        EXPECT_EQ(info.height, height) << path;
        EXPECT_EQ(info.hasEmbeddedPreview, 0);
        EXPECT_EQ(picture->GetWidth(), 0) << path;
        cBufWrapperIO stream(bytes.data(), bytes.size());
        ASSERT_TRUE(picture->Load(&stream)) << path;
        EXPECT_EQ(picture->GetWidth(), width) << path;
    }
}

// Without an info the picture comes back decoded, exactly as the reader decodes it alone.
TEST(PictFactory, LoadsWithoutInfo)
{
    const std::string path = qeltest::SharedDataPath("pngsuite/png/basn6a16.png");
    QEL_REQUIRE(qeltest::PathExists(path), "PngSuite (shared test data)");
    const std::vector<u8> bytes = pngtest::ReadFileBytes(path);
    tPicture picture = CreateFromBytes(bytes, nullptr);
    ASSERT_NE(picture, nullptr);
    cPictPNG alone;
    ASSERT_TRUE(pngtest::DecodeBytes(bytes, alone));
    ASSERT_TRUE(picture->IsDeep());
    EXPECT_EQ(picture->GetWidth(), 32);
    ASSERT_EQ(picture->Pixels64().GetCount(), alone.Pixels64().GetCount());
    EXPECT_EQ(std::memcmp(picture->Pixels64().GetData(), alone.Pixels64().GetData(),
                          size_t(alone.Pixels64().GetCount()) * 8),
              0);
}

// A bad CRC in the image data is found only by Load: with an info the header probe
// accepts the file, without one the failed load is deleted and the chain gives null.
TEST(PictFactory, AFailedLoadGivesNull)
{
    const std::string path = qeltest::SharedDataPath("pngsuite/png/xcsn0g01.png");
    QEL_REQUIRE(qeltest::PathExists(path), "PngSuite (shared test data)");
    const std::vector<u8> bytes = pngtest::ReadFileBytes(path);
    sPictInfo info;
    tPicture probed = CreateFromBytes(bytes, &info);
    ASSERT_NE(probed, nullptr);
    EXPECT_EQ(info.width, 32);
    EXPECT_EQ(CreateFromBytes(bytes, nullptr), nullptr);
}

// What `file --mime-type` calls a PNG or a JPEG the factory recognises as one, and nothing
// else: the PngSuite, the committed JPEG samples, a cjpeg file and the non-pictures.
TEST(PictFactory, AgreesWithFileMimeTypes)
{
    std::vector<std::string> paths = ValidPngSuiteFiles();
    QEL_REQUIRE(!paths.empty() && qeltest::HaveTool("file") && qeltest::HaveTool("cjpeg") &&
                    qeltest::PathExists("/usr/bin/convert"),
                "PngSuite, file, cjpeg, convert (imagemagick)");
    const qeltest::cScratchFolder folder;
    ASSERT_FALSE(folder.Path().empty());
    ASSERT_FALSE(pngtest::RunCommand("/usr/bin/convert -size 40x30 gradient:green-white ppm:- | "
                                     "cjpeg -progressive > " + folder.PathOf("p.jpg") + " && echo ok")
                     .empty());
    paths.push_back(folder.PathOf("p.jpg"));
    for (const char* name : {"ext12.jpg", "lossless_p1.jpg", "prog12.jpg"}) {
        paths.push_back(qeltest::LocalDataPath(std::string("jpeg/") + name));
    }
    for (const char* name : {"text_only.zip", "jpeg_as_png.zip"}) {
        paths.push_back(factorytest::PreviewSample(name));
    }
    for (const char* path : {"/usr/bin/ls", "/usr/share/common-licenses/GPL-3"}) {
        if (qeltest::PathExists(path)) {
            paths.push_back(path);
        }
    }
    std::string command = "file --mime-type --separator '|'";
    for (const std::string& path : paths) {
        command += " " + path;
    }
    const std::vector<u8> output = pngtest::RunCommand(command);
    std::istringstream lines(std::string(output.begin(), output.end()));
    const std::map<std::string, i32> ids = {{"image/png", kPictFormatPNG},
                                            {"image/jpeg", kPictFormatJPEG}};
    std::string line;
    size_t checked = 0;
    while (std::getline(lines, line)) {
        const size_t bar = line.find('|');
        ASSERT_NE(bar, std::string::npos) << line;
        const std::string path = line.substr(0, bar);
        const std::string mime = line.substr(line.find_first_not_of(' ', bar + 1));
        const auto id = ids.find(mime);
        sPictInfo info;
        tPicture picture = CreateFromBytes(pngtest::ReadFileBytes(path), &info);
        if (id == ids.end()) {
            EXPECT_EQ(picture, nullptr) << path << " " << mime;
        } else {
            ASSERT_NE(picture, nullptr) << path << " " << mime;
            EXPECT_EQ(picture->GetFormatId(), id->second) << path;
        }
        ++checked;
    }
    EXPECT_EQ(checked, paths.size());
}

// A BMP file header: "BM", file size, two reserved words, pixel data offset.
std::vector<u8> BmpFileHeader(u32 fileSize, u32 reserved, u32 dataOffset)
{
    std::vector<u8> bytes = {'B', 'M'};
    for (u32 value : {fileSize, reserved, dataOffset}) {
        for (int shift = 0; shift < 32; shift += 8) {
            bytes.push_back(u8(value >> shift));
        }
    }
    return bytes;
}

bool HeaderOk(const std::vector<u8>& bytes)
{
    cBufWrapperIO stream(bytes.data(), bytes.size());
    return BmpFileHeaderOk(&stream);
}

TEST(BmpFileHeader, DataOffsetFromFiftyFourUpToTheFileSize)
{
    EXPECT_FALSE(HeaderOk(BmpFileHeader(1000, 0, 53)));
    EXPECT_TRUE(HeaderOk(BmpFileHeader(1000, 0, 54)));
    EXPECT_TRUE(HeaderOk(BmpFileHeader(1000, 0, 1000)));
    EXPECT_FALSE(HeaderOk(BmpFileHeader(1000, 0, 1001)));
    EXPECT_FALSE(HeaderOk(BmpFileHeader(0xFFFFFFFF, 0, 0)));
}

TEST(BmpFileHeader, RefusesOtherMagicReservedWordsAndShortFiles)
{
    std::vector<u8> header = BmpFileHeader(1000, 0, 54);
    header[1] = 'A';
    EXPECT_FALSE(HeaderOk(header));
    EXPECT_FALSE(HeaderOk(BmpFileHeader(1000, 1, 54)));
    EXPECT_FALSE(HeaderOk(BmpFileHeader(1000, 0x10000, 54)));
    header = BmpFileHeader(1000, 0, 54);
    header.pop_back();
    EXPECT_FALSE(HeaderOk(header));
    // The DIB information header that follows is the next probe's: the stream is left there.
    header = BmpFileHeader(1000, 0, 54);
    header.resize(60, 0);
    cBufWrapperIO stream(header.data(), header.size());
    ASSERT_TRUE(BmpFileHeaderOk(&stream));
    EXPECT_EQ(stream.GetPosition(), 14u);
    EXPECT_FALSE(BmpFileHeaderOk(nullptr));
}

} // namespace

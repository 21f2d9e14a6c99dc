// File property readers: the PE corpus of tools/testdata/make_pe.sh against exiftool and
// wrestool/winicontopam, JPEGs tagged by exiftool against exiftool and djpeg, pictures made
// by ImageMagick, and crafted version blocks and resource trees for the decided limits.
#include "picture/core/exeprops.h"
#include "picture/core/fileprops.h"
#include "picture/core/picturesupport.h"

#include <cmath>

namespace {

using namespace picttest;
using tReader = std::unique_ptr<cFileObjectProps>;

std::string Pe(const std::string& name)
{
    return qeltest::LocalDataPath("fileprops/" + name);
}

// CreateFileProps and one ReadProps with the box; null when no reader was made.
tReader Read(cFileIOTarget* stream, i32 boxW, i32 boxH, bool want = false, bool* ok = nullptr)
{
    tReader reader(CreateFileProps(stream));
    if (reader != nullptr) {
        reader->m_boxWidth = boxW;
        reader->m_boxHeight = boxH;
        const bool read = reader->ReadProps(stream, nullptr, want);
        if (ok != nullptr) {
            *ok = read;
        }
    }
    return reader;
}

std::string Text(cFileObjectProps& reader, i32 id)
{
    const _guardchar<char16_t>* text = reader.m_texts.FindIntKeyValue(id);
    std::string out;
    for (const char16_t* c = text != nullptr ? text->GetOrEmpty() : u""; *c != 0; ++c) {
        out += char(*c);
    }
    return text != nullptr ? out : "<none>";
}

i32 Int(cFileObjectProps& reader, i32 id)
{
    const i32* value = reader.m_ints.FindIntKeyValue(id);
    return value != nullptr ? *value : -999;
}

std::string Tool(const std::string& command)
{
    const std::vector<u8> out = RunCommand(command);
    std::string text(out.begin(), out.end());
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

TEST(FileProps, StoreSettersAndReset)
{
    cWinExeProps reader;
    const sDateTime when = UnixTimeToDateTime(86400);
    EXPECT_FALSE(SetTextProp(&reader, kFilePropWidth, u"x"));
    EXPECT_FALSE(SetIntProp(&reader, kFilePropProductName, 1));
    EXPECT_TRUE(SetIntProp(&reader, kFilePropWidth, 1) && SetIntProp(&reader, kFilePropWidth, 2));
    EXPECT_TRUE(SetTextPropNarrow(&reader, kFilePropCameraMake, "a\xFF", 2));
    EXPECT_TRUE(SetDateTimeProp(&reader, kFilePropLinkTime, when));
    EXPECT_EQ(Int(reader, kFilePropWidth), 2);
    EXPECT_EQ(reader.m_texts.FindIntKeyValue(kFilePropCameraMake)->Get()[1], u'\xFFFD');
    EXPECT_FALSE(SetThumbnail(&reader, nullptr));
    cPictDummy first;
    cPictDummy second;
    ASSERT_TRUE(first.AllocClear32(2, 2) && second.AllocClear32(3, 1));
    EXPECT_TRUE(SetThumbnail(&reader, &first) && SetThumbnail(&reader, &second));
    EXPECT_EQ(reader.m_pictures.GetCount(), 1);
    EXPECT_EQ(FindThumbnail(&reader)->GetWidth(), 3);
    EXPECT_FALSE(second.HasPixels());
    reader.m_boxWidth = 16;
    reader.ResetProps();
    EXPECT_EQ(reader.m_boxWidth, -1);
    EXPECT_EQ(reader.m_ints.GetCount() + reader.m_texts.GetCount() + reader.m_pictures.GetCount(), 0);
    EXPECT_EQ(reader.m_dateTimes.GetCount(), 1);
    // Formats the kind table has no row for: a DIB is a bitmap, the rest "other".
    EXPECT_EQ(FileKindForFormat(5), 1);
    for (i32 id : {34, 36, 40, 42, 43, 44}) {
        EXPECT_EQ(FileKindForFormat(id), kFileKindOtherPicture) << id;
    }
}

// The reader and kind for files of every kind made on the spot; rows of pictures.
TEST(FileProps, ReaderByContent)
{
    QEL_REQUIRE(qeltest::HaveTool("convert") && qeltest::HaveTool("zip"), "imagemagick, zip");
    const qeltest::cScratchFolder folder;
    ASSERT_TRUE(RunsOk("cd " + folder.Path() + " && convert rose: r.bmp && convert rose: r.png && "
                       "convert rose: r.jpg && convert rose: r.ppm && convert rose: r.tga && "
                       "convert rose: r.pcx && convert rose: -resize 16x16! r16.png && "
                       "convert r16.png rose: -resize 48x48! x.ico && convert rose: rose: rose: g.gif "
                       "&& head -c -1 g.gif > cut.gif && echo text > t.txt && : > empty && "
                       "zip -q z.zip t.txt"));
    const std::vector<std::pair<std::string, i32>> kinds = {
        {"r.bmp", 1}, {"g.gif", 3}, {"x.ico", 5}, {"r.jpg", 8}, {"r.pcx", 9}, {"r.png", 10},
        {"r.ppm", 11}, {"r.tga", 12}, {Pe("full.exe"), 0}, {Pe("v64.dll"), 0},
        {"/proc/self/exe", -1}, {"t.txt", -1}, {"empty", -1}, {"z.zip", -1},
        {Pe("nores.exe"), -1}};
    for (const auto& [name, kind] : kinds) {
        const std::vector<u8> bytes = ReadFileBytes(name[0] == '/' ? name : folder.PathOf(name));
        cBufWrapperIO stream(bytes.data(), bytes.size());
        tReader reader(CreateFileProps(&stream));
        EXPECT_EQ(reader != nullptr ? reader->GetPropsKind() : -1, kind) << name;
    }
    EXPECT_EQ(CreateFileProps(nullptr), nullptr);
    // Page counts, and thumbnails only when wanted or for a preview-flag picture.
    const std::vector<std::tuple<std::string, i32, i32, bool, i32, i32>> rows = {
        // file, box, want, pages, picture width (0: none)
        {"r.png", 16, 16, false, -999, 0}, {"r.bmp", 16, 16, false, -999, 0},
        {"r.bmp", 35, 35, true, -999, 35}, {"g.gif", 16, 16, false, 3, 0},
        {"cut.gif", 16, 16, false, -999, 0}, {"x.ico", -1, -1, false, 2, 48},
        {"x.ico", 16, 16, false, 2, 16}};
    for (const auto& [name, boxW, boxH, want, pages, pictureWidth] : rows) {
        const std::vector<u8> bytes = ReadFileBytes(folder.PathOf(name));
        cBufWrapperIO stream(bytes.data(), bytes.size());
        bool ok = false;
        tReader reader = Read(&stream, boxW, boxH, want, &ok);
        ASSERT_TRUE(reader != nullptr && ok) << name;
        EXPECT_GT(Int(*reader, kFilePropWidth), 0) << name;
        EXPECT_EQ(Int(*reader, kFilePropPageCount), pages) << name;
        cPictDummy* picture = FindThumbnail(reader.get());
        EXPECT_EQ(picture != nullptr ? picture->GetWidth() : 0, pictureWidth) << name;
    }
}

// Version rows against exiftool (trailing spaces trimmed, as the reader does), the link
// time against the one given to the linker, and the rows kept across a reset.
TEST(FileProps, ExecutableVersionRowsAgainstExiftool)
{
    QEL_REQUIRE(qeltest::HaveTool("exiftool"), "libimage-exiftool-perl");
    const std::pair<const char*, i32> kTags[] = {{"ProductName", kFilePropProductName},
                                                 {"CompanyName", kFilePropCompany},
                                                 {"LegalCopyright", kFilePropCopyright},
                                                 {"ProductVersion", kFilePropVersion}};
    for (const char* name : {"full.exe", "small.exe", "v64.dll"}) {
        const std::vector<u8> fileBytes = ReadFileBytes(Pe(name));
        cBufWrapperIO file(fileBytes.data(), fileBytes.size());
        tReader reader = Read(&file, 16, 16);
        ASSERT_NE(reader, nullptr);
        for (const auto& [tag, id] : kTags) {
            std::string expected = Tool("exiftool -s3 -" + std::string(tag) + " " + Pe(name));
            if (id == kFilePropProductName && expected.empty()) {
                expected = Tool("exiftool -s3 -FileDescription " + Pe(name));
            }
            if (id == kFilePropVersion && expected.empty()) {
                expected = Tool("exiftool -s3 -FileVersion " + Pe(name));
            }
            EXPECT_EQ(Text(*reader, id), expected.empty() ? "<none>" : expected) << name << tag;
        }
        const sDateTime* linked = reader->m_dateTimes.FindIntKeyValue(kFilePropLinkTime);
        char stamp[32] = "";
        if (linked != nullptr) {
            std::snprintf(stamp, sizeof stamp, "%04u:%02u:%02u %02u:%02u:%02u+00:00",
                          linked->m_year, linked->m_month, linked->m_day, linked->m_hour,
                          linked->m_minute, linked->m_second);
        }
        const std::string expected = Tool("exiftool -s3 -TimeStamp " + Pe(name));
        EXPECT_EQ(stamp, expected.rfind("0000", 0) == 0 ? "" : expected) << name;
    }
    // llvm-rc's last string block stops 2 bytes short of its 4-byte boundary at the end of
    // the version block; a later table replaces an earlier key.
    const std::vector<u8> fileBytes = ReadFileBytes(Pe("tables.exe"));
    cBufWrapperIO file(fileBytes.data(), fileBytes.size());
    tReader reader = Read(&file, 0, 0);
    EXPECT_EQ(Text(*reader, kFilePropProductName), "Deutsch");
    EXPECT_EQ(Text(*reader, kFilePropCompany), "Co");
    EXPECT_EQ(Text(*reader, kFilePropVersion), "1.23");
}

// The manager's sequence on one stream: box 16, reset, box 48, and the largest at full
// size with the box -1 x -1, against the icon group rebuilt by wrestool and decoded by
// winicontopam; a lone 256 image reduced to the box.
TEST(FileProps, ExecutableIconsAgainstWinIconToPam)
{
    QEL_REQUIRE(qeltest::HaveTool("wrestool") && qeltest::HaveTool("winicontopam"),
                "icoutils, netpbm");
    const qeltest::cScratchFolder folder;
    const std::string group = folder.PathOf("g.ico");
    ASSERT_TRUE(RunsOk("wrestool -x -t14 -n 1 " + Pe("full.exe") + " -o " + group));
    const std::vector<u8> fileBytes = ReadFileBytes(Pe("full.exe"));
    cBufWrapperIO file(fileBytes.data(), fileBytes.size());
    tReader reader = Read(&file, 16, 16);
    const std::pair<i32, i32> kSteps[] = {{16, 0}, {48, 2}, {-1, 3}};
    for (const auto& [box, image] : kSteps) {
        reader->ResetProps();
        reader->m_boxWidth = box;
        reader->m_boxHeight = box;
        ASSERT_TRUE(reader->ReadProps(&file, nullptr, false));
        cPictDummy* picture = FindThumbnail(reader.get());
        ASSERT_NE(picture, nullptr) << box;
        EXPECT_EQ(TopDown32(*picture), WinIconToPam(group, image)) << box;
        EXPECT_EQ(reader->m_dateTimes.GetCount(), 1);
    }
    const std::vector<u8> bigBytes = ReadFileBytes(Pe("big.exe"));
    cBufWrapperIO big(bigBytes.data(), bigBytes.size());
    for (i32 box : {16, 48}) {
        tReader reduced = Read(&big, box, box);
        ASSERT_NE(FindThumbnail(reduced.get()), nullptr);
        EXPECT_EQ(FindThumbnail(reduced.get())->GetWidth(), box);
        EXPECT_EQ(FindThumbnail(reduced.get())->GetHeight(), box);
    }
}

void Put32(std::vector<u8>& bytes, size_t at, u32 value)
{
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = u8(value >> (8 * i));
    }
}

// A version block: header, key, padding, then a string value or children.
std::vector<u8> Block(const std::string& key, u16 type, const std::u16string& value,
                      const std::vector<u8>& children = {})
{
    std::vector<u8> out(6);
    for (char c : key + '\0') {
        out.insert(out.end(), {u8(c), 0});
    }
    out.resize((out.size() + 3) & ~size_t(3));
    for (char16_t c : value) {
        out.insert(out.end(), {u8(c), u8(c >> 8)});
    }
    out.insert(out.end(), children.begin(), children.end());
    out[0] = u8(out.size());
    out[1] = u8(out.size() >> 8);
    out[2] = u8(value.size());
    out[4] = u8(type);
    return out;
}

bool Walk(const std::vector<u8>& area, tVersionStrings& strings)
{
    cBufWrapperIO stream(area.data(), area.size());
    return ReadVersionStrings(&stream, strings);
}

// Damaged headers, resource trees and version blocks fail cleanly and within bounds.
TEST(FileProps, HostileExecutables)
{
    const std::vector<u8> good = ReadFileBytes(Pe("full.exe"));
    cBufWrapperIO goodStream(good.data(), good.size());
    sPeResources section;
    tResourceIndex index;
    ASSERT_TRUE(ReadPeResources(&goodStream, section) &&
                ReadResourceIndex(&goodStream, section.rawOffset, section.rawSize, index));
    const u32 peOffset = good[60] | good[61] << 8;
    const size_t rsrcHeader = std::search(good.begin(), good.end(), ".rsrc", ".rsrc" + 5) - good.begin();
    const sResourceData version = *(*(*index.FindIntKeyValue(16))->FindIntKeyValue(1))->begin();
    const size_t versionAt = version.rva - section.virtualAddress + section.rawOffset;
    // offset, value, size (1, 2 or 4 bytes), reader made, read succeeds, product row
    const std::vector<std::tuple<size_t, u32, int, bool, bool, bool>> patches = {
        {60, 0x7FFFFFFF, 4, false, false, false},          // e_lfanew past the file
        {peOffset + 6, 0, 2, false, false, false},          // no sections
        {rsrcHeader + 16, 0, 4, false, false, false},       // empty resource section
        {section.rawOffset + 20, 0x100, 4, true, false, false}, // a type entry aimed at data
        {section.rawOffset + 14, 0xFFFF, 2, true, false, false}, // ids past the section
        {versionAt + 2, 0xFFFF, 2, true, true, false},      // value longer than the block
        {versionAt + 40, 0, 4, true, true, false},          // no fixed-information signature
    };
    for (const auto& [at, value, size, made, reads, product] : patches) {
        std::vector<u8> bytes = good;
        std::vector<u8> word(4);
        Put32(word, 0, value);
        std::copy_n(word.begin(), size, bytes.begin() + i64(at));
        cBufWrapperIO stream(bytes.data(), bytes.size());
        bool ok = false;
        tReader reader = Read(&stream, 16, 16, false, &ok);
        EXPECT_EQ(reader != nullptr, made) << at;
        EXPECT_EQ(ok, reads) << at;
        EXPECT_EQ(reader != nullptr && reader->m_texts.FindIntKeyValue(kFilePropProductName) != nullptr,
                  product) << at;
    }
    // Version areas: three levels and trailing padding read; nine levels, a key without
    // its terminator in the block, and a length past the area fail.
    std::vector<u8> nested = Block("k", 1, u"v ");
    for (int level = 0; level < 8; ++level) {
        nested = Block("c", 0, u"", nested);
        tVersionStrings strings;
        EXPECT_EQ(Walk(nested, strings), level < 7) << level;
    }
    std::vector<u8> padded = Block("t", 0, u"", Block("k", 1, u"v "));
    padded.insert(padded.end(), {0, 0, 0, 0});
    tVersionStrings strings;
    EXPECT_TRUE(Walk(padded, strings));
    EXPECT_EQ(strings.GetCount(), 1);
    const std::vector<u8> unterminated = {10, 0, 1, 0, 1, 0, 'a', 0, 'b', 0};
    std::vector<u8> tooLong = Block("k", 1, u"v");
    tooLong[0] += 4;
    EXPECT_FALSE(Walk(unterminated, strings) || Walk(tooLong, strings));
    // 65,535 icon types aimed at one name directory: the entry budget ends the walk.
    // The shared name directory, its language directory and data entry follow the root.
    std::vector<u8> tree(16 + 65535 * 8 + 64);
    const u32 names = u32(tree.size() - 64);
    tree[14] = tree[15] = 0xFF;
    for (u32 i = 0; i < 65535; ++i) {
        Put32(tree, 16 + i * 8, 3);
        Put32(tree, 20 + i * 8, names | 0x80000000u);
    }
    tree[names + 14] = tree[names + 38] = 1;
    Put32(tree, names + 20, (names + 24) | 0x80000000u);
    Put32(tree, names + 44, names + 48);
    cBufWrapperIO treeStream(tree.data(), tree.size());
    tResourceIndex flood;
    EXPECT_FALSE(ReadResourceIndex(&treeStream, 0, tree.size(), flood));
    tree[14] = 100;
    tree[15] = 0;
    tResourceIndex few;
    EXPECT_TRUE(ReadResourceIndex(&treeStream, 0, tree.size(), few));
}

} // namespace

// JPEGs tagged by exiftool in both byte orders against exiftool's values and the djpeg
// decode of its thumbnail; the main image's scans are not read when a thumbnail exists.
TEST(FileProps, JpegRowsAgainstExiftool)
{
    QEL_REQUIRE(qeltest::HaveTool("exiftool") && qeltest::HaveTool("djpeg"),
                "libimage-exiftool-perl, libjpeg-turbo-progs");
    const qeltest::cScratchFolder folder;
    const std::string dir = folder.Path() + "/";
    ASSERT_TRUE(RunsOk(
        "cd " + dir + " && convert -size 800x600 xc: +noise Random -quality 95 p.jpg && cp p.jpg "
        "plain.jpg && convert rose: -resize 160x120! t.jpg && exiftool -q -overwrite_original "
        "-Make=Maker -Model=M1 '-DateTimeOriginal=2021:02:03 04:05:06' -GPSLatitude=48.51 "
        "-GPSLatitudeRef=S -GPSLongitude=2.5 -GPSLongitudeRef=W '-ThumbnailImage<=t.jpg' p.jpg && "
        "exiftool -q -ExifByteOrder=II -o ii.jpg p.jpg && exiftool -q -ThumbnailImage= -o no.jpg p.jpg"));
    const std::string thumbnail = "exiftool -b -ThumbnailImage " + dir +
                                  "p.jpg | djpeg -dct int -nosmooth | convert - -scale 80x60! -depth 8 rgb:-";
    const std::vector<u8> expected = RunCommand(thumbnail);
    for (const char* name : {"p.jpg", "ii.jpg", "no.jpg", "plain.jpg"}) {
        const std::vector<u8> bytes = ReadFileBytes(dir + name);
        cBufWrapperIO file(bytes.data(), bytes.size());
        cCountingStream stream(&file);
        bool ok = false;
        tReader reader = Read(&stream, 80, 80, true, &ok);
        ASSERT_TRUE(reader != nullptr && ok) << name;
        EXPECT_EQ(Int(*reader, kFilePropWidth), 800) << name;
        EXPECT_EQ(Int(*reader, kFilePropHeight), 600) << name;
        cPictDummy* picture = FindThumbnail(reader.get());
        ASSERT_NE(picture, nullptr) << name;
        const bool hasThumbnail = name[1] != 'o' && name[1] != 'l';
        EXPECT_EQ(stream.m_bytesRead < bytes.size() / 4, hasThumbnail) << name;
        EXPECT_EQ(ImageMagickRgb(*picture, "") == expected, hasThumbnail) << name;
        if (name[1] == 'l') {
            EXPECT_EQ(reader->m_texts.GetCount() + reader->m_reals.GetCount(), 0);
            continue;
        }
        EXPECT_EQ(Text(*reader, kFilePropCameraMake), Tool("exiftool -s3 -Make " + dir + name));
        EXPECT_EQ(Text(*reader, kFilePropCameraModel), Tool("exiftool -s3 -Model " + dir + name));
        EXPECT_EQ(reader->m_dateTimes.FindIntKeyValue(kFilePropDateTaken)->m_second, 6);
        EXPECT_NEAR(*reader->m_reals.FindIntKeyValue(kFilePropLatitude),
                    std::stod(Tool("exiftool -n -s3 -Composite:GPSLatitude " + dir + name)), 1e-9);
        EXPECT_NEAR(*reader->m_reals.FindIntKeyValue(kFilePropLongitude),
                    std::stod(Tool("exiftool -n -s3 -Composite:GPSLongitude " + dir + name)), 1e-9);
    }
    // No picture for an empty box, and no decode; an Exif block in no byte order fails.
    std::vector<u8> bytes = ReadFileBytes(dir + "plain.jpg");
    cBufWrapperIO file(bytes.data(), bytes.size());
    cCountingStream stream(&file);
    EXPECT_EQ(FindThumbnail(Read(&stream, 0, 80, true).get()), nullptr);
    EXPECT_LT(stream.m_bytesRead, bytes.size() / 4);
    bytes = ReadFileBytes(dir + "p.jpg");
    bytes[std::search(bytes.begin(), bytes.end(), "Exif", "Exif" + 4) - bytes.begin() + 6] = 'X';
    cBufWrapperIO broken(bytes.data(), bytes.size());
    bool ok = true;
    EXPECT_NE(Read(&broken, 80, 80, true, &ok), nullptr);
    EXPECT_FALSE(ok);
}

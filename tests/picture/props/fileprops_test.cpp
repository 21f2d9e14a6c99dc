// File property readers: the PE corpus of tools/testdata/make_pe.sh against exiftool and
// wrestool/winicontopam, JPEGs tagged by exiftool against exiftool and djpeg, pictures made
// by ImageMagick, and crafted version blocks and resource trees for the decided limits.
#include "base/utf.h"
#include "picture/formats/jpegpicture.h"
#include "picture/picturesupport.h"
#include "picture/props/exeprops.h"
#include "picture/props/propsfactory.h"

namespace {

using namespace picttest;
using tReader = std::unique_ptr<cFileObjectProps>;

std::string Pe(const std::string& name)
{
    return qeltest::LocalDataPath("fileprops/" + name);
}

// A file's bytes as a stream, counting the bytes read.
struct sFile
{
    std::vector<u8> bytes;
    cBufWrapperIO memory{nullptr, 0};
    cCountingStream stream{&memory};
    explicit sFile(const std::string& path, std::vector<u8> data = {})
        : bytes(path.empty() ? data : ReadFileBytes(path)), memory(bytes.data(), bytes.size())
    {
    }
};

// CreateFileProps and one ReadProps with the box; null when no reader was made.
tReader Read(cFileIOTarget* stream, i32 box, bool want = false, bool* ok = nullptr, i32 boxH = 0)
{
    tReader reader(CreateFileProps(stream));
    if (reader != nullptr) {
        reader->m_boxWidth = box;
        reader->m_boxHeight = boxH != 0 ? boxH : box;
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
    _guardchar<char> utf8;
    return text != nullptr && WideToUtf8String(text->Get(), -1, utf8) ? utf8.GetOrEmpty() : "";
}

i32 Int(cFileObjectProps& reader, i32 id)
{
    const i32* value = reader.m_ints.FindIntKeyValue(id);
    return value != nullptr ? *value : -1;
}

// A date-time row as exiftool shows it; "0000:00:00 00:00:00" when absent.
std::string Stamp(cFileObjectProps& reader, i32 id)
{
    const sDateTime* d = reader.m_dateTimes.FindIntKeyValue(id);
    char text[24] = "0000:00:00 00:00:00";
    if (d != nullptr) {
        std::snprintf(text, sizeof text, "%04u:%02u:%02u %02u:%02u:%02u", d->m_year, d->m_month,
                      d->m_day, d->m_hour, d->m_minute, d->m_second);
    }
    return text;
}

// A tool's output without its trailing newline.
std::string Tool(const std::string& command)
{
    const std::string text = qeltest::RunCommand(command);
    return text.substr(0, text.find_last_not_of("\n ") + 1);
}

TEST(FileProps, StoreSettersAndReset)
{
    cWinExeProps reader;
    EXPECT_FALSE(SetTextProp(&reader, kFilePropWidth, u"x") ||
                 SetIntProp(&reader, kFilePropProductName, 1));
    EXPECT_TRUE(SetIntProp(&reader, kFilePropWidth, 1) && SetIntProp(&reader, kFilePropWidth, 2) &&
                SetTextPropNarrow(&reader, kFilePropCameraMake, "a\xFF", 2) &&
                SetDateTimeProp(&reader, kFilePropLinkTime, UnixTimeToDateTime(86400)));
    EXPECT_EQ(Int(reader, kFilePropWidth), 2);
    EXPECT_EQ(Text(reader, kFilePropCameraMake), "a\xEF\xBF\xBD");
    cPictDummy first;
    cPictDummy second;
    ASSERT_TRUE(first.AllocClear32(2, 2) && second.AllocClear32(3, 1));
    EXPECT_FALSE(SetThumbnail(&reader, nullptr));
    EXPECT_TRUE(SetThumbnail(&reader, &first) && SetThumbnail(&reader, &second));
    EXPECT_EQ(reader.m_pictures.GetCount() * 10 + FindThumbnail(&reader)->GetWidth(), 13);
    EXPECT_FALSE(second.HasPixels());
    reader.m_boxWidth = 16;
    reader.ResetProps();
    EXPECT_EQ(reader.m_boxWidth, -1);
    EXPECT_EQ(reader.m_ints.GetCount() + reader.m_texts.GetCount() + reader.m_pictures.GetCount(),
              0);
    EXPECT_EQ(reader.m_dateTimes.GetCount(), 1);
    // Formats the kind table has no row for: a DIB is a bitmap, the rest "other".
    for (i32 id : {5, 34, 36, 40, 42, 43, 44}) {
        EXPECT_EQ(FileKindForFormat(id), id == 5 ? 1 : kFileKindOtherPicture) << id;
    }
}

// Readers and rows of files of every kind: page counts, and thumbnails only when wanted or
// for a picture with a preview (ICO).
TEST(FileProps, ReaderByContent)
{
    QEL_REQUIRE(qeltest::HaveTool("convert") && qeltest::HaveTool("zip"), "imagemagick, zip");
    const qeltest::cScratchFolder folder;
    ASSERT_TRUE(
        RunsOk("cd " + folder.Path() +
               " && for f in bmp png jpg ppm tga pcx; do convert "
               "rose: r.$f; done && convert rose: -resize 16x16! r16.png && convert r16.png "
               "rose: -resize 48x48! x.ico && convert rose: rose: rose: g.gif && head -c -1 "
               "g.gif > cut.gif && echo text > t.txt && : > empty && zip -q z.zip t.txt"));
    struct sRow
    {
        std::string name;
        i32 kind;
        i32 box = 0;
        bool want = false;
        i32 pages = -1;
        i32 pictureWidth = 0;
    };
    // clang-format off
    const sRow rows[] = {
        {"r.bmp", 1, 16, false, -1, 0}, {"r.bmp", 1, 35, true, -1, 35}, {"g.gif", 3, 16, false, 3, 0},
        {"cut.gif", 3, 16, false, -1, 0}, {"x.ico", 5, -1, false, 2, 48}, {"x.ico", 5, 16, false, 2, 16},
        {"r.jpg", 8, 16}, {"r.pcx", 9, 16}, {"r.png", 10, 16}, {"r.ppm", 11, 16}, {"r.tga", 12, 16},
        {Pe("v64.dll"), 0}, {"/proc/self/exe", -1}, {"t.txt", -1}, {"empty", -1}, {"z.zip", -1},
        {Pe("nores.exe"), -1}};
    // clang-format on
    for (const auto& [name, kind, box, want, pages, pictureWidth] : rows) {
        sFile file(name[0] == '/' ? name : folder.PathOf(name));
        bool ok = false;
        tReader reader = Read(&file.stream, box, want, &ok);
        EXPECT_EQ(reader != nullptr ? reader->GetPropsKind() : -1, kind) << name;
        if (reader != nullptr) {
            EXPECT_TRUE(ok) << name;
            EXPECT_EQ(Int(*reader, kFilePropWidth), kind == 0 ? -1 : kind == 5 ? 48 : 70) << name;
            EXPECT_EQ(Int(*reader, kFilePropPageCount), pages) << name;
            EXPECT_EQ(FindThumbnail(reader.get()) ? FindThumbnail(reader.get())->GetWidth() : 0,
                      pictureWidth)
                << name;
        }
    }
    EXPECT_EQ(CreateFileProps(nullptr), nullptr);
    // Every valid PngSuite file (names not starting with "x") gives a PNG reader and a
    // thumbnail when one is wanted.
    for (const std::string& path : ListPngFiles(qeltest::SharedDataPath("pngsuite/png/"))) {
        sFile file(path);
        tReader reader = Read(&file.stream, 16, true);
        EXPECT_EQ(reader != nullptr && reader->GetPropsKind() == 10 &&
                      FindThumbnail(reader.get()) != nullptr,
                  BaseName(path)[0] != 'x')
            << path;
    }
}

// Version rows against exiftool (trailing spaces trimmed, as the reader does) and the link
// time against the one the linker was given.
TEST(FileProps, ExecutableVersionRowsAgainstExiftool)
{
    QEL_REQUIRE(qeltest::HaveTool("exiftool"), "libimage-exiftool-perl");
    // clang-format off
    const std::vector<std::tuple<const char*, const char*, i32>> rows = {
        {"full.exe", "ProductName", kFilePropProductName}, {"full.exe", "FileDescription", kFilePropDescription},
        {"full.exe", "CompanyName", kFilePropCompany}, {"full.exe", "LegalCopyright", kFilePropCopyright},
        {"full.exe", "ProductVersion", kFilePropVersion}, {"small.exe", "FileDescription", kFilePropProductName},
        {"small.exe", "FileVersion", kFilePropVersion}, {"v64.dll", "ProductName", kFilePropProductName}};
    // clang-format on
    for (const auto& [name, tag, id] : rows) {
        sFile file(Pe(name));
        EXPECT_EQ(Text(*Read(&file.stream, 16), id),
                  Tool(std::string("exiftool -s3 -") + tag + " " + Pe(name)));
    }
    for (const auto& [name, texts] : {std::pair("full.exe", 5), {"small.exe", 2}, {"v64.dll", 1}}) {
        sFile file(Pe(name));
        tReader reader = Read(&file.stream, 16);
        EXPECT_EQ(reader->m_texts.GetCount(), texts) << name;
        const std::string stamp = Stamp(*reader, kFilePropLinkTime);
        EXPECT_EQ(stamp == "0000:00:00 00:00:00" ? stamp : stamp + "+00:00",
                  Tool("exiftool -s3 -TimeStamp " + Pe(name)))
            << name;
    }
    // llvm-rc's last string block stops 2 bytes short of its 4-byte boundary at the end of
    // the version block; a later table replaces an earlier key.
    sFile file(Pe("tables.exe"));
    tReader reader = Read(&file.stream, 0);
    EXPECT_EQ(Text(*reader, kFilePropProductName) + Text(*reader, kFilePropCompany) +
                  Text(*reader, kFilePropVersion),
              "DeutschCo1.23");
}

// The manager's sequence on one stream (box 16, reset, box 48) and the largest at full size
// for the box -1 x -1, against the icon group rebuilt by wrestool and decoded by
// winicontopam; a lone 256 image reduced to the box. The date row survives the resets.
TEST(FileProps, ExecutableIconsAgainstWinIconToPam)
{
    QEL_REQUIRE(qeltest::HaveTool("wrestool") && qeltest::HaveTool("winicontopam"),
                "icoutils, netpbm");
    const qeltest::cScratchFolder folder;
    const std::string group = folder.PathOf("g.ico");
    ASSERT_TRUE(RunsOk("wrestool -x -t14 -n 1 " + Pe("full.exe") + " -o " + group));
    sFile file(Pe("full.exe"));
    tReader reader = Read(&file.stream, 16);
    for (const auto& [box, image] : {std::pair(16, 0), {48, 2}, {-1, 3}}) {
        reader->ResetProps();
        reader->m_boxWidth = reader->m_boxHeight = box;
        ASSERT_TRUE(reader->ReadProps(&file.stream, nullptr, false));
        ASSERT_NE(FindThumbnail(reader.get()), nullptr) << box;
        EXPECT_EQ(TopDown32(*FindThumbnail(reader.get())), WinIconToPam(group, image)) << box;
        EXPECT_EQ(reader->m_dateTimes.GetCount(), 1);
    }
    // Below half scale the streaming path gives each source pixel whole to the cell nearest
    // its scaled position, half a cell off the box filter's blocks: at 1/16 that is 8 rows
    // of the gradient, 8 levels.
    const std::string png = folder.PathOf("i.png");
    ASSERT_TRUE(RunsOk("wrestool -x -t3 -n 1 -R " + Pe("big.exe") + " > " + png));
    sFile big(Pe("big.exe"));
    for (i32 box : {16, 48}) {
        tReader reduced = Read(&big.stream, box);
        ASSERT_NE(FindThumbnail(reduced.get()), nullptr);
        const std::vector<u32> expected =
            ToolPixels("convert " + png + " -filter box -resize " + std::to_string(box) + "x" +
                       std::to_string(box) + "! pam:-");
        const std::vector<u32> got = TopDown32(*FindThumbnail(reduced.get()));
        ASSERT_EQ(got.size(), expected.size()) << box;
        for (size_t i = 0; i < got.size() * 4; ++i) {
            ASSERT_NEAR(i32(got[i / 4] >> i % 4 * 8 & 0xFF), i32(expected[i / 4] >> i % 4 * 8 & 0xFF), 10) << box;
        }
    }
}

void Put32(std::vector<u8>& bytes, size_t at, u32 value, int size = 4)
{
    for (int i = 0; i < size; ++i) {
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
    Put32(out, 0, u32(out.size() | value.size() << 16));
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
    sFile good(Pe("full.exe"));
    sPeResources rsrc;
    tResourceIndex index;
    ASSERT_TRUE(ReadPeResources(&good.stream, rsrc) &&
                ReadResourceIndex(&good.stream, rsrc.rawOffset, rsrc.rawSize, index));
    const std::vector<u8>& bytes = good.bytes;
    const size_t rsrcHeader =
        std::search(bytes.begin(), bytes.end(), ".rsrc", ".rsrc" + 5) - bytes.begin();
    const sResourceData version = *(*(*index.FindIntKeyValue(16))->FindIntKeyValue(1))->begin();
    const size_t versionAt = version.rva - rsrc.virtualAddress + rsrc.rawOffset;
    std::vector<u8> dataEntry(8);
    Put32(dataEntry, 0, version.rva);
    Put32(dataEntry, 4, version.size);
    const size_t dataEntryAt =
        std::search(bytes.begin(), bytes.end(), dataEntry.begin(), dataEntry.end()) - bytes.begin();
    ASSERT_LT(dataEntryAt, bytes.size());
    // offset, value, size, reader made, read succeeds, product row
    const std::vector<std::tuple<size_t, u32, int, bool, bool, bool>> patches = {
        {60, 0x7FFFFFFF, 4, false, false, false},                     // e_lfanew past the file
        {bytes[60] + 6u, 0, 2, false, false, false},                  // no sections
        {rsrcHeader + 16, 0, 4, false, false, false},                 // empty resource section
        {rsrc.rawOffset + 20, 0x100, 4, true, false, false},          // a type entry aimed at data
        {rsrc.rawOffset + 14, 0xFFFF, 2, true, false, false},         // ids past the section
        {dataEntryAt, rsrc.virtualAddress - 4, 4, true, true, false}, // RVA below the section
        {versionAt + 2, 0xFFFF, 2, true, true, false},                // value longer than the block
        {versionAt + 40, 0, 4, true, true, false},       // no fixed-information signature
        {versionAt + 92, 0xFFFF, 2, true, true, false}}; // StringFileInfo past its area
    for (const auto& [at, value, size, made, reads, product] : patches) {
        sFile file("", bytes);
        Put32(file.bytes, at, value, size);
        bool ok = false;
        tReader reader = Read(&file.stream, 16, false, &ok);
        EXPECT_EQ(reader != nullptr, made) << at;
        EXPECT_EQ(ok, reads) << at;
        EXPECT_EQ(reader != nullptr && !Text(*reader, kFilePropProductName).empty(), product) << at;
    }
    // Version areas: eight levels and trailing padding read; nine levels, a key without its
    // terminator in the block, and a length past the area fail.
    std::vector<u8> nested = Block("k", 1, u"v ");
    tVersionStrings strings;
    for (int level = 2; level <= 9; ++level) {
        nested = Block("c", 0, u"", nested);
        EXPECT_EQ(Walk(nested, strings), level <= 8) << level;
    }
    std::vector<u8> padded = Block("t", 0, u"", Block("k", 1, u"v "));
    padded.insert(padded.end(), {0, 0, 0, 0});
    std::vector<u8> tooLong = Block("k", 1, u"v");
    tooLong[0] += 4;
    EXPECT_TRUE(Walk(padded, strings));
    EXPECT_FALSE(Walk({10, 0, 1, 0, 1, 0, 'a', 0, 'b', 0}, strings) || Walk(tooLong, strings));
    // 65,535 icon types aimed at one name directory (then its language directory and data
    // entry): the entry budget ends the walk.
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
    sFile flood("", tree);
    tResourceIndex floodIndex;
    EXPECT_FALSE(ReadResourceIndex(&flood.stream, 0, tree.size(), floodIndex));
    Put32(flood.bytes, 14, 100, 2);
    tResourceIndex fewIndex;
    EXPECT_TRUE(ReadResourceIndex(&flood.stream, 0, tree.size(), fewIndex));
}

// JPEGs tagged by exiftool in both byte orders against exiftool's values and the djpeg
// decode of its thumbnail; the main image's scans are not read when a thumbnail exists.
TEST(FileProps, JpegRowsAgainstExiftool)
{
    QEL_REQUIRE(qeltest::HaveTool("exiftool") && qeltest::HaveTool("djpeg"),
                "libimage-exiftool-perl, libjpeg-turbo-progs");
    const qeltest::cScratchFolder folder;
    const std::string dir = folder.Path() + "/";
    ASSERT_TRUE(RunsOk(
        "cd " + dir +
        " && convert -size 800x600 xc: +noise Random -quality 95 p.jpg && cp p.jpg "
        "plain.jpg && convert rose: -resize 160x120! t.jpg && exiftool -q -overwrite_original "
        "-Make=Maker -Model=M1 '-DateTimeOriginal=2021:02:03 04:05:06' -GPSLatitude=48.51 "
        "-GPSLatitudeRef=S -GPSLongitude=2.5 -GPSLongitudeRef=W '-ThumbnailImage<=t.jpg' p.jpg && "
        "exiftool -q -ExifByteOrder=II -o ii.jpg p.jpg && exiftool -q -ThumbnailImage= -o no.jpg "
        "p.jpg"));
    const std::vector<u8> expected =
        RunCommand("exiftool -b -ThumbnailImage " + dir +
                   "p.jpg | djpeg "
                   "-dct int -nosmooth | convert - -scale 80x60! -depth 8 rgb:-");
    for (const std::string name : {"p.jpg", "ii.jpg", "no.jpg", "plain.jpg"}) {
        sFile file(dir + name);
        bool ok = false;
        tReader reader = Read(&file.stream, 80, true, &ok);
        ASSERT_TRUE(reader != nullptr && ok && FindThumbnail(reader.get()) != nullptr) << name;
        EXPECT_EQ(Int(*reader, kFilePropWidth) * 1000 + Int(*reader, kFilePropHeight), 800600);
        const bool hasThumbnail = name[1] != 'o' && name[1] != 'l';
        EXPECT_EQ(file.stream.m_bytesRead < file.bytes.size() / 4, hasThumbnail) << name;
        EXPECT_EQ(ImageMagickRgb(*FindThumbnail(reader.get()), "") == expected, hasThumbnail)
            << name;
        const f64* latitude = reader->m_reals.FindIntKeyValue(kFilePropLatitude);
        const f64* longitude = reader->m_reals.FindIntKeyValue(kFilePropLongitude);
        const std::string rows = Text(*reader, kFilePropCameraMake) + "\n" +
                                 Text(*reader, kFilePropCameraModel) + "\n" +
                                 Stamp(*reader, kFilePropDateTaken);
        EXPECT_EQ(rows == "\n\n0000:00:00 00:00:00" ? "" : rows,
                  Tool("exiftool -s3 -Make -Model -DateTimeOriginal " + dir + name))
            << name;
        for (const auto& [value, tag] :
             {std::pair(latitude, "Latitude"), {longitude, "Longitude"}}) {
            if (value != nullptr) {
                EXPECT_NEAR(*value,
                            std::stod(Tool("exiftool -n -s3 -Composite:GPS" + std::string(tag) +
                                           " " + dir + name)),
                            1e-9);
            }
        }
        EXPECT_EQ(latitude != nullptr && longitude != nullptr, name != "plain.jpg") << name;
    }
    // A GPS IFD with each reference after its value keeps the hemisphere.
    sFile unsorted(dir + "p.jpg");
    for (const char* reference : {"\0\1\0\2\0\0\0\2S", "\0\3\0\2\0\0\0\2W"}) {
        const auto entry =
            std::search(unsorted.bytes.begin(), unsorted.bytes.end(), reference, reference + 9);
        ASSERT_NE(entry, unsorted.bytes.end());
        std::swap_ranges(entry, entry + 12, entry + 12);
    }
    tReader swapped = Read(&unsorted.stream, 80);
    EXPECT_NEAR(*swapped->m_reals.FindIntKeyValue(kFilePropLatitude), -48.51, 1e-9);
    EXPECT_NEAR(*swapped->m_reals.FindIntKeyValue(kFilePropLongitude), -2.5, 1e-9);
    // No picture and no decode for an empty box; an Exif block in no byte order fails.
    sFile plain(dir + "plain.jpg");
    EXPECT_EQ(FindThumbnail(Read(&plain.stream, 0, true, nullptr, 80).get()), nullptr);
    EXPECT_LT(plain.stream.m_bytesRead, plain.bytes.size() / 4);
    sFile broken(dir + "p.jpg");
    broken.bytes[std::search(broken.bytes.begin(), broken.bytes.end(), "Exif", "Exif" + 4) -
                 broken.bytes.begin() + 6] = 'X';
    bool ok = true;
    EXPECT_NE(Read(&broken.stream, 80, true, &ok), nullptr);
    EXPECT_FALSE(ok);
}

// The file property reader and the picture share one Exif thumbnail walker: both take an
// IFD1 thumbnail coded 6 (Exif), 7 (TIFF Technical Note 2 JPEG) or with no Compression tag,
// and both refuse 1 (uncompressed) and 99 (dcraw's lossless-JPEG raw data).
TEST(FileProps, ExifThumbnailCodingsMatchThePicture)
{
    QEL_REQUIRE(qeltest::HaveTool("exiftool"), "libimage-exiftool-perl");
    const qeltest::cScratchFolder folder;
    ASSERT_TRUE(RunsOk("cd " + folder.Path() +
                       " && convert -size 64x48 xc:gray p.jpg && convert rose: t.jpg && "
                       "exiftool -q -overwrite_original -ExifByteOrder=II "
                       "'-ThumbnailImage<=t.jpg' p.jpg"));
    const sFile tagged(folder.PathOf("p.jpg"));
    // IFD1's Compression entry as exiftool writes it: tag 0x0103, SHORT, count 1, value 6.
    const u8 entry[] = {0x03, 0x01, 3, 0, 1, 0, 0, 0, 6, 0};
    const auto at = std::search(tagged.bytes.begin(), tagged.bytes.end(), entry, entry + 10);
    ASSERT_NE(at, tagged.bytes.end());
    const size_t offset = size_t(at - tagged.bytes.begin());
    // {tag's low byte, value, taken}; tag 0x0104 stands for a missing Compression tag.
    const struct
    {
        u8 tag;
        u8 compression;
        bool taken;
    } cases[] = {
        {0x03, 6, true}, {0x03, 7, true}, {0x04, 6, true}, {0x03, 1, false}, {0x03, 99, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.tag) * 1000 + c.compression);
        std::vector<u8> bytes = tagged.bytes;
        bytes[offset] = c.tag;
        bytes[offset + 8] = c.compression;
        sFile file("", bytes);
        tReader reader = Read(&file.stream, 80);
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(FindThumbnail(reader.get()) != nullptr, c.taken);
        cBufWrapperIO stream(bytes.data(), bytes.size());
        cPictJPEG picture;
        ASSERT_TRUE(picture.Load(&stream));
        const cPictPropImage* thumbnail = picture.FindThumbnailProperty();
        EXPECT_EQ(thumbnail != nullptr && thumbnail->GetPicture() != nullptr, c.taken);
    }
}

// A JPEG whose decode fails (cut after its frame header, cut at half) keeps its size rows
// but stores no picture; djpeg reports both cuts (exit status 1 or 2).
TEST(FileProps, CutJpegStoresNoThumbnail)
{
    QEL_REQUIRE(qeltest::HaveTool("djpeg"), "libjpeg-turbo-progs");
    const qeltest::cScratchFolder folder;
    ASSERT_TRUE(RunsOk("convert -size 400x300 xc: +noise Random -quality 95 " +
                       folder.PathOf("p.jpg")));
    const std::vector<u8> whole = ReadFileBytes(folder.PathOf("p.jpg"));
    const u8 sof[2] = {0xFF, 0xC0};
    const size_t frame = std::search(whole.begin(), whole.end(), sof, sof + 2) - whole.begin();
    ASSERT_LT(frame + 4, whole.size());
    const size_t afterFrame = frame + 2 + (size_t(whole[frame + 2]) << 8 | whole[frame + 3]);
    for (const size_t length : {afterFrame, whole.size() / 2, whole.size()}) {
        SCOPED_TRACE(length);
        const std::vector<u8> bytes(whole.begin(), whole.begin() + length);
        WriteFileBytes(folder.PathOf("c.jpg"), std::string(bytes.begin(), bytes.end()));
        const bool referenceDecodes = RunsOk("djpeg " + folder.PathOf("c.jpg") + " >/dev/null");
        EXPECT_EQ(referenceDecodes, length == whole.size());
        sFile file("", bytes);
        bool ok = false;
        tReader reader = Read(&file.stream, 80, true, &ok);
        ASSERT_TRUE(reader != nullptr && ok);
        EXPECT_EQ(Int(*reader, kFilePropWidth) * 1000 + Int(*reader, kFilePropHeight), 400300);
        EXPECT_EQ(FindThumbnail(reader.get()) != nullptr, referenceDecodes);
    }
}

} // namespace

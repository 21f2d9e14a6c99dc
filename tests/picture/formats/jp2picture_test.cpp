// The JPEG 2000 pictures against OpenJPEG's own tool: the corpus of tools/testdata/make_jp2.sh
// (opj_compress options, precisions, alpha, sYCC, palette and channel-definition boxes)
// decodes equal to `opj_decompress`, its sizes equal `opj_dump`'s, and Grok agrees on the
// lossless files. Broken files fail quietly.
#include "picture/formats/jp2picture.h"
#include "picture/picturesupport.h"

namespace {

using namespace picttest;

class Jp2Corpus : public ::testing::Test
{
  protected:
    static void SetUpTestSuite()
    {
        s_folder = new qeltest::cScratchFolder;
        const std::string dir = s_folder->Path();
        ASSERT_TRUE(RunsOk(std::string(QEL_SOURCE_DIR) + "/tools/testdata/make_jp2.sh " + dir));
        std::istringstream names(qeltest::RunCommand("cd " + dir + " && ls *.jp2 *.j2k"));
        for (std::string name; names >> name;) {
            s_files.push_back(name);
        }
    }
    static void TearDownTestSuite() { delete s_folder; }
    static std::string PathOf(const std::string& name) { return s_folder->PathOf(name); }

    static inline qeltest::cScratchFolder* s_folder = nullptr;
    static inline std::vector<std::string> s_files;
};

// A tool's PNM output without the "# <tool>" line both tools write after the magic.
bool ToolPnm(const std::string& command, const std::string& out, sPnm& pnm)
{
    return RunsOk(command + " -o " + out + " >/dev/null") &&
           ParsePnm(RunCommand("sed '2{/^#/d}' " + out), pnm);
}

// The tool's samples (maxval 2^p - 1) as our channels: 8 bits when p <= 8, else 16, rounded;
// components sub-sampled on the whole image (the tool writes them at their size) replicated.
std::vector<u64> ExpectedPixels(const sPnm& pnm, i32 width, i32 height, bool deep)
{
    const u64 full = deep ? 65535 : 255;
    const i32 dx = (width + pnm.width - 1) / pnm.width;
    const i32 dy = (height + pnm.height - 1) / pnm.height;
    std::vector<u64> pixels;
    for (i32 i = 0; i < width * height; ++i) {
        u32 rgba[4];
        PnmRgba(pnm, size_t(i / width / dy) * pnm.width + size_t(i % width / dx), rgba);
        u64 pixel = 0;
        for (i32 c : {3, 0, 1, 2}) {
            pixel = pixel << (deep ? 16 : 8) | (rgba[c] * full + pnm.maxval / 2) / pnm.maxval;
        }
        pixels.push_back(pixel);
    }
    return pixels;
}

std::vector<u64> OurPixels(cPictBase& picture)
{
    const i32 w = picture.GetWidth();
    const std::vector<u32> top = TopDown32(picture);
    return picture.IsDeep() ? TopDown(picture.Pixels64().GetData(), w, picture.GetHeight())
                            : std::vector<u64>(top.begin(), top.end());
}

TEST_F(Jp2Corpus, DecodesEqualToOpenJpegTool)
{
    ASSERT_GE(s_files.size(), 40u);
    const qeltest::cScratchFolder folder;
    for (const std::string& name : s_files) {
        SCOPED_TRACE(name);
        const std::vector<u8> bytes = ReadFileBytes(PathOf(name));
        sPictInfo info;
        const tPicture probed = CreatePicture(bytes, &info);
        if (name.starts_with("bad_")) {
            EXPECT_EQ(probed, nullptr);
            continue;
        }
        ASSERT_NE(probed, nullptr);
        EXPECT_EQ(probed->GetFormatId(), name.ends_with(".jp2") ? kPictFormatJP2 : kPictFormatJ2K);
        const std::vector<u8> dump = RunCommand("opj_dump -i " + PathOf(name));
        const std::string text(dump.begin(), dump.end());
        long x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        ASSERT_EQ(std::sscanf(text.c_str() + text.find("x0="), "x0=%ld, y0=%ld", &x0, &y0) +
                      std::sscanf(text.c_str() + text.find("x1="), "x1=%ld, y1=%ld", &x1, &y1), 4);
        EXPECT_EQ(info.width, x1 - x0);
        EXPECT_EQ(info.height, y1 - y0);

        const tPicture picture = CreatePicture(bytes, nullptr);
        ASSERT_NE(picture, nullptr);
        sPnm pnm, grok;
        ASSERT_TRUE(ToolPnm("opj_decompress -i " + PathOf(name), folder.PathOf("o.pnm"), pnm));
        EXPECT_EQ(picture->IsDeep(), pnm.maxval > 255);
        EXPECT_TRUE(SamePixels(OurPixels(*picture),
                               ExpectedPixels(pnm, info.width, info.height, picture->IsDeep()),
                               info.width));
        // Grok is a second decoder: on lossless files both tools must agree. Its PNM writer
        // drops alpha and writes signed samples without the 2^(p-1) offset. On the file with
        // a tile grid origin the tools differ in the last, 3-column tile column (and neither
        // gives the encoder's source back there): left out.
        if (name.find("irreversible") == std::string::npos && pnm.depth % 2 == 1 &&
            name != "tileorigin.j2k") {
            ASSERT_TRUE(ToolPnm("grk_decompress -H 1 -i " + PathOf(name), folder.PathOf("g.pnm"), grok));
            for (u32& sample : grok.samples) {
                sample = name.starts_with("p16s") ? (sample + 0x8000) & 0xFFFF : sample;
            }
            EXPECT_TRUE(grok.samples == pnm.samples);
        }
    }
}

// Cuts and single-byte flips of the main header: a clean false (strict mode: no partial
// image), never a crash, a leak (LeakSanitizer checks at exit) or a message on stderr.
TEST_F(Jp2Corpus, BrokenFilesFailQuietly)
{
    testing::internal::CaptureStderr();
    for (const std::string& name : s_files) {
        ForEachCut(ReadFileBytes(PathOf(name)), [&](const std::vector<u8>& cut) {
            EXPECT_EQ(CreatePicture(cut, nullptr), nullptr) << name;
        }, 16);
    }
    for (const char* name : {"rgb.j2k", "alphafirst.jp2"}) {
        std::vector<u8> bytes = ReadFileBytes(PathOf(name));
        for (size_t at = 0; at < 120; ++at) {
            bytes[at] ^= 0x5A;
            const tPicture picture = CreatePicture(bytes, nullptr);
            EXPECT_TRUE(picture == nullptr || picture->HasPixels());
            bytes[at] ^= 0x5A;
        }
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// The SIZ segment (T.800 A.5.1: Xsiz at 8, Csiz at 40, then Ssiz, XRsiz, YRsiz): areas past
// the pixel cap and bad component counts are refused right after the main header, before
// OpenJPEG allocates the planes.
TEST_F(Jp2Corpus, RefusesHostileSizBeforeDecoding)
{
    const std::pair<size_t, std::vector<u8>> patches[] = {
        {8, {0xFF, 0xFF, 0xFF, 0xFF}}, {8, {0, 1, 0, 0, 0, 1, 0, 0}}, {40, {0, 0}}, {40, {0, 5}}, {43, {0}},
    };
    for (const auto& [at, patch] : patches) {
        std::vector<u8> bytes = ReadFileBytes(PathOf("small.j2k"));
        std::copy(patch.begin(), patch.end(), bytes.begin() + i64(at));
        cBufWrapperIO stream(bytes.data(), bytes.size());
        cPictJ2K picture;
        EXPECT_FALSE(picture.ReadInfo(&stream, nullptr)) << at;
        EXPECT_FALSE(picture.Load(&stream)) << at;
    }
}

// Big-endian 32-bit value at `at`.
void PutU32(std::vector<u8>& bytes, size_t at, u32 value)
{
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = u8(value >> (24 - 8 * i));
    }
}

size_t Find(const std::vector<u8>& bytes, const std::string& what, size_t from = 0)
{
    const std::vector<u8> pattern(what.begin(), what.end());
    return size_t(std::search(bytes.begin() + i64(from), bytes.end(), pattern.begin(), pattern.end()) -
                  bytes.begin());
}

// Codestreams without the data for what they declare fail in decode, thumbnail and file
// properties, before OpenJPEG allocates the image: opj_compress files cut to their main
// header, a tiled codestream without its last tile's tile-part, and flat 64 x 64 pictures
// whose SIZ (and ihdr) are patched to 16384 x 16384 - 150-250 bytes that OpenJPEG would
// decode to 1 GB of grey - bare, as JP2, and as the JPEG 2000 element of an icon file.
TEST_F(Jp2Corpus, FilesWithoutTheirDataFailWithinMemory)
{
    const std::string dir = s_folder->Path();
    ASSERT_TRUE(RunsOk("cd " + dir + " && convert -size 64x64 xc:gray50 -depth 8 flat.pgm && " +
                       "opj_compress -i flat.pgm -o flat.j2k && opj_compress -i flat.pgm -o flat.jp2"));
    std::vector<std::pair<std::string, std::vector<u8>>> files;
    for (const char* name : {"rgb.j2k", "rgb.jp2"}) {
        std::vector<u8> bytes = ReadFileBytes(PathOf(name));
        bytes.resize(Find(bytes, "\xFF\x90"));
        files.emplace_back(std::string("main header of ") + name, bytes);
    }
    std::vector<u8> tiled = ReadFileBytes(PathOf("tiled.j2k"));
    size_t lastPart = 0;
    for (size_t at = Find(tiled, "\xFF\x90"); at < tiled.size(); at = Find(tiled, "\xFF\x90", at + 2)) {
        lastPart = at;
    }
    tiled.erase(tiled.begin() + i64(lastPart), tiled.end() - 2);
    files.emplace_back("tiled without its last tile", tiled);
    for (const char* name : {"flat.j2k", "flat.jp2"}) {
        std::vector<u8> bytes = ReadFileBytes(dir + "/" + name);
        cBufWrapperIO stream(bytes.data(), bytes.size());
        sPictInfo info;
        ASSERT_TRUE(ProbeJ2K(&stream, &info) || ProbeJP2(&stream, &info)) << name;
        const size_t siz = Find(bytes, "\xFF\x4F\xFF\x51");
        for (size_t field : {8, 12, 24, 28}) {
            PutU32(bytes, siz + field, 16384);
        }
        if (const size_t ihdr = Find(bytes, "ihdr"); ihdr < bytes.size()) {
            PutU32(bytes, ihdr + 4, 16384);
            PutU32(bytes, ihdr + 8, 16384);
        }
        files.emplace_back(std::string("16384 x 16384 ") + name, bytes);
    }
    std::vector<u8> icon = {'i', 'c', 'n', 's', 0, 0, 0, 0, 'i', 'c', '1', '0', 0, 0, 0, 0};
    icon.insert(icon.end(), files.back().second.begin(), files.back().second.end());
    PutU32(icon, 4, u32(icon.size()));
    PutU32(icon, 12, u32(icon.size() - 8));
    files.emplace_back("icns with a 16384 x 16384 jp2 element", icon);
    for (auto& [name, bytes] : files) {
        SCOPED_TRACE(name + ", " + std::to_string(bytes.size()) + " bytes");
        const sEveryRoad roads = TryEveryRoad(bytes);
        if (kResidentGrowthMeasured) {
            EXPECT_LT(roads.growth, 64 << 20);
        }
        EXPECT_FALSE(roads.decoded);
        EXPECT_FALSE(roads.thumbnail);
        EXPECT_FALSE(roads.propsPicture);
    }
}

} // namespace

// The TIFF-based camera RAW classes on the fabricated containers of
// tools/testdata/make_raw.py: the factory's choice and info, previews against exiftool's
// extraction, and development against dcraw_emu (the same LibRaw, run as a program).
#include "picture/factory/thumbnail.h"
#include "picture/formats/jpegpicture.h"
#include "picture/formats/rawpictures.h"
#include "picture/picturesupport.h"
#include "picture/props/fileprops.h"
#include "picture/props/propsfactory.h"

#include <chrono>

namespace {

using namespace picttest;
using qeltest::cScratchFolder;

const std::string kToPam = "/usr/bin/python3 " QEL_SOURCE_DIR "/tools/testdata/tiff_to_pam.py ";

std::string RawSample(const std::string& name)
{
    return qeltest::LocalDataPath("raw/" + name);
}

struct sFactoryCase
{
    const char* file;
    i32 formatId; // 0: nothing when loaded (the info still names the class)
    i32 infoFormatId;
    i32 width; // what Load gives (dcraw_emu's output size, else the largest preview's);
    i32 height; // the header's size (DefaultCropSize for DNG) for a file that Load fails
    u8 preview;
};

const sFactoryCase kFactoryCases[] = {
    {"dng_cfa.dng", kPictFormatDNG, kPictFormatDNG, 128, 96, 1},
    // A DNG converted from a NEF keeps Make "NIKON ...": still a DNG.
    {"dng_nikon.dng", kPictFormatDNG, kPictFormatDNG, 128, 96, 1},
    {"dng_nopreview.dng", kPictFormatDNG, kPictFormatDNG, 128, 96, 0},
    {"dng_rgbpreview.dng", kPictFormatDNG, kPictFormatDNG, 128, 96, 1},
    {"dng_linear.dng", kPictFormatDNG, kPictFormatDNG, 64, 48, 0},
    {"nef_two.nef", kPictFormatNEF, kPictFormatNEF, 156, 120, 1},
    {"cr2_header.cr2", kPictFormatCR2, kPictFormatCR2, 640, 480, 1},
    // A camera's RGB TIFF without a raw IFD stays a TIFF.
    {"nikon_rgb.tif", kPictFormatTIFF, kPictFormatTIFF, 32, 24, 0},
    {"mrw_minolta.mrw", kPictFormatMRW, kPictFormatMRW, 160, 120, 1},
    {"raf_fuji.raf", kPictFormatRAF, kPictFormatRAF, 640, 480, 1},
    {"crw_canon.crw", kPictFormatCRW, kPictFormatCRW, 640, 480, 1},
    {"cr3_canon.cr3", kPictFormatCR3, kPictFormatCR3, 640, 480, 1},
    {"x3f_sigma.x3f", kPictFormatX3F, kPictFormatX3F, 640, 480, 1},
    {"rwl_leica.rwl", kPictFormatRWL, kPictFormatRWL, 640, 480, 1},
    {"orf_olympus.orf", kPictFormatORF, kPictFormatORF, 160, 120, 1},
    {"pef_pentax.pef", kPictFormatPEF, kPictFormatPEF, 160, 120, 1},
    {"nef_note.nef", kPictFormatNEF, kPictFormatNEF, 156, 120, 1},
    {"hostile_loop.tif", kPictFormatTIFF, kPictFormatTIFF, 8, 8, 0},
    {"hostile_subifd_loop.tif", kPictFormatTIFF, kPictFormatTIFF, 8, 8, 0},
    {"hostile_subifd_count.tif", kPictFormatTIFF, kPictFormatTIFF, 8, 8, 0},
    {"hostile_lengths.tif", 0, kPictFormatTIFF, 144, 96, 0},
    {"hostile_huge.tif", 0, kPictFormatTIFF, 65535, 65535, 0},
    {"hostile_ciff_loop.crw", 0, kPictFormatCRW, 160, 120, 0},
    {"hostile_bmff.cr3", 0, kPictFormatCR3, 160, 120, 0},
    {"hostile_x3f.x3f", 0, kPictFormatX3F, 160, 120, 0},
    {"hostile_raf.raf", 0, kPictFormatRAF, 160, 120, 0},
    // Refused before LibRaw unpacks anything.
    {"hostile_dng_huge.dng", 0, kPictFormatDNG, 200000, 200000, 0},
};

TEST(RawPicture, FactoryNamesEachContainerWithItsHeaderSize)
{
    for (const sFactoryCase& entry : kFactoryCases) {
        SCOPED_TRACE(entry.file);
        const std::vector<u8> bytes = ReadFileBytes(RawSample(entry.file));
        sPictInfo info;
        tPicture probed = CreatePicture(bytes, &info);
        ASSERT_NE(probed, nullptr);
        EXPECT_EQ(probed->GetFormatId(), entry.infoFormatId);
        EXPECT_EQ(probed->GetWidth(), 0);
        EXPECT_EQ(info.width, entry.width);
        EXPECT_EQ(info.height, entry.height);
        EXPECT_EQ(info.hasEmbeddedPreview, entry.preview);
        tPicture loaded = CreatePicture(bytes, nullptr);
        EXPECT_EQ(loaded ? loaded->GetFormatId() : 0, entry.formatId);
        if (loaded != nullptr) {
            EXPECT_EQ(loaded->GetWidth(), info.width);
            EXPECT_EQ(loaded->GetHeight(), info.height);
        }
        // The camera's Make reaches the properties from every structure that records it
        // (MRW's TTW block and CR3's CMT1 box included); Exif tags in the TIFF variants with
        // their own identifiers are not read.
        const std::string name = entry.file;
        const bool make = name.find("dng") == 0 || name.find("nef") == 0 || name.find("mrw") == 0 ||
                          name.find("cr2") == 0 || name.find("cr3") == 0 || name.find("pef") == 0 ||
                          name.find("nikon") == 0;
        EXPECT_EQ(loaded && loaded->FindStringProperty(kPictPropCameraMake) != nullptr, make);
        ForEachCut(
            bytes, [](const std::vector<u8>& cut) { (void)CreatePicture(cut, nullptr); }, 8);
    }
}

// A fuzzer-found 132-byte CR3 on which LibRaw's header parser loops without end (so does
// raw-identify): the reads LibRaw may make while it opens a file are bounded, so the probe,
// ReadInfo and Load end, and fail.
TEST(RawPicture, HeaderParserLoopEnds)
{
    const std::vector<u8> bytes = ReadFileBytes(RawSample("hostile_cr3_parse_loop.cr3"));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(CreatePicture(bytes, nullptr), nullptr);
    const sEveryRoad roads = TryEveryRoad(bytes);
    EXPECT_FALSE(roads.thumbnail);
    EXPECT_FALSE(roads.propsPicture);
    // The factory refuses the file, so Load is asked of the class directly.
    cPictCR3 cr3;
    EXPECT_FALSE(DecodeBytes(bytes, cr3));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

// The decode of the JPEG bytes exiftool extracts with `tag`.
std::vector<u32> ExiftoolPreview(const std::string& file, const char* tag)
{
    cPictJPEG jpeg;
    return DecodeBytes(RunCommand("exiftool -b -" + std::string(tag) + " " + file), jpeg)
               ? PixelsOf(jpeg)
               : std::vector<u32>();
}

TEST(RawPicture, PreviewChoiceAndBytesMatchExiftool)
{
    QEL_REQUIRE(qeltest::HaveTool("exiftool"), "libimage-exiftool-perl");
    const std::string nef = RawSample("nef_two.nef");
    const std::vector<u8> bytes = ReadFileBytes(nef);
    struct
    {
        i32 boxWidth, boxHeight, width, height;
    } const choices[] = {
        {160, 107, 640, 480}, {100, 67, 144, 96}, {0, 0, 640, 480}, {700, 10, 640, 480}};
    for (const auto& choice : choices) {
        cBufWrapperIO stream(bytes.data(), bytes.size());
        cPictNEF picture;
        cPictTIFF out;
        i32 width = choice.boxWidth;
        i32 height = choice.boxHeight;
        ASSERT_TRUE(picture.LoadEmbeddedPreview(&stream, &out, &width, &height));
        EXPECT_EQ(width, choice.width);
        EXPECT_EQ(height, choice.height);
        if (width == 640) {
            EXPECT_EQ(PixelsOf(out), ExiftoolPreview(nef, "JpgFromRaw"));
        }
    }
    // PictThumbnailFromStream: the fitted size 160x120 is covered by the 640x480 preview.
    cBufWrapperIO stream(bytes.data(), bytes.size());
    cPictTIFF thumbnail;
    ASSERT_EQ(PictThumbnailFromStream(&stream, &thumbnail, 160, 160), kThumbOk);
    EXPECT_EQ(thumbnail.GetWidth(), 160);
    EXPECT_EQ(thumbnail.GetHeight(), 120);
    // Every container's largest preview (maker notes included) is the one exiftool finds.
    for (const char* file :
         {"cr2_header.cr2", "mrw_minolta.mrw", "raf_fuji.raf", "cr3_canon.cr3", "x3f_sigma.x3f",
          "orf_olympus.orf", "pef_pentax.pef", "nef_note.nef", "crw_canon.crw", "rwl_leica.rwl"}) {
        SCOPED_TRACE(file);
        const std::vector<u8> container = ReadFileBytes(RawSample(file));
        sPictInfo info;
        tPicture picture = CreatePicture(container, &info);
        cBufWrapperIO containerStream(container.data(), container.size());
        cPictTIFF preview;
        ASSERT_TRUE(picture &&
                    picture->LoadEmbeddedPreview(&containerStream, &preview, nullptr, nullptr));
        const bool jpgFromRaw =
            std::string(file).find("crw") == 0 || std::string(file).find("rwl") == 0;
        EXPECT_EQ(PixelsOf(preview),
                  ExiftoolPreview(RawSample(file), jpgFromRaw ? "JpgFromRaw" : "PreviewImage"));
    }
}

TEST(RawPicture, DevelopsLikeDcrawEmu)
{
    QEL_REQUIRE(qeltest::HaveTool("dcraw_emu"), "libraw-bin");
    for (const char* file : {"dng_cfa.dng", "dng_nopreview.dng", "dng_linear.dng", "nef_two.nef"}) {
        SCOPED_TRACE(file);
        cScratchFolder folder;
        ASSERT_TRUE(
            RunsOk("dcraw_emu -w -6 -T -Z " + folder.PathOf("ref.tiff") + " " + RawSample(file)));
        sPnm reference;
        ASSERT_TRUE(ParsePnm(RunCommand(kToPam + folder.PathOf("ref.tiff")), reference));
        tPicture picture = CreatePicture(ReadFileBytes(RawSample(file)), nullptr);
        ASSERT_NE(picture, nullptr);
        EXPECT_TRUE(MatchesReference(*picture, reference));
    }
}

// DNGs of the generator with each Orientation: the size ReadInfo and the file properties
// report is dcraw_emu's and the decoded one; the preview and the thumbnail are the stored
// JPEG turned by ImageMagick's -auto-orient.
TEST(RawPicture, OrientedDngsReportWhatTheyDecode)
{
    QEL_REQUIRE(qeltest::HaveTool("dcraw_emu") && qeltest::HaveTool("exiftool") &&
                    qeltest::HaveTool("djpeg"),
                "libraw-bin, libimage-exiftool-perl, libjpeg-turbo-progs");
    const char* const kNames[] = {"TopLeft",  "TopRight", "BottomRight", "BottomLeft",
                                  "LeftTop",  "RightTop", "RightBottom", "LeftBottom"};
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        cScratchFolder folder;
        const std::string dng = folder.PathOf("o.dng");
        ASSERT_TRUE(RunsOk("/usr/bin/python3 " QEL_SOURCE_DIR "/tools/testdata/make_raw.py --dng "
                           "128 96 144 96 " + dng + " " + std::to_string(orientation)));
        ASSERT_TRUE(RunsOk("dcraw_emu -w -6 -T -Z " + folder.PathOf("ref.tiff") + " " + dng));
        sPnm developed;
        ASSERT_TRUE(ParsePnm(RunCommand(kToPam + folder.PathOf("ref.tiff")), developed));
        const std::vector<u8> bytes = ReadFileBytes(dng);
        sPictInfo info;
        ASSERT_NE(CreatePicture(bytes, &info), nullptr);
        EXPECT_EQ(info.width * 1000 + info.height, developed.width * 1000 + developed.height);
        cBufWrapperIO stream(bytes.data(), bytes.size());
        std::unique_ptr<cFileObjectProps> props(CreateFileProps(&stream));
        ASSERT_NE(props, nullptr);
        ASSERT_TRUE(props->ReadProps(&stream, nullptr, false));
        EXPECT_EQ(*props->m_ints.FindIntKeyValue(kFilePropWidth), developed.width);
        EXPECT_EQ(*props->m_ints.FindIntKeyValue(kFilePropHeight), developed.height);
        cPictDNG picture;
        ASSERT_TRUE(DecodeBytes(bytes, picture));
        EXPECT_TRUE(MatchesReference(picture, developed));
        // Upright pixels carry no turn for the viewer to apply again.
        EXPECT_EQ(picture.FindIntProperty(kPictPropRotation), nullptr);
        EXPECT_EQ(picture.FindIntProperty(kPictPropMirroring), nullptr);

        const std::vector<u8> upright =
            RunCommand("exiftool -b -PreviewImage " + dng + " | djpeg -dct int -nosmooth | "
                       "convert - -orient " + kNames[orientation - 1] + " -auto-orient -depth 8 rgb:-");
        ASSERT_FALSE(upright.empty());
        cPictTIFF preview;
        ASSERT_TRUE(picture.LoadEmbeddedPreview(&stream, &preview, nullptr, nullptr));
        EXPECT_EQ(ImageMagickRgb(preview, ""), upright);
        cPictTIFF thumbnail;
        ASSERT_TRUE(stream.Seek(0));
        ASSERT_EQ(PictThumbnailFromStream(&stream, &thumbnail, 160, 160), kThumbOk);
        EXPECT_EQ(thumbnail.GetWidth() * 1000 + thumbnail.GetHeight(), orientation >= 5 ? 96144 : 144096);
        EXPECT_EQ(ImageMagickRgb(thumbnail, ""), upright);
    }
}

// DNGs that declare far more than they hold fail in decode, thumbnail and file properties
// within 64 MB: the generator's 200000 x 200000 CFA with 8 bytes, and its CFA DNG with
// tiffset declaring 15000 x 15000 (under the pixel cap; dcraw_emu cannot unpack it either).
TEST(RawPicture, DeclaredHugeDngsFailWithinMemory)
{
    QEL_REQUIRE(qeltest::HaveTool("tiffset") && qeltest::HaveTool("dcraw_emu"),
                "libtiff-tools, libraw-bin");
    cScratchFolder folder;
    const std::string patched = folder.PathOf("p.dng");
    ASSERT_TRUE(RunsOk("cp " + RawSample("dng_nopreview.dng") + " " + patched +
                       " && for tag in 256 257 278; do tiffset -s $tag 15000 " + patched +
                       " || exit 1; done"));
    const std::vector<u8> said = RunCommand("sh -c 'dcraw_emu -Z - " + patched + " 2>&1 >/dev/null'");
    EXPECT_NE(std::string(said.begin(), said.end()).find("Cannot unpack"), std::string::npos);
    for (const std::string& file : {RawSample("hostile_dng_huge.dng"), patched}) {
        SCOPED_TRACE(file);
        const sEveryRoad roads = TryEveryRoad(ReadFileBytes(file));
        // LibRaw reserves the declared 15000 x 15000 16-bit raw buffer before it reads.
        if (kResidentGrowthMeasured) {
            EXPECT_LT(roads.growth, (64 << 20) + AsanShadowOf(i64(15000) * 15000 * 2));
        }
        EXPECT_FALSE(roads.decoded);
        EXPECT_FALSE(roads.thumbnail);
        EXPECT_FALSE(roads.propsPicture);
    }
}

// Closes its stream once `closeAfter` bytes were read, as another thread would.
class cClosingStream : public cBufWrapperIO
{
  public:
    using cBufWrapperIO::cBufWrapperIO;
    u32 Read(void* buffer, u32 length) override
    {
        if (m_read >= m_closeAfter) {
            return 0;
        }
        const u32 got = cBufWrapperIO::Read(buffer, length);
        m_read += got;
        return got;
    }
    bool IsOpen() override { return m_read < m_closeAfter; }
    u64 m_closeAfter = 0;
    u64 m_read = 0;
};

TEST(RawPicture, ClosedStreamEndsDevelopment)
{
    const std::vector<u8> bytes = ReadFileBytes(RawSample("dng_cfa.dng"));
    cClosingStream stream(bytes.data(), bytes.size());
    stream.m_closeAfter = 4096;
    cPictDNG picture;
    EXPECT_FALSE(picture.Load(&stream));
    EXPECT_FALSE(picture.HasPixels());
}

// The preview-only thumbnail hands back a preview larger than the box fitted into it.
TEST(RawPicture, PreviewOnlyThumbnailFitsTheBox)
{
    for (const char* file : {"dng_cfa.dng", "dng_nopreview.dng"}) {
        const std::vector<u8> bytes = ReadFileBytes(RawSample(file));
        cBufWrapperIO stream(bytes.data(), bytes.size());
        cPictDNG picture;
        cPictTIFF out;
        const bool preview = std::string(file) == "dng_cfa.dng";
        EXPECT_EQ(picture.RenderPageThumbnail(&stream, &out, 64, 64, 0, true, 0), preview);
        if (preview) {
            EXPECT_EQ(out.GetWidth(), 64);
            EXPECT_EQ(out.GetHeight(), 43);
        }
        // Without a preview the thumbnail function develops the file.
        cPictTIFF thumbnail;
        EXPECT_EQ(PictThumbnailFromStream(&stream, &thumbnail, 64, 64), kThumbOk);
    }
    // An uncompressed preview (IFD0 here) against tifffile's reading of it.
    sPnm reference;
    ASSERT_TRUE(ParsePnm(RunCommand(kToPam + RawSample("dng_rgbpreview.dng")), reference));
    const std::vector<u8> bytes = ReadFileBytes(RawSample("dng_rgbpreview.dng"));
    cBufWrapperIO stream(bytes.data(), bytes.size());
    cPictDNG picture;
    cPictTIFF preview;
    ASSERT_TRUE(picture.RenderPageThumbnail(&stream, &preview, 64, 64, 0, true, 0));
    EXPECT_TRUE(MatchesReference(preview, reference));
}

} // namespace

// The DICOM readers against pydicom's own test files and the files of
// tools/testdata/make_dicom.py (pydicom, dcmtk's dcmconv, dcmcjpeg and img2dcm, OpenJPEG's
// opj_compress): pages equal the pictures computed from pydicom's pixel arrays, or the
// decode of the frame pydicom's fragment walk finds; monochrome pages agree with dcmtk's
// dcm2pnm; broken and hostile files fail, bounded in memory and depth.
#include "picture/factory/thumbnail.h"
#include "picture/formats/dicom.h"
#include "picture/formats/dicomlegacy.h"
#include "picture/picturesupport.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {

using namespace picttest;

const std::string kPydicomFiles = "/usr/lib/python3/dist-packages/pydicom/data/test_files/";

enum class eOutcome
{
    Decodes,  // page 0 equals its reference
    NoDecode, // pages exist, page 0 fails to decode
    None,     // not a picture
};

// pydicom 2.3.1's files. The reference of a decoded page is "pam" (pydicom's pixel array),
// "frame" (the picture of the frame pydicom's fragment walk extracts) or "jpeg" (the same,
// levels stretched).
struct sPydicomCase
{
    const char* name;
    i32 format;
    i32 pages;
    eOutcome outcome;
    const char* reference;
};

const sPydicomCase kPydicomCases[] = {
    {"CT_small.dcm", 32, 1, eOutcome::Decodes, "pam"},
    {"MR_small.dcm", 32, 1, eOutcome::Decodes, "pam"},
    {"SC_rgb_small_odd.dcm", 32, 1, eOutcome::Decodes, "pam"}, // one pad byte
    // Implicit VR PS3.10 files: read from the end of their meta group.
    {"MR_small_implicit.dcm", 33, 1, eOutcome::Decodes, "pam"},
    {"SC_rgb_jpeg_dcmd.dcm", 33, 1, eOutcome::Decodes, "pam"},
    {"rtdose.dcm", 33, 1, eOutcome::NoDecode, ""}, // 32 bits allocated
    // JPEG 2000: an empty offset table (+16), one entry (+20), a JP2 file inside.
    {"JPEG2000.dcm", 32, 1, eOutcome::Decodes, "frame"},
    {"MR_small_jp2klossless.dcm", 32, 1, eOutcome::Decodes, "frame"},
    {"693_J2KI.dcm", 32, 1, eOutcome::Decodes, "frame"},
    {"SC_rgb_gdcm_KY.dcm", 32, 1, eOutcome::Decodes, "frame"},
    {"J2K_pixelrep_mismatch.dcm", 32, 1, eOutcome::Decodes, "frame"},
    {"GDCMJ2K_TextGBR.dcm", 32, 1, eOutcome::Decodes, "frame"},
    // Its codestream declares 4292730882 tiles: opj_decompress refuses it too.
    {"JPEG2000-embedded-sequence-delimiter.dcm", 32, 1, eOutcome::NoDecode, ""},
    {"SC_rgb_jpeg_dcmtk.dcm", 32, 1, eOutcome::Decodes, "jpeg"},
    {"SC_rgb_dcmtk_+eb+cr.dcm", 32, 1, eOutcome::Decodes, "jpeg"},
    {"SC_rgb_dcmtk_+eb+cy+np.dcm", 32, 1, eOutcome::Decodes, "jpeg"},
    {"SC_rgb_dcmtk_+eb+cy+s2.dcm", 32, 1, eOutcome::Decodes, "jpeg"},
    {"SC_rgb_dcmtk_+eb+cy+s4.dcm", 32, 1, eOutcome::Decodes, "jpeg"},
    {"SC_jpeg_no_color_transform.dcm", 32, 1, eOutcome::Decodes, "jpeg"},
    {"SC_jpeg_no_color_transform_2.dcm", 32, 1, eOutcome::Decodes, "jpeg"},
    {"SC_rgb_jpeg_app14_dcmd.dcm", 32, 1, eOutcome::Decodes, "jpeg"},
    {"SC_rgb_jpeg_lossy_gdcm.dcm", 32, 1, eOutcome::Decodes, "jpeg"},
    {"SC_rgb_small_odd_jpeg.dcm", 32, 1, eOutcome::Decodes, "jpeg"},
    {"JPEG-lossy.dcm", 32, 1, eOutcome::Decodes, "jpeg"},
    {"JPGExtended.dcm", 32, 1, eOutcome::Decodes, "jpeg"},
    {"SC_rgb_jpeg_gdcm.dcm", 32, 1, eOutcome::Decodes, "jpeg"},
    {"MR_small_RLE.dcm", 32, 1, eOutcome::NoDecode, ""},
    {"SC_rgb_rle.dcm", 32, 1, eOutcome::NoDecode, ""},
    {"SC_rgb_rle_16bit_2frame.dcm", 32, 1, eOutcome::NoDecode, ""},
    {"MR_small_jpeg_ls_lossless.dcm", 32, 1, eOutcome::NoDecode, ""},
    {"MR_small_padded.dcm", 32, 1, eOutcome::NoDecode, ""},
    {"SC_ybr_full_422_uncompressed.dcm", 32, 1, eOutcome::NoDecode, ""},
    {"badVR.dcm", 32, 15, eOutcome::NoDecode, ""},
    {"rtdose_rle.dcm", 32, 1, eOutcome::NoDecode, ""},
    {"ExplVR_BigEnd.dcm", 0, 0, eOutcome::None, ""},
    {"MR_small_bigendian.dcm", 0, 0, eOutcome::None, ""},
    {"MR_small_expb.dcm", 0, 0, eOutcome::None, ""},
    {"SC_rgb_jpeg.dcm", 0, 0, eOutcome::None, ""},
    {"rtplan.dcm", 0, 0, eOutcome::None, ""},
    {"MR_truncated.dcm", 0, 0, eOutcome::None, ""},
    {"image_dfl.dcm", 0, 0, eOutcome::None, ""},
    {"liver_1frame.dcm", 0, 0, eOutcome::None, ""},
    {"UN_sequence.dcm", 0, 0, eOutcome::None, ""},
    {"test-SR.dcm", 0, 0, eOutcome::None, ""},
    {"rtstruct.dcm", 0, 0, eOutcome::None, ""},
};

class DicomFiles : public ::testing::Test
{
  protected:
    static void SetUpTestSuite()
    {
        s_folder = new qeltest::cScratchFolder;
        std::string command = "cd " + s_folder->Path() + " && /usr/bin/python3 " + QEL_SOURCE_DIR +
                              "/tools/testdata/make_dicom.py .";
        for (const sPydicomCase& test : kPydicomCases) {
            command +=
                test.outcome == eOutcome::Decodes ? " '" + kPydicomFiles + test.name + "'" : "";
        }
        ASSERT_TRUE(RunsOk(command));
    }
    static void TearDownTestSuite() { delete s_folder; }
    static std::string PathOf(const std::string& name) { return s_folder->PathOf(name); }
    static std::vector<u8> Bytes(const std::string& name) { return ReadFileBytes(PathOf(name)); }

    // Page `index` of the picture against the reference `kind` of file `name`.
    static ::testing::AssertionResult PageMatches(cPictBase& page, const std::string& name,
                                                  i32 index, const std::string& kind)
    {
        if (kind == "pam") {
            sPnm pam;
            if (!ParsePnm(Bytes(name + ".p" + std::to_string(index) + ".pam"), pam)) {
                return ::testing::AssertionFailure() << "no reference";
            }
            return MatchesReference(page, pam);
        }
        const tPicture frame = CreatePicture(Bytes(name + ".frame"), nullptr);
        cPictDummy stretched;
        if (frame == nullptr || (kind == "jpeg" && !stretched.CopyNormalized(frame.get()))) {
            return ::testing::AssertionFailure() << "the frame does not decode";
        }
        cPictBase& want = kind == "jpeg" ? stretched : *frame;
        if (page.IsDeep() != want.IsDeep() || page.GetWidth() != want.GetWidth()) {
            return ::testing::AssertionFailure() << "deep flag or size differs";
        }
        return page.IsDeep()
                   ? SamePixels(
                         TopDown(page.Pixels64().GetData(), page.GetWidth(), page.GetHeight()),
                         TopDown(want.Pixels64().GetData(), want.GetWidth(), want.GetHeight()),
                         page.GetWidth())
                   : SamePixels(TopDown32(page), TopDown32(want), page.GetWidth());
    }

    static inline qeltest::cScratchFolder* s_folder = nullptr;
};

TEST_F(DicomFiles, PydicomFilesGiveTheirOutcomes)
{
    for (const sPydicomCase& test : kPydicomCases) {
        SCOPED_TRACE(test.name);
        const std::vector<u8> bytes = ReadFileBytes(kPydicomFiles + test.name);
        ASSERT_FALSE(bytes.empty());
        cBufWrapperIO stream(bytes.data(), bytes.size());
        sPictInfo info;
        const tPicture picture = CreatePicture(bytes, &info);
        if (test.outcome == eOutcome::None) {
            EXPECT_EQ(picture, nullptr);
            continue;
        }
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(std::tuple(picture->GetFormatId(), picture->GetPageCount(&stream)),
                  std::tuple(test.format, test.pages));
        const bool loaded = picture->LoadPage(&stream, 0);
        ASSERT_EQ(loaded, test.outcome == eOutcome::Decodes);
        if (loaded) {
            EXPECT_TRUE(PageMatches(*picture, test.name, 0, test.reference));
        }
    }
}

std::vector<std::string> SplitTabs(const std::string& line, char separator = '\t')
{
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, separator);) {
        fields.push_back(field);
    }
    return fields;
}

// cases.tsv: the crafted images (8/16-bit monochrome, signed, flat, 12 bits stored, RGB
// interleaved and planar), multi-frame files (10 frames; 10 frames and a byte; odd frames
// with a pad byte), an icon before the frames, their implicit-VR forms, encapsulated JPEG
// and JPEG 2000 frames, and files that break one rule each.
TEST_F(DicomFiles, CraftedFilesGiveTheirPages)
{
    std::ifstream cases(PathOf("cases.tsv"));
    i32 count = 0;
    for (std::string line; std::getline(cases, line); ++count) {
        const std::vector<std::string> fields = SplitTabs(line);
        ASSERT_GE(fields.size(), 3u);
        SCOPED_TRACE(fields[0]);
        const std::vector<u8> bytes = Bytes(fields[0]);
        cBufWrapperIO stream(bytes.data(), bytes.size());
        sPictInfo info;
        const tPicture picture = CreatePicture(bytes, &info);
        const i32 format = std::stoi(fields[1]);
        if (format == 0) {
            EXPECT_EQ(picture, nullptr);
            continue;
        }
        ASSERT_NE(picture, nullptr);
        const std::vector<std::string> outcomes =
            SplitTabs(fields.size() > 3 ? fields[3] : "", ',');
        ASSERT_EQ(std::tuple(picture->GetFormatId(), picture->GetPageCount(&stream)),
                  std::tuple(format, i32(outcomes.size())));
        for (i32 page = 0; page < i32(outcomes.size()); ++page) {
            const bool loaded = picture->LoadPage(&stream, page);
            EXPECT_EQ(loaded, outcomes[page] != "fail") << page;
            if (loaded) {
                EXPECT_TRUE(PageMatches(*picture, fields[0], page, outcomes[page])) << page;
            }
        }
    }
    EXPECT_GT(count, 70);
}

// dcmtk's min-max window (+Wm) is the same stretch into 8 bits; it rounds where we truncate.
TEST_F(DicomFiles, MonochromePagesAgreeWithDcm2pnm)
{
    for (const char* name : {"mono8.dcm", "mono16_signed.dcm", "mono12_signed.dcm",
                             "mono12_signed.dcm.imp", "mono8.dcm.leg", "mono16_signed.dcm.leg"}) {
        SCOPED_TRACE(name);
        const std::string legacy = std::string(name).ends_with(".leg") ? "-f -ti " : "";
        sPnm reference;
        ASSERT_TRUE(ParsePnm(RunCommand("dcm2pnm " + legacy + "+Wm +op " + PathOf(name) + " " +
                                        PathOf("ref.pgm") + " && cat " + PathOf("ref.pgm")),
                             reference));
        const std::vector<u8> bytes = Bytes(name);
        const tPicture picture = CreatePicture(bytes, nullptr);
        ASSERT_NE(picture, nullptr);
        ASSERT_EQ(std::tuple(picture->GetWidth(), picture->GetHeight(), reference.depth),
                  std::tuple(reference.width, reference.height, 1));
        const i32 w = picture->GetWidth();
        const i32 h = picture->GetHeight();
        std::vector<u32> ours;
        if (picture->IsDeep()) {
            for (u64 pixel : TopDown(picture->Pixels64().GetData(), w, h)) {
                ours.push_back(u32(((pixel & 0xFFFF) * 255 + 32767) / 65535));
            }
        } else {
            for (u32 pixel : TopDown32(*picture)) {
                ours.push_back(pixel & 0xFF);
            }
        }
        ASSERT_EQ(ours.size(), reference.samples.size());
        for (size_t i = 0; i < ours.size(); ++i) {
            ASSERT_NEAR(i32(ours[i]), i32(reference.samples[i]), 1) << i;
        }
    }
}

// One-byte frames: 65536 split into pages, 65538 stay one record (and fail as encapsulated
// data).
TEST_F(DicomFiles, FrameCountIsCapped)
{
    const std::vector<u8> head = Bytes("plain.dcm");
    for (u32 frames : {65536u, 65538u}) {
        // plain.dcm ends with its 6 pixel bytes after an OB header; make it a 1 x 1 image.
        std::vector<u8> bytes(head.begin(), head.end() - 6);
        const u32 length = frames;
        std::memcpy(bytes.data() + bytes.size() - 4, &length, 4);
        bytes.resize(bytes.size() + frames, 0x40);
        for (const char* attribute : {"\x28\x00\x10\x00", "\x28\x00\x11\x00"}) {
            const auto at = std::search(bytes.begin(), bytes.end(), attribute, attribute + 4);
            ASSERT_NE(at, bytes.end());
            at[8] = 1; // rows, columns: US 1
        }
        cBufWrapperIO stream(bytes.data(), bytes.size());
        cPictDICOM dicom;
        ASSERT_EQ(dicom.GetPageCount(&stream), frames == 65536 ? 65536 : 1);
        EXPECT_EQ(dicom.LoadPage(&stream, 0), frames == 65536);
    }
}

// Hostile files: a frame declaring 65535 x 65535 x 3 x 16 bits, a pixel data length past the
// end, 2^31 one-byte frames, and 52,000 nested sequences in 1 MB.
TEST_F(DicomFiles, HostileFilesStayBounded)
{
    for (const char* name :
         {"huge_frame.dcm", "length_past_end.dcm", "frames_2g.dcm", "nested_1mb.dcm"}) {
        SCOPED_TRACE(name);
        const std::vector<u8> bytes = Bytes(name);
        bool any = false;
        const auto start = std::chrono::steady_clock::now();
        const i64 growth = PeakResidentGrowth([&] {
            cBufWrapperIO stream(bytes.data(), bytes.size());
            cPictDICOM dicom;
            cPictDICOMLegacy legacy;
            cPictDummy out;
            any = dicom.LoadPage(&stream, 0) || legacy.LoadPage(&stream, 0) ||
                  PictThumbnailFromStream(&stream, &out, 64, 64) == kThumbOk ||
                  cPictDICOM().RenderPageThumbnail(&stream, &out, 64, 64, 0, true, 0) ||
                  cPictDICOMLegacy().GetPageCount(&stream) != 0;
        });
        EXPECT_FALSE(any);
        EXPECT_LT(growth, 64 << 20);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    }
}

TEST_F(DicomFiles, HeaderWalkReadsNoPixels)
{
    const std::vector<u8> bytes = Bytes("many_frames.dcm");
    cBufWrapperIO inner(bytes.data(), bytes.size());
    cCountingStream stream(&inner);
    cPictDICOM dicom;
    sPictInfo info;
    i32 width = 0, height = 0;
    ASSERT_TRUE(dicom.ReadInfo(&stream, &info) && dicom.GetPageSize(&stream, 99, &width, &height));
    EXPECT_EQ(std::tuple(dicom.GetPageCount(&stream), info.width, height), std::tuple(100, 64, 64));
    EXPECT_TRUE(ProbeDICOM(&stream, nullptr));
    EXPECT_LT(stream.m_bytesRead, 1024u);
}

// Thumbnails: a page larger than the box streams into it (planar RGB included: every cell
// opaque); one that fits is the page itself in 32 bits. The map of the first parse serves
// later calls, whatever stream they pass.
TEST_F(DicomFiles, PageThumbnails)
{
    const std::vector<u8> planar = Bytes("rgb12_planar.dcm");
    cBufWrapperIO stream(planar.data(), planar.size());
    cPictDICOM dicom;
    cPictDummy out;
    ASSERT_TRUE(dicom.RenderPageThumbnail(&stream, &out, 2, 2, 0, false, 0));
    const std::vector<u32> cells = PixelsOf(out);
    EXPECT_EQ(std::tuple(out.GetWidth(), out.GetHeight()), std::tuple(2, 2));
    EXPECT_TRUE(std::all_of(cells.begin(), cells.end(), [](u32 p) { return p >> 24 == 0xFF; }));
    ASSERT_EQ(PictThumbnailFromStream(&stream, &out, 3, 3), kThumbOk);
    EXPECT_EQ(std::tuple(out.GetWidth(), out.GetHeight(), PixelsOf(out)[0] >> 24),
              std::tuple(2, 3, 0xFFu));

    ASSERT_TRUE(dicom.RenderPageThumbnail(&stream, &out, 64, 64, 0, true, 0));
    cPictDICOM whole;
    ASSERT_TRUE(whole.LoadPage(&stream, 0));
    _typebuf<u32> mapped;
    ASSERT_TRUE(!out.IsDeep() && whole.GetPixels32(mapped));
    EXPECT_EQ(PixelsOf(out),
              std::vector<u32>(mapped.GetData(), mapped.GetData() + mapped.GetCount()));

    const std::vector<u8> other = Bytes("frames10.dcm");
    cBufWrapperIO otherStream(other.data(), other.size());
    EXPECT_EQ(dicom.GetPageCount(&otherStream), 1);
    // The implicit-VR reader takes a zero-filled preamble for the end of its data set.
    cPictDICOMLegacy legacy;
    EXPECT_EQ(legacy.GetPageCount(&otherStream), 0);
}

} // namespace

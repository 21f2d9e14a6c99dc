// The ZIP reader against archives made by Python's zipfile, Info-ZIP and 7-Zip
// (tools/testdata/make_zip.sh, run at test time); entry bytes against the files the
// archives were made from.
#include "base/fileio.h"
#include "package/zipreader.h"
#include "support/scratchfolder.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace {

const char* const kMembers[] = {
    "Metadata/thumbnail.png",
    "FusionAssetName[Active]/Previews/small.png",
    "Preview/PrvImage.png",
    "empty.txt",
};

std::vector<u8> ReadWholeFile(const std::string& path)
{
    const std::string bytes = qeltest::ReadText(path);
    return std::vector<u8>(bytes.begin(), bytes.end());
}

struct sDeleter
{
    void operator()(cFileIOTarget* stream) const { stream->Delete(); }
};
using tStream = std::unique_ptr<cFileIOTarget, sDeleter>;

std::vector<u8> ReadAll(cFileIOTarget* stream, u32 piece)
{
    std::vector<u8> bytes;
    std::vector<u8> buffer(piece);
    for (;;) {
        const u32 got = stream->Read(buffer.data(), piece);
        bytes.insert(bytes.end(), buffer.begin(), buffer.begin() + got);
        if (got < piece) {
            return bytes;
        }
    }
}

class ZipReader : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!qeltest::HaveTool("zip") || !qeltest::HaveTool("7z")) {
            return;
        }
        s_folder = std::make_unique<qeltest::cScratchFolder>();
        s_dir = s_folder->Path();
        if (std::system((std::string(QEL_SOURCE_DIR) + "/tools/testdata/make_zip.sh " + s_dir +
                         " > /dev/null 2>&1").c_str()) != 0) {
            s_dir.clear();
        }
    }
    static void TearDownTestSuite() { s_folder.reset(); }
    void SetUp() override { QEL_REQUIRE(!s_dir.empty(), "zip, 7z (p7zip-full) and the ZIP generator"); }

    // Opens `name` from the test folder; the archive stream stays open for the test.
    i32 OpenArchive(const std::string& name)
    {
        m_file = std::make_unique<cFileIO>();
        if (!m_file->Create((s_dir + "/" + name).c_str(), FileMode::Read)) {
            return -1;
        }
        m_target = std::make_unique<cSiArchTarget>();
        m_container = std::make_unique<cZIPFileContainer>();
        return m_container->Open(m_file.get(), m_target.get(), 0, nullptr);
    }
    tStream OpenMember(const char* name)
    {
        return tStream(cArchiveFile::OpenFileStream(m_target->FindFile(name), 0, m_container.get()));
    }
    std::vector<u8> Original(const char* name) { return ReadWholeFile(s_dir + "/src/" + name); }

    void ExpectEveryMemberReadsBack(const std::string& archive)
    {
        SCOPED_TRACE(archive);
        ASSERT_EQ(OpenArchive(archive), kZipOk);
        for (const char* name : kMembers) {
            SCOPED_TRACE(name);
            const std::vector<u8> original = Original(name);
            tStream member = OpenMember(name);
            ASSERT_NE(member, nullptr);
            EXPECT_EQ(member->GetSize(), original.size());
            EXPECT_EQ(ReadAll(member.get(), 1 << 20), original) << "one piece";
            ASSERT_TRUE(member->Seek(0));
            EXPECT_EQ(ReadAll(member.get(), 4093), original) << "odd pieces after a seek back";
            if (original.size() > 3000) {
                ASSERT_TRUE(member->Seek(2500));
                std::vector<u8> some(100);
                ASSERT_EQ(member->Read(some.data(), 100), 100u);
                EXPECT_TRUE(std::equal(some.begin(), some.end(), original.begin() + 2500));
                ASSERT_TRUE(member->Seek(10));
                ASSERT_EQ(member->Read(some.data(), 100), 100u);
                EXPECT_TRUE(std::equal(some.begin(), some.end(), original.begin() + 10));
            }
            if (original.size() <= 5000) {
                ASSERT_TRUE(member->Seek(0));
                EXPECT_EQ(ReadAll(member.get(), 1), original) << "one byte at a time";
            }
        }
        EXPECT_EQ(m_target->FindFile("folder"), nullptr);
        EXPECT_EQ(m_target->FindFile("Metadata/"), nullptr) << "folders are never found";
    }

    static inline std::unique_ptr<qeltest::cScratchFolder> s_folder;
    static inline std::string s_dir;
    std::unique_ptr<cFileIO> m_file;
    std::unique_ptr<cSiArchTarget> m_target;
    std::unique_ptr<cZIPFileContainer> m_container;
};

} // namespace

// Every method Python's zipfile, Info-ZIP and 7-Zip write, data descriptors, ZIP64 and
// a 2000-byte comment (which hides the end record from the cheap test, not from Open).
TEST_F(ZipReader, ArchivesOfEveryMakerAndMethod)
{
    for (const char* archive : {"py_stored.zip", "py_deflated.zip", "py_bzip2.zip", "py_lzma.zip",
                                "py_descriptors.zip", "zip_store.zip", "zip_best.zip", "zip_zip64.zip",
                                "zip_comment.zip", "7z_BZip2.zip", "7z_LZMA.zip",
                                "7z_Deflate.zip", "7z_Copy.zip"}) {
        ExpectEveryMemberReadsBack(archive);
    }
    for (const auto& [file, isZip] : {std::pair<const char*, bool>{"zip_best.zip", true},
                                      {"zip_comment.zip", false}, {"src/Preview/PrvImage.png", false}}) {
        cFileIO stream;
        ASSERT_TRUE(stream.Create((s_dir + "/" + file).c_str(), FileMode::Read));
        EXPECT_EQ(IsZipStream(&stream), isZip) << file;
    }
    // A streamed archive (data descriptors, sizes only in the central directory).
    ASSERT_EQ(OpenArchive("zip_stream.zip"), kZipOk);
    tStream streamed = OpenMember("Metadata/thumbnail.png");
    ASSERT_NE(streamed, nullptr);
    EXPECT_EQ(ReadAll(streamed.get(), 777), Original("Metadata/thumbnail.png"));
    // Duplicate names keep the later entry.
    ASSERT_EQ(OpenArchive("py_duplicate.zip"), kZipOk);
    EXPECT_EQ(m_target->GetFileCount(), 1);
    tStream member = OpenMember("a.txt");
    ASSERT_NE(member, nullptr);
    const std::vector<u8> bytes = ReadAll(member.get(), 100);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "second");
}

// Hostile central directories are refused; hostile entries open no stream, or stream what
// they have and then fail: a flipped CRC fails the last read, a 4 GiB LZMA dictionary
// request is clamped to the entry's size, an entry declaring almost 4 GiB allocates
// nothing of it. Deflate64 is not a method we read.
TEST_F(ZipReader, HostileArchivesFailCleanly)
{
    for (const char* archive : {"bad_cd_offset.zip", "bad_entry_count.zip", "bad_name_length.zip",
                                "bad_zip64_locator.zip"}) {
        EXPECT_NE(OpenArchive(archive), kZipOk) << archive;
    }
    enum eOutcome { kNoStream, kShort, kWhole, kWholeThenFails };
    const std::tuple<const char*, const char*, eOutcome> cases[] = {
        {"bad_local_offset.zip", "Metadata/thumbnail.png", kNoStream},
        {"bad_local_signature.zip", "Metadata/thumbnail.png", kNoStream},
        {"bad_stored_sizes.zip", "Preview/PrvImage.png", kNoStream},
        {"7z_Deflate64.zip", "Preview/PrvImage.png", kNoStream},
        {"bad_crc.zip", "Metadata/thumbnail.png", kShort},
        {"bad_lzma_dictionary.zip", "Preview/PrvImage.png", kWhole},
        {"bad_bzip2_bomb.zip", "Preview/PrvImage.png", kWholeThenFails},
    };
    for (const auto& [archive, name, outcome] : cases) {
        SCOPED_TRACE(archive);
        ASSERT_EQ(OpenArchive(archive), kZipOk);
        tStream member = OpenMember(name);
        ASSERT_EQ(member == nullptr, outcome == kNoStream);
        if (member == nullptr) {
            continue;
        }
        const std::vector<u8> bytes = ReadAll(member.get(), 65536);
        if (outcome == kShort) {
            EXPECT_LT(bytes.size(), Original(name).size());
        } else {
            EXPECT_EQ(bytes, Original(name));
        }
        if (outcome == kWholeThenFails) {
            EXPECT_EQ(member->GetSize(), 0xFFFFFFFEu);
            u8 byte = 0;
            EXPECT_EQ(member->Read(&byte, 1), 0u);
        }
    }
}

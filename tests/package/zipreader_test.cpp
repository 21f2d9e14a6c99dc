// The ZIP reader against archives made by Python's zipfile, Info-ZIP and 7-Zip
// (tools/testdata/make_zip.sh, run at test time); entry bytes against the files the
// archives were made from.
#include "base/fileio.h"
#include "package/zipreader.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
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
    std::ifstream in(path, std::ios::binary);
    return std::vector<u8>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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
        char pattern[] = "/tmp/qel-zip-XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            return;
        }
        s_dir = pattern;
        const std::string command = std::string(QEL_SOURCE_DIR) + "/tools/testdata/make_zip.sh " +
                                    s_dir + " > /dev/null 2>&1";
        if (std::system(command.c_str()) != 0) {
            s_dir.clear();
        }
    }
    static void TearDownTestSuite()
    {
        if (!s_dir.empty()) {
            std::system(("rm -rf '" + s_dir + "'").c_str());
        }
    }
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

    static std::string s_dir;
    std::unique_ptr<cFileIO> m_file;
    std::unique_ptr<cSiArchTarget> m_target;
    std::unique_ptr<cZIPFileContainer> m_container;
};

std::string ZipReader::s_dir;

} // namespace

TEST_F(ZipReader, PythonArchivesOfEveryMethod)
{
    for (const char* archive : {"py_stored.zip", "py_deflated.zip", "py_bzip2.zip", "py_lzma.zip",
                                "py_descriptors.zip"}) {
        ExpectEveryMemberReadsBack(archive);
    }
}

TEST_F(ZipReader, InfoZipAnd7ZipArchives)
{
    for (const char* archive : {"zip_store.zip", "zip_best.zip", "zip_zip64.zip", "7z_BZip2.zip",
                                "7z_LZMA.zip", "7z_Deflate.zip", "7z_Copy.zip"}) {
        ExpectEveryMemberReadsBack(archive);
    }
    // A streamed archive (data descriptors, sizes only in the central directory).
    ASSERT_EQ(OpenArchive("zip_stream.zip"), kZipOk);
    tStream member = OpenMember("Metadata/thumbnail.png");
    ASSERT_NE(member, nullptr);
    EXPECT_EQ(ReadAll(member.get(), 777), Original("Metadata/thumbnail.png"));
}

TEST_F(ZipReader, Deflate64EntriesAreNotOpened)
{
    ASSERT_EQ(OpenArchive("7z_Deflate64.zip"), kZipOk);
    EXPECT_EQ(OpenMember("Preview/PrvImage.png"), nullptr);
}

TEST_F(ZipReader, CheapTestAndLongComments)
{
    cFileIO file;
    ASSERT_TRUE(file.Create((s_dir + "/zip_best.zip").c_str(), FileMode::Read));
    EXPECT_TRUE(IsZipStream(&file));
    // A 2000-byte comment hides the end record from the cheap test, not from Open.
    cFileIO commented;
    ASSERT_TRUE(commented.Create((s_dir + "/zip_comment.zip").c_str(), FileMode::Read));
    EXPECT_FALSE(IsZipStream(&commented));
    ExpectEveryMemberReadsBack("zip_comment.zip");
    cFileIO text;
    ASSERT_TRUE(text.Create((s_dir + "/src/Preview/PrvImage.png").c_str(), FileMode::Read));
    EXPECT_FALSE(IsZipStream(&text));
}

TEST_F(ZipReader, DuplicateNamesKeepTheLaterEntry)
{
    ASSERT_EQ(OpenArchive("py_duplicate.zip"), kZipOk);
    EXPECT_EQ(m_target->GetFileCount(), 1);
    tStream member = OpenMember("a.txt");
    ASSERT_NE(member, nullptr);
    const std::vector<u8> bytes = ReadAll(member.get(), 100);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "second");
}

TEST_F(ZipReader, HostileDirectoriesAreRefused)
{
    for (const char* archive : {"bad_cd_offset.zip", "bad_entry_count.zip", "bad_name_length.zip",
                                "bad_zip64_locator.zip"}) {
        EXPECT_NE(OpenArchive(archive), kZipOk) << archive;
    }
}

TEST_F(ZipReader, HostileEntriesFailCleanly)
{
    // Local header moved or broken, stored sizes that disagree: no stream.
    ASSERT_EQ(OpenArchive("bad_local_offset.zip"), kZipOk);
    EXPECT_EQ(OpenMember("Metadata/thumbnail.png"), nullptr);
    ASSERT_EQ(OpenArchive("bad_local_signature.zip"), kZipOk);
    EXPECT_EQ(OpenMember("Metadata/thumbnail.png"), nullptr);
    ASSERT_EQ(OpenArchive("bad_stored_sizes.zip"), kZipOk);
    EXPECT_EQ(OpenMember("Preview/PrvImage.png"), nullptr);

    // A flipped CRC: every byte arrives but the last read fails.
    ASSERT_EQ(OpenArchive("bad_crc.zip"), kZipOk);
    tStream damaged = OpenMember("Metadata/thumbnail.png");
    ASSERT_NE(damaged, nullptr);
    EXPECT_LT(ReadAll(damaged.get(), 1000).size(), Original("Metadata/thumbnail.png").size());

    // A 4 GiB dictionary request is clamped to the entry's size and decodes.
    ASSERT_EQ(OpenArchive("bad_lzma_dictionary.zip"), kZipOk);
    tStream lzma = OpenMember("Preview/PrvImage.png");
    ASSERT_NE(lzma, nullptr);
    EXPECT_EQ(ReadAll(lzma.get(), 65536), Original("Preview/PrvImage.png"));

    // An entry declaring almost 4 GiB streams what it has and then fails; nothing of the
    // declared size is allocated.
    ASSERT_EQ(OpenArchive("bad_bzip2_bomb.zip"), kZipOk);
    tStream bomb = OpenMember("Preview/PrvImage.png");
    ASSERT_NE(bomb, nullptr);
    EXPECT_EQ(bomb->GetSize(), 0xFFFFFFFEu);
    EXPECT_EQ(ReadAll(bomb.get(), 65536), Original("Preview/PrvImage.png"));
    u8 byte = 0;
    EXPECT_EQ(bomb->Read(&byte, 1), 0u);
}

// The end record closes the file, so an archive cut anywhere has lost it.
TEST_F(ZipReader, ArchivesCutShortFailToOpen)
{
    const std::vector<u8> whole = ReadWholeFile(s_dir + "/py_deflated.zip");
    ASSERT_GT(whole.size(), 32u * 22);
    for (int part = 0; part < 32; ++part) {
        SCOPED_TRACE(part);
        {
            std::ofstream out(s_dir + "/cut.zip", std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(whole.data()), std::streamsize(whole.size() * part / 32));
        }
        EXPECT_NE(OpenArchive("cut.zip"), kZipOk);
    }
}

// Member data zeroed from every 1/32 of the way to the central directory: the directory
// still opens, and each member reads back whole and right, or the decoder or the CRC
// check (the only guard of stored data) makes the read come up short; damaged data never
// passes as the member.
TEST_F(ZipReader, DamagedMemberDataNeverReadsBackAsComplete)
{
    for (const char* archive : {"py_stored.zip", "py_deflated.zip"}) {
        SCOPED_TRACE(archive);
        const std::vector<u8> whole = ReadWholeFile(s_dir + "/" + archive);
        ASSERT_GT(whole.size(), 22u);
        const u8* end = whole.data() + whole.size() - 22; // no archive comment
        ASSERT_EQ(end[0] | end[1] << 8 | end[2] << 16 | u32(end[3]) << 24, 0x06054b50u);
        const size_t directory = end[16] | end[17] << 8 | end[18] << 16 | size_t(end[19]) << 24;
        ASSERT_LT(directory, whole.size());
        for (int part = 0; part < 32; ++part) {
            SCOPED_TRACE(part);
            std::vector<u8> damaged = whole;
            std::fill(damaged.begin() + std::ptrdiff_t(directory * part / 32),
                      damaged.begin() + std::ptrdiff_t(directory), u8(0));
            {
                std::ofstream out(s_dir + "/damaged.zip", std::ios::binary | std::ios::trunc);
                out.write(reinterpret_cast<const char*>(damaged.data()), std::streamsize(damaged.size()));
            }
            ASSERT_EQ(OpenArchive("damaged.zip"), kZipOk);
            for (const char* name : kMembers) {
                SCOPED_TRACE(name);
                const std::vector<u8> original = Original(name);
                tStream member = OpenMember(name);
                if (member == nullptr) {
                    continue; // its local header was zeroed
                }
                const std::vector<u8> bytes = ReadAll(member.get(), 4096);
                if (bytes.size() == original.size()) {
                    EXPECT_EQ(bytes, original);
                } else {
                    EXPECT_LT(bytes.size(), original.size());
                }
            }
        }
    }
}

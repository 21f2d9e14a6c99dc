#include "base/fileio.h"

#include "base/utf.h"
#include "stream_model.h"
#include "support/scratchfolder.h"
#include "support/shellcommand.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using qeltest::cScratchFolder;
using streamtest::sStreamModel;
using streamtest::PatternBytes;
using streamtest::RunRandomOperations;

namespace {

std::vector<u8> ReadFileBytes(const std::string& path)
{
    const std::string text = qeltest::ReadText(path);
    return std::vector<u8>(text.begin(), text.end());
}

} // namespace

TEST(FileIO, MatchesVectorModelAndTheFileOnDisk)
{
    cScratchFolder folder;
    for (u64 seed = 1; seed <= 4; ++seed) {
        std::string path = folder.PathOf("model" + std::to_string(seed));
        sStreamModel model;
        model.m_data = PatternBytes(size_t(seed * 50000), seed);
        folder.MakeFile("model" + std::to_string(seed), model.m_data);
        cFileIO file;
        ASSERT_TRUE(file.Create(path.c_str(), FileMode::ReadWrite));
        RunRandomOperations(file, model, seed);
        file.Close();
        EXPECT_EQ(ReadFileBytes(path), model.m_data) << "seed " << seed;
    }
}

TEST(FileIO, ReadsSeeWritesMadeInsideTheReadAheadWindow)
{
    cScratchFolder folder;
    std::string path = folder.MakeFile("window", PatternBytes(200000, 7));
    cFileIO file;
    ASSERT_TRUE(file.Create(path.c_str(), FileMode::ReadWrite));
    u8 byte = 0;
    ASSERT_TRUE(file.ReadExact(&byte, 1)); // fills the window
    ASSERT_TRUE(file.Seek(10));
    const u8 mark = 'X';
    ASSERT_TRUE(file.WriteExact(&mark, 1));
    ASSERT_TRUE(file.Seek(10));
    ASSERT_TRUE(file.ReadExact(&byte, 1));
    EXPECT_EQ(byte, 'X');

    // Cutting the file under a filled window: reads stop at the new end.
    ASSERT_TRUE(file.ReadExact(&byte, 1));
    ASSERT_TRUE(file.SetSize(20));
    EXPECT_EQ(file.GetPosition(), 12u);
    u8 rest[100];
    EXPECT_EQ(file.Read(rest, sizeof rest), 8u);
    // A position past the new end moves back to it.
    ASSERT_TRUE(file.Seek(15));
    ASSERT_TRUE(file.SetSize(5));
    EXPECT_EQ(file.GetPosition(), 5u);
    ASSERT_TRUE(file.SetSize(0));
    EXPECT_EQ(file.GetSize(), 0u);
    EXPECT_EQ(file.GetPosition(), 0u);
}

TEST(FileIO, PositionsPastFourGibibytesOnASparseFile)
{
    cScratchFolder folder;
    std::string path = folder.PathOf("sparse");
    cFileIO file;
    ASSERT_TRUE(file.Create(path.c_str(), FileMode::CreateReadWrite));
    const u64 fourGiB = u64(1) << 32;
    ASSERT_TRUE(file.SetSize(fourGiB + 100000));
    EXPECT_EQ(file.GetSize(), fourGiB + 100000);

    // Across the 2^32 boundary, where a 32-bit offset would wrap to the start of the file.
    auto bytes = PatternBytes(70000, 8);
    ASSERT_TRUE(file.Seek(fourGiB - 30000));
    ASSERT_TRUE(file.WriteExact(bytes.data(), u32(bytes.size())));
    EXPECT_EQ(file.GetPosition(), fourGiB + 40000);
    EXPECT_TRUE(file.SeekFromEnd(100000));
    EXPECT_EQ(file.GetPosition(), fourGiB);

    std::vector<u8> back(bytes.size());
    ASSERT_TRUE(file.Seek(fourGiB - 30000));
    for (size_t index = 0; index < back.size(); ++index) { // byte by byte through the window
        ASSERT_TRUE(file.ReadExact(&back[index], 1)) << index;
    }
    EXPECT_EQ(back, bytes);
    file.Close();
    // The bytes landed where pread with a 64-bit offset finds them.
    int descriptor = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(descriptor, 0);
    std::vector<u8> raw(bytes.size());
    ASSERT_EQ(::pread(descriptor, raw.data(), raw.size(), off_t(fourGiB - 30000)),
              ssize_t(raw.size()));
    ::close(descriptor);
    EXPECT_EQ(raw, bytes);
}

TEST(FileIO, CloseFromAnotherThreadStopsAReaderWithoutForeignData)
{
    cScratchFolder folder;
    const size_t size = 4 << 20;
    std::vector<u8> pattern(size);
    for (size_t index = 0; index < size; ++index) {
        pattern[index] = u8(index % 251); // never 0xFF
    }
    std::string pathA = folder.MakeFile("a", pattern);
    std::string pathB = folder.MakeFile("b", std::vector<u8>(size, 0xFF));

    for (int round = 0; round < 20; ++round) {
        cFileIO file;
        ASSERT_TRUE(file.Create(pathA.c_str(), FileMode::Read));
        std::atomic<size_t> bytesRead{0};
        std::atomic<bool> foreign{false};
        std::thread reader([&] {
            u8 byte;
            size_t index = 0;
            while (file.ReadExact(&byte, 1)) {
                if (byte != pattern[index]) {
                    foreign = true;
                    break;
                }
                // The closing thread waits for progress through this counter.
                bytesRead.store(++index, std::memory_order_release);
            }
        });
        while (bytesRead.load(std::memory_order_acquire) < size_t(round) * 1000) {
            std::this_thread::yield();
        }
        file.Close();
        // Take the freed descriptor number for another file at once.
        std::vector<int> others;
        for (int count = 0; count < 8; ++count) {
            others.push_back(::open(pathB.c_str(), O_RDONLY | O_CLOEXEC));
        }
        reader.join();
        for (int other : others) {
            ::close(other);
        }
        EXPECT_FALSE(foreign) << "round " << round;
        EXPECT_LT(bytesRead.load(), size) << "the reader must have been stopped";
        EXPECT_FALSE(file.IsOpen());
    }
}

TEST(FileIO, ModesUmaskCloseOnExecAndAFullDevice)
{
    cScratchFolder folder;
    const std::string missing = folder.PathOf("missing");
    cFileIO file;
    EXPECT_FALSE(file.Create(missing.c_str(), FileMode::Read));
    EXPECT_FALSE(file.Create(missing.c_str(), FileMode::ReadWrite)); // must not create
    EXPECT_FALSE(qeltest::PathExists(missing) || file.IsOpen());
    const std::string path = folder.MakeFile("existing", std::vector<u8>{1, 2, 3, 4});
    const u8 byte = 9;
    ASSERT_TRUE(file.Create(path.c_str(), FileMode::Read));
    EXPECT_EQ(file.GetSize(), 4u);
    EXPECT_FALSE(file.WriteExact(&byte, 1) || file.SetSize(0)) << "opened for reading only";
    ASSERT_TRUE(file.Create(path.c_str(), FileMode::ReadWrite) && file.Seek(4) && file.WriteExact(&byte, 1));
    file.Close();
    EXPECT_EQ(ReadFileBytes(path), (std::vector<u8>{1, 2, 3, 4, 9}));
    ASSERT_TRUE(file.Create(path.c_str(), FileMode::CreateReadWrite));
    EXPECT_EQ(file.GetSize(), 0u) << "an existing file is emptied";
    EXPECT_FALSE(file.Create(folder.PathOf("").c_str(), FileMode::Read)) << "a folder";
    EXPECT_FALSE(file.Create(static_cast<const char*>(nullptr), FileMode::Read));
    // Every operation on a closed stream fails quietly.
    u8 out;
    EXPECT_FALSE(file.IsOpen() || file.Read(&out, 1) != 0 || file.Write(&byte, 1) != 0 || file.Seek(0) ||
                 file.SeekFromEnd(0) || file.SetSize(0) || file.GetSize() != 0);

    const mode_t previous = ::umask(027);
    const bool created = file.Create(folder.PathOf("masked").c_str(), FileMode::CreateReadWrite);
    ::umask(previous);
    ASSERT_TRUE(created);
    struct stat info;
    ASSERT_EQ(::stat(folder.PathOf("masked").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    // A shell started now must not inherit the descriptor.
    EXPECT_EQ(qeltest::RunCommand("ls -l /proc/$$/fd | grep -c masked"), "0\n");
    EXPECT_FALSE(file.Seek(u64(INT64_MAX) + 1)) << "beyond off_t";

    QEL_REQUIRE(qeltest::PathExists("/dev/full"), "/dev/full");
    ASSERT_TRUE(file.Create("/dev/full", FileMode::ReadWrite));
    EXPECT_FALSE(file.WriteExact(&byte, 1));
    EXPECT_EQ(file.Write(&byte, 1), 0u);
}

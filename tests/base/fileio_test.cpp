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

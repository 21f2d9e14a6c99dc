#include "base/subrange.h"

#include "base/fileio.h"
#include "base/memio.h"
#include "stream_model.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <random>

using streamtest::cStreamModel;
using streamtest::cTempFolder;
using streamtest::PatternBytes;
using streamtest::RunRandomOperations;

namespace {

std::vector<u8> Slice(const std::vector<u8>& bytes, u64 start, u64 length)
{
    return std::vector<u8>(bytes.begin() + start, bytes.begin() + start + length);
}

} // namespace

TEST(FileIOSubRange, WindowsOverARealFileMatchTheSlicedBytes)
{
    cTempFolder folder;
    auto bytes = PatternBytes(400000, 21);
    std::string path = folder.MakeFile("whole", bytes);
    cFileIO file;
    ASSERT_TRUE(file.Create(path.c_str(), FileMode::Read));
    std::mt19937_64 random(21);
    // Windows whose starts and lengths sit on the 64 KB edges of the file's read-ahead.
    const u64 edges[] = {0, 1, 65535, 65536, 65537, 131071, 131072, 131073};
    for (int round = 0; round < 24; ++round) {
        u64 start = round < 8 ? edges[round] : random() % bytes.size();
        u64 length = round < 8 ? edges[(round * 3 + 1) % 8] + 1 : random() % (bytes.size() - start);
        length = std::min<u64>(length, bytes.size() - start);
        SCOPED_TRACE("window " + std::to_string(start) + "+" + std::to_string(length));
        cFileIOSubRange window(&file, start, length);
        ASSERT_EQ(window.GetSize(), length);
        cStreamModel model;
        model.m_data = Slice(bytes, start, length);
        streamtest::sModelOptions options;
        options.allowWrite = false;
        options.seekClampsToEnd = true;
        options.operations = 60;
        RunRandomOperations(window, model, u64(round), options);
    }
}

TEST(FileIOSubRange, ClampsToTheTargetWithSaturation)
{
    auto bytes = PatternBytes(1000, 22);
    cBufWrapperIO target(bytes.data(), bytes.size());

    cFileIOSubRange beyond(&target, 1000, 10);
    EXPECT_EQ(beyond.GetSize(), 0u) << "start at the end";
    cFileIOSubRange farBeyond(&target, ~u64(0), 10);
    EXPECT_EQ(farBeyond.GetSize(), 0u);
    u8 byte;
    EXPECT_EQ(farBeyond.Read(&byte, 1), 0u);

    // start + length passes 2^64: the window stops at the target's end instead of wrapping.
    cFileIOSubRange overflowing(&target, 990, ~u64(0) - 500);
    EXPECT_EQ(overflowing.GetSize(), 10u);
    u8 tail[20];
    EXPECT_EQ(overflowing.Read(tail, sizeof tail), 10u);
    EXPECT_EQ(tail[0], bytes[990]);
    EXPECT_EQ(tail[9], bytes[999]);

    cFileIOSubRange empty(nullptr, 0, 100);
    EXPECT_EQ(empty.GetSize(), 0u);
    EXPECT_FALSE(empty.IsOpen());
    EXPECT_EQ(empty.Read(&byte, 1), 0u);
}

TEST(FileIOSubRange, EveryReadSeeksTheSharedTargetFirst)
{
    auto bytes = PatternBytes(3000, 24);
    cMemIOTarget target;
    ASSERT_TRUE(target.WriteExact(bytes.data(), u32(bytes.size())));
    cFileIOSubRange first(&target, 100, 500);
    cFileIOSubRange second(&target, 2000, 500);
    u8 a[10];
    u8 b[10];
    for (int round = 0; round < 5; ++round) {
        // The owner and the other window move the target between reads.
        ASSERT_TRUE(target.Seek(2999));
        ASSERT_TRUE(first.ReadExact(a, 10));
        ASSERT_TRUE(second.ReadExact(b, 10));
        EXPECT_EQ(std::vector<u8>(a, a + 10), Slice(bytes, 100 + round * 10, 10));
        EXPECT_EQ(std::vector<u8>(b, b + 10), Slice(bytes, 2000 + round * 10, 10));
    }
    // The window does not outlive nor own the target: the target stays usable.
    EXPECT_TRUE(target.IsOpen());
}

TEST(FileIOSubRange, AttachMovesTheWindowAndResetsThePosition)
{
    auto bytes = PatternBytes(500, 25);
    cBufWrapperIO target(bytes.data(), bytes.size());
    cFileIOSubRange window(&target, 0, 50);
    ASSERT_TRUE(window.Seek(40));
    window.Attach(&target, 450, 100);
    EXPECT_EQ(window.GetPosition(), 0u);
    EXPECT_EQ(window.GetSize(), 50u);
    u8 byte;
    ASSERT_TRUE(window.ReadExact(&byte, 1));
    EXPECT_EQ(byte, bytes[450]);
    window.Attach(nullptr, 0, 10);
    EXPECT_EQ(window.GetSize(), 0u);
    EXPECT_EQ(window.Read(&byte, 1), 0u);
}

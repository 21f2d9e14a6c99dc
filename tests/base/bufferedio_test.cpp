#include "base/bufferedio.h"

#include "base/fileio.h"
#include "base/memio.h"
#include "stream_model.h"
#include "support/scratchfolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

using streamtest::sStreamModel;
using streamtest::PatternBytes;
using streamtest::RunRandomOperations;

TEST(MemBufferedIO, MatchesVectorModelOverAFileAndOverMemory)
{
    qeltest::cScratchFolder folder;
    for (u32 bufferSize : {4096u, 65535u, 65536u, 65537u}) {
        SCOPED_TRACE("buffer " + std::to_string(bufferSize));
        sStreamModel fileModel;
        fileModel.m_data = PatternBytes(300000, bufferSize);
        std::string path = folder.MakeFile("inner", fileModel.m_data);
        cFileIO file;
        ASSERT_TRUE(file.Create(path.c_str(), FileMode::ReadWrite));
        cMemBufferedIO overFile;
        ASSERT_TRUE(overFile.Attach(&file, bufferSize));
        RunRandomOperations(overFile, fileModel, bufferSize);

        cMemBufferedIO overMemory;
        ASSERT_TRUE(overMemory.Attach(new cMemIOTarget, bufferSize, StreamOwnership::Owned));
        sStreamModel memoryModel;
        RunRandomOperations(overMemory, memoryModel, bufferSize + 1);
    }
}

TEST(MemBufferedIO, ReadPastTheWindowAfterASeekInsideItRefillsFromTheLogicalPosition)
{
    auto bytes = PatternBytes(10000, 31);
    cBufWrapperIO inner(bytes.data(), bytes.size());
    cMemBufferedIO cache;
    ASSERT_TRUE(cache.Attach(&inner, 1000));
    u8 byte;
    ASSERT_TRUE(cache.ReadExact(&byte, 1)); // window [0, 1000); inner now at 1000
    ASSERT_TRUE(cache.Seek(900));           // inside: only the offset moves
    std::vector<u8> got(300);
    ASSERT_TRUE(cache.ReadExact(got.data(), 300)); // 100 from the window, 200 from a refill
    EXPECT_TRUE(std::equal(got.begin(), got.end(), bytes.begin() + 900));

    // The owner moves the inner stream between two reads: the cache must not care.
    ASSERT_TRUE(inner.Seek(5));
    ASSERT_TRUE(cache.Seek(2500));
    ASSERT_TRUE(inner.Seek(7777));
    ASSERT_TRUE(cache.ReadExact(got.data(), 300));
    EXPECT_TRUE(std::equal(got.begin(), got.end(), bytes.begin() + 2500));
    EXPECT_EQ(cache.GetPosition(), 2800u);
}

TEST(MemBufferedIO, ConcurrentReadersEachGetWholeRecordsOnce)
{
    // The inner stream holds the numbers 0..N-1 as 4-byte records. Threads read one record per
    // call through one shared cache; if any call were torn or two calls took the same window
    // position, a record would be garbled, repeated or lost.
    constexpr u32 kRecords = 200000;
    cMemIOTarget inner;
    for (u32 index = 0; index < kRecords; ++index) {
        ASSERT_TRUE(inner.WriteExact(&index, 4));
    }
    ASSERT_TRUE(inner.Seek(0));
    cMemBufferedIO cache;
    ASSERT_TRUE(cache.Attach(&inner, 4096));

    constexpr int kThreads = 4;
    std::vector<std::vector<u32>> seen(kThreads);
    std::atomic<bool> sizeWrong{false};
    std::vector<std::thread> readers;
    for (int thread = 0; thread < kThreads; ++thread) {
        readers.emplace_back([&, thread] {
            u32 record;
            while (cache.ReadExact(&record, 4)) {
                seen[thread].push_back(record);
                if (cache.GetSize() != u64(kRecords) * 4) {
                    sizeWrong = true;
                }
            }
        });
    }
    for (std::thread& reader : readers) {
        reader.join();
    }
    EXPECT_FALSE(sizeWrong);
    std::vector<u32> all;
    for (const auto& list : seen) {
        // Each thread's own calls come one after the other, so its records ascend.
        EXPECT_TRUE(std::is_sorted(list.begin(), list.end()));
        all.insert(all.end(), list.begin(), list.end());
    }
    std::sort(all.begin(), all.end());
    ASSERT_EQ(all.size(), kRecords);
    for (u32 index = 0; index < kRecords; ++index) {
        ASSERT_EQ(all[index], index);
    }
}

// Ownership decides who deletes the inner stream: a refused owned target is deleted, not
// leaked; a borrowed one outlives the cache; attaching again lets an owned one go.
TEST(MemBufferedIO, AttachFailsCleanlyAndOwnershipDecidesWhoDeletes)
{
    struct cTrackedTarget : cMemIOTarget
    {
        explicit cTrackedTarget(int* deleted) : m_deleted(deleted) {}
        ~cTrackedTarget() override { ++*m_deleted; }
        int* m_deleted;
    };
    int deleted = 0;
    cTrackedTarget borrowed(&deleted);
    {
        cMemBufferedIO cache;
        EXPECT_FALSE(cache.Attach(nullptr, 100) || cache.IsOpen());
        EXPECT_FALSE(cache.Attach(new cTrackedTarget(&deleted), 0, StreamOwnership::Owned));
        EXPECT_EQ(deleted, 1);
        ASSERT_TRUE(cache.Attach(new cTrackedTarget(&deleted), 100, StreamOwnership::Owned));
        ASSERT_TRUE(cache.Attach(&borrowed, 100));
        EXPECT_EQ(deleted, 2);
        cache.Close();
        u8 byte;
        EXPECT_FALSE(cache.IsOpen() || cache.Read(&byte, 1) != 0);
        ASSERT_TRUE(cache.Attach(new cTrackedTarget(&deleted), 100, StreamOwnership::Owned));
    }
    EXPECT_EQ(deleted, 3);
}

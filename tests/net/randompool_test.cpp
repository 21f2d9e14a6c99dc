// The random pool's draw, stir and add rules on a fixed clock and fixed entropy; that OS
// entropy is mixed in; failure reporting; many threads drawing at once.
#include "base/clock.h"
#include "net/crypto/randompool.h"
#include "net/crypto/randompooltesting.h"
#include "vectors.h"

#include <set>
#include <thread>

using namespace nettest;

namespace {

bool ZeroEntropy(u8* buffer, size_t count)
{
    std::memset(buffer, 0, count);
    return true;
}

bool FailingEntropy(u8*, size_t) { return false; }

u64 ZeroClock(void*) { return 0; }
void NoSleep(void*, u32) {}

// A stopped clock (every sample 0, as without a performance counter) and, unless a test
// says otherwise, zero "OS" randomness: the pool is then a pure function of its steps.
class RandomPool : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const sClockHook hook = {ZeroClock, NoSleep, nullptr};
        SetClockHook(&hook);
        SetRandomPoolEntropyForTesting(ZeroEntropy);
        ResetRandomPoolForTesting();
    }
    void TearDown() override
    {
        SetRandomPoolEntropyForTesting(nullptr);
        ResetRandomPoolForTesting();
        SetClockHook(nullptr);
    }
    static sRandomPoolView View()
    {
        sRandomPoolView view;
        ReadRandomPoolForTesting(view);
        return view;
    }
    static Bytes Draw(size_t count)
    {
        Bytes out(count);
        EXPECT_TRUE(RandomPoolDraw(out.data(), count));
        return out;
    }
};

size_t DifferingBytes(const sRandomPoolView& a, const sRandomPoolView& b, size_t* first = nullptr)
{
    size_t count = 0;
    for (size_t i = 0; i < kRandomPoolSize; ++i) {
        if (a.m_pool[i] != b.m_pool[i]) {
            if (count == 0 && first != nullptr) {
                *first = i;
            }
            ++count;
        }
    }
    return count;
}

} // namespace

// The first draw seeds and stirs and hands out pool[20]; 1,180 bytes later a new stir
// restarts at offset 20.
TEST_F(RandomPool, DrawsFromOffset20AndStirsEvery1180Bytes)
{
    const Bytes first = Draw(1);
    const sRandomPoolView afterFirst = View();
    ASSERT_TRUE(afterFirst.m_seeded);
    EXPECT_EQ(afterFirst.m_position, 21);
    EXPECT_EQ(first[0], afterFirst.m_pool[20]);

    const Bytes rest = Draw(1179);
    const sRandomPoolView drained = View();
    EXPECT_EQ(drained.m_position, 1200);
    EXPECT_EQ(DifferingBytes(afterFirst, drained), 0u) << "draws do not change the pool";
    EXPECT_EQ(0, std::memcmp(rest.data(), afterFirst.m_pool + 21, 1179));

    const Bytes next = Draw(1);
    const sRandomPoolView restirred = View();
    EXPECT_EQ(restirred.m_position, 21);
    EXPECT_EQ(next[0], restirred.m_pool[20]);
    EXPECT_GT(DifferingBytes(drained, restirred), 1100u);
}

// The bytes an independent model of the design gives on the stopped clock with zero OS
// randomness: /usr/bin/python3 tools/testdata/make_randompool_reference.py
TEST_F(RandomPool, MatchesTheReferenceModel)
{
    EXPECT_EQ(ToHex(Draw(32)), "dda0b782a25f3499e27e93c4f36a3ac708a87a64cb8d6060295c6bd53c92a7b3");
    (void)Draw(1176 - 32);
    EXPECT_EQ(ToHex(Draw(32)), "47c2a35a660738778a9abaeaa2e6e576175e0efc567e129acd4e13e191789311")
        << "the 32 bytes across the second stir";
}

// Fewer bytes than the input block lacks are only buffered; a full block changes exactly
// the 20 bytes at the read position.
TEST_F(RandomPool, AddBuffersThenMixesTwentyBytes)
{
    (void)Draw(100);
    const sRandomPoolView before = View();
    const Bytes noise(64, 0x5c);
    RandomPoolAdd(noise.data(), 63);
    sRandomPoolView after = View();
    EXPECT_EQ(DifferingBytes(before, after), 0u);
    EXPECT_EQ(after.m_inputCount, 63u);

    RandomPoolAdd(noise.data(), 1);
    after = View();
    size_t first = 0;
    const size_t changed = DifferingBytes(before, after, &first);
    EXPECT_GE(changed, 18u); // a digest byte may equal zero by chance
    EXPECT_LE(changed, 20u);
    EXPECT_GE(first, static_cast<size_t>(before.m_position));
    EXPECT_EQ(after.m_position, before.m_position + 20);
    EXPECT_EQ(after.m_inputCount, 0u);
}

// An add that crosses the end of the pool wraps to the start, which stirs.
TEST_F(RandomPool, AddAcrossTheEndStirs)
{
    (void)Draw(1170); // position 1190
    ASSERT_EQ(View().m_position, 1190);
    const sRandomPoolView before = View();
    const Bytes noise(64, 0x33);
    RandomPoolAdd(noise.data(), noise.size());
    const sRandomPoolView after = View();
    EXPECT_EQ(after.m_position, 20) << "the wrap below 20 triggered a stir";
    EXPECT_GT(DifferingBytes(before, after), 1100u);

    // A fully drawn pool (position at its end) wraps before writing, never past the end.
    (void)Draw(1180);
    ASSERT_EQ(View().m_position, 1200);
    RandomPoolAdd(noise.data(), noise.size());
    EXPECT_EQ(View().m_position, 20);
}

// With the stopped clock the output depends only on the OS entropy: fixed entropy gives
// the same bytes after a reset, real entropy different ones.
TEST_F(RandomPool, OperatingSystemEntropyIsMixedIn)
{
    const Bytes fixedFirst = Draw(32);
    ResetRandomPoolForTesting();
    EXPECT_EQ(Draw(32), fixedFirst);

    SetRandomPoolEntropyForTesting(nullptr);
    ResetRandomPoolForTesting();
    const Bytes realFirst = Draw(32);
    ResetRandomPoolForTesting();
    const Bytes realSecond = Draw(32);
    EXPECT_NE(realFirst, realSecond);
    EXPECT_NE(realFirst, fixedFirst);
}

TEST_F(RandomPool, FailingEntropyFailsTheDraw)
{
    SetRandomPoolEntropyForTesting(FailingEntropy);
    ResetRandomPoolForTesting();
    Bytes out(32, 0xAA);
    EXPECT_FALSE(RandomPoolDraw(out.data(), out.size()));
    EXPECT_EQ(out, Bytes(32, 0));
    EXPECT_FALSE(RandomPoolFill());

    // Entropy failing at a later stir fails the draw that needs it.
    SetRandomPoolEntropyForTesting(ZeroEntropy);
    (void)Draw(1180);
    SetRandomPoolEntropyForTesting(FailingEntropy);
    EXPECT_FALSE(RandomPoolDraw(out.data(), 1));
}

// 8 threads x 10^4 draws of 32 bytes at once, on the real clock and entropy: no value
// comes out twice (run under TSan for the locking).
TEST(RandomPoolThreads, ConcurrentDrawsNeverRepeat)
{
    SetRandomPoolEntropyForTesting(nullptr);
    constexpr int kThreads = 8;
    constexpr int kDraws = 10000;
    std::vector<std::vector<std::string>> drawn(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&drawn, t]() {
            for (int n = 0; n < kDraws; ++n) {
                u8 value[32];
                if (!RandomPoolDraw(value, sizeof(value))) {
                    return;
                }
                drawn[t].push_back(ToHex(value, sizeof(value)));
                if (n % 97 == 0) {
                    RandomPoolAdd(value, 7);
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    std::set<std::string> unique;
    for (const auto& list : drawn) {
        EXPECT_EQ(list.size(), static_cast<size_t>(kDraws));
        unique.insert(list.begin(), list.end());
    }
    EXPECT_EQ(unique.size(), static_cast<size_t>(kThreads * kDraws));
}

// The random pool against an independent model of its design on a stopped clock and
// patterned OS entropy; real entropy is mixed in; failure reporting; many threads drawing.
#include "base/clock.h"
#include "net/crypto/randompool.h"
#include "net/vectors.h"
#include "testhooks/basehooks.h"
#include "testhooks/nethooks.h"

#include <set>
#include <thread>

using namespace nettest;

namespace {

// Byte i of the n-th request since the reset is 31 n + 7 i mod 256.
int g_requests = 0;
bool PatternEntropy(u8* buffer, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        buffer[i] = static_cast<u8>(31 * g_requests + 7 * i);
    }
    ++g_requests;
    return true;
}

bool FailingEntropy(u8*, size_t) { return false; }

u64 ZeroClock(void*) { return 0; }
void NoSleep(void*, u32) {}

// A stopped clock (every sample 0, as without a performance counter) and patterned "OS"
// randomness: the pool is then a pure function of its calls.
class RandomPool : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const sClockHook hook = {ZeroClock, NoSleep, nullptr};
        SetClockHook(&hook);
        Reset(PatternEntropy);
    }
    void TearDown() override
    {
        Reset(nullptr);
        SetClockHook(nullptr);
    }
    static void Reset(tRandomEntropySource source)
    {
        SetRandomPoolEntropyForTesting(source);
        ResetRandomPoolForTesting();
        g_requests = 0;
    }
    static Bytes Draw(size_t count)
    {
        Bytes out(count);
        EXPECT_TRUE(RandomPoolDraw(out.data(), count));
        return out;
    }
    static void Add(u8 value, size_t count) { RandomPoolAdd(Bytes(count, value).data(), count); }
};

} // namespace

// The bytes the model gives: /usr/bin/python3 tools/testdata/make_randompool_reference.py
TEST_F(RandomPool, MatchesTheReferenceModel)
{
    const Bytes first = Draw(32);
    (void)Draw(1176 - 32);
    EXPECT_EQ(ToHex(first) + ToHex(Draw(32)),
              "cbab3d1f0b16c432166b6efd200489f516eb85afda29b5275546293ac56a84b0"
              "b364d8c8100e5cf46d07e77403862b4d42c22aebc2374da58fbed22c60b9c4c8")
        << "the first 32 bytes, then the 32 across the second stir";

    Reset(PatternEntropy);
    (void)Draw(100);
    Add(0x5c, 63); // only buffered
    Add(0x5c, 1);  // completes the input block, which is mixed in
    EXPECT_EQ(ToHex(Draw(1112)).substr(2 * 1080), "15dfadc8a7a3e8c30c37f79e91ff5dbb00148faf5db99e45661358c6413879ed");

    Reset(PatternEntropy);
    (void)Draw(1170);
    Add(0x33, 64); // wraps past the end of the pool, which stirs
    EXPECT_EQ(ToHex(Draw(32)), "846f6a747ecef3c93f1e2b4d42c22aebc2374da5a2b442bafa3164d145163562");
    // An add on a fully drawn pool wraps before it writes (ASan sees a write past the end).
    (void)Draw(1180 - 32);
    Add(0x33, 64);
    EXPECT_EQ(Draw(1).size(), 1u);
}

// Real OS randomness makes two resets of the stopped-clock pool differ.
TEST_F(RandomPool, OperatingSystemEntropyIsMixedIn)
{
    Reset(nullptr);
    const Bytes realFirst = Draw(32);
    Reset(nullptr);
    EXPECT_NE(Draw(32), realFirst);
}

TEST_F(RandomPool, FailingEntropyFailsTheDraw)
{
    Reset(FailingEntropy);
    Bytes out(32, 0xAA);
    EXPECT_FALSE(RandomPoolDraw(out.data(), out.size()));
    EXPECT_EQ(out, Bytes(32, 0)) << "a failed draw leaves zeros";
    EXPECT_FALSE(RandomPoolFill());

    // Entropy failing at a later stir fails the draw that needs it.
    Reset(PatternEntropy);
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

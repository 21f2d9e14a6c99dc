#include "gui/core/font.h"
#include "platform/softcanvas.h"
#include "platform/softgraphics.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <thread>
#include <vector>

namespace {

class FontCache : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(InstallSoftwareGraphics(eTextFont::FixedTest)); }
};

TEST_F(FontCache, SizesFromDocumentsAreBounded)
{
    EXPECT_EQ(GetCachedFont(5, 0, nullptr, false, false, false), nullptr);
    EXPECT_EQ(GetCachedFont(5, -13, nullptr, false, false, false), nullptr);
    cFontObject* huge = GetCachedFont(0x7FFFFFFF, 0x7FFFFFFF, nullptr, false, false, false);
    ASSERT_NE(huge, nullptr);
    EXPECT_EQ(huge->GetKey().height, kMaxFontSize);
    EXPECT_EQ(huge->GetKey().width, kMaxFontSize);
    EXPECT_EQ(GetCachedFont(-4, 13, nullptr, false, false, false), GetCachedFont(0, 13, nullptr, false, false, false));
}

TEST_F(FontCache, ThreadsAskingTogetherGetTheSameObjects)
{
    constexpr int kThreads = 8;
    std::vector<std::vector<cFontObject*>> seen(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &seen] {
            for (int i = 0; i < 200; ++i) {
                seen[t].push_back(GetCachedFont(3 + i % 10, 9 + i % 7, nullptr, i % 2, false, false));
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int t = 1; t < kThreads; ++t) {
        EXPECT_EQ(seen[t], seen[0]);
    }
}

} // namespace

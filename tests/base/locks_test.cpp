#include "base/locks.h"

#include <gtest/gtest.h>

#include <thread>

TEST(SyncEvent, WaitTimesOutUnsetAndSeesSetFromAnotherThread)
{
    cSyncEvent event;
    EXPECT_FALSE(event.Wait(10));
    std::thread setter([&] { event.Set(); });
    EXPECT_TRUE(event.Wait(-1));
    setter.join();
    EXPECT_TRUE(event.IsSet());
    event.Reset();
    EXPECT_FALSE(event.Wait(0));
}

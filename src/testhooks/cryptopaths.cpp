#include "testhooks/nethooks.h"

void SelectAesPathForTesting(const sAesPath* path)
{
    g_forcedAesPath.store(path, std::memory_order_release);
}

void SelectGhashPathForTesting(const sGhashPath* path)
{
    g_forcedGhashPath.store(path, std::memory_order_release);
}

void SelectSha256BlocksForTesting(tSha256Blocks blocks) { g_forcedSha256Blocks.store(blocks); }

void SelectX25519LadderForTesting(const sX25519Ladder* ladder)
{
    g_forcedX25519Ladder.store(ladder, std::memory_order_release);
}

#pragma once
// The two GHASH implementations behind gcm.h. Internal: gcm.cpp and the tests use it.
// CT: the carry-less-multiply path has no secret-dependent branch or memory index; the
// table path indexes the key's table with bytes of the accumulator and leaks cache timing.
#include "net/crypto/gcm.h"

#include <atomic>

struct sGhashPath
{
    const char* m_name;
    // accumulator = (accumulator XOR block) times H, for `blocks` 16-byte blocks.
    void (*m_absorb)(const sGcmKey& key, u8* accumulator, const u8* data, size_t blocks);
};

// Builds the 8-bit table of `key` from H (16 bytes).
void GhashBuildTable(sGcmKey& key, const u8* hashKey);
// The 8-bit table method; always available.
const sGhashPath& GhashTablePath();
// The carry-less-multiply method; null when the processor lacks it.
const sGhashPath* GhashClmulPath();
// Fills key.m_powers from H (16 bytes). MUST only run when GhashClmulPath() is not null.
void GhashClmulPreparePowers(sGcmKey& key, const u8* hashKey);
// The path gcm.cpp uses: chosen once per run from the CPU feature record.
const sGhashPath& ActiveGhashPath();
// A path that replaces the probed choice; null (the program never sets it) keeps that
// choice. Only the test hooks (testhooks/nethooks.h) set it.
extern std::atomic<const sGhashPath*> g_forcedGhashPath;

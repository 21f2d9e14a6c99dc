#pragma once
// The SHA-256 compression over whole blocks: a portable form, the same built for BMI2, and
// one on the processor's SHA extensions, the best present chosen once per run. Internal:
// sha256.cpp and the tests use it.
// CT: every form runs in time that depends only on the number of blocks.
#include "base/types.h"

#include <atomic>

// Compresses `blocks` consecutive 64-byte blocks of `data` into h[0..7].
using tSha256Blocks = void (*)(u32* h, const u8* data, size_t blocks);

// The active implementation.
void Sha256CompressBlocks(u32* h, const u8* data, size_t blocks);
// The portable implementation; always available.
void Sha256CompressBlocksPortable(u32* h, const u8* data, size_t blocks);
// The BMI2 build of the portable rounds, or null when the processor lacks BMI2.
tSha256Blocks Sha256Bmi2Blocks();
// The SHA-extensions implementation, or null when the processor lacks them.
tSha256Blocks Sha256ShaExtensionBlocks();
// A form that replaces the probed choice; null (the program never sets it) keeps that
// choice. Only the test hooks (testhooks/nethooks.h) set it.
extern std::atomic<tSha256Blocks> g_forcedSha256Blocks;

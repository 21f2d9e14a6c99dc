#pragma once
// The SHA-256 compression over whole blocks: a portable form and one on the processor's
// SHA extensions, chosen once per run. Internal: sha256.cpp and the tests use it.
// CT: both forms run in time that depends only on the number of blocks.
#include "base/types.h"

// Compresses `blocks` consecutive 64-byte blocks of `data` into h[0..7].
using tSha256Blocks = void (*)(u32* h, const u8* data, size_t blocks);

// The active implementation.
void Sha256CompressBlocks(u32* h, const u8* data, size_t blocks);
// The portable implementation; always available.
void Sha256CompressBlocksPortable(u32* h, const u8* data, size_t blocks);
// The SHA-extensions implementation, or null when the processor lacks them.
tSha256Blocks Sha256ShaExtensionBlocks();
// Tests only: forces `blocks` (null restores the probed choice).
void SelectSha256BlocksForTesting(tSha256Blocks blocks);

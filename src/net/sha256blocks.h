#pragma once
// The SHA-256 compression over whole blocks, shared by the hash and its tests.
#include "base/types.h"

// Compresses `blocks` consecutive 64-byte blocks of `data` into h[0..7].
void Sha256CompressBlocks(u32* h, const u8* data, size_t blocks);

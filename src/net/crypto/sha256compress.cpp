// The portable SHA-256 compression: the shared rounds in plain C++.
#include "net/crypto/sha256blocks.h"
#include "net/crypto/sha256rounds.h"

void Sha256CompressBlocksPortable(u32* state, const u8* data, size_t blocks)
{
    sha256rounds::CompressBlocks(state, data, blocks);
}

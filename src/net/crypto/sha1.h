#pragma once
// SHA-1 (FIPS 180-4 6.1) over a state record that the caller owns. Used by HMAC-SHA1 of
// the TLS 1.2 CBC records and by the random pool; not for signatures.
//
// Usage: Sha1Init, Sha1Update..., Sha1Final, then Sha1Digest to read the result.
// CT: the time depends only on the lengths, never on the data.
#include "base/types.h"

struct sSha1Ctx
{
    u32 m_h[5];      // chaining values H0..H4
    u64 m_blocks;    // whole 64-byte blocks compressed
    u8 m_block[64];  // partial block
    u32 m_waiting;   // bytes waiting in m_block, 0..63
};

constexpr u32 kSha1DigestSize = 20;
constexpr u32 kSha1BlockSize = 64;

void Sha1Init(sSha1Ctx& ctx);
// Adds `length` bytes; null data or length 0 changes nothing.
void Sha1Update(sSha1Ctx& ctx, const void* data, size_t length);
// One compression of sixteen message words into H0..H4.
void Sha1Compress(const u32* words, sSha1Ctx& ctx);
// Pads (FIPS 180-4 5.1.1) and compresses the last block(s); writes nothing.
void Sha1Final(sSha1Ctx& ctx);
// Writes H0..H4 big-endian (20 bytes); a null `digest` writes nothing.
void Sha1Digest(u8* digest, const sSha1Ctx& ctx);

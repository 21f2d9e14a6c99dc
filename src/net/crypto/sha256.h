#pragma once
// SHA-256 (FIPS 180-4 6.2) over a state record that the caller owns.
//
// Usage: Sha256Init, any number of Sha256Update calls, Sha256Final. A finished state is
// not wiped; a caller that reuses it runs Sha256Init again. Nothing is allocated and
// nothing is shared, so states on different threads are independent.
// CT: the time depends only on the lengths, never on the data.
#include "base/types.h"

struct sSha256Ctx
{
    u32 m_countLow;  // bytes hashed so far, low word
    u32 m_countHigh; // high word
    u32 m_h[8];      // chaining values H0..H7
    u8 m_block[64];  // partial block; m_countLow % 64 bytes wait in it
};

constexpr u32 kSha256DigestSize = 32;
constexpr u32 kSha256BlockSize = 64;

void Sha256Init(sSha256Ctx& ctx);
// Adds `length` bytes. Whole blocks are compressed straight from `data`, which may be
// unaligned. A length of 0 (or null data) changes nothing. Callers with more than 4 GiB
// loop.
void Sha256Update(sSha256Ctx& ctx, const void* data, u32 length);
// One compression of a 64-byte block into H0..H7; the byte count is not touched.
void Sha256Compress(const u8* block, sSha256Ctx& ctx);
// Pads (FIPS 180-4 5.1.1) and writes H0..H7 big-endian to `digest` (32 bytes).
void Sha256Final(sSha256Ctx& ctx, u8* digest);

// Feeds a buffer of any size through Sha256Update in pieces that fit its u32 length.
void Sha256UpdateLarge(sSha256Ctx& ctx, const void* data, size_t length);

#pragma once
// SHA-384 (FIPS 180-4 6.5): the SHA-512 engine with the SHA-384 initial value and a
// 48-byte digest. There is no SHA-512 or SHA-512/t output.
//
// The functions return 0 on success and 1 for a bad argument.
// CT: the time depends only on the lengths, never on the data.
#include "base/types.h"

struct sSha384Ctx
{
    u64 m_count[2];   // bytes hashed, a 128-bit number, low word first
    u64 m_h[8];       // chaining values H0..H7
    u8 m_block[128];  // partial block; m_count[0] % 128 bytes wait in it
};

constexpr u32 kSha384DigestSize = 48;
constexpr u32 kSha384BlockSize = 128;

i32 Sha384Init(sSha384Ctx& ctx);
// 1 for null data (even with length 0); 0 at once for length 0; else adds the bytes.
i32 Sha384Update(sSha384Ctx& ctx, const void* data, size_t length);
// The SHA-512 compression of one 128-byte block into H0..H7. Always 0.
i32 Sha512Compress(sSha384Ctx& ctx, const u8* block);
// 1 for a null `digest`; else pads, writes H0..H5 big-endian (48 bytes) and gives 0.
i32 Sha384Final(sSha384Ctx& ctx, u8* digest);

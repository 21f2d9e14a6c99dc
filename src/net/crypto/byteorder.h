#pragma once
// Big- and little-endian loads and stores of unaligned words.
#include "base/types.h"

#include <cstring>

inline u32 LoadBe32(const u8* p)
{
    u32 v;
    std::memcpy(&v, p, 4);
    return __builtin_bswap32(v);
}

inline u64 LoadBe64(const u8* p)
{
    u64 v;
    std::memcpy(&v, p, 8);
    return __builtin_bswap64(v);
}

inline void StoreBe32(u8* p, u32 v)
{
    v = __builtin_bswap32(v);
    std::memcpy(p, &v, 4);
}

inline void StoreBe64(u8* p, u64 v)
{
    v = __builtin_bswap64(v);
    std::memcpy(p, &v, 8);
}

inline u64 LoadLe64(const u8* p)
{
    u64 v;
    std::memcpy(&v, p, 8);
    return v;
}

inline void StoreLe64(u8* p, u64 v) { std::memcpy(p, &v, 8); }

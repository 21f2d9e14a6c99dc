#pragma once
// Big- and little-endian loads and stores of unaligned 16-, 24-, 32- and 64-bit words from
// byte pointers: the one place readers, containers and protocols turn bytes into numbers.
// memcpy plus a byte swap compiles to one load or store (and a bswap) on every host we build
// for; the hosts are little-endian, which the assertion below keeps true.
#include "base/types.h"

#include <bit>
#include <cstring>

static_assert(std::endian::native == std::endian::little,
              "byte order assumes a little-endian host");

namespace byteorder_detail {

template <typename T> inline T Load(const u8* p)
{
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

template <typename T> inline void Store(u8* p, T value)
{
    std::memcpy(p, &value, sizeof value);
}

} // namespace byteorder_detail

inline u16 LoadLe16(const u8* p)
{
    return byteorder_detail::Load<u16>(p);
}

inline u32 LoadLe32(const u8* p)
{
    return byteorder_detail::Load<u32>(p);
}

inline u64 LoadLe64(const u8* p)
{
    return byteorder_detail::Load<u64>(p);
}

inline u16 LoadBe16(const u8* p)
{
    return __builtin_bswap16(LoadLe16(p));
}

// Three-byte fields (TLS handshake lengths, RGB and BGR pixels) have no machine word.
inline u32 LoadBe24(const u8* p)
{
    return u32(p[0]) << 16 | u32(p[1]) << 8 | p[2];
}

inline u32 LoadLe24(const u8* p)
{
    return u32(p[2]) << 16 | u32(p[1]) << 8 | p[0];
}

inline u32 LoadBe32(const u8* p)
{
    return __builtin_bswap32(LoadLe32(p));
}

inline u64 LoadBe64(const u8* p)
{
    return __builtin_bswap64(LoadLe64(p));
}

// A word in the byte order a file declares for itself (TIFF's "II" or "MM", CIFF).
inline u16 LoadU16(const u8* p, bool bigEndian)
{
    return bigEndian ? LoadBe16(p) : LoadLe16(p);
}

inline u32 LoadU32(const u8* p, bool bigEndian)
{
    return bigEndian ? LoadBe32(p) : LoadLe32(p);
}

inline void StoreLe16(u8* p, u16 value)
{
    byteorder_detail::Store(p, value);
}

inline void StoreLe32(u8* p, u32 value)
{
    byteorder_detail::Store(p, value);
}

inline void StoreLe64(u8* p, u64 value)
{
    byteorder_detail::Store(p, value);
}

inline void StoreBe16(u8* p, u16 value)
{
    StoreLe16(p, __builtin_bswap16(value));
}

inline void StoreBe32(u8* p, u32 value)
{
    StoreLe32(p, __builtin_bswap32(value));
}

inline void StoreBe64(u8* p, u64 value)
{
    StoreLe64(p, __builtin_bswap64(value));
}

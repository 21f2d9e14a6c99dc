// GHASH by the 8-bit-table method (Shoup's method, as in the GCM submission's software
// section): one 4 KiB table of H times every byte value per key, one reduction table for
// the byte that a shift by eight pushes out. The table lookups are indexed by bytes that
// depend on H, so this path leaks cache timing; the carry-less-multiply path does not and
// is used wherever the processor has it.
#include "net/crypto/ghashpath.h"

#include "base/byteorder.h"

#include <array>
#include <atomic>

namespace {

// GCM bit order: byte 0's most significant bit is x^0. Shifting right by one multiplies
// by x; the bit x^127 falls out and x^128 = 1 + x + x^2 + x^7 comes back as 0xE1 in the
// top byte (SP 800-38D 6.3, R = 11100001 || 0^120).
//
// Word r holds, in its top 16 bits, what the byte r (coefficients x^120..x^127) becomes
// after a further multiplication by x^8: bit j of r (x^(127-j)) turns into
// x^(7-j) * (1 + x + x^2 + x^7), that is 0xE100 shifted right by 7 - j.
constexpr std::array<u32, 256> MakeReductionTable()
{
    std::array<u32, 256> table{};
    for (u32 r = 0; r < 256; ++r) {
        u32 term = 0;
        for (u32 j = 0; j < 8; ++j) {
            if (r & (1u << j)) {
                term ^= 0xE100u >> (7 - j);
            }
        }
        table[r] = term << 16;
    }
    return table;
}
constexpr std::array<u32, 256> kReduction = MakeReductionTable();

inline u8 ReverseBits(u32 b)
{
    b = ((b & 0xF0) >> 4) | ((b & 0x0F) << 4);
    b = ((b & 0xCC) >> 2) | ((b & 0x33) << 2);
    b = ((b & 0xAA) >> 1) | ((b & 0x55) << 1);
    return static_cast<u8>(b);
}

// One multiplication of `x` (16 bytes) by H, in place.
inline void MultiplyByTable(const sGcmKey& key, u8* x)
{
    u64 hi = key.m_table[x[15]][0];
    u64 lo = key.m_table[x[15]][1];
    for (int i = 14; i >= 0; --i) {
        const u32 out = static_cast<u32>(lo & 0xff);
        lo = (lo >> 8) | (hi << 56);
        hi = (hi >> 8) ^ (u64(kReduction[out]) << 32);
        hi ^= key.m_table[x[i]][0];
        lo ^= key.m_table[x[i]][1];
    }
    StoreBe64(x, hi);
    StoreBe64(x + 8, lo);
}

void AbsorbByTable(const sGcmKey& key, u8* accumulator, const u8* data, size_t blocks)
{
    for (size_t b = 0; b < blocks; ++b) {
        for (int i = 0; i < 16; ++i) {
            accumulator[i] ^= data[16 * b + i];
        }
        MultiplyByTable(key, accumulator);
    }
}

constexpr sGhashPath kTablePath = {"table", AbsorbByTable};

} // namespace

std::atomic<const sGhashPath*> g_forcedGhashPath{nullptr};

void GhashBuildTable(sGcmKey& key, const u8* hashKey)
{
    key.m_table[0][0] = 0;
    key.m_table[0][1] = 0;
    key.m_table[0x80][0] = LoadBe64(hashKey);
    key.m_table[0x80][1] = LoadBe64(hashKey + 8);
    const u64 hHi = key.m_table[0x80][0];
    const u64 hLo = key.m_table[0x80][1];
    // Entry rev(i) holds H times the polynomial whose x^k coefficient is bit k of i, so
    // an even i is the entry of i / 2 times x, an odd i the entry of i - 1 plus H.
    for (u32 i = 2; i < 256; ++i) {
        u64* entry = key.m_table[ReverseBits(i)];
        if ((i & 1) == 0) {
            const u64* half = key.m_table[ReverseBits(i / 2)];
            const u64 fellOut = half[1] & 1;
            entry[1] = (half[1] >> 1) | (half[0] << 63);
            entry[0] = (half[0] >> 1) ^ ((0ull - fellOut) & 0xE100000000000000ull);
        } else {
            const u64* even = key.m_table[ReverseBits(i - 1)];
            entry[0] = even[0] ^ hHi;
            entry[1] = even[1] ^ hLo;
        }
    }
}

void GhashMultiply(const sGcmKey& key, u8* x) { MultiplyByTable(key, x); }

const sGhashPath& GhashTablePath() { return kTablePath; }

const sGhashPath& ActiveGhashPath()
{
    if (const sGhashPath* forced = g_forcedGhashPath.load(std::memory_order_acquire)) {
        return *forced;
    }
    static const sGhashPath& chosen =
        GhashClmulPath() != nullptr ? *GhashClmulPath() : GhashTablePath();
    return chosen;
}

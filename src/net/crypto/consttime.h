#pragma once
// Constant-time building blocks for code that touches secrets (keys, schedules, shared
// secrets, scalars, pool state, plaintext and MACs before verification).
//
// Controls are 0 or 1 in a u32/u64; every helper turns a control into an all-zero or
// all-one mask with arithmetic, so that no secret becomes a branch, an index or a bool.
// CT: every function here runs in time independent of its arguments' values.
#include "base/types.h"

#include <cstring>
#include <strings.h>

namespace ct {

// All ones when control is 1, zero when it is 0.
inline u32 Mask32(u32 control) { return 0u - control; }
inline u64 Mask64(u64 control) { return 0ull - control; }

// x when control is 1, y when it is 0.
inline u32 Mux(u32 control, u32 x, u32 y) { return y ^ (Mask32(control) & (x ^ y)); }

// 1 when x is not zero, else 0.
inline u32 NotZero(u32 x) { return (x | (0u - x)) >> 31; }
// 1 when x == y, else 0.
inline u32 Eq(u32 x, u32 y) { return NotZero(x ^ y) ^ 1u; }
// 1 when x < y (unsigned), else 0. Hacker's Delight 2-12, without a compare instruction
// whose flags a compiler could turn into a branch.
inline u32 Lt(u32 x, u32 y)
{
    return ((~x & y) | ((~x | y) & (x - y))) >> 31;
}

// Copies `count` bytes from `source` to `target` when control is 1; reads and writes the
// same bytes either way.
inline void CondCopy(u32 control, u8* target, const u8* source, size_t count)
{
    const u8 mask = static_cast<u8>(Mask32(control));
    for (size_t i = 0; i < count; ++i) {
        target[i] = static_cast<u8>(target[i] ^ (mask & (source[i] ^ target[i])));
    }
}

// Swaps the `count` words of a and b when control is 1.
inline void CondSwap(u64 control, u64* a, u64* b, size_t count)
{
    const u64 mask = Mask64(control);
    for (size_t i = 0; i < count; ++i) {
        const u64 t = mask & (a[i] ^ b[i]);
        a[i] ^= t;
        b[i] ^= t;
    }
}

// 1 when the `count` bytes of a and b are equal: the differences are OR-ed over the full
// length, so the time does not depend on where they differ. The result is a control for
// the masks above; only a caller's final decision may branch on it.
inline u32 BytesEqual(const u8* a, const u8* b, size_t count)
{
    u32 difference = 0;
    for (size_t i = 0; i < count; ++i) {
        difference |= static_cast<u32>(a[i] ^ b[i]);
    }
    return Eq(difference, 0);
}

// Overwrites secrets with zeros by a store the compiler may not remove as dead.
inline void Wipe(void* data, size_t count)
{
    if (data != nullptr && count != 0) {
        ::explicit_bzero(data, count);
    }
}

} // namespace ct

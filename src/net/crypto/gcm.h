#pragma once
// AES-GCM (NIST SP 800-38D) with a 16-byte tag, over a key context that the caller owns.
//
// The core takes any nonce length of at least one byte and any amount of additional
// data; GcmSeal and GcmOpen are the TLS 1.3 record layer's form (5 bytes of additional
// data: the record header). Counter blocks run on AES as aes.h chooses; GHASH uses the
// processor's carry-less multiply when present, else the 8-bit table method.
// CT: on the AES- and carry-less-multiply instruction paths nothing depends on secret
// values; the table paths index tables with key-dependent bytes and leak cache timing.
// The tag is always compared over all 16 bytes without an early exit.
#include "net/crypto/aes.h"

struct alignas(16) sGcmKey
{
    sAesKeySchedule m_schedule;
    // Entry b = H times the element whose coefficients x^0..x^7 are the bits of b from the
    // most significant: entry 0 is 0, entry 0x80 is H. Each entry is the 128-bit value as
    // two native words, bytes 0..7 then 8..15 taken big-endian.
    u64 m_table[256][2];
    // H^1..H^8 byte-reversed, for the carry-less-multiply GHASH (unused without it).
    u8 m_powers[8][16];
};
static_assert(offsetof(sGcmKey, m_schedule) % 16 == 0, "the AES schedule is 16-byte aligned");

constexpr u32 kGcmTagSize = 16;
constexpr u32 kGcmRecordAadSize = 5;

// Expands the AES key and builds the GHASH tables. False for a null key or a size other
// than 128, 192 or 256 bits; the context is then unusable.
// CT: only the key size leaks (on the instruction paths).
[[nodiscard]] bool GcmSetKey(sGcmKey& key, const u8* keyBytes, u32 bits);

// X = X times H in GF(2^128) by the 8-bit-table method (SP 800-38D 6.3). `x` is 16 bytes.
void GhashMultiply(const sGcmKey& key, u8* x);

// Encrypts `length` bytes from `in` to `out` (which may be the same buffer) and writes the
// 16-byte tag. False, with nothing written, for a null or empty nonce, a null buffer with
// a non-zero length, or more data than the 32-bit counter covers (2^32 - 2 blocks).
[[nodiscard]] bool GcmSealAny(const sGcmKey& key, const u8* nonce, size_t nonceLength,
                              const u8* aad, size_t aadLength, const u8* in, size_t length,
                              u8* out, u8* tag);
// Decrypts `length` bytes from `in` to `out` and checks `tag`. The plaintext is written
// whatever the tag says: on false the caller MUST discard (and wipe) it. False also for
// the argument faults of GcmSealAny.
[[nodiscard]] bool GcmOpenAny(const sGcmKey& key, const u8* nonce, size_t nonceLength,
                              const u8* aad, size_t aadLength, const u8* in, size_t length,
                              u8* out, const u8* tag);

// The record layer's form: exactly 5 bytes of additional data.
[[nodiscard]] bool GcmSeal(const sGcmKey& key, const u8* nonce, size_t nonceLength,
                           const u8* aad5, const u8* in, size_t length, u8* out, u8* tag);
[[nodiscard]] bool GcmOpen(const sGcmKey& key, const u8* nonce, size_t nonceLength,
                           const u8* aad5, const u8* in, size_t length, u8* out,
                           const u8* tag);

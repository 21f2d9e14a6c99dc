#pragma once
// The check of a decrypted TLS 1.2 AES-CBC record (RFC 5246 6.2.3.2): padding and
// HMAC-SHA1 verified together, in time that does not depend on the padding or the MAC.
#include "base/types.h"

inline constexpr u32 kTls12MacSize = 20;

// `plain` is the decrypted record body after the explicit IV: data, 20-byte MAC, padding,
// padding length byte (`size` bytes, a multiple of 16). The MAC key is 20 bytes; the MAC
// covers seq_num (8, big-endian), type, 03 03, length (2) and the data.
// Returns 1 when the padding length p is below 16, the p padding bytes all equal p and
// the MAC matches; else 0. `dataLength` is size - 21 - p (with p taken as 0 when the
// padding is bad, so that the MAC runs over the same length either way).
// CT: only `size` and the result leak; the padding length, the padding and the MAC are
// read, compared and hashed with masks over a fixed number of SHA-1 blocks (the length
// hidden as in "Lucky Thirteen" countermeasures).
u32 CheckTls12CbcRecord(const u8* macKey, u64 sequence, u8 type, const u8* plain, u32 size,
                        u32& dataLength);

// HMAC-SHA1 over `header` (13 bytes) and data[0..dataLength), where dataLength is secret
// but lies within [minLength, maxLength] and data holds at least maxLength bytes.
// CT: the time depends only on minLength and maxLength.
void HmacSha1SecretLength(const u8* key, const u8* header, const u8* data, u32 dataLength,
                          u32 minLength, u32 maxLength, u8* out);

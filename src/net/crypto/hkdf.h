#pragma once
// HKDF-Expand (RFC 5869 2.3) and the TLS 1.3 HKDF-Expand-Label (RFC 8446 7.1) with
// HMAC-SHA256 (PRK of 32 bytes) and HMAC-SHA384 (48 bytes). HKDF-Extract is
// HMAC(salt, input keying material) and is written out where it is used.
// CT: the time depends only on the lengths.
#include "base/types.h"

// T(i) = HMAC(PRK, T(i-1) | info | i), counter from 1; the output is the first
// `outLength` bytes of T(1) T(2) ... False for a null PRK or output, an output length of
// 0 or above 255 times the hash size, or a non-zero info length with null info.
[[nodiscard]] bool HkdfExpand256(const u8* prk, const u8* info, size_t infoLength, u8* out,
                                 size_t outLength);
[[nodiscard]] bool HkdfExpand384(const u8* prk, const u8* info, size_t infoLength, u8* out,
                                 size_t outLength);

// HKDF-Expand over the HkdfLabel structure: the output length (2 bytes big-endian), the
// length of "tls13 " + label (1 byte), "tls13 ", the label (zero-terminated text, without
// its terminator), the context length (1 byte), the context. False for a null label, a
// label over 249 bytes, a context over 255 bytes, a non-zero context length with a null
// context, and the faults of HkdfExpand.
[[nodiscard]] bool HkdfExpandLabel256(const u8* secret, const u8* context, size_t contextLength,
                                      const char* label, u8* out, size_t outLength);
[[nodiscard]] bool HkdfExpandLabel384(const u8* secret, const u8* context, size_t contextLength,
                                      const char* label, u8* out, size_t outLength);

// Builds the HkdfLabel structure into `out` (at least 2 + 1 + 255 + 1 + 255 bytes) and
// gives its size, or 0 for the label and context faults above.
size_t BuildHkdfLabel(u16 outLength, const char* label, const u8* context, size_t contextLength,
                      u8* out);

#pragma once
// HMAC (RFC 2104) with SHA-1, SHA-256 and SHA-384, and the one-shot hashes the TLS key
// schedule needs. Plain functions over caller-owned buffers.
// CT: the time depends only on the key and data lengths.
#include "base/types.h"

// A message given as consecutive pieces (HKDF and the TLS 1.2 PRF hash concatenations).
struct sHmacPart
{
    const void* m_data;
    size_t m_length;
};

// HMAC-SHA1, 20 bytes out. A key longer than the 64-byte block is hashed first.
void HmacSha1(const void* data, size_t length, const u8* key, size_t keyLength, u8* out);
// HMAC-SHA256, 32 bytes out. A key longer than 64 bytes is hashed first.
void HmacSha256(const void* data, size_t length, const u8* key, size_t keyLength, u8* out);
// HMAC-SHA384, 48 bytes out; the block is 128 bytes, and longer keys are hashed first.
void HmacSha384(const void* data, size_t length, const u8* key, size_t keyLength, u8* out);

// The same over the concatenation of `count` parts.
void HmacSha1Parts(const sHmacPart* parts, size_t count, const u8* key, size_t keyLength, u8* out);
void HmacSha256Parts(const sHmacPart* parts, size_t count, const u8* key, size_t keyLength,
                     u8* out);
void HmacSha384Parts(const sHmacPart* parts, size_t count, const u8* key, size_t keyLength,
                     u8* out);

// One-shot SHA-256, 32 bytes out. A length of -1 means a zero-terminated text.
void Sha256(const void* data, i64 length, u8* out);
// SHA-384 of the empty message, 48 bytes out.
void Sha384Empty(u8* out);

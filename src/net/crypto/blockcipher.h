#pragma once
// The abstract block cipher under the chaining modes (cbc.h) and the TLS 1.2 records.
// CT: each implementation states what it leaks; the AES one (aescipher.h) leaks what
// aes.h says of the path in use.
#include "base/types.h"

class cBlockCipher
{
public:
    virtual ~cBlockCipher() = default;

    // A code naming the algorithm (2 = AES).
    virtual i32 GetKind() const = 0;
    virtual bool SupportsKeySize(u32 bits) const = 0;
    // Keys the cipher. False for a null key or a size SupportsKeySize refuses.
    [[nodiscard]] virtual bool SetKey(const u8* key, u32 bits) = 0;
    // Forgets the key material; the base holds none.
    virtual void Wipe() {}
    virtual u32 GetBlockSize() const = 0;
    // One block each; `in` and `out` may be the same buffer. False when a pointer is null
    // or no key is set.
    [[nodiscard]] virtual bool EncryptBlock(const u8* in, u8* out) = 0;
    [[nodiscard]] virtual bool DecryptBlock(const u8* in, u8* out) = 0;
    // A new cipher of the same class without a key, owned by the caller (null when memory
    // is short).
    virtual cBlockCipher* Clone() const = 0;
};

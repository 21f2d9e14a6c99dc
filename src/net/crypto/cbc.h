#pragma once
// Block-chaining modes over any cBlockCipher; cBlockCBC is cipher block chaining
// (NIST SP 800-38A 6.2). The TLS 1.2 record layer owns one per direction and sets a fresh
// 16-byte IV before every record.
//
// The IV acts as an extra XOR on top of chaining registers that start at zero: each byte
// position takes the next unused IV byte (0 once the IV is used up). With a 16-byte IV
// and 16-byte blocks this is plain CBC with that IV.
#include "net/crypto/blockcipher.h"

// The largest block a mode accepts (Rijndael's 256 bits); larger ciphers are refused.
constexpr u32 kMaxChainedBlockSize = 32;

// The class name keeps the system's spelling.
class cBlockCihperChaining
{
public:
    cBlockCihperChaining() = default;
    cBlockCihperChaining(const cBlockCihperChaining&) = delete;
    cBlockCihperChaining& operator=(const cBlockCihperChaining&) = delete;
    // Deletes an owned cipher and wipes the IV.
    virtual ~cBlockCihperChaining();

    // The mode's kind (1 = CBC).
    virtual i32 GetKind() const = 0;
    // Takes `cipher` in ownership (deleting a different cipher owned before) and resets
    // the chain. True when the cipher is not null and its block is at most 32 bytes.
    virtual bool SetCipherOwned(cBlockCipher* cipher);
    // The same without ownership: the caller keeps the cipher alive while it is attached.
    virtual bool SetCipherBorrowed(cBlockCipher* cipher);
    // Restarts the chain; with bytes, also replaces the IV (zero-padded to a multiple of
    // 8 bytes). Null bytes restart with the IV already held. When memory is short the IV
    // becomes empty.
    virtual void SetIV(const u8* bytes, u32 length);
    // Whole blocks only. False, with nothing written, without a cipher, for a null buffer,
    // a length of 0 or a length that is not a multiple of the block size (no caller
    // passes a partial block). `in` and `out` may be the same buffer.
    [[nodiscard]] virtual bool Encrypt(const u8* in, u8* out, u32 length) = 0;
    [[nodiscard]] virtual bool Decrypt(const u8* in, u8* out, u32 length) = 0;

protected:
    // Called when a cipher is attached or the IV is set: both IV positions to 0.
    virtual void Reset();
    // The next IV byte for encryption or decryption, 0 once the IV is used up.
    u8 NextEncryptIvByte();
    u8 NextDecryptIvByte();

    cBlockCipher* m_cipher = nullptr;
    cBlockCipher* m_ownedCipher = nullptr;
    u8* m_iv = nullptr;
    u32 m_ivSize = 0;
    u32 m_encryptIvPosition = 0;
    u32 m_decryptIvPosition = 0;

private:
    enum class eOwnership { Owned, Borrowed };
    bool Attach(cBlockCipher* cipher, eOwnership ownership);
};

class cBlockCBC final : public cBlockCihperChaining
{
public:
    cBlockCBC() = default;
    // Zeroes both chaining registers and the work block.
    ~cBlockCBC() override;

    i32 GetKind() const override { return 1; }
    void SetIV(const u8* bytes, u32 length) override;
    // CT: the time depends only on the length.
    [[nodiscard]] bool Encrypt(const u8* in, u8* out, u32 length) override;
    [[nodiscard]] bool Decrypt(const u8* in, u8* out, u32 length) override;

protected:
    // Also sizes the work block and both registers to the cipher's block size, zeroed.
    void Reset() override;

private:
    bool Usable(const u8* in, const u8* out, u32 length) const;
    bool DecryptOneBlock(const u8* in, u8* out);

    u8 m_work[kMaxChainedBlockSize] = {};
    u8 m_encryptRegister[kMaxChainedBlockSize] = {};
    u8 m_decryptRegister[kMaxChainedBlockSize] = {};
    u32 m_blockSize = 0;
};

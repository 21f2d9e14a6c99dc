#pragma once
// AES behind the block-cipher interface: the cipher of the TLS 1.2 CBC suites.
#include "net/crypto/aes.h"
#include "net/crypto/blockcipher.h"

class cAESCipher final : public cBlockCipher
{
public:
    static constexpr i32 kKind = 2;

    cAESCipher() = default;
    cAESCipher(const cAESCipher&) = delete;
    cAESCipher& operator=(const cAESCipher&) = delete;
    // Wipes the key and both schedules.
    ~cAESCipher() override;

    i32 GetKind() const override { return kKind; }
    // 128, 192 and 256 bits only.
    bool SupportsKeySize(u32 bits) const override;
    // CT: only the key size leaks.
    [[nodiscard]] bool SetKey(const u8* key, u32 bits) override;
    // Zeroes both schedules and the key bytes; block operations then fail until SetKey.
    void Wipe() override;
    u32 GetBlockSize() const override { return kAesBlockSize; }
    [[nodiscard]] bool EncryptBlock(const u8* in, u8* out) override;
    [[nodiscard]] bool DecryptBlock(const u8* in, u8* out) override;
    cBlockCipher* Clone() const override;

    // CBC encryption of whole blocks (see AesCbcEncryptBlocks). False without a key.
    [[nodiscard]] bool EncryptBlocksCbc(u8* chain, const u8* in, u8* out, size_t blocks);
    // CBC decryption of whole blocks with the decryption schedule, several blocks at a
    // time on the instruction path (see AesCbcDecryptBlocks). False without a key.
    [[nodiscard]] bool DecryptBlocksCbc(u8* chain, const u8* in, u8* out, size_t blocks);

private:
    bool HoldsKey() const;

    u8 m_key[32] = {};    // the raw key bytes, (bits + 7) / 8 of them in use
    u32 m_keyBits = 0;
    sAesKeySchedule m_decryptSchedule = {};
    sAesKeySchedule m_encryptSchedule = {};
};

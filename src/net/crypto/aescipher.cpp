#include "net/crypto/aescipher.h"

#include "net/crypto/consttime.h"

#include <cstring>
#include <new>

cAESCipher::~cAESCipher() { Wipe(); }

bool cAESCipher::SupportsKeySize(u32 bits) const
{
    return bits == 128 || bits == 192 || bits == 256;
}

bool cAESCipher::SetKey(const u8* key, u32 bits)
{
    if (key == nullptr || !SupportsKeySize(bits)) {
        return false;
    }
    if (!AesSetEncryptKey(m_encryptSchedule, key, bits) ||
        !AesSetDecryptKey(m_decryptSchedule, key, bits)) {
        return false;
    }
    m_keyBits = bits;
    std::memcpy(m_key, key, (bits + 7) / 8);
    return true;
}

void cAESCipher::Wipe()
{
    ct::Wipe(&m_encryptSchedule, sizeof(m_encryptSchedule));
    ct::Wipe(&m_decryptSchedule, sizeof(m_decryptSchedule));
    ct::Wipe(m_key, sizeof(m_key));
}

bool cAESCipher::EncryptBlock(const u8* in, u8* out)
{
    return AesEncryptBlock(m_encryptSchedule, in, out);
}

bool cAESCipher::DecryptBlock(const u8* in, u8* out)
{
    return AesDecryptBlock(m_decryptSchedule, in, out);
}

bool cAESCipher::HoldsKey() const
{
    const i32 rounds = m_encryptSchedule.m_rounds;
    return (rounds == 10 || rounds == 12 || rounds == 14) && m_decryptSchedule.m_rounds == rounds;
}

bool cAESCipher::EncryptBlocksCbc(u8* chain, const u8* in, u8* out, size_t blocks)
{
    if (!HoldsKey()) {
        return false;
    }
    AesCbcEncryptBlocks(m_encryptSchedule, chain, in, out, blocks);
    return true;
}

bool cAESCipher::DecryptBlocksCbc(u8* chain, const u8* in, u8* out, size_t blocks)
{
    if (!HoldsKey()) {
        return false;
    }
    AesCbcDecryptBlocks(m_decryptSchedule, chain, in, out, blocks);
    return true;
}

cBlockCipher* cAESCipher::Clone() const { return new (std::nothrow) cAESCipher(); }

#include "net/crypto/cbc.h"

#include "net/crypto/aescipher.h"
#include "net/crypto/consttime.h"

#include <cstring>
#include <new>

cBlockCihperChaining::~cBlockCihperChaining()
{
    delete m_ownedCipher;
    ct::Wipe(m_iv, m_ivSize);
    delete[] m_iv;
}

bool cBlockCihperChaining::Attach(cBlockCipher* cipher, eOwnership ownership)
{
    if (cipher == nullptr || cipher->GetBlockSize() == 0 ||
        cipher->GetBlockSize() > kMaxChainedBlockSize) {
        return false;
    }
    // Re-attaching the cipher already owned must not delete it.
    if (m_ownedCipher != nullptr && m_ownedCipher != cipher) {
        delete m_ownedCipher;
    }
    m_ownedCipher = ownership == eOwnership::Owned ? cipher : nullptr;
    m_cipher = cipher;
    Reset();
    return true;
}

bool cBlockCihperChaining::SetCipherOwned(cBlockCipher* cipher) { return Attach(cipher, eOwnership::Owned); }

bool cBlockCihperChaining::SetCipherBorrowed(cBlockCipher* cipher) { return Attach(cipher, eOwnership::Borrowed); }

void cBlockCihperChaining::Reset()
{
    m_encryptIvPosition = 0;
    m_decryptIvPosition = 0;
}

void cBlockCihperChaining::SetIV(const u8* bytes, u32 length)
{
    m_encryptIvPosition = 0;
    m_decryptIvPosition = 0;
    if (bytes == nullptr || length == 0) {
        return;
    }
    const u32 size = static_cast<u32>((u64(length) + 7) & ~u64(7));
    if (size != m_ivSize) {
        ct::Wipe(m_iv, m_ivSize);
        delete[] m_iv;
        m_iv = new (std::nothrow) u8[size];
        m_ivSize = m_iv != nullptr ? size : 0;
        if (m_iv == nullptr) {
            return;
        }
    }
    std::memcpy(m_iv, bytes, length);
    std::memset(m_iv + length, 0, size - length);
}

u8 cBlockCihperChaining::NextEncryptIvByte()
{
    return m_encryptIvPosition < m_ivSize ? m_iv[m_encryptIvPosition++] : 0;
}

u8 cBlockCihperChaining::NextDecryptIvByte()
{
    return m_decryptIvPosition < m_ivSize ? m_iv[m_decryptIvPosition++] : 0;
}

cBlockCBC::~cBlockCBC()
{
    ct::Wipe(m_work, sizeof(m_work));
    ct::Wipe(m_encryptRegister, sizeof(m_encryptRegister));
    ct::Wipe(m_decryptRegister, sizeof(m_decryptRegister));
}

void cBlockCBC::Reset()
{
    cBlockCihperChaining::Reset();
    if (m_cipher == nullptr) {
        return;
    }
    m_blockSize = m_cipher->GetBlockSize();
    ct::Wipe(m_work, sizeof(m_work));
    ct::Wipe(m_encryptRegister, sizeof(m_encryptRegister));
    ct::Wipe(m_decryptRegister, sizeof(m_decryptRegister));
}

void cBlockCBC::SetIV(const u8* bytes, u32 length)
{
    cBlockCihperChaining::SetIV(bytes, length);
    Reset();
}

bool cBlockCBC::Usable(const u8* in, const u8* out, u32 length) const
{
    return m_cipher != nullptr && in != nullptr && out != nullptr && length != 0 &&
           length % m_blockSize == 0;
}

bool cBlockCBC::Encrypt(const u8* in, u8* out, u32 length)
{
    if (!Usable(in, out, length)) {
        return false;
    }
    // Once the IV is used up the rest is plain CBC with the register as the chaining
    // value, which AES runs without the byte-wise IV bookkeeping.
    auto* aes = dynamic_cast<cAESCipher*>(m_cipher);
    bool ok = true;
    u32 at = 0;
    for (; ok && at < length && (aes == nullptr || m_encryptIvPosition < m_ivSize);
         at += m_blockSize) {
        for (u32 i = 0; i < m_blockSize; ++i) {
            m_work[i] = in[at + i] ^ m_encryptRegister[i] ^ NextEncryptIvByte();
        }
        ok = m_cipher->EncryptBlock(m_work, out + at);
        std::memcpy(m_encryptRegister, out + at, m_blockSize);
    }
    ct::Wipe(m_work, sizeof(m_work));
    if (!ok || at >= length) {
        return ok;
    }
    return aes->EncryptBlocksCbc(m_encryptRegister, in + at, out + at,
                                 (length - at) / kAesBlockSize);
}

bool cBlockCBC::DecryptOneBlock(const u8* in, u8* out)
{
    // The cipher text is saved first because `out` may be `in`.
    std::memcpy(m_work, in, m_blockSize);
    if (!m_cipher->DecryptBlock(m_work, out)) {
        return false;
    }
    for (u32 i = 0; i < m_blockSize; ++i) {
        out[i] ^= m_decryptRegister[i] ^ NextDecryptIvByte();
    }
    std::memcpy(m_decryptRegister, m_work, m_blockSize);
    return true;
}

bool cBlockCBC::Decrypt(const u8* in, u8* out, u32 length)
{
    if (!Usable(in, out, length)) {
        return false;
    }
    // Once the IV is used up the rest is plain CBC with the register as the chaining
    // value, which AES decrypts several blocks at a time.
    auto* aes = dynamic_cast<cAESCipher*>(m_cipher);
    u32 at = 0;
    for (; at < length && (aes == nullptr || m_decryptIvPosition < m_ivSize); at += m_blockSize) {
        if (!DecryptOneBlock(in + at, out + at)) {
            return false;
        }
    }
    if (at == length) {
        return true;
    }
    return aes->DecryptBlocksCbc(m_decryptRegister, in + at, out + at,
                                 (length - at) / kAesBlockSize);
}

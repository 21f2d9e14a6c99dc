#pragma once
// A response receiver for the peer tests: hashes the body with libcrypto's SHA-256, keeps
// its first bytes, and checks that the offsets it is given are contiguous.
#include "net/http/httpresponse.h"
#include "net/vectors.h"

#include <openssl/evp.h>

#include <string>
#include <vector>

namespace nettest {

inline std::string Sha256Hex(const void* data, size_t size)
{
    unsigned char digest[32];
    unsigned int length = 0;
    EVP_Digest(data, size, digest, &length, EVP_sha256(), nullptr);
    return ToHex(digest, length);
}
inline std::string Sha256Hex(const std::string& data) { return Sha256Hex(data.data(), data.size()); }

class cBodyDigest : public cHttpResponse
{
public:
    cBodyDigest() { Restart(); }
    ~cBodyDigest() override { EVP_MD_CTX_free(m_hash); }

    void Reset() override
    {
        cHttpResponse::Reset();
        Restart();
    }
    bool OnData(const u8* bytes, u32 count, u64 offset) override
    {
        m_contiguous = m_contiguous && offset == m_bytes;
        EVP_DigestUpdate(m_hash, bytes, count);
        m_bytes += count;
        const size_t keep = m_head.size() < kKeptBytes ? kKeptBytes - m_head.size() : 0;
        m_head.append(reinterpret_cast<const char*>(bytes), count < keep ? count : keep);
        return true;
    }
    std::string Digest()
    {
        unsigned char digest[32];
        unsigned int length = 0;
        EVP_MD_CTX* copy = EVP_MD_CTX_new();
        EVP_MD_CTX_copy_ex(copy, m_hash);
        EVP_DigestFinal_ex(copy, digest, &length);
        EVP_MD_CTX_free(copy);
        return ToHex(digest, length);
    }

    static constexpr size_t kKeptBytes = 4096;
    u64 m_bytes = 0;
    std::string m_head;
    bool m_contiguous = true;

private:
    void Restart()
    {
        if (m_hash == nullptr) {
            m_hash = EVP_MD_CTX_new();
        }
        EVP_DigestInit_ex(m_hash, EVP_sha256(), nullptr);
        m_bytes = 0;
        m_head.clear();
        m_contiguous = true;
    }
    EVP_MD_CTX* m_hash = nullptr;
};

} // namespace nettest

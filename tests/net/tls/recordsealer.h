#pragma once
// TLS 1.3 AES-GCM records (RFC 8446 5.2) sealed and opened by libcrypto, as an independent
// server would, with the keys given.
#include <openssl/evp.h>
#include <openssl/kdf.h>

#include <cstdint>
#include <string>
#include <vector>

namespace nettest {

using Bytes = std::vector<uint8_t>;

// `inner` is the data followed by its content type and any zero padding.
inline Bytes SealTls13Record(const Bytes& key, const Bytes& iv, uint64_t sequence, const Bytes& inner)
{
    Bytes nonce = iv;
    for (int i = 0; i < 8; ++i) {
        nonce[4 + i] ^= static_cast<uint8_t>(sequence >> (56 - 8 * i));
    }
    const size_t length = inner.size() + 16;
    Bytes record = {0x17, 0x03, 0x03, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)};
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    const EVP_CIPHER* cipher = key.size() == 16 ? EVP_aes_128_gcm() : EVP_aes_256_gcm();
    int out = 0;
    Bytes sealed(inner.size() + 16);
    EVP_EncryptInit_ex(ctx, cipher, nullptr, key.data(), nonce.data());
    EVP_EncryptUpdate(ctx, nullptr, &out, record.data(), 5);
    EVP_EncryptUpdate(ctx, sealed.data(), &out, inner.data(), int(inner.size()));
    EVP_EncryptFinal_ex(ctx, sealed.data() + out, &out);
    EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_GCM_GET_TAG, 16, sealed.data() + inner.size());
    EVP_CIPHER_CTX_free(ctx);
    record.insert(record.end(), sealed.begin(), sealed.end());
    return record;
}

// Opens a TLS 1.3 record; empty when the tag does not verify.
inline Bytes OpenTls13RecordWithLibcrypto(const Bytes& key, const Bytes& iv, uint64_t sequence,
                                          const Bytes& record)
{
    if (record.size() < 5 + 16) {
        return {};
    }
    Bytes nonce = iv;
    for (int i = 0; i < 8; ++i) {
        nonce[4 + i] ^= static_cast<uint8_t>(sequence >> (56 - 8 * i));
    }
    const size_t length = record.size() - 5 - 16;
    Bytes plain(length + 1);
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    int out = 0;
    EVP_DecryptInit_ex(ctx, key.size() == 16 ? EVP_aes_128_gcm() : EVP_aes_256_gcm(), nullptr,
                       key.data(), nonce.data());
    EVP_DecryptUpdate(ctx, nullptr, &out, record.data(), 5);
    EVP_DecryptUpdate(ctx, plain.data(), &out, record.data() + 5, int(length));
    EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_GCM_SET_TAG, 16, const_cast<uint8_t*>(record.data() + 5 + length));
    const bool ok = EVP_DecryptFinal_ex(ctx, plain.data() + out, &out) == 1;
    EVP_CIPHER_CTX_free(ctx);
    plain.resize(length);
    return ok ? plain : Bytes{};
}

// RFC 8446 7.1 HKDF-Expand-Label(secret, label, "", size) by libcrypto's HKDF (SHA-256).
inline Bytes ExpandLabelWithLibcrypto(const Bytes& secret, const std::string& label, size_t size)
{
    const std::string full = "tls13 " + label;
    Bytes info = {uint8_t(size >> 8), uint8_t(size), uint8_t(full.size())};
    info.insert(info.end(), full.begin(), full.end());
    info.push_back(0);
    Bytes out(size);
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_id(EVP_PKEY_HKDF, nullptr);
    EVP_PKEY_derive_init(ctx);
    EVP_PKEY_CTX_set_hkdf_mode(ctx, EVP_PKEY_HKDEF_MODE_EXPAND_ONLY);
    EVP_PKEY_CTX_set_hkdf_md(ctx, EVP_sha256());
    EVP_PKEY_CTX_set1_hkdf_key(ctx, secret.data(), int(secret.size()));
    EVP_PKEY_CTX_add1_hkdf_info(ctx, info.data(), int(info.size()));
    size_t length = size;
    EVP_PKEY_derive(ctx, out.data(), &length);
    EVP_PKEY_CTX_free(ctx);
    return out;
}

// A TLS 1.2 CBC record of `type` with the given padding length byte value (every padding
// byte holds it, except the first when `spoilPadding`), MAC key and IV. The data, the
// MAC and the padding MUST fill whole blocks.

} // namespace nettest

// Our cryptographic primitives beside OpenSSL's libcrypto on the same buffers. Each Ours
// row has an OpenSSL row of the same name; compare bytes_per_second (items for X25519).
// The OursTable rows force the portable AES and GHASH (OursTableGhash only the GHASH), the
// OursWithoutShaExt row SHA-256 without the SHA extensions; compare them with a second run
// of the OpenSSL rows with its AES-NI, PCLMUL and SHA extensions masked:
//   OPENSSL_ia32cap="~0x200000200000000:~0x20000000" crypto_bench --benchmark_filter=OpenSSL
// Links: qel_net_test_hooks qel_net_crypto qel_base
#include "net/crypto/aescipher.h"
#include "net/crypto/cbc.h"
#include "net/crypto/gcm.h"
#include "net/crypto/hmac.h"
#include "net/crypto/sha1.h"
#include "net/crypto/sha256.h"
#include "net/crypto/sha384.h"
#include "net/crypto/x25519.h"
#include "testhooks/nethooks.h"

#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <memory>
#include <vector>

namespace {

std::vector<u8> Buffer(size_t size)
{
    std::vector<u8> data(size);
    for (size_t i = 0; i < size; ++i) {
        data[i] = static_cast<u8>(i * 131 + 7);
    }
    return data;
}

const u8 kKey[32] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16,
                     17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32};
// A whole block: libcrypto reads 16 bytes as a CBC IV; GCM takes the first 12.
const u8 kNonce[16] = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 1, 2, 3, 4, 5, 6};

enum class eImpl { Ours, OursTable, OursTableGhash };

// Forces the portable paths (or only the table GHASH) for one benchmark run.
struct sTablePaths
{
    explicit sTablePaths(eImpl impl)
    {
        if (impl == eImpl::OursTable) {
            SelectAesPathForTesting(&AesTablePath());
        }
        SelectGhashPathForTesting(&GhashTablePath());
    }
    ~sTablePaths()
    {
        SelectAesPathForTesting(nullptr);
        SelectGhashPathForTesting(nullptr);
    }
};


// --- hashes ---------------------------------------------------------------------------

template <typename Digest>
void RunDigest(benchmark::State& state, Digest digest)
{
    const auto data = Buffer(static_cast<size_t>(state.range(0)));
    u8 out[64];
    for (auto _ : state) {
        digest(data.data(), data.size(), out);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}

void Sha1_Ours(benchmark::State& state)
{
    RunDigest(state, [](const u8* p, size_t n, u8* out) {
        sSha1Ctx ctx;
        Sha1Init(ctx);
        Sha1Update(ctx, p, n);
        Sha1Final(ctx);
        Sha1Digest(out, ctx);
    });
}
void Sha256_Ours(benchmark::State& state)
{
    RunDigest(state, [](const u8* p, size_t n, u8* out) { Sha256(p, static_cast<i64>(n), out); });
}
// The compression chosen without the SHA extensions (QEL_CPU_FEATURES_OFF=sha: the BMI2
// build where the processor has it, else the portable one), for comparison with OpenSSL's
// SHA-256 with its SHA extensions masked (the second run in the comment at the top).
void Sha256_OursWithoutShaExt(benchmark::State& state)
{
    SelectSha256BlocksForTesting(Sha256Bmi2Blocks() != nullptr ? Sha256Bmi2Blocks() : Sha256CompressBlocksPortable);
    Sha256_Ours(state);
    SelectSha256BlocksForTesting(nullptr);
}
void Sha384_Ours(benchmark::State& state)
{
    RunDigest(state, [](const u8* p, size_t n, u8* out) {
        sSha384Ctx ctx;
        Sha384Init(ctx);
        Sha384Update(ctx, p, n);
        Sha384Final(ctx, out);
    });
}
template <const EVP_MD* (*Md)()>
void Digest_OpenSSL(benchmark::State& state)
{
    RunDigest(state, [](const u8* p, size_t n, u8* out) {
        unsigned size = 0;
        EVP_Digest(p, n, out, &size, Md(), nullptr);
    });
}
BENCHMARK(Sha1_Ours)->Arg(64)->Arg(16384);
BENCHMARK(Digest_OpenSSL<EVP_sha1>)->Name("Sha1_OpenSSL")->Arg(64)->Arg(16384);
BENCHMARK(Sha256_Ours)->Arg(64)->Arg(16384);
BENCHMARK(Sha256_OursWithoutShaExt)->Arg(64)->Arg(16384);
BENCHMARK(Digest_OpenSSL<EVP_sha256>)->Name("Sha256_OpenSSL")->Arg(64)->Arg(16384);
BENCHMARK(Sha384_Ours)->Arg(64)->Arg(16384);
BENCHMARK(Digest_OpenSSL<EVP_sha384>)->Name("Sha384_OpenSSL")->Arg(64)->Arg(16384);

void HmacSha256_Ours(benchmark::State& state)
{
    RunDigest(state, [](const u8* p, size_t n, u8* out) { HmacSha256(p, n, kKey, 32, out); });
}
void HmacSha256_OpenSSL(benchmark::State& state)
{
    RunDigest(state, [](const u8* p, size_t n, u8* out) {
        unsigned size = 0;
        HMAC(EVP_sha256(), kKey, 32, p, n, out, &size);
    });
}
BENCHMARK(HmacSha256_Ours)->Arg(64);
BENCHMARK(HmacSha256_OpenSSL)->Arg(64);

// --- AES blocks and CBC ---------------------------------------------------------------

constexpr int64_t kBulk = 16384;

void AesBlocks_Ours(benchmark::State& state, eImpl impl)
{
    std::unique_ptr<sTablePaths> table(impl != eImpl::Ours ? new sTablePaths(impl) : nullptr);
    sAesKeySchedule schedule;
    (void)AesSetEncryptKey(schedule, kKey, 128);
    auto data = Buffer(kBulk);
    for (auto _ : state) {
        for (size_t at = 0; at < data.size(); at += 16) {
            (void)AesEncryptBlock(schedule, data.data() + at, data.data() + at);
        }
        benchmark::DoNotOptimize(data.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kBulk);
}
BENCHMARK_CAPTURE(AesBlocks_Ours, Instructions, eImpl::Ours)->Name("Aes128Blocks_Ours");
BENCHMARK_CAPTURE(AesBlocks_Ours, Table, eImpl::OursTable)->Name("Aes128Blocks_OursTable");

// One EVP cipher run over the bulk buffer (ECB, CBC, GCM seal or open).
void RunEvp(benchmark::State& state, const EVP_CIPHER* type, int encrypt, bool gcm, size_t size)
{
    auto data = Buffer(size);
    std::vector<u8> out(size + 16);
    const u8 aad[5] = {23, 3, 3, 0, 0};
    u8 tag[16] = {};
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_CipherInit_ex(ctx, type, nullptr, kKey, kNonce, encrypt);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    for (auto _ : state) {
        int written = 0;
        EVP_CipherInit_ex(ctx, nullptr, nullptr, nullptr, kNonce, -1);
        if (gcm) {
            EVP_CipherUpdate(ctx, nullptr, &written, aad, 5);
        }
        EVP_CipherUpdate(ctx, out.data(), &written, data.data(), static_cast<int>(size));
        if (gcm && encrypt == 0) {
            EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_GCM_SET_TAG, 16, tag);
        }
        EVP_CipherFinal_ex(ctx, out.data() + written, &written);
        if (gcm && encrypt == 1) {
            EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_GCM_GET_TAG, 16, tag);
        }
        benchmark::DoNotOptimize(out.data());
    }
    EVP_CIPHER_CTX_free(ctx);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(size));
}

void Aes128Blocks_OpenSSL(benchmark::State& state) { RunEvp(state, EVP_aes_128_ecb(), 1, false, kBulk); }
BENCHMARK(Aes128Blocks_OpenSSL);

void Cbc_Ours(benchmark::State& state, eImpl impl, u32 bits, bool encrypt)
{
    std::unique_ptr<sTablePaths> table(impl != eImpl::Ours ? new sTablePaths(impl) : nullptr);
    cBlockCBC cbc;
    auto* cipher = new cAESCipher();
    (void)cipher->SetKey(kKey, bits);
    (void)cbc.SetCipherOwned(cipher);
    auto data = Buffer(kBulk);
    for (auto _ : state) {
        cbc.SetIV(kKey, 16);
        const bool ok = encrypt ? cbc.Encrypt(data.data(), data.data(), kBulk)
                                : cbc.Decrypt(data.data(), data.data(), kBulk);
        benchmark::DoNotOptimize(ok);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kBulk);
}
BENCHMARK_CAPTURE(Cbc_Ours, enc128, eImpl::Ours, 128, true)->Name("Aes128CbcEncrypt_Ours");
BENCHMARK_CAPTURE(Cbc_Ours, dec128, eImpl::Ours, 128, false)->Name("Aes128CbcDecrypt_Ours");
BENCHMARK_CAPTURE(Cbc_Ours, dec256, eImpl::Ours, 256, false)->Name("Aes256CbcDecrypt_Ours");
BENCHMARK_CAPTURE(Cbc_Ours, enc128t, eImpl::OursTable, 128, true)->Name("Aes128CbcEncrypt_OursTable");
BENCHMARK_CAPTURE(Cbc_Ours, dec128t, eImpl::OursTable, 128, false)->Name("Aes128CbcDecrypt_OursTable");
void Aes128CbcEncrypt_OpenSSL(benchmark::State& s) { RunEvp(s, EVP_aes_128_cbc(), 1, false, kBulk); }
void Aes128CbcDecrypt_OpenSSL(benchmark::State& s) { RunEvp(s, EVP_aes_128_cbc(), 0, false, kBulk); }
void Aes256CbcDecrypt_OpenSSL(benchmark::State& s) { RunEvp(s, EVP_aes_256_cbc(), 0, false, kBulk); }
BENCHMARK(Aes128CbcEncrypt_OpenSSL);
BENCHMARK(Aes128CbcDecrypt_OpenSSL);
BENCHMARK(Aes256CbcDecrypt_OpenSSL);

// --- GCM ------------------------------------------------------------------------------

void Gcm_Ours(benchmark::State& state, eImpl impl, u32 bits, bool seal)
{
    std::unique_ptr<sTablePaths> table(impl != eImpl::Ours ? new sTablePaths(impl) : nullptr);
    const size_t size = static_cast<size_t>(state.range(0));
    static sGcmKey key; // 4 KiB of tables: keep them off the stack
    (void)GcmSetKey(key, kKey, bits);
    auto data = Buffer(size);
    const u8 aad[5] = {23, 3, 3, 0, 0};
    u8 tag[16] = {};
    for (auto _ : state) {
        const bool ok = seal ? GcmSeal(key, kNonce, 12, aad, data.data(), size, data.data(), tag)
                             : GcmOpen(key, kNonce, 12, aad, data.data(), size, data.data(), tag);
        benchmark::DoNotOptimize(ok);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(size));
}
BENCHMARK_CAPTURE(Gcm_Ours, seal128, eImpl::Ours, 128, true)->Name("Aes128GcmSeal_Ours")->Arg(1024)->Arg(16384);
BENCHMARK_CAPTURE(Gcm_Ours, open128, eImpl::Ours, 128, false)->Name("Aes128GcmOpen_Ours")->Arg(1024)->Arg(16384);
BENCHMARK_CAPTURE(Gcm_Ours, seal256, eImpl::Ours, 256, true)->Name("Aes256GcmSeal_Ours")->Arg(1024)->Arg(16384);
BENCHMARK_CAPTURE(Gcm_Ours, open256, eImpl::Ours, 256, false)->Name("Aes256GcmOpen_Ours")->Arg(1024)->Arg(16384);
BENCHMARK_CAPTURE(Gcm_Ours, seal128t, eImpl::OursTable, 128, true)->Name("Aes128GcmSeal_OursTable")->Arg(16384);
BENCHMARK_CAPTURE(Gcm_Ours, seal128g, eImpl::OursTableGhash, 128, true)->Name("Aes128GcmSeal_OursTableGhash")->Arg(16384);

void Aes128GcmSeal_OpenSSL(benchmark::State& s) { RunEvp(s, EVP_aes_128_gcm(), 1, true, size_t(s.range(0))); }
void Aes128GcmOpen_OpenSSL(benchmark::State& s) { RunEvp(s, EVP_aes_128_gcm(), 0, true, size_t(s.range(0))); }
void Aes256GcmSeal_OpenSSL(benchmark::State& s) { RunEvp(s, EVP_aes_256_gcm(), 1, true, size_t(s.range(0))); }
void Aes256GcmOpen_OpenSSL(benchmark::State& s) { RunEvp(s, EVP_aes_256_gcm(), 0, true, size_t(s.range(0))); }
BENCHMARK(Aes128GcmSeal_OpenSSL)->Arg(1024)->Arg(16384);
BENCHMARK(Aes128GcmOpen_OpenSSL)->Arg(1024)->Arg(16384);
BENCHMARK(Aes256GcmSeal_OpenSSL)->Arg(1024)->Arg(16384);
BENCHMARK(Aes256GcmOpen_OpenSSL)->Arg(1024)->Arg(16384);

// --- X25519 ---------------------------------------------------------------------------

void X25519_Ours(benchmark::State& state)
{
    u8 scalar[32], point[32] = {9}, out[32];
    std::copy(kKey, kKey + 32, scalar);
    for (auto _ : state) {
        X25519ScalarMult(scalar, out, point);
        benchmark::DoNotOptimize(out);
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}
void X25519_OpenSSL(benchmark::State& state)
{
    u8 point[32] = {9};
    EVP_PKEY* own = EVP_PKEY_new_raw_private_key(EVP_PKEY_X25519, nullptr, kKey, 32);
    EVP_PKEY* peer = EVP_PKEY_new_raw_public_key(EVP_PKEY_X25519, nullptr, point, 32);
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(own, nullptr);
    EVP_PKEY_derive_init(ctx);
    EVP_PKEY_derive_set_peer(ctx, peer);
    u8 out[32];
    for (auto _ : state) {
        size_t size = 32;
        EVP_PKEY_derive(ctx, out, &size);
        benchmark::DoNotOptimize(out);
    }
    EVP_PKEY_CTX_free(ctx);
    EVP_PKEY_free(peer);
    EVP_PKEY_free(own);
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(X25519_Ours);
BENCHMARK(X25519_OpenSSL);

} // namespace

BENCHMARK_MAIN();

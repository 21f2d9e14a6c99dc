// The AES-instruction path (AESENC/AESDEC/AESKEYGENASSIST/AESIMC). Every function that
// uses the instructions carries its own target attribute, so the rest of the program is
// built for the baseline processor; aes.cpp calls into this file only when the CPU
// feature record reports the instructions.
// CT: no branch and no memory index depends on key or data bytes.
#include "net/crypto/aespath.h"

#include "base/byteorder.h"

#include <cstring>
#include <immintrin.h>

#define AESNI_TARGET __attribute__((target("aes,sse2")))

namespace {

AESNI_TARGET inline __m128i RoundKey(const sAesKeySchedule& schedule, int index)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(schedule.m_roundKeys + 16 * index));
}

// SubWord of a little-endian word (key bytes in memory order): AESKEYGENASSIST puts
// SubWord(X1) in its result's dword 0. Used instead of the rotate-and-Rcon form so that one
// loop expands every key size word by word, as FIPS 197 5.2 writes it.
AESNI_TARGET inline u32 SubWord(u32 word)
{
    const __m128i value = _mm_shuffle_epi32(_mm_cvtsi32_si128(static_cast<int>(word)), 0x00);
    return static_cast<u32>(_mm_cvtsi128_si32(_mm_aeskeygenassist_si128(value, 0)));
}

AESNI_TARGET void ExpandKey(sAesKeySchedule& schedule, const u8* key, i32 rounds)
{
    const int nk = rounds - 6;
    const int total = 4 * (rounds + 1);
    u32 w[60];
    std::memcpy(w, key, 4 * nk);
    u32 rcon = 1;
    for (int i = nk; i < total; ++i) {
        u32 temp = w[i - 1];
        if (i % nk == 0) {
            // RotWord on memory-order bytes is a right rotation of the little-endian word.
            temp = SubWord((temp >> 8) | (temp << 24)) ^ rcon;
            rcon = (rcon << 1) ^ ((rcon >> 7) * 0x11b);
        } else if (nk > 6 && i % nk == 4) {
            temp = SubWord(temp);
        }
        w[i] = w[i - nk] ^ temp;
    }
    std::memcpy(schedule.m_roundKeys, w, 4 * total);
    explicit_bzero(w, sizeof(w));
}

AESNI_TARGET void InvertSchedule(sAesKeySchedule& schedule)
{
    const int rounds = schedule.m_rounds;
    __m128i keys[15];
    for (int i = 0; i <= rounds; ++i) {
        keys[i] = RoundKey(schedule, rounds - i);
    }
    for (int i = 1; i < rounds; ++i) {
        keys[i] = _mm_aesimc_si128(keys[i]);
    }
    for (int i = 0; i <= rounds; ++i) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(schedule.m_roundKeys + 16 * i), keys[i]);
    }
    explicit_bzero(keys, sizeof(keys));
}

// The counter block: bytes 0..7 `head`, 8..11 `tail`, 12..15 `value` big-endian.
inline __m128i CounterBlock(u64 head, u32 tail, u32 value)
{
    const u64 low = u64(tail) | (u64(__builtin_bswap32(value)) << 32);
    return _mm_set_epi64x(static_cast<long long>(low), static_cast<long long>(head));
}

// The round keys in registers for a bulk run.
struct sRoundKeys
{
    __m128i k[15];
    int rounds;
};

AESNI_TARGET inline void LoadRoundKeys(const sAesKeySchedule& schedule, sRoundKeys& keys)
{
    keys.rounds = schedule.m_rounds;
    keys.k[0] = RoundKey(schedule, 0);
    for (int i = 1; i <= keys.rounds; ++i) {
        keys.k[i] = RoundKey(schedule, i);
    }
}

// Eight blocks in flight hide the latency of the round instructions.
constexpr size_t kLanes = 8;

enum class eDirection { Encrypt, Decrypt };

template <eDirection kDirection>
AESNI_TARGET inline __m128i Round(__m128i state, __m128i key)
{
    return kDirection == eDirection::Encrypt ? _mm_aesenc_si128(state, key) : _mm_aesdec_si128(state, key);
}

template <eDirection kDirection>
AESNI_TARGET inline __m128i LastRound(__m128i state, __m128i key)
{
    return kDirection == eDirection::Encrypt ? _mm_aesenclast_si128(state, key)
                                             : _mm_aesdeclast_si128(state, key);
}

// Runs kCount independent blocks through all rounds, round by round.
template <eDirection kDirection, size_t kCount>
AESNI_TARGET inline void CipherLanes(const sRoundKeys& keys, __m128i* s)
{
#pragma GCC unroll 8
    for (size_t j = 0; j < kCount; ++j) {
        s[j] = _mm_xor_si128(s[j], keys.k[0]);
    }
    for (int r = 1; r < keys.rounds; ++r) {
        const __m128i k = keys.k[r];
#pragma GCC unroll 8
        for (size_t j = 0; j < kCount; ++j) {
            s[j] = Round<kDirection>(s[j], k);
        }
    }
#pragma GCC unroll 8
    for (size_t j = 0; j < kCount; ++j) {
        s[j] = LastRound<kDirection>(s[j], keys.k[keys.rounds]);
    }
}

AESNI_TARGET inline __m128i EncryptOne(const sRoundKeys& keys, __m128i s)
{
    CipherLanes<eDirection::Encrypt, 1>(keys, &s);
    return s;
}

AESNI_TARGET inline __m128i DecryptOne(const sRoundKeys& keys, __m128i s)
{
    CipherLanes<eDirection::Decrypt, 1>(keys, &s);
    return s;
}

AESNI_TARGET inline __m128i Load(const u8* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
AESNI_TARGET inline void Store(u8* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

AESNI_TARGET void EncryptBlock(const sAesKeySchedule& schedule, const u8* in, u8* out)
{
    sRoundKeys keys;
    LoadRoundKeys(schedule, keys);
    Store(out, EncryptOne(keys, Load(in)));
}

AESNI_TARGET void DecryptBlock(const sAesKeySchedule& schedule, const u8* in, u8* out)
{
    sRoundKeys keys;
    LoadRoundKeys(schedule, keys);
    Store(out, DecryptOne(keys, Load(in)));
}

AESNI_TARGET void Ctr32Blocks(const sAesKeySchedule& schedule, u8* counter, const u8* in,
                              u8* out, size_t blocks)
{
    sRoundKeys keys;
    LoadRoundKeys(schedule, keys);
    const u64 head = LoadLe64(counter);
    u32 tail; // bytes 8..11, kept as they are
    std::memcpy(&tail, counter + 8, 4);
    u32 count = LoadBe32(counter + 12);
    for (; blocks >= kLanes; blocks -= kLanes) {
        __m128i s[kLanes];
#pragma GCC unroll 8
        for (size_t j = 0; j < kLanes; ++j) {
            s[j] = CounterBlock(head, tail, count + static_cast<u32>(j));
        }
        CipherLanes<eDirection::Encrypt, kLanes>(keys, s);
#pragma GCC unroll 8
        for (size_t j = 0; j < kLanes; ++j) {
            Store(out + 16 * j, _mm_xor_si128(s[j], Load(in + 16 * j)));
        }
        count += kLanes;
        in += 16 * kLanes;
        out += 16 * kLanes;
    }
    for (; blocks != 0; --blocks) {
        Store(out, _mm_xor_si128(EncryptOne(keys, CounterBlock(head, tail, count++)), Load(in)));
        in += 16;
        out += 16;
    }
    StoreBe32(counter + 12, count);
}

AESNI_TARGET void CbcEncryptBlocks(const sAesKeySchedule& schedule, u8* chain, const u8* in,
                                   u8* out, size_t blocks)
{
    // Each block needs the one before: no lanes to run side by side.
    sRoundKeys keys;
    LoadRoundKeys(schedule, keys);
    __m128i previous = Load(chain);
    for (; blocks != 0; --blocks) {
        previous = EncryptOne(keys, _mm_xor_si128(Load(in), previous));
        Store(out, previous);
        in += 16;
        out += 16;
    }
    Store(chain, previous);
}

AESNI_TARGET void CbcDecryptBlocks(const sAesKeySchedule& schedule, u8* chain, const u8* in,
                                   u8* out, size_t blocks)
{
    sRoundKeys keys;
    LoadRoundKeys(schedule, keys);
    __m128i previous = Load(chain);
    for (; blocks >= kLanes; blocks -= kLanes) {
        // Every cipher-text block is read before any output is written (in place).
        __m128i c[kLanes];
        __m128i s[kLanes];
#pragma GCC unroll 8
        for (size_t j = 0; j < kLanes; ++j) {
            c[j] = Load(in + 16 * j);
            s[j] = c[j];
        }
        CipherLanes<eDirection::Decrypt, kLanes>(keys, s);
        Store(out, _mm_xor_si128(s[0], previous));
#pragma GCC unroll 8
        for (size_t j = 1; j < kLanes; ++j) {
            Store(out + 16 * j, _mm_xor_si128(s[j], c[j - 1]));
        }
        previous = c[kLanes - 1];
        in += 16 * kLanes;
        out += 16 * kLanes;
    }
    for (; blocks != 0; --blocks) {
        const __m128i c = Load(in);
        Store(out, _mm_xor_si128(DecryptOne(keys, c), previous));
        previous = c;
        in += 16;
        out += 16;
    }
    Store(chain, previous);
}

constexpr sAesPath kInstructionPath = {"instructions", ExpandKey,        InvertSchedule,
                                       EncryptBlock,   DecryptBlock,     Ctr32Blocks,
                                       CbcEncryptBlocks, CbcDecryptBlocks};

} // namespace

const sAesPath* AesInstructionPath()
{
    return AesCpuFeatures().m_aes != 0 ? &kInstructionPath : nullptr;
}

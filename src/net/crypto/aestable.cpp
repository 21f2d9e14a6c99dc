// The portable AES path: the 32-bit table method (FIPS 197 5.1 and 5.3 merged into four
// round tables per direction). It runs only on processors without the AES instructions.
// Its table lookups are indexed by key and state bytes, so it leaks cache timing; the
// instruction path (aesni.cpp) has no such lookups and is used wherever it exists.
#include "net/crypto/aespath.h"

#include "base/byteorder.h"

#include <array>
#include <cstring>

namespace {

// FIPS 197 Figure 7.
constexpr u8 kSbox[256] = {
    0x63, 0x7c, 0x77, 0x7b, 0xf2, 0x6b, 0x6f, 0xc5, 0x30, 0x01, 0x67, 0x2b, 0xfe, 0xd7, 0xab, 0x76,
    0xca, 0x82, 0xc9, 0x7d, 0xfa, 0x59, 0x47, 0xf0, 0xad, 0xd4, 0xa2, 0xaf, 0x9c, 0xa4, 0x72, 0xc0,
    0xb7, 0xfd, 0x93, 0x26, 0x36, 0x3f, 0xf7, 0xcc, 0x34, 0xa5, 0xe5, 0xf1, 0x71, 0xd8, 0x31, 0x15,
    0x04, 0xc7, 0x23, 0xc3, 0x18, 0x96, 0x05, 0x9a, 0x07, 0x12, 0x80, 0xe2, 0xeb, 0x27, 0xb2, 0x75,
    0x09, 0x83, 0x2c, 0x1a, 0x1b, 0x6e, 0x5a, 0xa0, 0x52, 0x3b, 0xd6, 0xb3, 0x29, 0xe3, 0x2f, 0x84,
    0x53, 0xd1, 0x00, 0xed, 0x20, 0xfc, 0xb1, 0x5b, 0x6a, 0xcb, 0xbe, 0x39, 0x4a, 0x4c, 0x58, 0xcf,
    0xd0, 0xef, 0xaa, 0xfb, 0x43, 0x4d, 0x33, 0x85, 0x45, 0xf9, 0x02, 0x7f, 0x50, 0x3c, 0x9f, 0xa8,
    0x51, 0xa3, 0x40, 0x8f, 0x92, 0x9d, 0x38, 0xf5, 0xbc, 0xb6, 0xda, 0x21, 0x10, 0xff, 0xf3, 0xd2,
    0xcd, 0x0c, 0x13, 0xec, 0x5f, 0x97, 0x44, 0x17, 0xc4, 0xa7, 0x7e, 0x3d, 0x64, 0x5d, 0x19, 0x73,
    0x60, 0x81, 0x4f, 0xdc, 0x22, 0x2a, 0x90, 0x88, 0x46, 0xee, 0xb8, 0x14, 0xde, 0x5e, 0x0b, 0xdb,
    0xe0, 0x32, 0x3a, 0x0a, 0x49, 0x06, 0x24, 0x5c, 0xc2, 0xd3, 0xac, 0x62, 0x91, 0x95, 0xe4, 0x79,
    0xe7, 0xc8, 0x37, 0x6d, 0x8d, 0xd5, 0x4e, 0xa9, 0x6c, 0x56, 0xf4, 0xea, 0x65, 0x7a, 0xae, 0x08,
    0xba, 0x78, 0x25, 0x2e, 0x1c, 0xa6, 0xb4, 0xc6, 0xe8, 0xdd, 0x74, 0x1f, 0x4b, 0xbd, 0x8b, 0x8a,
    0x70, 0x3e, 0xb5, 0x66, 0x48, 0x03, 0xf6, 0x0e, 0x61, 0x35, 0x57, 0xb9, 0x86, 0xc1, 0x1d, 0x9e,
    0xe1, 0xf8, 0x98, 0x11, 0x69, 0xd9, 0x8e, 0x94, 0x9b, 0x1e, 0x87, 0xe9, 0xce, 0x55, 0x28, 0xdf,
    0x8c, 0xa1, 0x89, 0x0d, 0xbf, 0xe6, 0x42, 0x68, 0x41, 0x99, 0x2d, 0x0f, 0xb0, 0x54, 0xbb, 0x16};

// Multiplication in GF(2^8) modulo x^8 + x^4 + x^3 + x + 1 (FIPS 197 4.2).
constexpr u8 GfMul(u8 a, u8 b)
{
    u8 product = 0;
    for (int i = 0; i < 8; ++i) {
        if (b & 1) {
            product ^= a;
        }
        const bool carry = (a & 0x80) != 0;
        a = static_cast<u8>(a << 1);
        if (carry) {
            a ^= 0x1b;
        }
        b >>= 1;
    }
    return product;
}

constexpr std::array<u8, 256> MakeInverseSbox()
{
    std::array<u8, 256> inverse{};
    for (int i = 0; i < 256; ++i) {
        inverse[kSbox[i]] = static_cast<u8>(i);
    }
    return inverse;
}
constexpr std::array<u8, 256> kInverseSbox = MakeInverseSbox();

constexpr u32 Word(u8 b0, u8 b1, u8 b2, u8 b3)
{
    return (u32(b0) << 24) | (u32(b1) << 16) | (u32(b2) << 8) | u32(b3);
}
constexpr u32 Ror8(u32 x, int times) { return times == 0 ? x : Ror8((x >> 8) | (x << 24), times - 1); }

using cRoundTables = std::array<std::array<u32, 256>, 4>;

// Te_k[x]: SubBytes then column k of MixColumns (FIPS 197 5.1.3), {02 01 01 03}·S[x].
constexpr cRoundTables MakeEncryptTables()
{
    cRoundTables tables{};
    for (int x = 0; x < 256; ++x) {
        const u8 s = kSbox[x];
        const u32 column = Word(GfMul(s, 2), s, s, GfMul(s, 3));
        for (int k = 0; k < 4; ++k) {
            tables[k][x] = Ror8(column, k);
        }
    }
    return tables;
}

// Td_k[x]: InvSubBytes then column k of InvMixColumns (FIPS 197 5.3.3), {0e 09 0d 0b}·S^-1[x].
constexpr cRoundTables MakeDecryptTables()
{
    cRoundTables tables{};
    for (int x = 0; x < 256; ++x) {
        const u8 s = kInverseSbox[x];
        const u32 column = Word(GfMul(s, 14), GfMul(s, 9), GfMul(s, 13), GfMul(s, 11));
        for (int k = 0; k < 4; ++k) {
            tables[k][x] = Ror8(column, k);
        }
    }
    return tables;
}

constexpr cRoundTables kTe = MakeEncryptTables();
constexpr cRoundTables kTd = MakeDecryptTables();

// Rcon[i] = x^(i-1) in GF(2^8), FIPS 197 5.2; ten are used (AES-128).
constexpr std::array<u8, 10> MakeRoundConstants()
{
    std::array<u8, 10> rcon{};
    u8 value = 1;
    for (int i = 0; i < 10; ++i) {
        rcon[i] = value;
        value = GfMul(value, 2);
    }
    return rcon;
}
constexpr std::array<u8, 10> kRcon = MakeRoundConstants();

inline u32 ReadKeyWord(const sAesKeySchedule& schedule, int index)
{
    u32 word;
    std::memcpy(&word, schedule.m_roundKeys + 4 * index, 4);
    return word;
}

inline void WriteKeyWord(sAesKeySchedule& schedule, int index, u32 word)
{
    std::memcpy(schedule.m_roundKeys + 4 * index, &word, 4);
}

inline u32 SubWord(u32 w)
{
    return Word(kSbox[w >> 24], kSbox[(w >> 16) & 0xff], kSbox[(w >> 8) & 0xff], kSbox[w & 0xff]);
}

// FIPS 197 5.2, KeyExpansion.
void ExpandKey(sAesKeySchedule& schedule, const u8* key, i32 rounds)
{
    const int nk = (rounds - 6);
    const int total = 4 * (rounds + 1);
    u32 w[60];
    for (int i = 0; i < nk; ++i) {
        w[i] = LoadBe32(key + 4 * i);
    }
    for (int i = nk; i < total; ++i) {
        u32 temp = w[i - 1];
        if (i % nk == 0) {
            temp = SubWord((temp << 8) | (temp >> 24)) ^ (u32(kRcon[i / nk - 1]) << 24);
        } else if (nk > 6 && i % nk == 4) {
            temp = SubWord(temp);
        }
        w[i] = w[i - nk] ^ temp;
    }
    for (int i = 0; i < total; ++i) {
        WriteKeyWord(schedule, i, w[i]);
    }
    explicit_bzero(w, sizeof(w));
}

// InvMixColumns of one round-key word: Td composed with the S-box cancels InvSubBytes.
inline u32 InvMixColumn(u32 w)
{
    return kTd[0][kSbox[w >> 24]] ^ kTd[1][kSbox[(w >> 16) & 0xff]] ^
           kTd[2][kSbox[(w >> 8) & 0xff]] ^ kTd[3][kSbox[w & 0xff]];
}

void InvertSchedule(sAesKeySchedule& schedule)
{
    const int rounds = schedule.m_rounds;
    // Reverse the order of the round keys (4 words each).
    for (int i = 0, j = rounds; i < j; ++i, --j) {
        for (int k = 0; k < 4; ++k) {
            const u32 a = ReadKeyWord(schedule, 4 * i + k);
            WriteKeyWord(schedule, 4 * i + k, ReadKeyWord(schedule, 4 * j + k));
            WriteKeyWord(schedule, 4 * j + k, a);
        }
    }
    for (int i = 4; i < 4 * rounds; ++i) {
        WriteKeyWord(schedule, i, InvMixColumn(ReadKeyWord(schedule, i)));
    }
}

inline u32 Byte(u32 x, int n) { return (x >> (8 * n)) & 0xff; }

// The rounds of either direction (FIPS 197 5.1 and 5.3.5, in the table form). Column i of
// a round takes its bytes from columns i, i + shift, i + 2 shift, i + 3 shift: ShiftRows
// moves row r left by r (shift 1) for encryption and right (shift 3) for decryption.
template <int kShift>
void RunRounds(const cRoundTables& tables, const u8* lastBox, const sAesKeySchedule& schedule,
               const u8* in, u8* out)
{
    u32 s[4];
#pragma GCC unroll 4
    for (int i = 0; i < 4; ++i) {
        s[i] = LoadBe32(in + 4 * i) ^ ReadKeyWord(schedule, i);
    }
    const int rounds = schedule.m_rounds;
    for (int r = 1; r < rounds; ++r) {
        u32 t[4];
#pragma GCC unroll 4
        for (int i = 0; i < 4; ++i) {
            t[i] = tables[0][Byte(s[i], 3)] ^ tables[1][Byte(s[(i + kShift) & 3], 2)] ^
                   tables[2][Byte(s[(i + 2 * kShift) & 3], 1)] ^
                   tables[3][Byte(s[(i + 3 * kShift) & 3], 0)] ^ ReadKeyWord(schedule, 4 * r + i);
        }
#pragma GCC unroll 4
        for (int i = 0; i < 4; ++i) {
            s[i] = t[i];
        }
    }
    // Last round: the S-box alone (no MixColumns).
#pragma GCC unroll 4
    for (int i = 0; i < 4; ++i) {
        const u32 word = Word(lastBox[Byte(s[i], 3)], lastBox[Byte(s[(i + kShift) & 3], 2)],
                              lastBox[Byte(s[(i + 2 * kShift) & 3], 1)],
                              lastBox[Byte(s[(i + 3 * kShift) & 3], 0)]);
        StoreBe32(out + 4 * i, word ^ ReadKeyWord(schedule, 4 * rounds + i));
    }
}

void EncryptBlock(const sAesKeySchedule& schedule, const u8* in, u8* out)
{
    RunRounds<1>(kTe, kSbox, schedule, in, out);
}

void DecryptBlock(const sAesKeySchedule& schedule, const u8* in, u8* out)
{
    RunRounds<3>(kTd, kInverseSbox.data(), schedule, in, out);
}


void Ctr32Blocks(const sAesKeySchedule& schedule, u8* counter, const u8* in, u8* out,
                 size_t blocks)
{
    u32 count = LoadBe32(counter + 12);
    u8 keyStream[16];
    for (size_t b = 0; b < blocks; ++b) {
        StoreBe32(counter + 12, count++);
        EncryptBlock(schedule, counter, keyStream);
        for (int i = 0; i < 16; ++i) {
            out[16 * b + i] = in[16 * b + i] ^ keyStream[i];
        }
    }
    StoreBe32(counter + 12, count);
    explicit_bzero(keyStream, sizeof(keyStream));
}

void CbcEncryptBlocks(const sAesKeySchedule& schedule, u8* chain, const u8* in, u8* out,
                      size_t blocks)
{
    for (size_t b = 0; b < blocks; ++b) {
        for (int i = 0; i < 16; ++i) {
            chain[i] ^= in[16 * b + i];
        }
        EncryptBlock(schedule, chain, chain);
        std::memcpy(out + 16 * b, chain, 16);
    }
}

void CbcDecryptBlocks(const sAesKeySchedule& schedule, u8* chain, const u8* in, u8* out,
                      size_t blocks)
{
    u8 saved[16];
    for (size_t b = 0; b < blocks; ++b) {
        std::memcpy(saved, in + 16 * b, 16); // `out` may overwrite it
        DecryptBlock(schedule, saved, out + 16 * b);
        for (int i = 0; i < 16; ++i) {
            out[16 * b + i] ^= chain[i];
        }
        std::memcpy(chain, saved, 16);
    }
}

constexpr sAesPath kTablePath = {"table",          ExpandKey,        InvertSchedule,
                                 EncryptBlock,     DecryptBlock,     Ctr32Blocks,
                                 CbcEncryptBlocks, CbcDecryptBlocks};

} // namespace

const sAesPath& AesTablePath() { return kTablePath; }

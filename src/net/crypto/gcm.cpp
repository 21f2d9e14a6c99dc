// AES-GCM, NIST SP 800-38D 7.1 (GCM-AE) and 7.2 (GCM-AD).
// Glossary: H = E(K, 0^128), J0 = the pre-counter block, S = the GHASH accumulator.
#include "net/crypto/gcm.h"

#include "base/byteorder.h"
#include "net/crypto/consttime.h"
#include "net/crypto/ghashpath.h"

#include <cstring>

namespace {

enum class eGcmDirection { Seal, Open };

// Data is processed in pieces small enough to stay in the first-level cache between the
// counter pass and the GHASH pass.
constexpr size_t kPieceBlocks = 64;

// SP 800-38D 5.2.1.1: at most 2^39 - 256 bits of text; with the 32-bit counter starting
// at J0 + 1 that is 2^32 - 2 blocks.
constexpr u64 kMaxTextBytes = (0x100000000ull - 2) * 16;

void AbsorbPadded(const sGhashPath& ghash, const sGcmKey& key, u8* s, const u8* data, size_t length)
{
    ghash.m_absorb(key, s, data, length / 16);
    const size_t rest = length % 16;
    if (rest != 0) {
        u8 last[16] = {};
        std::memcpy(last, data + length - rest, rest);
        ghash.m_absorb(key, s, last, 1);
    }
}

// SP 800-38D 7.1 step 2.
void MakeJ0(const sGhashPath& ghash, const sGcmKey& key, const u8* nonce, size_t nonceLength,
            u8* j0)
{
    if (nonceLength == 12) {
        std::memcpy(j0, nonce, 12);
        StoreBe32(j0 + 12, 1);
        return;
    }
    std::memset(j0, 0, 16);
    AbsorbPadded(ghash, key, j0, nonce, nonceLength);
    u8 lengthBlock[16] = {};
    StoreBe64(lengthBlock + 8, u64(nonceLength) * 8);
    ghash.m_absorb(key, j0, lengthBlock, 1);
}

// Runs the counter and GHASH passes and writes the full computed tag to `tag`.
bool GcmCrypt(eGcmDirection direction, const sGcmKey& key, const u8* nonce, size_t nonceLength,
              const u8* aad, size_t aadLength, const u8* in, size_t length, u8* out, u8* tag)
{
    // A nonce needs at least one bit (SP 800-38D 5.2.1.1); lengths are public.
    if (nonce == nullptr || nonceLength == 0 || nonceLength > (size_t(1) << 60) ||
        (aadLength != 0 && aad == nullptr) || aadLength > (size_t(1) << 60) ||
        (length != 0 && (in == nullptr || out == nullptr)) || u64(length) > kMaxTextBytes ||
        tag == nullptr) {
        return false;
    }
    const sGhashPath& ghash = ActiveGhashPath();
    u8 j0[16];
    MakeJ0(ghash, key, nonce, nonceLength, j0);
    u8 tagMask[16]; // E(K, J0)
    if (!AesEncryptBlock(key.m_schedule, j0, tagMask)) {
        return false;
    }
    u8 s[16] = {};
    AbsorbPadded(ghash, key, s, aad, aadLength);

    // The first counter is J0 + 1; only the last 32 bits count (inc32).
    u8 counter[16];
    std::memcpy(counter, j0, 16);
    StoreBe32(counter + 12, LoadBe32(j0 + 12) + 1);

    const size_t wholeBlocks = length / 16;
    for (size_t done = 0; done < wholeBlocks;) {
        const size_t blocks = wholeBlocks - done < kPieceBlocks ? wholeBlocks - done : kPieceBlocks;
        const u8* source = in + 16 * done;
        u8* target = out + 16 * done;
        // GHASH always takes the cipher text: before decryption when opening (the buffers
        // may be the same), after encryption when sealing.
        if (direction == eGcmDirection::Open) {
            ghash.m_absorb(key, s, source, blocks);
        }
        AesCtr32Blocks(key.m_schedule, counter, source, target, blocks);
        if (direction == eGcmDirection::Seal) {
            ghash.m_absorb(key, s, target, blocks);
        }
        done += blocks;
    }
    const size_t rest = length % 16;
    if (rest != 0) {
        u8 last[16] = {};
        std::memcpy(last, in + 16 * wholeBlocks, rest);
        if (direction == eGcmDirection::Open) {
            ghash.m_absorb(key, s, last, 1);
        }
        AesCtr32Blocks(key.m_schedule, counter, last, last, 1);
        std::memset(last + rest, 0, 16 - rest);
        if (direction == eGcmDirection::Seal) {
            ghash.m_absorb(key, s, last, 1);
        }
        std::memcpy(out + 16 * wholeBlocks, last, rest);
        ct::Wipe(last, sizeof(last));
    }

    u8 lengthBlock[16];
    StoreBe64(lengthBlock, u64(aadLength) * 8);
    StoreBe64(lengthBlock + 8, u64(length) * 8);
    ghash.m_absorb(key, s, lengthBlock, 1);
    for (int i = 0; i < 16; ++i) {
        tag[i] = s[i] ^ tagMask[i];
    }
    return true;
}

} // namespace

bool GcmSetKey(sGcmKey& key, const u8* keyBytes, u32 bits)
{
    if (keyBytes == nullptr || bits == 0 || !AesSetEncryptKey(key.m_schedule, keyBytes, bits)) {
        return false;
    }
    u8 h[16] = {};
    if (!AesEncryptBlock(key.m_schedule, h, h)) {
        return false;
    }
    GhashBuildTable(key, h);
    if (GhashClmulPath() != nullptr) {
        GhashClmulPreparePowers(key, h);
    }
    ct::Wipe(h, sizeof(h));
    return true;
}

bool GcmSealAny(const sGcmKey& key, const u8* nonce, size_t nonceLength, const u8* aad,
                size_t aadLength, const u8* in, size_t length, u8* out, u8* tag)
{
    return GcmCrypt(eGcmDirection::Seal, key, nonce, nonceLength, aad, aadLength, in, length,
                    out, tag);
}

bool GcmOpenAny(const sGcmKey& key, const u8* nonce, size_t nonceLength, const u8* aad,
                size_t aadLength, const u8* in, size_t length, u8* out, const u8* tag)
{
    u8 computed[16];
    if (tag == nullptr || !GcmCrypt(eGcmDirection::Open, key, nonce, nonceLength, aad, aadLength,
                                    in, length, out, computed)) {
        return false;
    }
    // CT: all 16 bytes are compared by OR-ing their differences; the constant-time region
    // ends here, with the final result.
    const u32 same = ct::BytesEqual(computed, tag, 16);
    ct::Wipe(computed, sizeof(computed));
    return same != 0;
}

bool GcmSeal(const sGcmKey& key, const u8* nonce, size_t nonceLength, const u8* aad5,
             const u8* in, size_t length, u8* out, u8* tag)
{
    return GcmSealAny(key, nonce, nonceLength, aad5, kGcmRecordAadSize, in, length, out, tag);
}

bool GcmOpen(const sGcmKey& key, const u8* nonce, size_t nonceLength, const u8* aad5,
             const u8* in, size_t length, u8* out, const u8* tag)
{
    return GcmOpenAny(key, nonce, nonceLength, aad5, kGcmRecordAadSize, in, length, out, tag);
}

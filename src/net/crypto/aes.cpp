#include "net/crypto/aes.h"

#include "net/crypto/aespath.h"

#include <atomic>

namespace {

// Rounds for a key size (FIPS 197 5, Figure 4), or 0 for a size AES does not have.
i32 RoundsForKeyBits(u32 bits)
{
    switch (bits) {
    case 128: return 10;
    case 192: return 12;
    case 256: return 14;
    default: return 0;
    }
}

bool HoldsKey(const sAesKeySchedule& schedule)
{
    return schedule.m_rounds == 10 || schedule.m_rounds == 12 || schedule.m_rounds == 14;
}

} // namespace

std::atomic<const sAesPath*> g_forcedAesPath{nullptr};

const sCpuFeatures& AesCpuFeatures()
{
    // Concurrent first calls store the same values.
    static const sCpuFeatures& features = GetCpuFeatures();
    return features;
}

const sAesPath& ActiveAesPath()
{
    if (const sAesPath* forced = g_forcedAesPath.load(std::memory_order_acquire)) {
        return *forced;
    }
    static const sAesPath& chosen =
        AesInstructionPath() != nullptr ? *AesInstructionPath() : AesTablePath();
    return chosen;
}

bool AesSetEncryptKey(sAesKeySchedule& schedule, const u8* key, u32 bits)
{
    const i32 rounds = RoundsForKeyBits(bits);
    if (key == nullptr || rounds == 0) {
        return false;
    }
    ActiveAesPath().m_expandKey(schedule, key, rounds);
    schedule.m_rounds = rounds;
    return true;
}

bool AesSetDecryptKey(sAesKeySchedule& schedule, const u8* key, u32 bits)
{
    if (!AesSetEncryptKey(schedule, key, bits)) {
        return false;
    }
    ActiveAesPath().m_invertSchedule(schedule);
    return true;
}

bool AesEncryptBlock(const sAesKeySchedule& schedule, const u8* in, u8* out)
{
    if (in == nullptr || out == nullptr || !HoldsKey(schedule)) {
        return false;
    }
    ActiveAesPath().m_encryptBlock(schedule, in, out);
    return true;
}

bool AesDecryptBlock(const sAesKeySchedule& schedule, const u8* in, u8* out)
{
    if (in == nullptr || out == nullptr || !HoldsKey(schedule)) {
        return false;
    }
    ActiveAesPath().m_decryptBlock(schedule, in, out);
    return true;
}

void AesCtr32Blocks(const sAesKeySchedule& schedule, u8* counter, const u8* in, u8* out,
                    size_t blocks)
{
    if (blocks != 0) {
        ActiveAesPath().m_ctr32Blocks(schedule, counter, in, out, blocks);
    }
}

void AesCbcEncryptBlocks(const sAesKeySchedule& schedule, u8* chain, const u8* in, u8* out,
                         size_t blocks)
{
    if (blocks != 0) {
        ActiveAesPath().m_cbcEncryptBlocks(schedule, chain, in, out, blocks);
    }
}

void AesCbcDecryptBlocks(const sAesKeySchedule& schedule, u8* chain, const u8* in, u8* out,
                         size_t blocks)
{
    if (blocks != 0) {
        ActiveAesPath().m_cbcDecryptBlocks(schedule, chain, in, out, blocks);
    }
}

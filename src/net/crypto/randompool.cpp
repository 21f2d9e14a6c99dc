// The random pool. Seeding and stirring follow the system's design (SHA-1 chains over
// clock samples, a two-pass XOR stir); because the stir is linear and clock samples are
// guessable, operating-system randomness is XORed over the whole pool at seeding and at
// every stir, so that bytes seen on the wire (ClientHello randoms, CBC IVs) reveal nothing
// about later draws.
#include "net/crypto/randompool.h"

#include "base/byteorder.h"
#include "base/clock.h"
#include "net/crypto/consttime.h"
#include "net/crypto/hmac.h"
#include "net/crypto/randompoolsource.h"
#include "net/crypto/sha1.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/random.h>
#include <unistd.h>

namespace {

constexpr size_t kRandomPoolSize = 1200;
constexpr size_t kPieceSize = 20; // a SHA-1 digest
constexpr size_t kPieces = kRandomPoolSize / kPieceSize;
constexpr size_t kInputSize = 64; // the SHA-1 block

struct sPoolState
{
    bool seeded;
    bool stirring;
    u8 pool[kRandomPoolSize];
    i32 position;
    u8 digest[kPieceSize];
    u8 input[kInputSize];
    u32 inputCount;
};

std::mutex g_lock;
sPoolState g_state = {};

bool ReadUrandom(u8* buffer, size_t count)
{
    const int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    while (count != 0) {
        const ssize_t got = ::read(fd, buffer, count);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            ::close(fd);
            return false;
        }
        buffer += got;
        count -= static_cast<size_t>(got);
    }
    ::close(fd);
    return true;
}

bool ReadSystemEntropy(u8* buffer, size_t count)
{
    u8* at = buffer;
    size_t left = count;
    while (left != 0) {
        const ssize_t got = ::getrandom(at, left, 0);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return ReadUrandom(buffer, count);
        }
        at += got;
        left -= static_cast<size_t>(got);
    }
    return true;
}

bool ReadEntropy(u8* buffer, size_t count)
{
    const tRandomEntropySource source = g_randomPoolEntropy.load();
    return source != nullptr ? source(buffer, count) : ReadSystemEntropy(buffer, count);
}

// XORs `count` bytes of OS randomness over `target`.
bool MixEntropy(u8* target, size_t count)
{
    u8 fresh[kRandomPoolSize];
    const bool ok = count <= sizeof(fresh) && ReadEntropy(fresh, count);
    if (ok) {
        for (size_t i = 0; i < count; ++i) {
            target[i] ^= fresh[i];
        }
    }
    ct::Wipe(fresh, sizeof(fresh));
    return ok;
}

// A clock sample: the microsecond clock as 8 little-endian bytes.
void TakeSample(u8* sample) { StoreLe64(sample, MicrosecondClock()); }

void Sha1Of(const u8* data, size_t length, u8* digest)
{
    sSha1Ctx ctx;
    Sha1Init(ctx);
    Sha1Update(ctx, data, length);
    Sha1Final(ctx);
    Sha1Digest(digest, ctx);
    ct::Wipe(&ctx, sizeof(ctx));
}

bool Fill();

// The unlocked add; Fill calls it, and it may call Fill (which then does nothing while a
// stir runs).
void Add(const u8* data, size_t length)
{
    while (length >= kInputSize - g_state.inputCount) {
        const size_t missing = kInputSize - g_state.inputCount;
        std::memcpy(g_state.input + g_state.inputCount, data, missing);
        data += missing;
        length -= missing;
        Sha1Of(g_state.input, kInputSize, g_state.digest);
        for (size_t i = 0; i < kPieceSize; ++i) {
            // A fully drawn pool leaves the position at its end: wrap before writing.
            if (g_state.position >= static_cast<i32>(kRandomPoolSize)) {
                g_state.position = 0;
            }
            g_state.pool[g_state.position++] ^= g_state.digest[i];
        }
        if (g_state.position < static_cast<i32>(kPieceSize)) {
            // Failure here is not lost: the next draw stirs again and reports it.
            (void)Fill();
        }
        g_state.inputCount = 0;
    }
    std::memcpy(g_state.input + g_state.inputCount, data, length);
    g_state.inputCount += static_cast<u32>(length);
}

bool Seed()
{
    u8 slots[kPieces][kPieceSize];
    u8 sample[8];
    u8 hmacKey[8];
    if (!ReadEntropy(hmacKey, sizeof(hmacKey))) {
        return false;
    }
    TakeSample(sample);
    Sha1Of(sample, sizeof(sample), slots[0]);
    HmacSha1(slots[0], kPieceSize, hmacKey, sizeof(hmacKey), slots[0]);
    SleepMilliseconds(1);
    for (size_t k = 0; k + 1 < kPieces; ++k) {
        TakeSample(sample);
        for (size_t i = 0; i < sizeof(sample); ++i) {
            slots[k][i] ^= sample[i];
        }
        Sha1Of(slots[k], kPieceSize, slots[k + 1]);
    }
    const bool ok = MixEntropy(&slots[0][0], sizeof(slots));
    if (ok) {
        std::memcpy(g_state.pool, slots, sizeof(slots));
        g_state.seeded = true;
    }
    ct::Wipe(slots, sizeof(slots));
    ct::Wipe(hmacKey, sizeof(hmacKey));
    return ok;
}

// XORs the running value into a piece (five u32 words); the result is the new piece and
// the new running value.
void StirPiece(u8* piece, u8* value)
{
    for (size_t w = 0; w < kPieceSize; w += 4) {
        u32 a;
        u32 b;
        std::memcpy(&a, piece + w, 4);
        std::memcpy(&b, value + w, 4);
        a ^= b;
        std::memcpy(piece + w, &a, 4);
        std::memcpy(value + w, &a, 4);
    }
}

bool Fill()
{
    if (!g_state.seeded && !Seed()) {
        return false;
    }
    if (g_state.stirring) {
        return true;
    }
    g_state.stirring = true;
    u8 sample[8];
    TakeSample(sample);
    Add(sample, sizeof(sample));
    Sha1Of(g_state.input, kInputSize, g_state.digest);
    g_state.inputCount = 0;
    const bool ok = MixEntropy(g_state.pool, kRandomPoolSize);
    // Two passes from the last piece down to the first; the running value carries across
    // pieces and from the first pass into the second.
    u8 value[kPieceSize];
    std::memcpy(value, g_state.digest, kPieceSize);
    for (int pass = 0; pass < 2; ++pass) {
        for (size_t piece = kPieces; piece-- != 0;) {
            StirPiece(g_state.pool + piece * kPieceSize, value);
        }
    }
    ct::Wipe(value, sizeof(value));
    Sha1Of(g_state.pool, kRandomPoolSize, g_state.digest);
    // The first piece is not handed out until the next stir.
    g_state.position = static_cast<i32>(kPieceSize);
    g_state.stirring = false;
    return ok;
}

} // namespace

std::atomic<tRandomEntropySource> g_randomPoolEntropy{nullptr};

bool RandomPoolFill()
{
    std::lock_guard<std::mutex> guard(g_lock);
    return Fill();
}

void RandomPoolAdd(const void* data, size_t length)
{
    if (data == nullptr) {
        return;
    }
    std::lock_guard<std::mutex> guard(g_lock);
    Add(static_cast<const u8*>(data), length);
}

bool RandomPoolDraw(u8* buffer, size_t count)
{
    if (buffer == nullptr) {
        return count == 0;
    }
    std::lock_guard<std::mutex> guard(g_lock);
    for (size_t i = 0; i < count; ++i) {
        if (!g_state.seeded || g_state.position >= static_cast<i32>(kRandomPoolSize)) {
            if (!Fill()) {
                ct::Wipe(buffer, count);
                return false;
            }
        }
        buffer[i] = g_state.pool[g_state.position++];
    }
    return true;
}

void WipeRandomPool()
{
    std::lock_guard<std::mutex> guard(g_lock);
    ct::Wipe(&g_state, sizeof(g_state));
}

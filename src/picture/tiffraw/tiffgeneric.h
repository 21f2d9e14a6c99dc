#pragma once
// The one TIFF structure walker (TIFF 6.0 section 2; Exif 2.3 section 4.6): it reads the
// header, walks IFD0, the thumbnail IFD (IFD0's successor) and the Exif, GPS and
// interoperability IFDs, and hands every tag to a virtual hook.
//
// The structure walk (camera RAW files) goes further: the whole chain of IFDs from IFD0,
// the SubIFDs of any IFD (TIFF-EP 0x014A) each with its own chain, and the Exif IFD. It
// also accepts the header identifiers of the TIFF variants some cameras write.
//
// The walk is lenient: only an unreadable header or IFD0 fails it. A later IFD, a tag or
// an offset that is broken is skipped, so one bad maker tag does not lose the rest.
#include "base/streams.h"
#include "base/types.h"

#include <memory>

// Field types (TIFF 6.0 section 2, Exif adds none, TIFF-EP adds IFD).
enum : u16
{
    kTiffByte = 1,
    kTiffAscii = 2,
    kTiffShort = 3,
    kTiffLong = 4,
    kTiffRational = 5,
    kTiffSByte = 6,
    kTiffUndefined = 7,
    kTiffSShort = 8,
    kTiffSLong = 9,
    kTiffSRational = 10,
    kTiffFloat = 11,
    kTiffDouble = 12,
    kTiffIfd = 13,
};

// IFD ids handed to the tag hook.
enum : u32
{
    kTiffIfd0 = 0,
    kTiffIfdThumbnail = 1,
    kTiffIfdExif = 0x8769,
    kTiffIfdGps = 0x8825,
    kTiffIfdInterop = 0xA005,
    // Structure walk: the n-th further IFD (chain or SubIFD) is kTiffIfdOther + n.
    kTiffIfdOther = 0x10000,
};

// Header identifiers: TIFF's 42, Panasonic/Leica RW2 and RWL, Olympus ORF (two forms).
enum : u16
{
    kTiffIdClassic = 42,
    kTiffIdPanasonic = 0x55,
    kTiffIdOlympusRO = 0x4F52,
    kTiffIdOlympusRS = 0x5352,
};

enum class eTiffWalk
{
    Exif,      // IFD0, IFD1 (its successor ignored), Exif, GPS, interoperability; id 42 only
    Structure, // the chain from IFD0, SubIFDs with their chains, the Exif IFD; every id
};

// The size in bytes of one value of `type`; 0 for types this walker does not know.
u32 TiffTypeSize(u16 type);

class cTiffGeneric
{
public:
    cTiffGeneric() = default;
    virtual ~cTiffGeneric() = default;
    cTiffGeneric(const cTiffGeneric&) = delete;
    cTiffGeneric& operator=(const cTiffGeneric&) = delete;

    // Opens the TIFF structure at the start of `stream` ("II*\0" or "MM\0*" and the IFD0
    // offset; all offsets are relative to that start) and walks it. False only when the
    // header or IFD0 cannot be read.
    [[nodiscard]] bool OpenTiff(cFileIOTarget* stream, eTiffWalk walk = eTiffWalk::Exif);
    // A structure without a header (a maker note's IFD): walks the IFD at `offset` of
    // `stream` as IFD0 in the given byte order (structure walk, its successor not
    // followed). False when the IFD cannot be read.
    [[nodiscard]] bool OpenIfd(cFileIOTarget* stream, bool bigEndian, u32 offset);
    // The header's identifier (42 for TIFF).
    u16 GetIdentifier() const { return m_identifier; }

    // The byte order of the structure, and readers of values in it.
    bool IsBigEndian() const { return m_bigEndian; }
    u16 GetU16(const u8* bytes) const;
    u32 GetU32(const u8* bytes) const;
    // Walks one more IFD at `offset` (a maker note's IFD whose offsets share this
    // structure's base) under `ifd`, within the same visited set and IFD cap; its
    // successors are not followed. Only after OpenTiff.
    [[nodiscard]] bool WalkIfdAt(u32 offset, u32 ifd);
    // During OnTag: where the value bytes lie in the stream (inside the entry when short).
    u64 GetValueOffset() const { return m_valueOffset; }
    // The stream being walked (valid during the walk) and its size.
    cFileIOTarget* GetStream() const { return m_stream; }
    u64 GetStreamSize() const { return m_size; }

    // A tag value's bytes are handed over in full only up to this size; longer values
    // are skipped.
    static constexpr u32 kMaxValueBytes = 16u << 20;
    // The values read in one walk together stay within twice the stream's size plus one
    // largest value: a valid structure stores each value once, while entries that all
    // point at one large value would otherwise read it up to 65535 times per IFD. Values
    // beyond this budget are skipped.
    static constexpr u64 ValueBudget(u64 streamSize)
    {
        return kMaxValueBytes + 2 * (streamSize < (u64(1) << 40) ? streamSize : u64(1) << 40);
    }
    // At most this many IFDs are walked.
    static constexpr int kMaxIfds = 64;

protected:
    // Called for every tag with a known type whose value lies inside the stream: the tag,
    // its type, the value bytes (in the structure's byte order), their count and the IFD.
    virtual void OnTag(u16 tag, u16 type, const u8* value, u32 byteCount, u32 ifd) {}
    // Called after the last tag of an IFD.
    virtual void OnIfdEnd(u32 ifd) {}

private:
    // Walks one IFD; `next` receives its successor's offset (0 for none). False when its
    // entry count cannot be read.
    bool WalkIfd(u32 offset, u32 ifd, u32& next);
    bool Visit(u32 offset);
    // Resets the walk over `stream`; false without a stream.
    bool Begin(cFileIOTarget* stream, eTiffWalk walk);
    // Queues an IFD to walk after the current one; `chain` follows its successors too.
    void Queue(u32 offset, u32 ifd, bool chain);
    void QueueSubIfds(u16 tag, u16 type, const u8* bytes, u64 valueCount, u32 ifd);
    // The structure walk after IFD0: the queue in order, chains as they come.
    void WalkQueue();

    cFileIOTarget* m_stream = nullptr;
    u64 m_size = 0;
    bool m_bigEndian = false;
    u16 m_identifier = 0;
    u64 m_valueOffset = 0;
    eTiffWalk m_walk = eTiffWalk::Exif;
    u32 m_nextOtherId = kTiffIfdOther;
    u64 m_valueBytesLeft = 0;
    u32 m_visited[kMaxIfds] = {};
    int m_visitedCount = 0;
    // Sub-IFDs found while walking: (offset, id, follow its chain).
    u32 m_pendingOffsets[kMaxIfds] = {};
    u32 m_pendingIds[kMaxIfds] = {};
    bool m_pendingChains[kMaxIfds] = {};
    int m_pendingCount = 0;
};

// RATIONAL values of a tag (unsigned numerator and denominator in the structure's byte
// order) as doubles; a zero denominator gives 0. Reads at most `byteCount` bytes and at
// most `capacity` values; returns the count written.
int ReadTagRationals(const cTiffGeneric& tiff, const u8* value, u32 byteCount, double* out,
                     int capacity);

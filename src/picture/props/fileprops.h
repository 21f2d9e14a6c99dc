#pragma once
// File property readers: a reader picked by a file's content collects typed rows about it
// (kind, pixel size, page count, a picture fitted into a requested box, texts and dates).
// The manager window's product list asks one for a product's icon at 16 x 16 and, after a
// reset, at 48 x 48. A reader belongs to one thread; nothing in it is shared.
#include "base/datetime.h"
#include "base/keytree.h"
#include "base/streams.h"
#include "base/texts.h"
#include "picture/core/picture.h"

// Property ids: one id space across the five maps, each id used with one value kind.
enum : i32
{
    kFilePropWidth = 0,        // integer
    kFilePropHeight = 1,       // integer
    kFilePropPageCount = 2,    // integer
    kFilePropPicture = 3,      // picture fitted into the box
    kFilePropProductName = 6,  // text
    kFilePropDescription = 7,  // text
    kFilePropCompany = 8,      // text
    kFilePropCopyright = 9,    // text
    kFilePropVersion = 11,     // text
    kFilePropDateTaken = 12,   // date-time
    kFilePropLinkTime = 13,    // date-time, UTC
    kFilePropCameraMake = 14,  // text
    kFilePropCameraModel = 15, // text
    kFilePropLatitude = 17,    // real, degrees, south negative
    kFilePropLongitude = 18,   // real, degrees, west negative
};

// File-kind codes of GetPropsKind (14 is never produced).
enum : i32
{
    kFileKindExecutable = 0,
    kFileKindJPEG = 8,
    kFileKindOtherPicture = 15,
};

class cFileObjectProps
{
  public:
    cFileObjectProps() = default;
    virtual ~cFileObjectProps() = default;
    cFileObjectProps(const cFileObjectProps&) = delete;
    cFileObjectProps& operator=(const cFileObjectProps&) = delete;

    [[nodiscard]] virtual i32 GetPropsKind() = 0;
    // Reads the rows from `stream`, positioned anywhere (each reader seeks itself). What
    // was stored before a failure stays.
    [[nodiscard]] virtual bool ReadProps(cFileIOTarget* stream, void* reserved,
                                         bool wantPicture) = 0;
    // The box back to -1 x -1 and every map but the date-times emptied.
    virtual void ResetProps();

    static constexpr i32 kMapDepthLimit = 512;

    // The box the picture is fitted into, written by the caller before ReadProps.
    i32 m_boxWidth = -1;
    i32 m_boxHeight = -1;
    _keytree<i32, i32> m_ints{kMapDepthLimit};
    _keytree<i32, f64> m_reals{kMapDepthLimit};
    _keytree<i32, _guardchar<char16_t>> m_texts{kMapDepthLimit};
    _keytree<i32, cPictDummy*, eValueOwnership::Owned> m_pictures{kMapDepthLimit};
    _keytree<i32, sDateTime> m_dateTimes{kMapDepthLimit};
};

// The kind code of a picture format id; kFileKindOtherPicture for ids without a row.
[[nodiscard]] i32 FileKindForFormat(i32 formatId);

// The picture under id 3, or null.
[[nodiscard]] cPictDummy* FindThumbnail(cFileObjectProps* reader);

// Each setter replaces a present id and inserts an absent one; false when the id is
// refused for that kind or memory is short.
bool SetIntProp(cFileObjectProps* reader, i32 id, i32 value);
bool SetRealProp(cFileObjectProps* reader, i32 id, f64 value);
bool SetTextProp(cFileObjectProps* reader, i32 id, const char16_t* text);
// The bytes decoded as UTF-8 (U+FFFD for bad bytes), then stored as SetTextProp does.
bool SetTextPropNarrow(cFileObjectProps* reader, i32 id, const char* bytes, i64 length);
bool SetDateTimeProp(cFileObjectProps* reader, i32 id, const sDateTime& value);
// The picture under id 3 takes over the pixels of `picture`, which is left empty; false
// for a null picture.
bool SetThumbnail(cFileObjectProps* reader, cPictBase* picture);

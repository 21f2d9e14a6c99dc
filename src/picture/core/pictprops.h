#pragma once
// Typed property values of a picture: dates, camera data, resolution, orientation,
// embedded thumbnails, maker notes. Each property id has one fixed value class
// (see PictPropKindForId).
#include "base/buffers.h"
#include "base/datetime.h"
#include "base/texts.h"
#include "base/types.h"

class cPictBase;

enum : i32
{
    kPictPropKindInt = 0,
    kPictPropKindDouble = 1,
    kPictPropKindTimestamp = 2,
    kPictPropKindString = 3,
    kPictPropKindImage = 4,
    kPictPropKindRaw = 5,
};

// Property ids.
enum : i32
{
    kPictPropText = 0,
    kPictPropDateTaken = 1,
    kPictPropFileDate = 2,
    kPictPropCameraMake = 3,
    kPictPropCameraModel = 4,
    kPictPropExposureTime = 5, // seconds
    kPictPropFNumber = 6,
    kPictPropIsoSpeed = 7,
    kPictPropResolutionX = 8,
    kPictPropResolutionY = 9,
    kPictPropResolutionUnit = 10,
    kPictPropMirroring = 11, // 0 none, 1 horizontal, 2 vertical
    kPictPropRotation = 12,  // degrees: 0, 90, 180 or 270
    kPictPropThumbnail = 13,
    kPictPropSecondImage = 14, // a second embedded picture (camera RAW readers)
    kPictPropGpsLatitude = 15,
    kPictPropGpsLongitude = 16,
    kPictPropGpsAltitude = 17,
    kPictPropTagWidth = 18,  // image size as recorded in the file's tags
    kPictPropTagHeight = 19,
    kPictPropCompression = 20,
    kPictPropMakerNote = 21,
    kPictPropLastId = 21,
};

// The value class of a property id; -1 for an id outside 0..kPictPropLastId.
[[nodiscard]] i32 PictPropKindForId(i32 id);

class cPictProp
{
public:
    cPictProp() = default;
    cPictProp(const cPictProp&) = delete;
    cPictProp& operator=(const cPictProp&) = delete;
    virtual ~cPictProp() = default;

    [[nodiscard]] virtual i32 GetKind() const = 0;
    void Delete() { delete this; }
};

class cPictPropInt : public cPictProp
{
public:
    i32 GetKind() const override { return kPictPropKindInt; }
    i32 m_value = 0;
};

class cPictPropDouble : public cPictProp
{
public:
    i32 GetKind() const override { return kPictPropKindDouble; }
    f64 m_value = 0.0;
};

class cPictPropTimestamp : public cPictProp
{
public:
    i32 GetKind() const override { return kPictPropKindTimestamp; }
    sDateTime m_value = {};
};

class cPictPropString : public cPictProp
{
public:
    i32 GetKind() const override { return kPictPropKindString; }
    _guardchar<char16_t> m_value;
};

// Owns one picture, deleted with the property.
class cPictPropImage : public cPictProp
{
public:
    ~cPictPropImage() override;
    i32 GetKind() const override { return kPictPropKindImage; }

    cPictBase* GetPicture() const { return m_picture; }
    // Deletes the picture held before (unless it is `picture` itself), then holds `picture`.
    void SetPicture(cPictBase* picture);

private:
    cPictBase* m_picture = nullptr;
};

// Two blocks of bytes (maker-note data), each an owned copy: a caller's buffer (often the
// payload of a segment that dies with its parse) is never kept.
class cPictPropRaw : public cPictProp
{
public:
    i32 GetKind() const override { return kPictPropKindRaw; }

    // `index` 0 or 1. Copies `size` bytes (0 or a null `data` empties the block). False,
    // with the block empty, when the copy cannot be allocated or the index is not 0 or 1.
    [[nodiscard]] bool SetBlock(i32 index, const u8* data, u32 size);
    // The block's bytes (null when empty) and size.
    const u8* GetBlock(i32 index, u32* size) const;

private:
    _typebuf<u8> m_blocks[2];
};

// A new value object of the id's class; null for an unknown id or when memory is short.
[[nodiscard]] cPictProp* NewPictPropForId(i32 id);

#pragma once
// What the Exif decoder writes into: the properties of a picture, by property id. The
// picture library's picture object implements it; the decoder knows nothing else of it,
// so the TIFF and Exif services sit below the picture library.
#include "base/datetime.h"
#include "base/streams.h"
#include "base/types.h"

class cExifTarget
{
  public:
    // One value under a property id; a value of the wrong class for the id is dropped.
    virtual void SetExifInt(i32 id, i32 value) = 0;
    virtual void SetExifDouble(i32 id, f64 value) = 0;
    virtual void SetExifTimestamp(i32 id, const sDateTime& value) = 0;
    // UTF-8 text of `length` bytes.
    virtual void SetExifText(i32 id, const char* text, u32 length) = 0;
    // Bytes the target keeps a copy of (the block they come from dies with the parse).
    virtual void SetExifBlock(i32 id, const u8* data, u32 length) = 0;
    // A JPEG thumbnail (starting FF D8) in `jpeg`, valid during the call: the target
    // records that it exists and, with `decode`, decodes it.
    virtual void SetExifThumbnail(cFileIOTarget* jpeg, bool decode) = 0;

  protected:
    ~cExifTarget() = default;
};

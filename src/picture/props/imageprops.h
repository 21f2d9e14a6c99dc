#pragma once
// The property readers of picture files: cJPEGProps takes the size, camera, date taken,
// GPS position and Exif thumbnail from a JPEG's Exif block and decodes the picture itself
// only when it still needs pixels; cSimpleImageProps serves every other format the
// factory recognises through the picture object it probed.
#include "picture/formats/jpegpicture.h"
#include "picture/props/fileprops.h"
#include "picture/tiffraw/exifdecoder.h"

class cSimpleImageProps : public cFileObjectProps
{
  public:
    // Takes ownership of `picture`, probed by the factory.
    explicit cSimpleImageProps(cPictBase* picture);
    ~cSimpleImageProps() override;

    i32 GetPropsKind() override { return m_kind; }
    // The size, the page count of a multi-page picture, and a thumbnail when wanted or
    // when the picture has an embedded preview (both box sides non-zero, a negative side
    // unbounded). False when the picture's header cannot be read.
    bool ReadProps(cFileIOTarget* stream, void* reserved, bool wantPicture) override;

  private:
    cPictBase* m_picture;
    i32 m_kind;
};

// A reader whose rows come from an Exif block: its tag hook replaces the decoder's
// mapping of picture properties with the reader's own rows.
class cExifProps : public cFileObjectProps, public cExifDecoder
{
  public:
    cExifProps() : cExifDecoder(nullptr, false) {}

    // Walks one Exif block (the TIFF structure) into the rows, then decodes its JPEG
    // thumbnail into id 3 when it has one and the box is at least 1 x 1. False when the
    // block's header or IFD0 cannot be read.
    [[nodiscard]] bool ReadExifBlock(cFileIOTarget* block);

  protected:
    void OnTag(u16 tag, u16 type, const u8* value, u32 byteCount, u32 ifd) override;
    void OnIfdEnd(u32 ifd) override;

  private:
    void OnGpsTag(u16 tag, u16 type, const u8* value, u32 byteCount);
    void DecodeThumbnail(cFileIOTarget* block, u32 offset, u32 length);

    // GPS values are written when the GPS IFD ends: some tools write the reference after
    // its value.
    bool m_south = false;
    bool m_west = false;
    bool m_haveLatitude = false;
    bool m_haveLongitude = false;
    f64 m_latitude = 0;
    f64 m_longitude = 0;
};

class cJPEGProps : public cExifProps
{
  public:
    i32 GetPropsKind() override { return kFileKindJPEG; }
    // A box side below 1 means no picture. The markers are parsed; the scans are decoded
    // only when a picture is wanted and the Exif block gave no thumbnail. False when the
    // Exif block is not a TIFF structure.
    bool ReadProps(cFileIOTarget* stream, void* reserved, bool wantPicture) override;
};

// The JPEG picture that cJPEGProps decodes with, once per read.
class cPropJPEGWorker : public cPictJPEG
{
  public:
    cPropJPEGWorker(cExifProps* reader, bool wantPicture);
    ~cPropJPEGWorker() override = default;

    // Parses `stream` from 0 and ends the render; false when the parse failed, so that the
    // pixels of a cut or damaged file are not taken for its picture.
    [[nodiscard]] bool Run(cFileIOTarget* stream);
    [[nodiscard]] bool ExifFailed() const { return m_exifFailed; }

  protected:
    bool OnExifData(const u8* payload, u32 length) override;
    // A frame whose pixels will not be decoded gets no buffer.
    bool OnFrame() override;
    bool WantsPixels() override;

  private:
    cExifProps* m_reader;
    bool m_exifSeen = false;
    bool m_exifFailed = false;
    bool m_wantPicture;
};

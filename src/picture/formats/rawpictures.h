#pragma once
// The camera RAW formats that are TIFF structures with a Make or a marker of their own:
// recognised from the walked structure alone, developed through LibRaw, and shown by their
// stored JPEG previews where development is refused or not wanted.
//
// The Make-based rules refuse files with DNGVersion: a DNG converted from a camera file
// keeps the camera's Make. The raw-IFD requirement leaves a camera's ordinary RGB TIFF to
// the TIFF picture.
#include "picture/formats/tiffpicture.h"
#include "picture/tiffraw/tiffgeneric.h"

inline constexpr i32 kPictFormatNEF = 4;
inline constexpr i32 kPictFormatCR2 = 10;
inline constexpr i32 kPictFormatDNG = 15;
inline constexpr i32 kPictFormatMOS = 16;
inline constexpr i32 kPictFormatTIFFEP = 17;
inline constexpr i32 kPictFormat3FR = 18;
inline constexpr i32 kPictFormatIIQ = 22;
inline constexpr i32 kPictFormatSRW = 23;
inline constexpr i32 kPictFormatPEF = 24;
inline constexpr i32 kPictFormatARW = 25;

enum class eTiffRaw
{
    PEF,     // Make "PENTAX" or "RICOH", a raw IFD, no DNGVersion
    ARW,     // Make "SONY", ...
    SRW,     // Make "SAMSUNG", ...
    IIQ,     // the Phase One block right after the header: "IIII" ? "waR" or "MMMM" "Raw" ?
    MOS,     // LeafData in IFD0, or Make "Leaf" with a raw IFD; no DNGVersion
    CR2,     // identifier 42, IFD0 at 16 or later, "CR\2\0" at 8
    NEF,     // Make "NIKON", a raw IFD, no DNGVersion
    ThreeFR, // Make "Hasselblad", a raw IFD, no DNGVersion
    DNG,     // DNGVersion in IFD0
    TIFFEP,  // TIFF/EPStandardID in IFD0, a raw IFD, no DNGVersion
};

// How a class answers RenderPageThumbnail.
enum class eRawThumbnail
{
    Base,        // the picture's own thumbnail rules
    White,       // the same on a white background
    PreviewOnly, // the embedded preview alone, fitted into the box
};

class cPictTiffRaw : public cPictTIFF
{
  public:
    i32 GetFormatId() override;
    // The rule of the format; the size is what Load gives (developed, else the upright
    // largest preview), else the DNG raw IFD's crop (DNG) or the structure's generic size;
    // the preview flag as for TIFF.
    bool ReadInfo(cFileIOTarget* stream, sPictInfo* info) override;
    // LibRaw's development; the largest stored preview when LibRaw refuses the file (or,
    // for NEF, when the second option byte is 0). Both are upright, so the orientation
    // gives no rotation or mirroring property.
    bool Load(cFileIOTarget* stream) override;
    // The stored JPEG previews (maker notes included) and, for DNG, the uncompressed ones,
    // turned upright by IFD0's Orientation.
    bool LoadEmbeddedPreview(cFileIOTarget* stream, cPictBase* out, i32* width,
                             i32* height) override;
    bool RenderPageThumbnail(cFileIOTarget* stream, cPictBase* out, i32 maxW, i32 maxH, i32 page,
                             bool allowFullDecode, u32 background) override;

  protected:
    cPictTiffRaw(eTiffRaw kind, eRawThumbnail thumbnail) : m_kind(kind), m_thumbnail(thumbnail) {}

  private:
    // Load develops (else it shows the largest preview): every kind but NEF with the second
    // option byte 0.
    [[nodiscard]] bool Develops() const;

    eTiffRaw m_kind;
    eRawThumbnail m_thumbnail;
};

class cPictPEF : public cPictTiffRaw
{
  public:
    cPictPEF() : cPictTiffRaw(eTiffRaw::PEF, eRawThumbnail::Base) {}
};

class cPictARW : public cPictTiffRaw
{
  public:
    cPictARW() : cPictTiffRaw(eTiffRaw::ARW, eRawThumbnail::Base) {}
};

class cPictSRW : public cPictTiffRaw
{
  public:
    cPictSRW() : cPictTiffRaw(eTiffRaw::SRW, eRawThumbnail::Base) {}
};

class cPictIIQ : public cPictTiffRaw
{
  public:
    cPictIIQ() : cPictTiffRaw(eTiffRaw::IIQ, eRawThumbnail::Base) {}
};

class cPictMOS : public cPictTiffRaw
{
  public:
    cPictMOS() : cPictTiffRaw(eTiffRaw::MOS, eRawThumbnail::PreviewOnly) {}
};

class cPictCR2 : public cPictTiffRaw
{
  public:
    cPictCR2() : cPictTiffRaw(eTiffRaw::CR2, eRawThumbnail::White) {}
};

class cPictNEF : public cPictTiffRaw
{
  public:
    cPictNEF() : cPictTiffRaw(eTiffRaw::NEF, eRawThumbnail::White) {}
};

class cPictDNG : public cPictTiffRaw
{
  public:
    cPictDNG() : cPictTiffRaw(eTiffRaw::DNG, eRawThumbnail::PreviewOnly) {}

  protected:
    explicit cPictDNG(eTiffRaw kind) : cPictTiffRaw(kind, eRawThumbnail::PreviewOnly) {}
};

class cPict3FR : public cPictDNG
{
  public:
    cPict3FR() : cPictDNG(eTiffRaw::ThreeFR) {}
};

class cPictTIFF_EP : public cPictTiffRaw
{
  public:
    cPictTIFF_EP() : cPictTiffRaw(eTiffRaw::TIFFEP, eRawThumbnail::PreviewOnly) {}
};

// The factory's probe of the RAW and TIFF classes: ReadInfo on a temporary object.
template <class tPicture> [[nodiscard]] bool ProbeByReadInfo(cFileIOTarget* stream, sPictInfo* info)
{
    tPicture picture;
    return picture.ReadInfo(stream, info);
}

// ---- Containers that are not plain TIFF files ----

inline constexpr i32 kPictFormatCRW = 14;
inline constexpr i32 kPictFormatRAF = 19;
inline constexpr i32 kPictFormatRWL = 21;
inline constexpr i32 kPictFormatMRW = 26;
inline constexpr i32 kPictFormatORF = 27;
inline constexpr i32 kPictFormatX3F = 28;
inline constexpr i32 kPictFormatCR3 = 40;

enum class eRawContainer;

class cPictContainerRaw : public cPictBase
{
  public:
    i32 GetFormatId() override;
    // The size Load gives (developed, else the largest preview's), the container's recorded
    // size for a file without either, and whether a JPEG preview is stored.
    bool ReadInfo(cFileIOTarget* stream, sPictInfo* info) override;
    // LibRaw's development, the largest preview when LibRaw refuses the file; X3F shows
    // its largest preview always (the LibRaw build has no X3F decoder).
    bool Load(cFileIOTarget* stream) override;
    bool LoadEmbeddedPreview(cFileIOTarget* stream, cPictBase* out, i32* width,
                             i32* height) override;

  protected:
    explicit cPictContainerRaw(eRawContainer kind) : m_kind(kind) {}

  private:
    // LibRaw develops the container's data: every kind but X3F (no decoder in this build).
    [[nodiscard]] bool Develops() const;

    eRawContainer m_kind;
};

class cPictMRW : public cPictContainerRaw
{
  public:
    cPictMRW();
};

class cPictRAF : public cPictContainerRaw
{
  public:
    cPictRAF();
};

class cPictCRW : public cPictContainerRaw
{
  public:
    cPictCRW();
};

class cPictCR3 : public cPictContainerRaw
{
  public:
    cPictCR3();
};

class cPictX3F : public cPictContainerRaw
{
  public:
    cPictX3F();
};

// The TIFF variants of Panasonic/Leica and Olympus keep a TIFF structure part ahead of
// their picture part; the factory hands out the picture part.
class cPictRWL : public cTiffGeneric, public cPictContainerRaw
{
  public:
    cPictRWL();
};

class cPictORF : public cTiffGeneric, public cPictContainerRaw
{
  public:
    cPictORF();
};

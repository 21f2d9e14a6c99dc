#pragma once
// The JPEG 2000 decoder (ITU-T T.800 | ISO/IEC 15444-1) over OpenJPEG: JP2 files (the box
// structure of T.800 Annex I around a codestream) and bare codestreams. OpenJPEG does the
// entropy decoding, the wavelets and, for JP2 files, the colour boxes: it applies the palette
// (pclr), the component mapping (cmap) and the channel definitions (cdef) itself while
// decoding. This interface is ours; only jp2decoder.cpp sees OpenJPEG.
//
// Every record is used by value on the caller's stack for one operation and frees what it
// holds in its destructor, whatever step failed. OpenJPEG runs with one thread, its messages
// are discarded, and strict mode stays on: a truncated codestream fails instead of giving a
// partial image.
#include "base/streams.h"
#include "base/types.h"

struct opj_image;

// What the picture side reads from a decoded component.
struct sJp2Component
{
    u32 dx = 1; // sub-sampling on the reference grid
    u32 dy = 1;
    u32 width = 0; // samples per row and rows of this component
    u32 height = 0;
    u32 precision = 0; // 1..31 bits
    bool isSigned = false;
    bool isAlpha = false; // the codec named it an opacity channel (cdef)
    const i32* data = nullptr;
};

enum class eJp2ColorSpace : u8
{
    Unspecified,
    sRGB,
    Grey,
    sYCC,
    eYCC,
    CMYK,
    Unknown,
};

// The image record: the image area on the reference grid, then the decoded image.
struct sJp2Image
{
    u32 x0 = 0;
    u32 y0 = 0;
    u32 x1 = 0;
    u32 y1 = 0;
    opj_image* image = nullptr;

    sJp2Image() = default;
    ~sJp2Image();
    sJp2Image(const sJp2Image&) = delete;
    sJp2Image& operator=(const sJp2Image&) = delete;

    [[nodiscard]] u32 ComponentCount() const;
    // False past the count or before the header was read.
    [[nodiscard]] bool GetComponent(u32 index, sJp2Component& component) const;
    [[nodiscard]] eJp2ColorSpace ColorSpace() const;
};

// Frees the image record's components (the whole OpenJPEG image); the area stays.
void FreeJpcTileComponents(sJp2Image& image);

enum class eJp2Codec : u8
{
    Codestream, // a bare codestream: SOC, SIZ, ...
    File,       // a JP2 file: signature box, ftyp, jp2h, jp2c
};

// The codestream decoder: one OpenJPEG codec and one OpenJPEG stream.
struct sJpcDecoder
{
    explicit sJpcDecoder(eJp2Codec codec = eJp2Codec::Codestream);
    ~sJpcDecoder();
    sJpcDecoder(const sJpcDecoder&) = delete;
    sJpcDecoder& operator=(const sJpcDecoder&) = delete;

    // Reads the main header (for a JP2 file also the boxes before the codestream) from the
    // start of `stream` into `image`. False, with nothing large allocated, for an empty area,
    // more than 4 components, a precision outside 1..31, a sub-sampling of 0, a size past
    // the pixel cap, or a codestream without the data for its size (CodestreamHoldsItsData).
    [[nodiscard]] bool Decode(cFileIOTarget* stream, sJp2Image& image);
    // Restricts decoding to the image record's area.
    [[nodiscard]] bool SetDecodeArea(const sJp2Image& area);
    // Decodes the components into `image`; false when any component is left without data.
    [[nodiscard]] bool TakeImage(sJp2Image& image);

protected:
    void** m_codec = nullptr;  // opj_codec_t*
    void** m_stream = nullptr; // opj_stream_t*
    eJp2Codec m_kind;
};

// The JP2 file decoder: a codestream decoder plus the box check.
struct sJp2Decoder : sJpcDecoder
{
    sJp2Decoder() : sJpcDecoder(eJp2Codec::File) {}

    // Pass 0 checks the signature box and the file type box (brand "jp2 ", or "jp2 " among
    // the compatible brands; a file that is only "jpx " is refused) from the stream's
    // position. Pass 1 reads nothing: the codec applies the colour boxes while decoding, so
    // it answers true.
    [[nodiscard]] bool ReadFile(cFileIOTarget* stream, i32 pass);
    [[nodiscard]] bool TakeImage(sJp2Image& image) { return sJpcDecoder::TakeImage(image); }
};

// Kept for the decoder's interface: the palette lives in the codec's image, so there is
// nothing to free here.
inline void DeleteJp2Palette(sJp2Decoder&) {}

// True when the stream starts with a codestream's first two markers, SOC and SIZ (T.800
// A.4.1, A.5.1): the probe's cheap test before a codec is made.
[[nodiscard]] bool HasCodestreamStart(cFileIOTarget* stream);

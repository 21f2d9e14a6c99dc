#pragma once
// DICOM data sets in implicit VR little endian (DICOM PS3.5 7.1.3, A.1), the form of older
// modality and archive files: without a preamble, the elements start at offset 0. A PS3.10
// file whose meta information names this transfer syntax is read from the end of its meta
// group. Every image of the data set and of its undefined-length sequences is a page; there
// is no frame splitting.
#include "picture/formats/dicomimage.h"

inline constexpr i32 kPictFormatDICOMLegacy = 33;

class cPictDICOMLegacy : public cPictDICOMBase
{
  public:
    i32 GetFormatId() override { return kPictFormatDICOMLegacy; }

  protected:
    // The element walk; then records without pixel data, columns or rows are dropped and a
    // missing samples per pixel reads as 1.
    bool ParseFile(cFileIOTarget* stream) override;
    // Uncompressed data (the expected length, or twice it), or a JPEG 2000 frame.
    bool DecodeImage(cFileIOTarget* stream, const sDicomImage& image) override;

  private:
    [[nodiscard]] bool ParseElements(cFileIOTarget* stream, u64& position, u64 end, i32& counter,
                                     i32 depth);
    [[nodiscard]] bool OnElement(u16 group, u16 element, u32 length, u32 offset, i32 key);
};

// ReadInfo on a temporary picture: the format probe.
[[nodiscard]] bool ProbeDICOMLegacy(cFileIOTarget* stream, sPictInfo* info);

#pragma once
// DICOM files (DICOM PS3.10 7): a 128-byte preamble, "DICM", then the data set in explicit
// VR little endian (PS3.5 7.1.2). Every image of the data set and of its sequence items is a
// page; a multi-frame image gives one page per frame, after the images of the items.
#include "picture/formats/dicomimage.h"

inline constexpr i32 kPictFormatDICOM = 32;

class cPictDICOM : public cPictDICOMBase
{
  public:
    i32 GetFormatId() override { return kPictFormatDICOM; }

  protected:
    // The preamble check, the element walk from offset 132, then frame splitting.
    bool ParseFile(cFileIOTarget* stream) override;
    // Uncompressed data, or the first frame of encapsulated JPEG 2000 or JPEG data.
    bool DecodeImage(cFileIOTarget* stream, const sDicomImage& image) override;

  private:
    // Walks the elements from `position` to `end`; a nested walk for every sequence item.
    [[nodiscard]] bool ParseElements(cFileIOTarget* stream, u64& position, u64 end, i32& counter,
                                     i32 depth);
    [[nodiscard]] bool OnElement(u16 group, u16 element, const char* vr, u32 length, u32 offset,
                                 i32 key);
    // A US value of length 2 or a UL value of length 4 at `offset`.
    [[nodiscard]] bool ReadValueUS(u32 length, const char* vr, u32 offset, u32& value);
    // Each multi-frame record becomes one record per frame.
    [[nodiscard]] bool SplitFrames();
};

// ReadInfo on a temporary picture: the format probe.
[[nodiscard]] bool ProbeDICOM(cFileIOTarget* stream, sPictInfo* info);

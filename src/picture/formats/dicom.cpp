// The explicit-VR DICOM reader. Glossary (DICOM PS3.5 7.1.2, PS3.10 7.1):
//   preamble   128 bytes of any content at the start of a file, then "DICM"
//   element    tag (group u16, element u16), VR (two letters), value length, value
//   short form VRs whose length is a u16 right after the VR (8-byte header)
//   long form  OB, OD, OF, OW, SQ, UN, UT: two reserved bytes that must be 0, then a u32
//              length (12-byte header); 0xFFFFFFFF is an undefined length, which here makes
//              the value run to the end of the walk that holds it
//   SQ         a sequence of items (FFFE,E000), each a nested data set, ended by its length
//              or by a sequence delimiter (FFFE,E0DD)
//
// Tags must ascend within each data set. Every position and end is 64-bit, so no length
// can wrap past the stream-size checks.
#include "picture/formats/dicom.h"

#include "base/byteorder.h"

#include <cstring>

namespace {

constexpr u64 kMagicOffset = 128;
constexpr u64 kDataSetStart = 132;
constexpr u32 kShortHeaderBytes = 8;
constexpr u32 kLongHeaderBytes = 12;
// A multi-frame image splits into at most this many pages; a record that would give more
// stays one record (and so fails to decode as uncompressed data).
constexpr u64 kMostFrames = 65536;

// VRs of the short form; UC, UR, OL, OV, SV and UV (added to PS3.5 later) are refused.
constexpr char kShortVRs[][3] = {"AE", "AS", "AT", "CS", "DA", "DS", "DT", "FD", "FL", "IS", "LO",
                                 "LT", "PN", "SH", "SL", "SS", "ST", "TM", "UI", "UL", "US"};

bool IsShortFormVR(const char* vr)
{
    for (const char* entry : kShortVRs) {
        if (entry[0] == vr[0] && entry[1] == vr[1]) {
            return true;
        }
    }
    return false;
}

} // namespace

bool cPictDICOM::ParseFile(cFileIOTarget* stream)
{
    u8 magic[4];
    const u64 size = stream->GetSize();
    if (size == kUnknownStreamSize || !stream->Seek(kMagicOffset) || !stream->ReadExact(magic, 4) ||
        std::memcmp(magic, "DICM", 4) != 0) {
        return false;
    }
    m_stream = stream;
    u64 position = kDataSetStart;
    i32 counter = 0;
    return ParseElements(stream, position, size, counter, 0) && SplitFrames() &&
           m_images.GetCount() > 0;
}

bool cPictDICOM::ParseElements(cFileIOTarget* stream, u64& position, u64 end, i32& counter,
                               i32 depth)
{
    const i32 key = counter;
    const u64 size = stream->GetSize();
    cDicomTagOrder order;
    for (;;) {
        u8 header[kLongHeaderBytes];
        if (!stream->Seek(position)) {
            return false;
        }
        const u32 got = stream->Read(header, kShortHeaderBytes);
        if (got == 0) {
            return true;
        }
        if (got < kShortHeaderBytes) {
            return false;
        }
        const u16 group = LoadLe16(header);
        const u16 element = LoadLe16(header + 2);
        const eDicomGroup kind = ClassifyDicomGroup(group);
        if (kind != eDicomGroup::Ordinary) {
            return kind == eDicomGroup::EndsWalk;
        }
        if (order.Next(group, element) != cDicomTagOrder::eStep::Ascends) {
            return false;
        }

        const char vr[2] = {char(header[4]), char(header[5])};
        u64 valueStart = position + kShortHeaderBytes;
        u32 length = LoadLe16(header + 6);
        bool undefined = false;
        if (IsDicomLongFormVR(vr)) {
            if (length != 0 || !stream->ReadExact(header + kShortHeaderBytes, 4)) {
                return false;
            }
            length = LoadLe32(header + kShortHeaderBytes);
            valueStart = position + kLongHeaderBytes;
            undefined = length == kDicomUndefinedLength;
        } else if (!IsShortFormVR(vr)) {
            return false;
        }
        const u64 valueEnd = undefined ? end : valueStart + length;
        if (valueStart > end || valueEnd > end) {
            return false;
        }
        if (vr[0] == 'S' && vr[1] == 'Q') {
            auto walkItem = [&](u64& inner, u64 itemEnd) {
                return ParseElements(stream, inner, itemEnd, counter, depth + 1);
            };
            u64 after = valueStart;
            if (!WalkSequence(stream, after, valueEnd, counter, depth, walkItem)) {
                return false;
            }
            // An undefined length ends at its delimiter.
            position = undefined ? after : valueEnd;
        } else {
            if (valueEnd > size || valueEnd > 0xFFFFFFFF ||
                !OnElement(group, element, vr, u32(valueEnd - valueStart), u32(valueStart), key)) {
                return false;
            }
            position = valueEnd;
        }
        if (position >= end) {
            return position == end;
        }
    }
}

bool cPictDICOM::ReadValueUS(u32 length, const char* vr, u32 offset, u32& value)
{
    if (vr[0] != 'U' || !((vr[1] == 'S' && length == 2) || (vr[1] == 'L' && length == 4))) {
        return false;
    }
    return ReadDicomValue(m_stream, offset, length, value);
}

bool cPictDICOM::OnElement(u16 group, u16 element, const char* vr, u32 length, u32 offset, i32 key)
{
    if (IsDicomPixelData(group, element)) {
        return StorePixelData(key, offset, length);
    }
    const sDicomAttribute* attribute = FindDicomAttribute(group, element);
    if (attribute == nullptr) {
        return true;
    }
    u32 value = 0;
    return ReadValueUS(length, vr, offset, value) && (value != 0 || !attribute->mustBeNonZero) &&
           StoreAttribute(key, *attribute, value);
}

bool cPictDICOM::SplitFrames()
{
    if (m_images.GetCount() == 0) {
        return true;
    }
    const i32 lastOriginal = m_images.Last()->GetKey();
    i32 lastKey = lastOriginal;
    for (tImageMap::cNode* node = m_images.First();
         node != nullptr && node->GetKey() <= lastOriginal;) {
        tImageMap::cNode* next = tImageMap::Next(node);
        const sDicomImage image = node->GetValue();
        const u64 frame = DicomFrameBytes(image);
        if (image.offset == 0 || image.length == 0 || image.samples == 0 ||
            image.bitsAllocated < 8 || image.rows == 0 || image.columns == 0) {
            m_images.Erase(node);
            node = next;
            continue;
        }
        // Odd frame data carry one pad byte (PS3.5 8.1.1).
        const u64 length =
            image.length % 2 == 0 && image.length % frame != 0 ? image.length - 1 : image.length;
        const u64 frames = length % frame == 0 ? length / frame : 0;
        if (frames >= 2 && frames <= kMostFrames && lastKey <= INT32_MAX - i32(frames)) {
            for (u64 i = 0; i < frames; ++i) {
                sDicomImage* copy = RecordOf(++lastKey);
                if (copy == nullptr) {
                    return false;
                }
                *copy = image;
                copy->offset = u32(image.offset + i * frame);
                copy->length = u32(frame);
            }
            m_images.Erase(node);
        }
        node = next;
    }
    return true;
}

bool cPictDICOM::DecodeImage(cFileIOTarget* stream, const sDicomImage& image)
{
    return DecodeWithRules(stream, image,
                           {.acceptsTwiceLength = false, .triesJpeg = true, .fixedWindows = 4});
}

bool ProbeDICOM(cFileIOTarget* stream, sPictInfo* info)
{
    cPictDICOM reader;
    return reader.ReadInfo(stream, info);
}

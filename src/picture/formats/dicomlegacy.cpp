// The implicit-VR DICOM reader. Glossary (DICOM PS3.5 7.1.3, 7.5; PS3.10 7.1):
//   element   tag (group u16, element u16), u32 value length, value; the VR is implied
//   undefined length 0xFFFFFFFF: a sequence of items (FFFE,E000), each a nested data set,
//             ended by a sequence delimiter (FFFE,E0DD) or the end of the walk
//   meta group 0002 of a PS3.10 file, always explicit VR little endian; its Transfer
//             Syntax UID (0002,0010) tells how the data set after it is encoded
//
// A sequence of defined length is one element: its items are not walked. Every position
// and end is 64-bit, so no length can wrap past the stream-size checks.
#include "picture/formats/dicomlegacy.h"

#include "base/byteorder.h"

#include <cstring>
#include <string_view>

namespace {

constexpr u64 kMagicOffset = 128;
constexpr u64 kMetaStart = 132;
constexpr u32 kHeaderBytes = 8;
constexpr u32 kLongestLength = 0x7FFFFFFF;
constexpr u16 kMetaGroup = 0x0002;
constexpr u16 kTransferSyntax = 0x0010;
constexpr std::string_view kImplicitLittleEndian = "1.2.840.10008.1.2";
constexpr u32 kLongestUid = 64;

// Whether the transfer syntax value names implicit VR little endian; UIDs are padded to an
// even length with a NUL (PS3.5 9.1), and some writers pad with a space.
bool IsImplicitLittleEndian(cFileIOTarget* stream, u64 offset, u32 length)
{
    char uid[kLongestUid];
    if (length > kLongestUid || !stream->Seek(offset) || !stream->ReadExact(uid, length)) {
        return false;
    }
    std::string_view value(uid, length);
    while (!value.empty() && (value.back() == '\0' || value.back() == ' ')) {
        value.remove_suffix(1);
    }
    return value == kImplicitLittleEndian;
}

// For a PS3.10 file whose meta group names implicit VR little endian: where the data set
// starts, right after the meta group. False for any other stream.
bool FindImplicitDataSet(cFileIOTarget* stream, u64& start)
{
    u8 header[kHeaderBytes + 4];
    if (!stream->Seek(kMagicOffset) || !stream->ReadExact(header, 4) ||
        std::memcmp(header, "DICM", 4) != 0) {
        return false;
    }
    bool implicit = false;
    for (u64 position = kMetaStart;;) {
        if (!stream->Seek(position) || !stream->ReadExact(header, kHeaderBytes)) {
            return false;
        }
        if (LoadLe16(header) != kMetaGroup) {
            start = position;
            return implicit;
        }
        const char vr[2] = {char(header[4]), char(header[5])};
        u64 valueStart = position + kHeaderBytes;
        u32 length = LoadLe16(header + 6);
        if (IsDicomLongFormVR(vr)) {
            if (!stream->ReadExact(header + kHeaderBytes, 4)) {
                return false;
            }
            length = LoadLe32(header + kHeaderBytes);
            valueStart += 4;
        }
        if (length == kDicomUndefinedLength) {
            return false;
        }
        if (LoadLe16(header + 2) == kTransferSyntax) {
            implicit = IsImplicitLittleEndian(stream, valueStart, length);
        }
        position = valueStart + length;
    }
}

} // namespace

bool cPictDICOMLegacy::ParseFile(cFileIOTarget* stream)
{
    const u64 size = stream->GetSize();
    if (size == kUnknownStreamSize) {
        return false;
    }
    m_stream = stream;
    u64 position = 0;
    if (!FindImplicitDataSet(stream, position)) {
        position = 0;
    }
    i32 counter = 0;
    if (!ParseElements(stream, position, size, counter, 0)) {
        return false;
    }
    for (tImageMap::cNode* node = m_images.First(); node != nullptr;) {
        tImageMap::cNode* next = tImageMap::Next(node);
        sDicomImage& image = node->GetValue();
        if (image.offset == 0 || image.length == 0 || image.columns == 0 || image.rows == 0) {
            m_images.Erase(node);
        } else if (image.samples == 0) {
            image.samples = 1;
        }
        node = next;
    }
    return m_images.GetCount() > 0;
}

bool cPictDICOMLegacy::ParseElements(cFileIOTarget* stream, u64& position, u64 end, i32& counter,
                                     i32 depth)
{
    const i32 key = counter;
    const u64 size = stream->GetSize();
    cDicomTagOrder order;
    for (;;) {
        u8 header[kHeaderBytes];
        if (!stream->Seek(position)) {
            return false;
        }
        const u32 got = stream->Read(header, kHeaderBytes);
        // Some writers end a data set with a 2-byte zero pad.
        if (got == 0 || (got == 2 && LoadLe16(header) == 0)) {
            return true;
        }
        if (got < kHeaderBytes) {
            return false;
        }
        const u16 group = LoadLe16(header);
        const u16 element = LoadLe16(header + 2);
        const u32 length = LoadLe32(header + 4);
        const eDicomGroup kind = ClassifyDicomGroup(group);
        if (kind != eDicomGroup::Ordinary) {
            return kind == eDicomGroup::EndsWalk;
        }
        // An all-zero header: zero padding, such as a PS3.10 preamble.
        if (group == 0 && element == 0 && length == 0) {
            return true;
        }
        position += kHeaderBytes;
        const cDicomTagOrder::eStep step = order.Next(group, element);
        if (step == cDicomTagOrder::eStep::GroupBelow) {
            // Whatever trails the pixel data out of order is not part of the data set.
            return order.FollowsPixelData();
        }
        if (step == cDicomTagOrder::eStep::ElementNotAbove) {
            return false;
        }
        if (length == kDicomUndefinedLength) {
            if (!WalkSequence(stream, position, end, counter, depth, [&](u64& inner, u64 itemEnd) {
                    return ParseElements(stream, inner, itemEnd, counter, depth + 1);
                })) {
                return false;
            }
        } else {
            if (length >= kLongestLength || position + length > size || position > 0xFFFFFFFF ||
                !OnElement(group, element, length, u32(position), key)) {
                return false;
            }
            position += length;
        }
        if (position >= end) {
            return position == end;
        }
    }
}

bool cPictDICOMLegacy::OnElement(u16 group, u16 element, u32 length, u32 offset, i32 key)
{
    if (IsDicomPixelData(group, element)) {
        return StorePixelData(key, offset, length);
    }
    const sDicomAttribute* attribute = FindDicomAttribute(group, element);
    if (attribute == nullptr) {
        return true;
    }
    u32 value = 0;
    return length == 2 && ReadDicomValue(m_stream, offset, 2, value) &&
           StoreAttribute(key, *attribute, value);
}

bool cPictDICOMLegacy::DecodeImage(cFileIOTarget* stream, const sDicomImage& image)
{
    return DecodeWithRules(stream, image,
                           {.acceptsTwiceLength = true, .triesJpeg = false, .fixedWindows = 1});
}

bool ProbeDICOMLegacy(cFileIOTarget* stream, sPictInfo* info)
{
    cPictDICOMLegacy reader;
    return reader.ReadInfo(stream, info);
}

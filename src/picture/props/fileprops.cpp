#include "picture/props/fileprops.h"

#include "base/utf.h"

#include <new>

namespace {

struct sKindRow
{
    i32 formatId;
    i32 kind;
};

// Format ids of the factory and the kind code each gives. A DIB is of the bitmap family,
// as both DICOM formats share one code.
constexpr sKindRow kKindTable[] = {
    {6, 1},   // BMP
    {5, 1},   // DIB
    {32, 2},  // DICOM
    {33, 2},  // DICOM
    {11, 3},  // GIF
    {12, 4},  // ICNS
    {7, 5},   // ICO
    {9, 6},   // J2K
    {8, 7},   // JP2
    {1, 8},   // JPEG
    {31, 9},  // PCX
    {3, 10},  // PNG
    {30, 11}, // PPM
    {29, 12}, // TGA
    {2, 13},  // TIFF
    {25, 16}, // ARW
    {10, 17}, // CR2
    {14, 18}, // CRW
    {15, 19}, // DNG
    {18, 20}, // 3FR
    {22, 21}, // IIQ
    {16, 22}, // MOS
    {26, 23}, // MRW
    {4, 24},  // NEF
    {27, 25}, // ORF
    {24, 26}, // PEF
    {19, 27}, // RAF
    {21, 28}, // RWL
    {23, 29}, // SRW
    {17, 30}, // TIFF-EP
    {28, 31}, // X3F
};

constexpr i32 kIntIds[] = {0, 1, 2, 4, 5, 16, 20, 21};
constexpr i32 kTextIds[] = {6, 7, 8, 9, 10, 11, 14, 15};

template <size_t N> constexpr bool Contains(const i32 (&ids)[N], i32 id)
{
    for (i32 candidate : ids) {
        if (candidate == id) {
            return true;
        }
    }
    return false;
}

template <class Map, class Value> bool Store(Map& map, i32 id, Value&& value)
{
    auto* slot = map.GetOrAdd(id);
    if (slot == nullptr) {
        return false;
    }
    *slot = static_cast<Value&&>(value);
    return true;
}

} // namespace

void cFileObjectProps::ResetProps()
{
    m_boxWidth = -1;
    m_boxHeight = -1;
    m_ints.Clear();
    m_reals.Clear();
    m_texts.Clear();
    m_pictures.Clear();
}

i32 FileKindForFormat(i32 formatId)
{
    for (const sKindRow& row : kKindTable) {
        if (row.formatId == formatId) {
            return row.kind;
        }
    }
    return kFileKindOtherPicture;
}

cPictDummy* FindThumbnail(cFileObjectProps* reader)
{
    if (reader == nullptr) {
        return nullptr;
    }
    cPictDummy** slot = reader->m_pictures.FindIntKeyValue(kFilePropPicture);
    return slot != nullptr ? *slot : nullptr;
}

bool SetIntProp(cFileObjectProps* reader, i32 id, i32 value)
{
    return reader != nullptr && Contains(kIntIds, id) && Store(reader->m_ints, id, value);
}

bool SetRealProp(cFileObjectProps* reader, i32 id, f64 value)
{
    return reader != nullptr && Store(reader->m_reals, id, value);
}

bool SetTextProp(cFileObjectProps* reader, i32 id, const char16_t* text)
{
    if (reader == nullptr || !Contains(kTextIds, id)) {
        return false;
    }
    _guardchar<char16_t> copy;
    return copy.Assign(text) && Store(reader->m_texts, id, std::move(copy));
}

bool SetTextPropNarrow(cFileObjectProps* reader, i32 id, const char* bytes, i64 length)
{
    if (reader == nullptr || !Contains(kTextIds, id)) {
        return false;
    }
    _guardchar<char16_t> text;
    return Utf8ToWideString(bytes, length, text) && Store(reader->m_texts, id, std::move(text));
}

bool SetDateTimeProp(cFileObjectProps* reader, i32 id, const sDateTime& value)
{
    return reader != nullptr && Store(reader->m_dateTimes, id, value);
}

bool SetThumbnail(cFileObjectProps* reader, cPictBase* picture)
{
    if (reader == nullptr || picture == nullptr) {
        return false;
    }
    cPictDummy** slot = reader->m_pictures.GetOrAdd(kFilePropPicture);
    if (slot == nullptr) {
        return false;
    }
    if (*slot == nullptr) {
        *slot = new (std::nothrow) cPictDummy;
        if (*slot == nullptr) {
            reader->m_pictures.Erase(kFilePropPicture);
            return false;
        }
    }
    (*slot)->TakePixels(picture);
    return true;
}

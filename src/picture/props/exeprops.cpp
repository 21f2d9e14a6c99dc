#include "picture/props/exeprops.h"

#include "base/byteorder.h"
#include "base/subrange.h"
#include "picture/formats/dib.h"
#include "picture/formats/ico.h"
#include "picture/formats/pngreader.h"

#include <cmath>
#include <new>

namespace {

bool ReadAt(cFileIOTarget* stream, u64 position, void* buffer, u32 length)
{
    return stream->Seek(position) && stream->ReadExact(buffer, length);
}

constexpr u32 kSubdirectoryBit = 0x80000000u;

// One directory of the resource tree (16 bytes, then 8-byte entries): the reading state
// shared by its three levels.
struct sResourceWalk
{
    cFileIOTarget* stream;
    u64 sectionOffset;
    u64 sectionSize;
    u32 entriesRead = 0;

    // Reads the directory at `offset` in the section: its entries (named, then id) into
    // `entries` (allocated here). False when it leaves the section, has no id entry, or
    // the entry budget is spent.
    bool ReadDirectory(u64 offset, _typebuf<u8>& entries, u32& count, u32& named)
    {
        u8 header[16];
        if (offset > sectionSize || sectionSize - offset < 16 ||
            !ReadAt(stream, sectionOffset + offset, header, 16)) {
            return false;
        }
        named = LoadLe16(header + 12);
        const u32 ids = LoadLe16(header + 14);
        count = named + ids;
        if (ids == 0 || u64(count) * 8 > sectionSize - offset - 16) {
            return false;
        }
        entriesRead += count;
        if (entriesRead > kMaxResourceEntries || !entries.Alloc(count * 8)) {
            return false;
        }
        return stream->ReadExact(entries.GetData(), count * 8);
    }

    // The key of entry `i` of a directory: an id, or a name word with the top bit set.
    static u32 EntryKey(const u8* entries, u32 i, u32 named)
    {
        return LoadLe32(entries + i * 8) | (i < named ? kSubdirectoryBit : 0);
    }
};

// The language level: each entry points at a 16-byte data entry {RVA, size, code page,
// reserved} inside the section. An unreadable data entry is skipped.
bool ReadResourceLanguages(sResourceWalk& walk, u64 offset, tResourceLanguages& languages)
{
    _typebuf<u8> entries;
    u32 count = 0;
    u32 named = 0;
    if (!walk.ReadDirectory(offset, entries, count, named)) {
        return false;
    }
    for (u32 i = 0; i < count; ++i) {
        const u8* entry = entries.GetData() + i * 8;
        const u32 target = LoadLe32(entry + 4);
        if ((target & kSubdirectoryBit) != 0 || target > walk.sectionSize ||
            walk.sectionSize - target < 16) {
            return false;
        }
        u8 data[16];
        if (!ReadAt(walk.stream, walk.sectionOffset + target, data, 16)) {
            continue;
        }
        if (!languages.Append({LoadLe32(data), LoadLe32(data + 4),
                               sResourceWalk::EntryKey(entries.GetData(), i, named)})) {
            return false;
        }
    }
    return true;
}

// The name level: each entry points at a language directory inside the section.
bool ReadResourceNames(sResourceWalk& walk, u64 offset, tResourceNames& names)
{
    _typebuf<u8> entries;
    u32 count = 0;
    u32 named = 0;
    if (!walk.ReadDirectory(offset, entries, count, named)) {
        return false;
    }
    for (u32 i = 0; i < count; ++i) {
        const u8* entry = entries.GetData() + i * 8;
        const u32 target = LoadLe32(entry + 4);
        if ((target & kSubdirectoryBit) == 0) {
            return false;
        }
        tResourceLanguages** languages =
            names.GetOrAdd(sResourceWalk::EntryKey(entries.GetData(), i, named));
        if (languages == nullptr) {
            return false;
        }
        if (*languages == nullptr &&
            (*languages = new (std::nothrow) tResourceLanguages) == nullptr) {
            return false;
        }
        if (!ReadResourceLanguages(walk, target & ~kSubdirectoryBit, **languages)) {
            return false;
        }
    }
    return true;
}

// A RVA range of the resource section as a file offset; false when it leaves the
// section's raw data.
bool FileOffsetOf(const sPeResources& section, u32 rva, u32 size, u64& offset)
{
    if (rva < section.virtualAddress) {
        return false;
    }
    const u64 inSection = u64(rva) - section.virtualAddress;
    if (inSection > section.rawSize || section.rawSize - inSection < size) {
        return false;
    }
    offset = section.rawOffset + inSection;
    return true;
}

tResourceLanguages* FindLanguages(tResourceIndex& index, u32 type, u32 name)
{
    tResourceNames** names = index.FindIntKeyValue(type);
    if (names == nullptr) {
        return nullptr;
    }
    tResourceLanguages** languages = (*names)->FindIntKeyValue(name);
    return languages != nullptr ? *languages : nullptr;
}

// The version block's fixed part: header (6), "VS_VERSION_INFO" with its terminator (32),
// padding (2), then VS_FIXEDFILEINFO (52) whose signature opens it.
constexpr u32 kVersionHeadSize = 92;
constexpr u32 kFixedInfoOffset = 40;
constexpr u32 kFixedInfoSignature = 0xFEEF04BD;
// Real files nest three deep: the children of VS_VERSIONINFO, StringFileInfo, a table.
constexpr int kMaxVersionDepth = 8;
constexpr u32 kBlockHeaderSize = 6;

u64 RoundUp4(u64 value)
{
    return (value + 3) & ~u64(3);
}

bool WalkVersionArea(cFileIOTarget* area, u64 start, u64 end, int depth, tVersionStrings& strings)
{
    if (depth > kMaxVersionDepth) {
        return false;
    }
    _typebuf<u8> block;
    for (u64 position = start; position < end;) {
        // Fewer bytes than a header are padding.
        if (end - position < kBlockHeaderSize) {
            return true;
        }
        u8 header[kBlockHeaderSize];
        if (!ReadAt(area, position, header, kBlockHeaderSize)) {
            return false;
        }
        const u32 length = LoadLe16(header);
        const u32 valueLength = LoadLe16(header + 2);
        const u32 type = LoadLe16(header + 4);
        if (length < 4 || length > end - position) {
            return false;
        }
        // Exactly the block's bytes: a last block may end at the area's end, short of
        // the 4-byte boundary.
        if (!block.Alloc(length) || !ReadAt(area, position, block.GetData(), length)) {
            return false;
        }
        const char16_t* units = reinterpret_cast<const char16_t*>(block.GetData());
        const u32 unitCount = length / 2;
        u32 keyEnd = kBlockHeaderSize / 2;
        while (keyEnd < unitCount && LoadLe16(block.GetData() + keyEnd * 2) != 0) {
            ++keyEnd;
        }
        if (keyEnd >= unitCount) {
            return false;
        }
        const u64 valueStart = RoundUp4(u64(keyEnd + 1) * 2);
        if (valueStart >= length) {
            return false;
        }
        if (valueLength == 0) {
            if (!WalkVersionArea(area, position + valueStart, position + length, depth + 1,
                                 strings)) {
                return false;
            }
        } else if (type != 0) {
            u32 valueEnd = length / 2;
            const u32 valueFirst = u32(valueStart / 2);
            while (valueEnd > valueFirst &&
                   (units[valueEnd - 1] == 0 || units[valueEnd - 1] == u' ')) {
                --valueEnd;
            }
            sPackedKey key;
            _guardchar<char16_t> value;
            if (!key.InitFromBytes(reinterpret_cast<const char*>(units + 3), (keyEnd - 3) * 2) ||
                !value.AssignN(units + valueFirst, valueEnd - valueFirst)) {
                return false;
            }
            _guardchar<char16_t>* slot = strings.GetOrAdd(key);
            if (slot == nullptr) {
                return false;
            }
            *slot = std::move(value);
        }
        position = std::min<u64>(position + RoundUp4(length), end);
    }
    return true;
}

const _guardchar<char16_t>* FindString(tVersionStrings& strings, const char16_t* name)
{
    sPackedKey key;
    if (!key.InitFromBytes(reinterpret_cast<const char*>(name),
                           i64(std::char_traits<char16_t>::length(name) * 2))) {
        return nullptr;
    }
    tVersionStrings::cNode* node = strings.Find(key);
    return node != nullptr ? &node->GetValue() : nullptr;
}

// Probes one icon image: a PNG, else a bitmap whose height counts the AND mask.
bool ProbeIconImage(cFileIOTarget* image, sPictInfo& info)
{
    return (image->Seek(0) && ProbePNG(image, &info)) ||
           (image->Seek(0) && ProbeDIBHeader(image, &info, eDibMode::Icon));
}

struct sIconCandidate
{
    u64 offset = 0;
    u32 size = 0;
    i32 width = 0;
    i32 height = 0;
    bool found = false;

    u64 Area() const { return u64(width) * u64(height); }
};

// A side fits when half of it is below the box's side; a negative box side is no bound.
bool FitsHalved(i32 side, i32 box)
{
    return box < 0 || i64(side) < 2 * i64(box);
}

i32 TargetSide(i32 side, f64 scale)
{
    return std::max<i32>(1, i32(std::floor(side * scale + 0.5)));
}

} // namespace

bool ReadPeResources(cFileIOTarget* stream, sPeResources& out)
{
    u8 dos[64];
    if (stream == nullptr || !ReadAt(stream, 0, dos, 64) || dos[0] != 'M' || dos[1] != 'Z') {
        return false;
    }
    const u64 peOffset = LoadLe32(dos + 60);
    u8 pe[24];
    if (peOffset < 64 || !ReadAt(stream, peOffset, pe, 24) || LoadLe32(pe) != 0x00004550) {
        return false;
    }
    const u32 sections = LoadLe16(pe + 6);
    const u32 optionalSize = LoadLe16(pe + 20);
    if (sections == 0 || optionalSize == 0 || !stream->Seek(peOffset + 24 + optionalSize)) {
        return false;
    }
    for (u32 i = 0; i < sections; ++i) {
        u8 section[40];
        if (!stream->ReadExact(section, 40)) {
            return false;
        }
        if (std::memcmp(section, ".rsrc\0\0\0", 8) == 0) {
            out = {LoadLe32(pe + 8), LoadLe32(section + 12), LoadLe32(section + 16),
                   LoadLe32(section + 20)};
            return out.rawSize != 0 && out.rawOffset != 0;
        }
    }
    return false;
}

bool IsPeWithResources(cFileIOTarget* stream)
{
    sPeResources section;
    return ReadPeResources(stream, section);
}

bool ReadResourceIndex(cFileIOTarget* stream, u64 sectionOffset, u64 sectionSize,
                       tResourceIndex& index)
{
    sResourceWalk walk{stream, sectionOffset, sectionSize};
    _typebuf<u8> entries;
    u32 count = 0;
    u32 named = 0;
    if (stream == nullptr || !walk.ReadDirectory(0, entries, count, named)) {
        return false;
    }
    for (u32 i = 0; i < count; ++i) {
        const u8* entry = entries.GetData() + i * 8;
        const u32 target = LoadLe32(entry + 4);
        if ((target & kSubdirectoryBit) == 0) {
            return false;
        }
        const u32 type = sResourceWalk::EntryKey(entries.GetData(), i, named);
        if (type != kResourceTypeIcon && type != kResourceTypeVersion) {
            continue;
        }
        tResourceNames** names = index.GetOrAdd(type);
        if (names == nullptr) {
            return false;
        }
        if (*names == nullptr &&
            (*names = new (std::nothrow) tResourceNames(kDefaultKeyTreeDepthLimit)) == nullptr) {
            return false;
        }
        if (!ReadResourceNames(walk, target & ~kSubdirectoryBit, **names)) {
            return false;
        }
    }
    return true;
}

bool ReadVersionStrings(cFileIOTarget* area, tVersionStrings& strings)
{
    return area != nullptr && WalkVersionArea(area, 0, area->GetSize(), 1, strings);
}

bool cWinExeProps::ReadProps(cFileIOTarget* stream, void*, bool)
{
    sPeResources section;
    tResourceIndex index(kDefaultKeyTreeDepthLimit);
    if (!ReadPeResources(stream, section) ||
        !ReadResourceIndex(stream, section.rawOffset, section.rawSize, index)) {
        return false;
    }
    ReadVersion(stream, section, index);
    if (section.linkTime != 0) {
        (void)SetDateTimeProp(this, kFilePropLinkTime,
                              UnixTimeToDateTime(section.linkTime & 0x7FFFFFFF));
    }
    ReadIcon(stream, section, index);
    return true;
}

void cWinExeProps::ReadVersion(cFileIOTarget* stream, const sPeResources& section,
                               tResourceIndex& index)
{
    tResourceLanguages* languages = FindLanguages(index, kResourceTypeVersion, 1);
    if (languages == nullptr) {
        return;
    }
    tVersionStrings strings(kDefaultKeyTreeDepthLimit);
    bool parsed = false;
    for (auto it = languages->begin(); it != languages->end() && !parsed; ++it) {
        u64 offset = 0;
        u8 head[kVersionHeadSize];
        if (it->size < kVersionHeadSize || !FileOffsetOf(section, it->rva, it->size, offset) ||
            !ReadAt(stream, offset, head, kVersionHeadSize) ||
            LoadLe32(head + kFixedInfoOffset) != kFixedInfoSignature) {
            continue;
        }
        const u32 length = LoadLe16(head);
        const u32 childrenStart = kFixedInfoOffset + LoadLe16(head + 2);
        if (childrenStart > length || length > it->size) {
            continue;
        }
        cFileIOSubRange children(stream, offset + childrenStart, length - childrenStart);
        strings.Clear();
        parsed = ReadVersionStrings(&children, strings);
    }
    if (!parsed) {
        return;
    }
    const _guardchar<char16_t>* product = FindString(strings, u"ProductName");
    const _guardchar<char16_t>* description = FindString(strings, u"FileDescription");
    if (product != nullptr) {
        (void)SetTextProp(this, kFilePropProductName, product->Get());
        if (description != nullptr) {
            (void)SetTextProp(this, kFilePropDescription, description->Get());
        }
    } else if (description != nullptr) {
        (void)SetTextProp(this, kFilePropProductName, description->Get());
    }
    if (const _guardchar<char16_t>* company = FindString(strings, u"CompanyName")) {
        (void)SetTextProp(this, kFilePropCompany, company->Get());
    }
    if (const _guardchar<char16_t>* copyright = FindString(strings, u"LegalCopyright")) {
        (void)SetTextProp(this, kFilePropCopyright, copyright->Get());
    }
    const _guardchar<char16_t>* version = FindString(strings, u"ProductVersion");
    if (version == nullptr) {
        version = FindString(strings, u"FileVersion");
    }
    if (version != nullptr) {
        (void)SetTextProp(this, kFilePropVersion, version->Get());
    }
}

void cWinExeProps::ReadIcon(cFileIOTarget* stream, const sPeResources& section,
                            tResourceIndex& index)
{
    tResourceNames** names = index.FindIntKeyValue(kResourceTypeIcon);
    if (m_boxWidth == 0 || m_boxHeight == 0 || names == nullptr) {
        return;
    }
    sIconCandidate largest;
    sIconCandidate fit;
    for (tResourceNames::cNode* node = (*names)->First(); node != nullptr;
         node = tResourceNames::Next(node)) {
        const tResourceLanguages* languages = node->GetValue();
        if (languages == nullptr || languages->IsEmpty()) {
            continue;
        }
        const sResourceData& data = *languages->begin();
        sIconCandidate image;
        sPictInfo info;
        if (!FileOffsetOf(section, data.rva, data.size, image.offset)) {
            continue;
        }
        cFileIOSubRange sub(stream, image.offset, data.size);
        if (!ProbeIconImage(&sub, info) || info.width <= 0 || info.height <= 0) {
            continue;
        }
        image.size = data.size;
        image.width = info.width;
        image.height = info.height;
        image.found = true;
        if (!largest.found || image.Area() > largest.Area()) {
            largest = image;
        }
        if (FitsHalved(image.width, m_boxWidth) && FitsHalved(image.height, m_boxHeight) &&
            (!fit.found || image.Area() > fit.Area())) {
            fit = image;
        }
    }
    const sIconCandidate& chosen = fit.found ? fit : largest;
    if (!chosen.found) {
        return;
    }
    f64 scale = 1.0;
    if (m_boxWidth > 0) {
        scale = std::min(scale, f64(m_boxWidth) / chosen.width);
    }
    if (m_boxHeight > 0) {
        scale = std::min(scale, f64(m_boxHeight) / chosen.height);
    }
    const i32 targetWidth = TargetSide(chosen.width, scale);
    const i32 targetHeight = TargetSide(chosen.height, scale);
    cFileIOSubRange image(stream, chosen.offset, chosen.size);
    cPictDummy picture;
    if (targetWidth >= chosen.width && targetHeight >= chosen.height) {
        if (DecodeIconImage(&image, &picture, nullptr)) {
            (void)SetThumbnail(this, &picture);
        }
        return;
    }
    cPictDummy decoder;
    if (!picture.AllocClear32(targetWidth, targetHeight)) {
        return;
    }
    sPictTarget target = PictTargetFromPicture(&picture);
    if (DecodeIconImage(&image, &decoder, &target)) {
        (void)SetThumbnail(this, &picture);
    }
}

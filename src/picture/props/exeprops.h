#pragma once
// The property reader of Windows executables (PE files in the PE/COFF layout), read as
// bytes with no Windows service: the version resource's strings, the link time and one
// icon image fitted into the box. Only the headers, the resource directory, the version
// block and the icon images probed and chosen are read.
#include "base/keytree.h"
#include "base/lists.h"
#include "base/packedkey.h"
#include "base/texts.h"
#include "picture/props/fileprops.h"

// One language entry of a resource: where its data lies (an RVA) and its language id.
struct sResourceData
{
    u32 rva = 0;
    u32 size = 0;
    u32 language = 0;
};

// Resource type id -> name id -> language entries in directory order. A named key is its
// name word with the top bit set, so it never equals an id and sorts after them.
using tResourceLanguages = _linklist<sResourceData>;
using tResourceNames = _keytree<u32, tResourceLanguages*, eValueOwnership::Owned>;
using tResourceIndex = _keytree<u32, tResourceNames*, eValueOwnership::Owned>;
// Version string key (its UTF-16 units as bytes, compared exactly) -> value.
using tVersionStrings = _keytree<sPackedKey, _guardchar<char16_t>>;

inline constexpr u32 kResourceTypeIcon = 3;
inline constexpr u32 kResourceTypeVersion = 16;

// The resource section of a PE file and its link time.
struct sPeResources
{
    u32 linkTime = 0;
    u32 virtualAddress = 0;
    u32 rawSize = 0;
    u32 rawOffset = 0;
};

class cWinExeProps : public cFileObjectProps
{
  public:
    i32 GetPropsKind() override { return kFileKindExecutable; }
    // False for a null stream, a file that is no PE with resources or an unreadable
    // resource index; true otherwise, even without a version resource or icon. The icon
    // is read whenever both box sides are non-zero, whatever `wantPicture` says.
    bool ReadProps(cFileIOTarget* stream, void* reserved, bool wantPicture) override;

  private:
    void ReadVersion(cFileIOTarget* stream, const sPeResources& section, tResourceIndex& index);
    void ReadIcon(cFileIOTarget* stream, const sPeResources& section, tResourceIndex& index);
};

// Reads the DOS header, the PE signature, the file header and the section table from 0;
// false on a short read or a failed check, or when no ".rsrc" section with raw data exists.
[[nodiscard]] bool ReadPeResources(cFileIOTarget* stream, sPeResources& out);
[[nodiscard]] bool IsPeWithResources(cFileIOTarget* stream);

// Reads the type level of the resource directory at the section's start and the name and
// language levels of the icon and version types. False when any check fails or more than
// kMaxResourceEntries entries would be read.
[[nodiscard]] bool ReadResourceIndex(cFileIOTarget* stream, u64 sectionOffset, u64 sectionSize,
                                     tResourceIndex& index);
inline constexpr u32 kMaxResourceEntries = 65536;

// Walks the blocks of a version resource's children area (the whole stream) into
// `strings`; false when a block is malformed or containers nest too deep.
[[nodiscard]] bool ReadVersionStrings(cFileIOTarget* area, tVersionStrings& strings);

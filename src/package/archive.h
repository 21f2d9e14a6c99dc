#pragma once
// Archives: the entry records, the target that keeps an opened archive's entries in a file
// map and a folder map, and the archive base with its entry streams.
#include "base/keytree.h"
#include "base/packedkey.h"
#include "base/streams.h"
#include "base/types.h"

class cArchiveFile
{
public:
    // One entry of an archive, as its directory describes it.
    struct sFile
    {
        u64 m_compressedSize = 0;
        u64 m_size = 0;             // uncompressed
        u64 m_localHeaderOffset = 0;
        u32 m_crc = 0;
        u16 m_method = 0;
        u16 m_flags = 0;
    };

    virtual ~cArchiveFile() = default;

    // A stream over the entry's uncompressed data, owned by the caller (Delete), or null
    // when the entry cannot be read (unsupported method, encryption, broken header).
    // `flags` is 0.
    [[nodiscard]] static cFileIOTarget* OpenFileStream(const sFile* entry, i32 flags,
                                                      cArchiveFile* container);

protected:
    [[nodiscard]] virtual cFileIOTarget* OpenEntryStream(const sFile& entry) = 0;
};

// Keeps the entries an archive hands over: names ending in '/' in the folder map, the
// others in the file map, keyed by the name bytes as stored. A later entry of the same
// name replaces the earlier one.
class cSiArchTarget
{
public:
    cSiArchTarget() = default;
    cSiArchTarget(const cSiArchTarget&) = delete;
    cSiArchTarget& operator=(const cSiArchTarget&) = delete;

    // False when memory is short.
    [[nodiscard]] bool AddEntry(const char* name, u32 nameLength, const cArchiveFile::sFile& file);
    // The file entry of that exact name (byte for byte, '/' separated), or null; folders
    // are never found.
    [[nodiscard]] const cArchiveFile::sFile* FindFile(const char* name) const;
    i32 GetFileCount() const { return m_files.GetCount(); }
    // Calls visit(entry) for every file entry, in name order.
    template <class Visitor>
    void VisitFiles(Visitor visit) const
    {
        for (const tEntryMap::cNode* node = m_files.First(); node != nullptr; node = tEntryMap::Next(node)) {
            visit(*node->GetValue());
        }
    }
    i32 GetFolderCount() const { return m_folders.GetCount(); }

private:
    using tEntryMap = _keytree<sPackedKey, cArchiveFile::sFile*, eValueOwnership::Owned>;
    tEntryMap m_files;
    tEntryMap m_folders;
};

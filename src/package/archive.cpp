#include "package/archive.h"

#include <new>

cFileIOTarget* cArchiveFile::OpenFileStream(const sFile* entry, i32 flags, cArchiveFile* container)
{
    if (entry == nullptr || container == nullptr) {
        return nullptr;
    }
    return container->OpenEntryStream(*entry);
}

bool cSiArchTarget::AddEntry(const char* name, u32 nameLength, const cArchiveFile::sFile& file)
{
    const bool folder = nameLength > 0 && name[nameLength - 1] == '/';
    sPackedKey key;
    if (!key.InitFromBytes(name, nameLength)) {
        return false;
    }
    tEntryMap& map = folder ? m_folders : m_files;
    cArchiveFile::sFile** slot = map.GetOrAdd(key);
    if (slot == nullptr) {
        return false;
    }
    if (*slot == nullptr) {
        *slot = new (std::nothrow) cArchiveFile::sFile();
        if (*slot == nullptr) {
            (void)map.Erase(key);
            return false;
        }
    }
    **slot = file;
    return true;
}

const cArchiveFile::sFile* cSiArchTarget::FindFile(const char* name) const
{
    sPackedKey key;
    if (name == nullptr || !key.InitFromBytes(name, -1)) {
        return nullptr;
    }
    const tEntryMap::cNode* node = m_files.Find(key);
    return node != nullptr ? node->GetValue() : nullptr;
}

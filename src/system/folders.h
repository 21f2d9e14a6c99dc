#pragma once
// Folder listings: the entries of one folder, or the places of the computer (home folder,
// disks, network places). A listing belongs to one thread at a time (a job fills it, the
// GUI reads it afterwards) and has no lock of its own; it moves cheaply between owners.
#include "base/datetime.h"
#include "base/texts.h"
#include "base/types.h"

#include <atomic>
#include <vector>

enum eFolderEntryKind : i32
{
    kEntryFile = 1,
    kEntryFolder = 2,
    kEntryOther = 4, // device, FIFO, socket, or a link that leads nowhere
    kEntryDisk = 8,
    kEntryHome = 9,
    kEntryNetworkPlace = 10,
};

enum eListingDetail : i32
{
    // Kinds and hidden flags only: what a folder tree needs. Sizes are 0 and dates absent;
    // only links and entries of unknown type are examined further.
    kListKindsOnly = 0,
    // Every entry examined: sizes of files and modification dates (local time).
    kListFullEntries = 1,
};

struct sFolderEntry
{
    _guardchar<char16_t> m_name;  // the name in the folder; a place's full path
    _guardchar<char16_t> m_label; // a place's display label; null for folder entries
    u64 m_size = 0;               // files only
    eFolderEntryKind m_kind = kEntryOther;
    u8 m_hidden = 0;              // the name starts with '.'
    sDateTime m_date{};           // year 0 = no date
};

class cFolderListing
{
public:
    cFolderListing() = default;
    cFolderListing(cFolderListing&& other) noexcept = default;
    cFolderListing& operator=(cFolderListing&& other) noexcept = default;
    cFolderListing(const cFolderListing&) = delete;
    cFolderListing& operator=(const cFolderListing&) = delete;
    void Swap(cFolderListing& other) noexcept;

    // Lists the folder `path`: every entry but "." and "..", in the byte order of the
    // names. Links are followed to tell files from folders. False, with the listing
    // empty, when the folder cannot be opened (missing, not a folder, no permission, a
    // path that cannot be encoded) or when `stop` became true; `stop` is polled before
    // every system call that reads the folder or an entry, so a huge or hung folder can
    // be abandoned. GetFolder gives `path` afterwards, also after a failure.
    [[nodiscard]] bool Enumerate(const char16_t* path, eListingDetail detail = kListKindsOnly,
                                 const std::atomic<bool>* stop = nullptr);
    // The places: the home folder (kind 9), "/" and the mounted disks (kind 8), then the
    // network places (kind 10). A place's name is its full path. Network mount points are
    // never touched, so a dead server cannot block the caller. GetFolder is null
    // afterwards.
    [[nodiscard]] bool ReadPlaces();

    // Highest index + 1.
    i32 GetCount() const { return i32(m_entries.size()); }
    // Null outside 0..GetCount()-1.
    const sFolderEntry* GetEntry(i32 index) const;
    // The folder joined with the entry's name by one '/'; a place's name as it stands.
    // False for an index out of range or when memory is short.
    [[nodiscard]] bool GetEntryPath(i32 index, _guardchar<char16_t>& path) const;
    // The folder of the last Enumerate; null after ReadPlaces and before any listing.
    const char16_t* GetFolder() const { return m_folder.Get(); }

private:
    void Reset(const char16_t* folder);

    std::vector<sFolderEntry> m_entries;
    _guardchar<char16_t> m_folder;
};

#pragma once
// The mount table behind cFolderListing::ReadPlaces (system/folders.h).
#include <mutex>
#include <string>
#include <vector>

// One line of /proc/self/mountinfo, with the kernel's octal escapes (\040 for space,
// \011 tab, \012 newline, \134 backslash) decoded.
struct sMountEntry
{
    std::string m_mountPoint;
    std::string m_fsType;
    std::string m_source;
};

// The lines of a mountinfo text (proc(5)):
//   id parent major:minor root mount-point options [optional fields...] - fstype source super-options
// Lines that do not have this shape, or whose escapes or mount point are malformed, are
// skipped.
std::vector<sMountEntry> ParseMountTable(const char* text, size_t length);

// The mount table and the folder of disk-label links that ReadPlaces reads: the system's
// in the program. Only the system test hooks (testhooks/systemhooks.h) point them
// elsewhere, under m_lock, before any listing runs.
constexpr const char* kSystemMountTable = "/proc/self/mountinfo";
constexpr const char* kSystemByLabelFolder = "/dev/disk/by-label";
struct sPlacesSources
{
    std::mutex m_lock;
    std::string m_mountTable = kSystemMountTable;
    std::string m_byLabelFolder = kSystemByLabelFolder;
};
extern sPlacesSources g_placesSources;

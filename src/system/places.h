#pragma once
// The mount table behind cFolderListing::ReadPlaces (platform/folders.h).
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

// Test hooks: the mount table and the folder of disk-label links that ReadPlaces reads;
// null restores /proc/self/mountinfo and /dev/disk/by-label. Set them before any listing
// runs.
void SetPlacesSources(const char* mountTable, const char* byLabelFolder);

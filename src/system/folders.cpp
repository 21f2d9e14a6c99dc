#include "system/folders.h"

#include "base/utf.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// An entry as read, before its name is converted: sorting and examining work on the
// bytes the system gave.
struct sRawEntry
{
    std::string m_name;
    eFolderEntryKind m_kind = kEntryOther;
    u64 m_size = 0;
    sDateTime m_date{};
};

bool IsStopped(const std::atomic<bool>* stop)
{
    return stop != nullptr && stop->load(std::memory_order_relaxed);
}

eFolderEntryKind KindOfMode(mode_t mode)
{
    if (S_ISREG(mode)) {
        return kEntryFile;
    }
    return S_ISDIR(mode) ? kEntryFolder : kEntryOther;
}

// The modification time in local time, as a listing shows it; no date when the year
// leaves 1..65535 or the time cannot be converted.
sDateTime LocalDate(time_t seconds)
{
    struct tm local;
    sDateTime date{};
    if (::localtime_r(&seconds, &local) == nullptr) {
        return date;
    }
    i64 year = i64(local.tm_year) + 1900;
    if (year < 1 || year > 65535) {
        return date;
    }
    date.m_year = u16(year);
    date.m_month = u8(local.tm_mon + 1);
    date.m_day = u8(local.tm_mday);
    date.m_hour = u8(local.tm_hour);
    date.m_minute = u8(local.tm_min);
    date.m_second = u8(local.tm_sec);
    return date;
}

// Fills kind, size and date of one entry. Links are followed; a link that leads nowhere
// (missing target, loop, no permission) becomes kind "other" with the link's own date.
// Entries are never opened: opening a FIFO would block.
void ExamineFully(int folder, sRawEntry& entry)
{
    struct stat info;
    if (::fstatat(folder, entry.m_name.c_str(), &info, 0) == 0) {
        entry.m_kind = KindOfMode(info.st_mode);
        entry.m_size = entry.m_kind == kEntryFile ? u64(info.st_size) : 0;
        entry.m_date = LocalDate(info.st_mtim.tv_sec);
    } else if (::fstatat(folder, entry.m_name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
        entry.m_date = LocalDate(info.st_mtim.tv_sec);
    }
}

// The kind from the folder's own record where it tells; a link or an unknown type has
// to be followed to learn whether it leads to a folder.
void ExamineKind(int folder, unsigned char type, sRawEntry& entry)
{
    struct stat info;
    if (type == DT_REG) {
        entry.m_kind = kEntryFile;
    } else if (type == DT_DIR) {
        entry.m_kind = kEntryFolder;
    } else if ((type == DT_LNK || type == DT_UNKNOWN) && ::fstatat(folder, entry.m_name.c_str(), &info, 0) == 0) {
        entry.m_kind = KindOfMode(info.st_mode);
    }
}

} // namespace

void cFolderListing::Swap(cFolderListing& other) noexcept
{
    std::swap(m_entries, other.m_entries);
    std::swap(m_folder, other.m_folder);
}

void cFolderListing::Reset(const char16_t* folder)
{
    m_entries.clear();
    if (!m_folder.Assign(folder)) {
        m_folder.Clear();
    }
}

bool cFolderListing::Enumerate(const char16_t* path, eListingDetail detail, const std::atomic<bool>* stop)
{
    Reset(path);
    _guardchar<char> bytes;
    if (path == nullptr || !WideToFileName(path, -1, bytes) || bytes.IsEmpty()) {
        return false;
    }
    int descriptor = ::open(bytes.Get(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) {
        return false;
    }
    DIR* folder = ::fdopendir(descriptor);
    if (folder == nullptr) {
        ::close(descriptor);
        return false;
    }
    ::tzset(); // a changed TZ takes effect from this listing on
    std::vector<sRawEntry> raw;
    bool ok = true;
    while (true) {
        if (IsStopped(stop)) {
            ok = false;
            break;
        }
        errno = 0;
        const dirent* record = ::readdir(folder);
        if (record == nullptr) {
            ok = errno == 0;
            break;
        }
        const char* name = record->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) {
            continue;
        }
        sRawEntry& entry = raw.emplace_back();
        entry.m_name = name;
        // Examined in the folder's own order, which is the cheapest order for the disk.
        bool callsSystem = detail == kListFullEntries || record->d_type == DT_LNK || record->d_type == DT_UNKNOWN;
        if (callsSystem && IsStopped(stop)) {
            ok = false;
            break;
        }
        if (detail == kListFullEntries) {
            ExamineFully(descriptor, entry);
        } else {
            ExamineKind(descriptor, record->d_type, entry);
        }
    }
    ::closedir(folder);
    if (!ok) {
        return false;
    }
    // std::string compares bytes as unsigned values, the order of `LC_ALL=C sort`.
    std::sort(raw.begin(), raw.end(), [](const sRawEntry& a, const sRawEntry& b) { return a.m_name < b.m_name; });
    m_entries.resize(raw.size());
    for (size_t index = 0; index < raw.size(); ++index) {
        sFolderEntry& entry = m_entries[index];
        if (!FileNameToWide(raw[index].m_name.c_str(), i64(raw[index].m_name.size()), entry.m_name)) {
            m_entries.clear();
            return false;
        }
        entry.m_size = raw[index].m_size;
        entry.m_kind = raw[index].m_kind;
        entry.m_hidden = raw[index].m_name[0] == '.' ? 1 : 0;
        entry.m_date = raw[index].m_date;
    }
    return true;
}

const sFolderEntry* cFolderListing::GetEntry(i32 index) const
{
    return index >= 0 && index < GetCount() ? &m_entries[size_t(index)] : nullptr;
}

bool cFolderListing::GetEntryPath(i32 index, _guardchar<char16_t>& path) const
{
    const sFolderEntry* entry = GetEntry(index);
    if (entry == nullptr || !path.Assign(m_folder.Get())) {
        return false;
    }
    if (!m_folder.IsEmpty()) {
        const char16_t* folder = m_folder.Get();
        if (folder[m_folder.Length() - 1] != u'/' && !path.Append(u"/")) {
            return false;
        }
    }
    return path.Append(entry->m_name.Get());
}

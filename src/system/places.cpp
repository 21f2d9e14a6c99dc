#include "system/places.h"

#include "base/paths.h"
#include "base/utf.h"
#include "system/folders.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

sPlacesSources g_placesSources;

namespace {

// Mount points at or below these are the system's own machinery, not places to browse.
constexpr const char* kExcludedPrefixes[] = {
    "/proc", "/sys", "/dev", "/run", "/boot", "/efi", "/snap", "/var/snap", "/var/lib/snapd",
    "/var/lib/docker", "/var/lib/containers",
};

// Removable media mounted by the desktop live under /run all the same.
constexpr const char* kRemovableMediaPrefix = "/run/media";

constexpr const char* kNetworkFileSystems[] = {
    "nfs", "nfs4", "cifs", "smb3", "smbfs", "9p", "afs", "ceph", "glusterfs", "davfs",
    "fuse.sshfs", "fuse.rclone", "fuse.glusterfs", "fuse.s3fs",
};

bool IsAtOrBelow(const std::string& path, const std::string& prefix)
{
    return path.compare(0, prefix.size(), prefix) == 0 && (path.size() == prefix.size() || path[prefix.size()] == '/');
}

bool IsExcludedMountPoint(const std::string& mountPoint)
{
    if (mountPoint == "/" || IsAtOrBelow(mountPoint, kRemovableMediaPrefix)) {
        return mountPoint == "/";
    }
    for (const char* prefix : kExcludedPrefixes) {
        if (IsAtOrBelow(mountPoint, prefix)) {
            return true;
        }
    }
    return false;
}

bool IsNetworkFileSystem(const std::string& fsType)
{
    for (const char* name : kNetworkFileSystems) {
        if (fsType == name) {
            return true;
        }
    }
    return false;
}

// Decodes the kernel's \ooo escapes (three octal digits). False for a backslash not
// followed by three octal digits, a value above 0377 or a decoded NUL.
bool DecodeOctalEscapes(const std::string& field, std::string& decoded)
{
    decoded.clear();
    for (size_t index = 0; index < field.size(); ++index) {
        if (field[index] != '\\') {
            decoded += field[index];
            continue;
        }
        unsigned value = 0;
        for (size_t digit = 1; digit <= 3; ++digit) {
            char c = index + digit < field.size() ? field[index + digit] : 0;
            if (c < '0' || c > '7') {
                return false;
            }
            value = value * 8 + unsigned(c - '0');
        }
        if (value == 0 || value > 0377) {
            return false;
        }
        decoded += char(value);
        index += 3;
    }
    return true;
}

bool IsNumber(const std::string& field)
{
    return !field.empty() && field.find_first_not_of("0123456789") == std::string::npos;
}

bool ParseMountLine(const std::string& line, sMountEntry& entry)
{
    // The kernel escapes every byte that could confuse a reader; a raw NUL is damage.
    if (line.find('\0') != std::string::npos) {
        return false;
    }
    std::vector<std::string> fields;
    for (size_t start = 0; start < line.size();) {
        size_t end = line.find(' ', start);
        if (end == std::string::npos) {
            end = line.size();
        }
        if (end > start) {
            fields.push_back(line.substr(start, end - start));
        }
        start = end + 1;
    }
    auto separator = std::find(fields.begin(), fields.end(), "-");
    size_t before = size_t(separator - fields.begin());
    if (before < 6 || fields.end() - separator < 4 || !IsNumber(fields[0]) || !IsNumber(fields[1])) {
        return false;
    }
    size_t colon = fields[2].find(':');
    if (colon == std::string::npos || !IsNumber(fields[2].substr(0, colon)) ||
        !IsNumber(fields[2].substr(colon + 1))) {
        return false;
    }
    return DecodeOctalEscapes(fields[4], entry.m_mountPoint) && !entry.m_mountPoint.empty() &&
           entry.m_mountPoint[0] == '/' && DecodeOctalEscapes(separator[1], entry.m_fsType) &&
           DecodeOctalEscapes(separator[2], entry.m_source);
}

bool ReadWholeFile(const std::string& path, std::string& text)
{
    // Files under /proc report size 0, so read to the end; the cap keeps a runaway file
    // from taking all memory.
    constexpr size_t kLimit = 64u << 20;
    int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        return false;
    }
    text.clear();
    char buffer[65536];
    ssize_t count;
    while (text.size() < kLimit && (count = ::read(descriptor, buffer, sizeof(buffer))) != 0) {
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            ::close(descriptor);
            return false;
        }
        text.append(buffer, size_t(count));
    }
    ::close(descriptor);
    return true;
}

std::string BaseName(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if ((c | 32) >= 'a' && (c | 32) <= 'f') {
        return (c | 32) - 'a' + 10;
    }
    return -1;
}

// udev names its label links with every byte outside a small safe set written \xNN
// ("QEL\x20Test" for "QEL Test", "\x2f" for '/').
std::string DecodeUdevEscapes(const std::string& name)
{
    std::string decoded;
    for (size_t index = 0; index < name.size(); ++index) {
        if (name[index] == '\\' && index + 3 < name.size() && name[index + 1] == 'x' &&
            HexDigitValue(name[index + 2]) >= 0 && HexDigitValue(name[index + 3]) >= 0) {
            decoded += char(HexDigitValue(name[index + 2]) * 16 + HexDigitValue(name[index + 3]));
            index += 3;
        } else {
            decoded += name[index];
        }
    }
    return decoded;
}

std::string ResolvedPath(const std::string& path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
}

// Disk labels by the device path their links resolve to. Without udev (in containers)
// the folder does not exist and there are no labels.
std::map<std::string, std::string> ReadDiskLabels(const std::string& folder)
{
    std::map<std::string, std::string> labels;
    DIR* links = ::opendir(folder.c_str());
    if (links == nullptr) {
        return labels;
    }
    while (const dirent* record = ::readdir(links)) {
        std::string name = record->d_name;
        if (name != "." && name != "..") {
            std::string device = ResolvedPath(folder + "/" + name);
            if (!device.empty()) {
                labels[device] = DecodeUdevEscapes(name);
            }
        }
    }
    ::closedir(links);
    return labels;
}

bool IsFolder(const std::string& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool MakePlace(const std::string& path, eFolderEntryKind kind, const std::string* labelUtf8, sFolderEntry& entry)
{
    entry.m_kind = kind;
    if (!FileNameToWide(path.c_str(), i64(path.size()), entry.m_name)) {
        return false;
    }
    if (labelUtf8 != nullptr) {
        return Utf8ToWideString(labelUtf8->c_str(), i64(labelUtf8->size()), entry.m_label);
    }
    std::string base = BaseName(path);
    return FileNameToWide(base.c_str(), i64(base.size()), entry.m_label);
}

} // namespace

std::vector<sMountEntry> ParseMountTable(const char* text, size_t length)
{
    std::vector<sMountEntry> entries;
    size_t start = 0;
    while (start < length) {
        const char* end = static_cast<const char*>(std::memchr(text + start, '\n', length - start));
        size_t stop = end != nullptr ? size_t(end - text) : length;
        sMountEntry entry;
        if (ParseMountLine(std::string(text + start, stop - start), entry)) {
            entries.push_back(std::move(entry));
        }
        start = stop + 1;
    }
    return entries;
}

bool cFolderListing::ReadPlaces()
{
    Reset(nullptr);
    std::string tablePath;
    std::string byLabelFolder;
    {
        std::lock_guard guard(g_placesSources.m_lock);
        tablePath = g_placesSources.m_mountTable;
        byLabelFolder = g_placesSources.m_byLabelFolder;
    }

    _guardchar<char16_t> home;
    if (GetHomeFolder(home)) {
        sFolderEntry& entry = m_entries.emplace_back();
        entry.m_kind = kEntryHome;
        const char16_t* slash = FindLastWideChar(home.Get(), u'/');
        if (!entry.m_label.Assign(slash != nullptr ? slash + 1 : home.Get())) {
            return false;
        }
        entry.m_name = std::move(home);
    }

    std::string table;
    std::vector<sMountEntry> mounts;
    if (ReadWholeFile(tablePath, table)) {
        mounts = ParseMountTable(table.data(), table.size());
    }
    // A later line mounted over an earlier one at the same point: only it is visible.
    std::map<std::string, const sMountEntry*> visible;
    for (const sMountEntry& mount : mounts) {
        visible[mount.m_mountPoint] = &mount;
    }
    std::vector<std::string> network;
    for (const auto& [point, mount] : visible) {
        if (IsNetworkFileSystem(mount->m_fsType) && !IsExcludedMountPoint(point)) {
            network.push_back(point);
        }
    }
    // A disk needs its mount point to be a folder (containers bind single files such as
    // /etc/hosts from the disk). That stat is safe on a local disk, but not for a point
    // reached through a network mount, whose server may be dead: such points are taken
    // without it.
    std::vector<const sMountEntry*> disks;
    for (const auto& [mountPoint, mount] : visible) {
        const std::string& point = mountPoint; // lambdas cannot capture structured bindings in clang 14
        if (mount->m_source.compare(0, 5, "/dev/") != 0 || mount->m_fsType == "squashfs" ||
            IsExcludedMountPoint(point)) {
            continue;
        }
        bool belowNetwork = std::any_of(network.begin(), network.end(),
                                        [&](const std::string& share) { return IsAtOrBelow(point, share); });
        if (belowNetwork || IsFolder(point)) {
            disks.push_back(mount);
        }
    }

    auto root = visible.find("/");
    bool rootIsDevice = root != visible.end() && root->second->m_source.compare(0, 5, "/dev/") == 0;
    std::map<std::string, std::string> labels;
    if (rootIsDevice || !disks.empty()) {
        labels = ReadDiskLabels(byLabelFolder);
    }
    auto labelOf = [&](const sMountEntry& mount) -> const std::string* {
        auto found = labels.find(ResolvedPath(mount.m_source));
        return found != labels.end() ? &found->second : nullptr;
    };

    // "/" is always a place; its base name is empty, so without a disk label it has none.
    sFolderEntry& rootEntry = m_entries.emplace_back();
    rootEntry.m_kind = kEntryDisk;
    const std::string* rootLabel = rootIsDevice ? labelOf(*root->second) : nullptr;
    if (!rootEntry.m_name.Assign(u"/") ||
        (rootLabel != nullptr && !Utf8ToWideString(rootLabel->c_str(), i64(rootLabel->size()), rootEntry.m_label))) {
        return false;
    }
    for (const sMountEntry* disk : disks) {
        if (!MakePlace(disk->m_mountPoint, kEntryDisk, labelOf(*disk), m_entries.emplace_back())) {
            return false;
        }
    }
    for (const std::string& share : network) {
        if (!MakePlace(share, kEntryNetworkPlace, nullptr, m_entries.emplace_back())) {
            return false;
        }
    }
    return true;
}

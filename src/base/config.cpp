#include "base/config.h"

#include "base/paths.h"
#include "base/utf.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The components of a path; false when it breaks the path rules.
bool SplitPath(const char* path, std::vector<std::string>& parts)
{
    parts.clear();
    if (path == nullptr) {
        return false;
    }
    const char* cursor = path;
    while (true) {
        const char* end = std::strchr(cursor, '/');
        size_t length = end != nullptr ? size_t(end - cursor) : std::strlen(cursor);
        if (length == 0 || length > kConfigMaxNameLength || parts.size() == kConfigMaxDepth) {
            return false;
        }
        parts.emplace_back(cursor, length);
        if (end == nullptr) {
            return true;
        }
        cursor = end + 1;
    }
}

// Makes `folder` and its missing parents with mode 0700; true when it is a folder then.
bool MakeFolders(const std::string& folder)
{
    if (folder.empty() || folder[0] != '/') {
        return false;
    }
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        std::string prefix = folder.substr(0, slash);
        if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
        if (slash == std::string::npos) {
            break;
        }
    }
    struct stat info;
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The whole file, or false: `missing` tells a file that does not exist (an empty key)
// from one that exists but cannot be read or is too large to be a store file (damaged).
bool ReadWholeFile(const std::string& path, std::vector<u8>& bytes, bool& missing)
{
    missing = false;
    int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        missing = errno == ENOENT || errno == ENOTDIR;
        return false;
    }
    struct stat info;
    bool ok = ::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode) && u64(info.st_size) <= kConfigFileMaxSize;
    if (ok) {
        bytes.resize(size_t(info.st_size));
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t count = ::read(descriptor, bytes.data() + done, bytes.size() - done);
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count <= 0) {
                break;
            }
            done += size_t(count);
        }
        // A file that shrank meanwhile keeps what was read; the parser judges it.
        bytes.resize(done);
    }
    ::close(descriptor);
    return ok;
}

bool WriteAll(int descriptor, const std::vector<u8>& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t count = ::write(descriptor, bytes.data() + done, bytes.size() - done);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        done += size_t(count);
    }
    return true;
}

bool SyncFolder(const std::string& folder)
{
    int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) {
        return false;
    }
    bool ok = ::fsync(descriptor) == 0;
    ::close(descriptor);
    return ok;
}

template <typename T>
std::string EncodeLittleEndian(T value)
{
    using U = std::make_unsigned_t<T>;
    U bits = U(value);
    std::string bytes(sizeof(T), '\0');
    for (size_t index = 0; index < sizeof(T); ++index) {
        bytes[index] = char(u8(bits >> (8 * index)));
    }
    return bytes;
}

template <typename T>
T DecodeLittleEndian(const std::string& bytes)
{
    using U = std::make_unsigned_t<T>;
    U bits = 0;
    for (size_t index = 0; index < sizeof(T); ++index) {
        bits |= U(U(u8(bytes[index])) << (8 * index));
    }
    return T(bits);
}

} // namespace

// ---- typed values over raw bytes ----

template <typename T>
bool cRawValueConfig::GetInteger(const char* path, eConfigValueType type, T& value)
{
    std::string bytes;
    if (LookupRaw(path, type, bytes) != kConfigFound || bytes.size() != sizeof(T)) {
        return false;
    }
    value = DecodeLittleEndian<T>(bytes);
    return true;
}

template <typename T>
bool cRawValueConfig::SetInteger(const char* path, eConfigValueType type, T value)
{
    return StoreRaw(path, type, EncodeLittleEndian(value));
}

bool cRawValueConfig::GetBytes(const char* path, _typebuf<u8>& value)
{
    std::string bytes;
    if (LookupRaw(path, kConfigBytes, bytes) != kConfigFound) {
        return false;
    }
    if (bytes.empty()) {
        value.Free();
        return true;
    }
    if (!value.Alloc(i64(bytes.size()))) {
        return false;
    }
    std::memcpy(value.GetData(), bytes.data(), bytes.size());
    return true;
}

bool cRawValueConfig::GetInt16(const char* path, i16& value)
{
    return GetInteger(path, kConfigInt16, value);
}

bool cRawValueConfig::GetInt32(const char* path, i32& value)
{
    return GetInteger(path, kConfigInt32, value);
}

bool cRawValueConfig::GetInt64(const char* path, i64& value)
{
    return GetInteger(path, kConfigInt64, value);
}

bool cRawValueConfig::GetString(const char* path, _guardchar<char16_t>& text)
{
    std::string bytes;
    return LookupRaw(path, kConfigString, bytes) == kConfigFound &&
           Utf8ToWideString(bytes.data(), i64(bytes.size()), text);
}

bool cRawValueConfig::SetBytes(const char* path, const void* data, u32 size)
{
    if (data == nullptr && size != 0) {
        return false;
    }
    return StoreRaw(path, kConfigBytes, size != 0 ? std::string(static_cast<const char*>(data), size) : std::string());
}

bool cRawValueConfig::SetInt16(const char* path, i16 value)
{
    return SetInteger(path, kConfigInt16, value);
}

bool cRawValueConfig::SetInt32(const char* path, i32 value)
{
    return SetInteger(path, kConfigInt32, value);
}

bool cRawValueConfig::SetInt64(const char* path, i64 value)
{
    return SetInteger(path, kConfigInt64, value);
}

bool cRawValueConfig::SetString(const char* path, const char16_t* text, i64 length)
{
    _guardchar<char> utf8;
    if (!WideToUtf8String(text, length, utf8)) {
        return false;
    }
    return StoreRaw(path, kConfigString, std::string(utf8.GetOrEmpty()));
}

// ---- one store ----

cCIAppConfig::cCIAppConfig(std::string folder, eConfigStoreKind kind)
    : m_folder(std::move(folder)), m_kind(kind), m_folderReady(!m_folder.empty())
{
    if (m_kind == kConfigPerUser) {
        m_folderReady = MakeFolders(m_folder);
    }
}

cCIAppConfig::sKeyState& cCIAppConfig::LoadKey(const std::string& key)
{
    auto found = m_keys.find(key);
    if (found != m_keys.end()) {
        return found->second;
    }
    sKeyState& state = m_keys[key];
    state.m_root.m_name = key;
    if (!m_folderReady) {
        return state;
    }
    std::vector<u8> bytes;
    bool missing;
    if (ReadWholeFile(m_folder + "/" + ConfigFileName(key), bytes, missing)) {
        state.m_damaged = !ParseConfigFile(bytes.data(), bytes.size(), key, state.m_root);
    } else {
        state.m_damaged = !missing;
    }
    return state;
}

eConfigLookup cCIAppConfig::LookupRaw(const char* path, eConfigValueType type, std::string& value)
{
    std::vector<std::string> parts;
    if (!SplitPath(path, parts)) {
        return kConfigOtherType;
    }
    cSafeCriticalSectionAccess guard(m_lock);
    const sConfigNode* node = &LoadKey(parts[0]).m_root;
    for (size_t index = 1; index < parts.size() && node != nullptr; ++index) {
        node = node->FindChild(parts[index]);
    }
    if (node == nullptr || node->m_type == kConfigNone) {
        return kConfigAbsent;
    }
    if (node->m_type != type) {
        return kConfigOtherType;
    }
    value = node->m_value;
    return kConfigFound;
}

bool cCIAppConfig::StoreRaw(const char* path, eConfigValueType type, std::string value)
{
    std::vector<std::string> parts;
    // A value that alone overflows a file could never be saved.
    if (!SplitPath(path, parts) || value.size() > kConfigFileMaxSize) {
        return false;
    }
    cSafeCriticalSectionAccess guard(m_lock);
    sKeyState& state = LoadKey(parts[0]);
    sConfigNode* node = &state.m_root;
    for (size_t index = 1; index < parts.size(); ++index) {
        node = &node->GetOrAddChild(parts[index]);
    }
    node->m_type = type;
    node->m_value = std::move(value);
    state.m_changed = true;
    return true;
}

bool cCIAppConfig::SaveKey(const std::string& key, sKeyState& state)
{
    std::vector<u8> image;
    if (!m_folderReady || !SerializeConfigFile(state.m_root, image)) {
        return false;
    }
    std::string target = m_folder + "/" + ConfigFileName(key);
    std::string temporary = target + ".XXXXXX";
    int descriptor = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (descriptor < 0) {
        return false;
    }
    // mkostemp makes the file 0600, which is what per-user files keep.
    bool ok = (m_kind == kConfigPerUser || ::fchmod(descriptor, 0644) == 0) && WriteAll(descriptor, image) &&
              ::fsync(descriptor) == 0;
    ok = ::close(descriptor) == 0 && ok;
    // The bytes of a damaged file are kept for inspection rather than overwritten.
    if (ok && state.m_damaged && ::rename(target.c_str(), (target + ".bad").c_str()) != 0 && errno != ENOENT) {
        ok = false;
    }
    ok = ok && ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    state.m_damaged = false;
    // The rename is durable only once the folder itself is on disk.
    if (!SyncFolder(m_folder)) {
        return false;
    }
    state.m_changed = false;
    return true;
}

bool cCIAppConfig::Save()
{
    cSafeCriticalSectionAccess guard(m_lock);
    bool ok = true;
    for (auto& [key, state] : m_keys) {
        if (state.m_changed && !SaveKey(key, state)) {
            ok = false;
        }
    }
    return ok;
}

// ---- the pair ----

cCIAppFullConfig::cCIAppFullConfig(std::string userFolder, std::string machineFolder)
    : m_user(std::move(userFolder), kConfigPerUser), m_machine(std::move(machineFolder), kConfigMachineWide)
{
}

eConfigLookup cCIAppFullConfig::LookupRaw(const char* path, eConfigValueType type, std::string& value)
{
    eConfigLookup result = m_user.LookupRaw(path, type, value);
    return result == kConfigAbsent ? m_machine.LookupRaw(path, type, value) : result;
}

bool cCIAppFullConfig::StoreRaw(const char* path, eConfigValueType type, std::string value)
{
    return m_user.StoreRaw(path, type, std::move(value));
}

bool cCIAppFullConfig::Save()
{
    return m_user.Save();
}

// ---- where the stores live ----

void GetConfigStoreFolders(const char* storeName, std::string& userFolder, std::string& machineFolder)
{
    static constexpr char kMakerFolder[] = "Kestrix Laboratories";
    const char* value = std::getenv("QEL_CONFIG_HOME");
    if (value != nullptr && value[0] != 0) {
        userFolder = value;
    } else {
        userFolder.clear();
        const char* xdg = std::getenv("XDG_CONFIG_HOME");
        _guardchar<char16_t> home;
        _guardchar<char> homeBytes;
        // A relative XDG_CONFIG_HOME is not allowed by the XDG Base Directory rules
        // and must be ignored.
        if (xdg != nullptr && xdg[0] == '/') {
            userFolder = xdg;
        } else if (GetHomeFolder(home) && WideToFileName(home.Get(), -1, homeBytes)) {
            userFolder = std::string(homeBytes.GetOrEmpty()) + "/.config";
        }
        if (!userFolder.empty()) {
            userFolder += std::string("/") + kMakerFolder + "/" + storeName;
        }
    }
    value = std::getenv("QEL_CONFIG_MACHINE");
    if (value != nullptr && value[0] != 0) {
        machineFolder = value;
    } else {
        machineFolder = std::string("/var/lib/") + kMakerFolder + "/" + storeName;
    }
}

std::unique_ptr<cCIAppFullConfig> OpenApplicationConfig(const char* storeName)
{
    std::string userFolder;
    std::string machineFolder;
    GetConfigStoreFolders(storeName, userFolder, machineFolder);
    return std::make_unique<cCIAppFullConfig>(std::move(userFolder), std::move(machineFolder));
}

#include "net/update/installerpath.h"

#include "base/utf.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// A file name component holds at most 255 bytes: "." + name + ".XXXXXX".
constexpr size_t kMaxComponentBytes = 255;
constexpr char kTemplateSuffix[] = ".XXXXXX";

// The length of `name` cut to `limit` bytes without splitting a UTF-8 sequence.
size_t CutAtCharacter(const char* name, size_t length, size_t limit)
{
    if (length <= limit) {
        return length;
    }
    size_t cut = limit;
    while (cut > 0 && (u8(name[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    return cut;
}

} // namespace

cInstallerPath::~cInstallerPath()
{
    Discard();
}

bool cInstallerPath::SetChosenPath(const char16_t* path)
{
    const size_t length = WideLength(path);
    size_t slash = length;
    for (size_t i = 0; i < length; ++i) {
        slash = path[i] == u'/' ? i : slash;
    }
    if (slash == length || !m_path.Assign(path) || !WideToFileName(path, -1, m_pathBytes)) {
        return false;
    }
    // The folder of "/x" is "/".
    return m_folder.AssignN(path, slash == 0 ? 1 : slash);
}

bool cInstallerPath::CreateTemporary(cFileIO& file)
{
    const char* bytes = m_pathBytes.GetOrEmpty();
    const char* slash = std::strrchr(bytes, '/');
    if (slash == nullptr || m_descriptor >= 0) {
        return false;
    }
    const char* name = slash + 1;
    const size_t nameLength = CutAtCharacter(
        name, std::strlen(name), kMaxComponentBytes - 1 - (sizeof(kTemplateSuffix) - 1));
    std::string temporary(bytes, size_t(slash - bytes) + 1);
    temporary += '.';
    temporary.append(name, nameLength);
    temporary += kTemplateSuffix;
    const int descriptor = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (descriptor < 0) {
        return false;
    }
    m_descriptor = descriptor;
    if (!m_temporaryBytes.Assign(temporary.c_str()) ||
        !file.Create(temporary.c_str(), FileMode::ReadWrite)) {
        ::unlink(temporary.c_str());
        ::close(m_descriptor);
        m_descriptor = -1;
        m_temporaryBytes.Clear();
        return false;
    }
    return true;
}

bool cInstallerPath::IsReplaceable() const
{
    struct stat info = {};
    if (::lstat(m_pathBytes.GetOrEmpty(), &info) != 0) {
        return errno == ENOENT;
    }
    if (S_ISREG(info.st_mode) || S_ISLNK(info.st_mode)) {
        return true;
    }
    errno = S_ISDIR(info.st_mode) ? EISDIR : EEXIST;
    return false;
}

bool cInstallerPath::Commit(cFileIO& file)
{
    file.Close();
    // The path is checked again: it may have changed while the download ran.
    if (m_descriptor < 0 || ::fsync(m_descriptor) != 0 || !IsReplaceable() ||
        ::rename(m_temporaryBytes.Get(), m_pathBytes.Get()) != 0) {
        const int error = errno;
        Discard();
        errno = error;
        return false;
    }
    ::close(m_descriptor);
    m_descriptor = -1;
    m_temporaryBytes.Clear();
    return true;
}

void cInstallerPath::Discard()
{
    if (m_descriptor >= 0) {
        ::close(m_descriptor);
        m_descriptor = -1;
    }
    if (!m_temporaryBytes.IsEmpty()) {
        ::unlink(m_temporaryBytes.Get());
        m_temporaryBytes.Clear();
    }
}

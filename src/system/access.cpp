#include "system/access.h"

#include "base/utf.h"

#include <sys/stat.h>

namespace {

u32 ReadImpliesExecute(u32 bits)
{
    return (bits & 4) != 0 ? bits | 1 : bits;
}

} // namespace

bool GrantAccess(const char16_t* path, i32 user, i32 admins, i32 everyone)
{
    _guardchar<char> bytes;
    struct stat info;
    if (path == nullptr || !WideToFileName(path, -1, bytes) || bytes.IsEmpty() || ::stat(bytes.Get(), &info) != 0) {
        return false;
    }
    u32 other = u32(everyone) & 7;
    u32 owner = (u32(user) & 7) | other;
    u32 group = (u32(admins) & 7) | other;
    if (S_ISDIR(info.st_mode)) {
        owner = ReadImpliesExecute(owner);
        group = ReadImpliesExecute(group);
        other = ReadImpliesExecute(other);
    }
    return ::chmod(bytes.Get(), mode_t(owner << 6 | group << 3 | other)) == 0;
}

#include "base/fileio.h"

#include "base/utf.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int OpenFlags(FileMode mode)
{
    switch (mode) {
    case FileMode::Read:
        return O_RDONLY;
    case FileMode::CreateReadWrite:
        return O_RDWR | O_CREAT | O_TRUNC;
    case FileMode::ReadWrite:
        return O_RDWR;
    }
    return -1;
}

// One transfer of at most SSIZE_MAX bytes is all the kernel takes at once anyway; a u32
// length always fits.
ssize_t PreadRetrying(int descriptor, u8* out, u64 length, u64 offset)
{
    ssize_t count;
    do {
        count = ::pread(descriptor, out, length, off_t(offset));
    } while (count < 0 && errno == EINTR);
    return count;
}

} // namespace

cFileIO::~cFileIO()
{
    Close();
}

bool cFileIO::Create(const char16_t* path, FileMode mode)
{
    _guardchar<char> name;
    if (path == nullptr || !WideToFileName(path, -1, name) || name.IsEmpty()) {
        Close();
        return false;
    }
    return Create(name.Get(), mode);
}

bool cFileIO::Create(const char* path, FileMode mode)
{
    std::lock_guard lock(m_mutex);
    if (m_descriptor >= 0) {
        m_open.store(false, std::memory_order_release);
        ::close(m_descriptor);
        m_descriptor = -1;
    }
    m_readAhead.reset();
    DropReadAhead();
    m_position = 0;
    const int flags = OpenFlags(mode);
    if (path == nullptr || flags < 0) {
        return false;
    }
    int descriptor;
    do {
        descriptor = ::open(path, flags | O_CLOEXEC, 0666);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) {
        return false;
    }
    struct stat info;
    if (::fstat(descriptor, &info) != 0 || S_ISDIR(info.st_mode)) {
        ::close(descriptor);
        return false;
    }
    m_descriptor = descriptor;
    m_open.store(true, std::memory_order_release);
    return true;
}

void cFileIO::Close()
{
    std::lock_guard lock(m_mutex);
    m_open.store(false, std::memory_order_release);
    if (m_descriptor >= 0) {
        // Not retried on EINTR: Linux releases the descriptor before it reports that.
        ::close(m_descriptor);
        m_descriptor = -1;
    }
    m_readAhead.reset();
    DropReadAhead();
    m_position = 0;
}

u64 cFileIO::GetSize()
{
    std::lock_guard lock(m_mutex);
    struct stat info;
    if (m_descriptor < 0 || ::fstat(m_descriptor, &info) != 0) {
        return 0;
    }
    return u64(info.st_size);
}

u64 cFileIO::GetPosition()
{
    std::lock_guard lock(m_mutex);
    return m_position;
}

u64 cFileIO::ReadDirect(u8* out, u64 length)
{
    u64 done = 0;
    while (done < length) {
        ssize_t count = PreadRetrying(m_descriptor, out + done, length - done, m_position);
        if (count <= 0) {
            break;
        }
        done += u64(count);
        m_position += u64(count);
    }
    return done;
}

u32 cFileIO::Read(void* buffer, u32 length)
{
    std::lock_guard lock(m_mutex);
    if (m_descriptor < 0 || buffer == nullptr) {
        return 0;
    }
    auto out = static_cast<u8*>(buffer);
    u64 done = 0;
    while (done < length) {
        if (m_position >= m_readAheadStart && m_position - m_readAheadStart < m_readAheadLength) {
            u64 offset = m_position - m_readAheadStart;
            u64 piece = std::min<u64>(length - done, m_readAheadLength - offset);
            std::memcpy(out + done, m_readAhead.get() + offset, piece);
            done += piece;
            m_position += piece;
            continue;
        }
        u64 rest = length - done;
        if (!m_readAhead && rest < kReadAheadSize) {
            m_readAhead.reset(new (std::nothrow) u8[kReadAheadSize]);
        }
        if (rest >= kReadAheadSize || !m_readAhead) {
            done += ReadDirect(out + done, rest);
            break;
        }
        ssize_t count = PreadRetrying(m_descriptor, m_readAhead.get(), kReadAheadSize, m_position);
        if (count <= 0) {
            DropReadAhead();
            break;
        }
        m_readAheadStart = m_position;
        m_readAheadLength = u64(count);
    }
    return u32(done);
}

u32 cFileIO::Write(const void* buffer, u32 length)
{
    std::lock_guard lock(m_mutex);
    if (m_descriptor < 0 || buffer == nullptr) {
        return 0;
    }
    DropReadAhead();
    auto in = static_cast<const u8*>(buffer);
    u64 done = 0;
    while (done < length) {
        ssize_t count;
        do {
            count = ::pwrite(m_descriptor, in + done, length - done, off_t(m_position));
        } while (count < 0 && errno == EINTR);
        if (count <= 0) {
            break;
        }
        done += u64(count);
        m_position += u64(count);
    }
    return u32(done);
}

bool cFileIO::Seek(u64 position)
{
    std::lock_guard lock(m_mutex);
    if (m_descriptor < 0 || position > u64(INT64_MAX)) {
        return false;
    }
    if (position < m_readAheadStart || position - m_readAheadStart >= m_readAheadLength) {
        DropReadAhead();
    }
    m_position = position;
    return true;
}

bool cFileIO::SeekFromEnd(u64 distance)
{
    std::lock_guard lock(m_mutex);
    struct stat info;
    if (m_descriptor < 0 || ::fstat(m_descriptor, &info) != 0 || distance > u64(info.st_size)) {
        return false;
    }
    DropReadAhead();
    m_position = u64(info.st_size) - distance;
    return true;
}

bool cFileIO::SetSize(u64 size)
{
    std::lock_guard lock(m_mutex);
    if (m_descriptor < 0 || size > u64(INT64_MAX)) {
        return false;
    }
    DropReadAhead();
    int result;
    do {
        result = ::ftruncate(m_descriptor, off_t(size));
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        return false;
    }
    m_position = std::min(m_position, size);
    return true;
}

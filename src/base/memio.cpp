#include "base/memio.h"

#include "base/clampedseek.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

// Pages come from calloc and the stream never shrinks except through Close, so every byte at
// or past m_size is zero. That invariant is what makes a gap after a Seek read as zeros.

cMemIOTarget::~cMemIOTarget()
{
    Close();
}

void cMemIOTarget::Close()
{
    for (u64 index = 0; index < m_pageCount; ++index) {
        std::free(m_pages[index]);
    }
    std::free(m_pages);
    m_pages = nullptr;
    m_pageCount = 0;
    m_pageCapacity = 0;
    m_size = 0;
    m_position = 0;
}

u8* cMemIOTarget::EnsurePage(u64 pageIndex)
{
    if (pageIndex >= m_pageCapacity) {
        constexpr u64 maxPages = kMaxSize >> kPageShift;
        u64 capacity = std::max<u64>({pageIndex + 1, m_pageCapacity * 2, 16});
        capacity = std::min(capacity, maxPages);
        if (pageIndex >= capacity) {
            return nullptr;
        }
        // calloc leaves the new entries null: pages of zeros until written.
        auto pages = static_cast<u8**>(std::calloc(capacity, sizeof(u8*)));
        if (pages == nullptr) {
            return nullptr;
        }
        if (m_pageCount > 0) {
            std::memcpy(pages, m_pages, m_pageCount * sizeof(u8*));
        }
        std::free(m_pages);
        m_pages = pages;
        m_pageCapacity = capacity;
    }
    if (m_pages[pageIndex] == nullptr) {
        m_pages[pageIndex] = static_cast<u8*>(std::calloc(kPageSize, 1));
        if (m_pages[pageIndex] == nullptr) {
            return nullptr;
        }
    }
    m_pageCount = std::max(m_pageCount, pageIndex + 1);
    return m_pages[pageIndex];
}

u32 cMemIOTarget::Write(const void* buffer, u32 length)
{
    if (buffer == nullptr || m_position >= kMaxSize) {
        return 0;
    }
    u64 remaining = std::min<u64>(length, kMaxSize - m_position);
    auto source = static_cast<const u8*>(buffer);
    u64 written = 0;
    while (written < remaining) {
        u64 offset = m_position & (kPageSize - 1);
        u64 piece = std::min<u64>(remaining - written, kPageSize - offset);
        u8* page = EnsurePage(m_position >> kPageShift);
        if (page == nullptr) {
            break;
        }
        std::memcpy(page + offset, source + written, piece);
        written += piece;
        m_position += piece;
    }
    if (written > 0) {
        m_size = std::max(m_size, m_position);
    }
    return u32(written);
}

u32 cMemIOTarget::Read(void* buffer, u32 length)
{
    if (buffer == nullptr || m_position >= m_size) {
        return 0;
    }
    u64 count = std::min<u64>(length, m_size - m_position);
    auto target = static_cast<u8*>(buffer);
    u64 done = 0;
    while (done < count) {
        u64 offset = m_position & (kPageSize - 1);
        u64 piece = std::min<u64>(count - done, kPageSize - offset);
        // Every page below m_size has an entry; a null one was never written.
        const u8* page = m_pages[m_position >> kPageShift];
        if (page != nullptr) {
            std::memcpy(target + done, page + offset, piece);
        } else {
            std::memset(target + done, 0, piece);
        }
        done += piece;
        m_position += piece;
    }
    return u32(count);
}

bool cMemIOTarget::Seek(u64 position)
{
    m_position = position;
    return true;
}

bool cMemIOTarget::SeekFromEnd(u64 distance)
{
    return ClampedSeekFromEnd(distance, m_size, m_position);
}

bool cMemIOTarget::GetContents(sMemBlock& out)
{
    out = {};
    if (m_size == 0) {
        return true;
    }
    if (m_size > u64(INT32_MAX)) {
        return false;
    }
    auto data = static_cast<u8*>(std::malloc(m_size));
    if (data == nullptr) {
        return false;
    }
    u64 saved = m_position;
    m_position = 0;
    u32 copied = Read(data, u32(m_size));
    m_position = saved;
    out.m_data = data;
    out.m_count = i32(copied);
    return true;
}

cBufWrapperIO::cBufWrapperIO(const void* data, u64 size)
    : m_data(static_cast<const u8*>(data)), m_size(data != nullptr ? size : 0)
{
}

u32 cBufWrapperIO::Read(void* buffer, u32 length)
{
    if (buffer == nullptr || m_position >= m_size) {
        return 0;
    }
    u64 count = std::min<u64>(length, m_size - m_position);
    std::memcpy(buffer, m_data + m_position, count);
    m_position += count;
    return u32(count);
}

bool cBufWrapperIO::Seek(u64 position)
{
    return ClampedSeek(position, m_size, m_position);
}

bool cBufWrapperIO::SeekFromEnd(u64 distance)
{
    return ClampedSeekFromEnd(distance, m_size, m_position);
}

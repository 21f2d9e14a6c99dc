#include "base/textfile.h"

#include "base/utf.h"

namespace {

constexpr u32 kBufferSize = 64 * 1024;
// Lines longer than this are refused, so that every caller may count units in an i32.
constexpr u64 kMaxLineBytes = 0x7FFFFFFF;

} // namespace

cTextFileReader::cTextFileReader(cFileIOTarget* stream, u64 start, eTextEncoding encoding)
    : m_stream(stream), m_start(start), m_encoding(encoding)
{
}

cTextFileReader::~cTextFileReader()
{
    std::free(m_buffer);
    std::free(m_line);
}

bool cTextFileReader::ReadLine(_guardchar<char16_t>& line)
{
    if (m_finished) {
        return false;
    }
    if (!m_started && !Start()) {
        m_finished = true;
        return false;
    }
    m_lineLength = 0;
    for (;;) {
        if (m_position == m_filled && !Refill()) {
            m_finished = true;
            return m_lineLength != 0 && DecodeLine(line);
        }
        if (m_skipLineFeed) {
            m_skipLineFeed = false;
            if (m_buffer[m_position] == '\n') {
                ++m_position;
                continue;
            }
        }
        const u8* begin = m_buffer + m_position;
        const u8* end = m_buffer + m_filled;
        const u8* p = begin;
        while (p < end && *p != '\n' && *p != '\r') {
            ++p;
        }
        if (!AppendToLine(begin, size_t(p - begin))) {
            m_finished = true;
            return false;
        }
        m_position = size_t(p - m_buffer);
        if (p < end) {
            m_skipLineFeed = *p == '\r';
            ++m_position;
            if (!DecodeLine(line)) {
                m_finished = true;
                return false;
            }
            return true;
        }
    }
}

bool cTextFileReader::Start()
{
    m_started = true;
    if (m_stream == nullptr || !m_stream->Seek(m_start)) {
        return false;
    }
    m_buffer = static_cast<u8*>(std::malloc(kBufferSize));
    return m_buffer != nullptr;
}

bool cTextFileReader::Refill()
{
    m_position = 0;
    m_filled = m_stream->Read(m_buffer, kBufferSize);
    return m_filled != 0;
}

bool cTextFileReader::AppendToLine(const u8* bytes, size_t count)
{
    u64 needed = m_lineLength + count;
    if (needed > kMaxLineBytes) {
        return false;
    }
    if (needed > m_lineCapacity) {
        u64 capacity = m_lineCapacity != 0 ? m_lineCapacity : 256;
        while (capacity < needed) {
            capacity *= 2;
        }
        void* grown = std::realloc(m_line, capacity);
        if (grown == nullptr) {
            return false;
        }
        m_line = static_cast<u8*>(grown);
        m_lineCapacity = capacity;
    }
    if (count != 0) {
        std::memcpy(m_line + m_lineLength, bytes, count);
    }
    m_lineLength = needed;
    return true;
}

bool cTextFileReader::DecodeLine(_guardchar<char16_t>& line)
{
    switch (m_encoding) {
    case eTextEncoding::Utf8:
        return Utf8ToWideString(reinterpret_cast<const char*>(m_line), i64(m_lineLength), line);
    }
    return false;
}

#pragma once
// A line reader over a borrowed stream.
#include "base/streams.h"
#include "base/texts.h"

enum class eTextEncoding
{
    Utf8,
};

class cTextFileReader
{
public:
    // Reading starts at byte `start` of `stream` (the stream is sought there before the
    // first read). A byte order mark is never interpreted: a caller that accepts one
    // tests for it and passes the offset after it.
    cTextFileReader(cFileIOTarget* stream, u64 start, eTextEncoding encoding);
    // Frees the buffers and leaves the stream open.
    ~cTextFileReader();
    cTextFileReader(const cTextFileReader&) = delete;
    cTextFileReader& operator=(const cTextFileReader&) = delete;

    // The next line without its end (LF, CR or CR LF) decoded to UTF-16, invalid bytes as
    // U+FFFD; an empty line gives an empty (null) text, and a zero byte ends the text. A
    // last line without an end is still a line. False at the end of the data, when the
    // stream cannot be sought or the line cannot be held in memory; false once means
    // false from then on.
    [[nodiscard]] bool ReadLine(_guardchar<char16_t>& line);

private:
    bool Start();
    bool Refill();
    bool AppendToLine(const u8* bytes, size_t count);
    bool DecodeLine(_guardchar<char16_t>& line);

    cFileIOTarget* m_stream;
    u64 m_start;
    eTextEncoding m_encoding;
    bool m_started = false;
    bool m_finished = false;
    // A CR ended the previous line: an LF right after it belongs to that line end, even
    // when it arrives with the next refill.
    bool m_skipLineFeed = false;
    u8* m_buffer = nullptr;
    size_t m_filled = 0;
    size_t m_position = 0;
    // The bytes of the line being read, kept until its end so that a UTF-8 sequence split
    // across refills decodes whole.
    u8* m_line = nullptr;
    u64 m_lineLength = 0;
    u64 m_lineCapacity = 0;
};

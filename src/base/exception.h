#pragma once
// The error object of the base buffers. It is the one exception type the code base
// throws (an index out of range of a buffer); a job catches it at the top of its thread.
#include "base/types.h"

struct cException
{
    const char* m_message; // static text, e.g. "_typebuf::Out of bounds"
    const char* m_file;    // source file, e.g. "base/buffers"
    i32 m_line;
    i32 m_code;

    cException(const char* message, const char* file, i32 line, i32 code = 0)
        : m_message(message), m_file(file), m_line(line), m_code(code)
    {
    }
};

#include "base/streams.h"

bool cFileIOTarget::ReadExact(void* buffer, u32 length)
{
    if (length == 0) {
        return true;
    }
    return Read(buffer, length) == length;
}

bool cFileIOTarget::WriteExact(const void* buffer, u32 length)
{
    if (length == 0) {
        return true;
    }
    return Write(buffer, length) == length;
}

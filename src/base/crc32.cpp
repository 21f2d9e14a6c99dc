#include "base/crc32.h"

#include <zlib.h>

u32 Crc32(const void* buffer, size_t length)
{
    if (buffer == nullptr) {
        return 0;
    }
    return u32(crc32_z(0, static_cast<const Bytef*>(buffer), length));
}

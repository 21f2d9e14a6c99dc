#pragma once
// The CRC-32 of ISO 3309 / ITU-T V.42 as PNG, ZIP and gzip use it: reflected polynomial
// 0xEDB88320, initial value all ones, final complement.
#include "base/types.h"

#include <cstddef>

// The CRC of `length` bytes; 0 for a null buffer.
u32 Crc32(const void* buffer, size_t length);

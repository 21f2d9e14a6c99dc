// The LZW decoder on arbitrary bytes: the first byte picks the bit order (bit 0), the early
// change (bit 1) and the initial code size (bits 2-5, 0-15, so out-of-range sizes come
// too); the output is limited to 1 MB.
// Links: qel_base qel_package
#include "package/lzw.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    if (size == 0) {
        return 0;
    }
    sMemBlock block{static_cast<u8*>(std::malloc(size)), i32(size - 1)};
    if (block.m_data == nullptr) {
        return 0;
    }
    std::memcpy(block.m_data, data + 1, size - 1);
    cLZWDecompress lzw(data[0] & 1, data[0] >> 2 & 15, data[0] >> 1 & 1);
    (void)lzw.Decompress(block, block, 1 << 20);
    if (block.m_count > (1 << 20)) {
        std::abort();
    }
    std::free(block.m_data);
    return 0;
}

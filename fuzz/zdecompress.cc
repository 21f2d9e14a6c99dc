// The zlib decompressor on arbitrary bytes, both ways: a whole-block Decompress under an
// output limit, and InflateStep fed in pieces whose sizes the first byte chooses.
// Links: qel_package qel_base
#include "base/memio.h"
#include "package/zdecompress.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    if (size == 0) {
        return 0;
    }
    cZDecompress whole;
    cMemIOTarget target;
    (void)whole.Decompress(data + 1, size - 1, target, 1 << 20);

    const u32 inPiece = 1 + (data[0] & 0x0F) * 37;
    const u32 outPiece = 1 + (data[0] >> 4) * 411;
    cZDecompress stepwise;
    u8 output[1 + 15 * 411];
    size_t offset = 1;
    u64 produced = 0;
    while (produced < (1 << 20)) {
        u32 inCount = u32(std::min<size_t>(inPiece, size - offset));
        u32 outCount = outPiece;
        const u8* input = inCount > 0 ? data + offset : nullptr;
        if (!stepwise.InflateStep(input, inCount, output, outCount)) {
            break;
        }
        if (inCount == 0 && outCount == 0) {
            break;
        }
        offset += inCount;
        produced += outCount;
    }
    (void)stepwise.ResetInflateStream();
    return 0;
}

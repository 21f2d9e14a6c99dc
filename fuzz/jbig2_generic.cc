// The generic region decoder on arbitrary bytes: flags (template, TPGDON, MMR, EXTTEMPLATE),
// 8 AT bytes, width and height (1 byte each, so at most 256 x 256) from the first 11
// bytes, the rest as the arithmetic data.
// Links: qel_base qel_picture_codecs
#include "picture/codecs/jbig2generic.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    constexpr size_t kPrefix = 11;
    if (size < kPrefix) {
        return 0;
    }
    sJbig2GenericHeader header;
    header.flags = data[0];
    std::memcpy(header.at, data + 1, 8);
    header.width = u32(data[9]) + 1;
    header.height = u32(data[10]) + 1;
    sMqDecoder decoder;
    _typebuf<u8> bitmap;
    if (MqDecoderInit(&decoder, data + kPrefix, size - kPrefix)) {
        (void)DecodeGenericRegion(header, &decoder, bitmap);
    }
    return 0;
}

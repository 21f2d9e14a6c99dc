// The TIFF walker on arbitrary bytes, reading every RATIONAL it is handed.
// Links: qel_picture_tiffraw qel_base
#include "base/memio.h"
#include "picture/tiffraw/tiffgeneric.h"

namespace {

class cFuzzWalker : public cTiffGeneric
{
protected:
    void OnTag(u16 tag, u16 type, const u8* value, u32 byteCount, u32 ifd) override
    {
        if (type == kTiffRational) {
            double values[8];
            (void)ReadTagRationals(*this, value, byteCount, values, 8);
        }
        for (u32 i = 0; i < byteCount; ++i) {
            m_sum += value[i];
        }
    }

public:
    u32 m_sum = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    cBufWrapperIO stream(data, size);
    cFuzzWalker walker;
    (void)walker.OpenTiff(&stream);
    return 0;
}

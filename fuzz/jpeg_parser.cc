// The JPEG decoder on arbitrary bytes: every band is transformed into a bounded buffer.
// Links: qel_picture_codecs qel_base
#include "base/memio.h"
#include "picture/codecs/jpegparser.h"

#include <algorithm>
#include <vector>

namespace {

class cFuzzDecoder : public cJPEGParser
{
protected:
    bool OnFrame() override
    {
        const i64 pixels = i64(GetFrameWidth()) * GetFrameHeight();
        if (pixels > (i64(1) << 22)) {
            return false;
        }
        if (GetPrecision() <= 8) {
            m_pixels.assign(size_t(pixels), 0);
        } else {
            m_deep.assign(size_t(pixels), 0);
        }
        return true;
    }
    bool OnMcuRows(int mcuColumn, int mcuRow, int mcuCount) override
    {
        const int x0 = mcuColumn * GetMcuWidth();
        const int y0 = mcuRow * GetMcuHeight();
        const int width = std::min(mcuCount * GetMcuWidth(), GetFrameWidth() - x0);
        const int rows = std::min(GetMcuHeight(), GetFrameHeight() - y0);
        void* pointers[32];
        for (int r = 0; r < rows; ++r) {
            const size_t index = size_t(y0 + r) * GetFrameWidth() + x0;
            pointers[r] = GetPrecision() <= 8 ? static_cast<void*>(&m_pixels[index])
                                              : static_cast<void*>(&m_deep[index]);
        }
        return DecodeRegion(mcuColumn, mcuRow, pointers, width, rows);
    }
    bool OnRows(const sJpegRows& rows, int y, int count) override
    {
        if (GetPrecision() <= 8) {
            ConvertRow8(rows.m_rows8, &m_pixels[size_t(y) * GetFrameWidth()], count, 1);
        } else {
            ConvertRow16(rows.m_rows16, &m_deep[size_t(y) * GetFrameWidth()], count);
        }
        return true;
    }

private:
    std::vector<u32> m_pixels;
    std::vector<u64> m_deep;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    cBufWrapperIO stream(data, size);
    cFuzzDecoder decoder;
    (void)decoder.ParseMarkers(&stream);
    return 0;
}

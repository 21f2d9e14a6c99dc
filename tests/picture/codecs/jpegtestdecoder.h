#pragma once
// A minimal owner of the JPEG decoder for tests: decodes into a top-down buffer of
// 0xAARRGGBB (or 64-bit) pixels, and counts the bands it transformed. And a marker finder
// for tests that patch files.
#include "base/memio.h"
#include "picture/codecs/jpegparser.h"
#include "picture/referencetools.h"

#include <optional>

// The offset of the first 0xFF `marker` pair from `from` on; a test failure when there is
// none, so that a patch never lands on bytes it did not mean.
inline std::optional<size_t> FindMarker(const std::vector<u8>& file, u8 marker, size_t from = 0)
{
    for (size_t i = from; i + 1 < file.size(); ++i) {
        if (file[i] == 0xFF && file[i + 1] == marker) {
            return i;
        }
    }
    ADD_FAILURE() << "no marker 0xFF" << std::hex << std::uppercase << int(marker);
    return std::nullopt;
}

class cTestJpegDecoder : public cJPEGParser
{
public:
    int m_width = 0;
    int m_height = 0;
    int m_precision = 0;
    bool m_wantPixels = true;
    bool m_stopAtFrame = false;
    // Bands whose top row lies at or beyond this row are left undecoded.
    int m_skipBandsFromRow = 1 << 30;
    int m_bandsDecoded = 0;
    std::vector<u32> m_pixels;
    std::vector<u64> m_deepPixels;
    std::string m_error;

    bool Decode(const std::vector<u8>& file)
    {
        cBufWrapperIO stream(file.data(), file.size());
        return ParseMarkers(&stream);
    }

protected:
    bool OnFrame() override
    {
        m_width = GetFrameWidth();
        m_height = GetFrameHeight();
        m_precision = GetPrecision();
        if (m_stopAtFrame) {
            return false;
        }
        if (m_precision <= 8) {
            m_pixels.assign(size_t(m_width) * m_height, 0);
        } else {
            m_deepPixels.assign(size_t(m_width) * m_height, 0);
        }
        return true;
    }
    bool WantsPixels() override { return m_wantPixels; }
    bool OnMcuRows(int mcuColumn, int mcuRow, int mcuCount) override
    {
        const int x0 = mcuColumn * GetMcuWidth();
        const int y0 = mcuRow * GetMcuHeight();
        if (y0 >= m_skipBandsFromRow) {
            return true;
        }
        const int width = std::min(mcuCount * GetMcuWidth(), m_width - x0);
        const int rows = std::min(GetMcuHeight(), m_height - y0);
        void* pointers[32];
        for (int r = 0; r < rows; ++r) {
            size_t index = size_t(y0 + r) * m_width + x0;
            pointers[r] = m_precision <= 8 ? static_cast<void*>(&m_pixels[index])
                                           : static_cast<void*>(&m_deepPixels[index]);
        }
        ++m_bandsDecoded;
        return DecodeRegion(mcuColumn, mcuRow, pointers, width, rows);
    }
    bool OnRows(const sJpegRows& rows, int y, int count) override
    {
        if (m_precision <= 8) {
            ConvertRow8(rows.m_rows8, &m_pixels[size_t(y) * m_width], count, 1);
        } else {
            ConvertRow16(rows.m_rows16, &m_deepPixels[size_t(y) * m_width], count);
        }
        return true;
    }
    void OnError(const char* what) override { m_error = what; }
};

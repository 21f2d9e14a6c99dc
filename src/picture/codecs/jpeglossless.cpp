// Lossless scans (ITU-T T.81 Annex H): predicted differences, Huffman coded.
#include "picture/codecs/jpegcontext.h"

#include <new>
#include <utility>

namespace {

// H.1.2.1 Table H.1: predictors from Ra (left), Rb (above) and Rc (above left).
inline int Predict(int predictor, int ra, int rb, int rc)
{
    switch (predictor) {
    case 1:
        return ra;
    case 2:
        return rb;
    case 3:
        return rc;
    case 4:
        return ra + rb - rc;
    case 5:
        return ra + ((rb - rc) >> 1);
    case 6:
        return rb + ((ra - rc) >> 1);
    default:
        return (ra + rb) >> 1;
    }
}

} // namespace

bool sJpegContext::DecodeLosslessScan()
{
    if (m_scanCount != 1 || m_scanComponentCount != m_componentCount) {
        return Fail("lossless frames in more than one scan are not supported");
    }
    if (m_restartInterval != 0 && m_restartInterval % m_width != 0) {
        return Fail("lossless restart intervals that are not whole rows are not supported");
    }
    const int count = m_componentCount;
    const int width = m_width;
    const int pt = m_al;
    const int predictor = m_ss;
    const u32 mask = (1u << (m_precision - pt)) - 1;
    const int initialPrediction = 1 << (m_precision - pt - 1);

    // Per component: the previous and current reconstructed rows, and the output row.
    std::unique_ptr<u16[]> storage(new (std::nothrow) u16[size_t(width) * count * 3]);
    std::unique_ptr<u8[]> storage8(new (std::nothrow) u8[size_t(width) * count]);
    if (!storage || !storage8) {
        return Fail("no memory for lossless rows");
    }
    u16* previous[4];
    u16* current[4];
    u16* output[4];
    sJpegRows rows{};
    for (int c = 0; c < count; ++c) {
        previous[c] = storage.get() + size_t(width) * (3 * c);
        current[c] = previous[c] + width;
        output[c] = current[c] + width;
        rows.m_rows16[c] = output[c];
        rows.m_rows8[c] = storage8.get() + size_t(width) * c;
    }

    m_bits.DiscardBits();
    m_nextRestart = 0;
    const int rowsPerInterval = m_restartInterval == 0 ? 0 : m_restartInterval / width;
    bool firstRowOfInterval = true;
    for (int y = 0; y < m_height; ++y) {
        if (rowsPerInterval != 0 && y > 0 && y % rowsPerInterval == 0) {
            if (!ProcessRestart()) {
                return false;
            }
            firstRowOfInterval = true;
        }
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < count; ++c) {
                const sJpegHuffmanTable& table = m_dcTables[m_components[c].m_dcTable];
                const int size = m_bits.Decode(table);
                if (size < 0) {
                    return Fail("bad Huffman code");
                }
                // H.1.2.2: size 16 is the difference 32768, with no extra bits.
                const int difference =
                    size == 16 ? 32768 : cJpegBitReader::Extend(m_bits.GetBits(size), size);
                int prediction;
                if (firstRowOfInterval) {
                    prediction = x == 0 ? initialPrediction : current[c][x - 1];
                } else if (x == 0) {
                    prediction = previous[c][0];
                } else {
                    prediction = Predict(predictor, current[c][x - 1], previous[c][x],
                                         previous[c][x - 1]);
                }
                current[c][x] = u16((prediction + difference) & 0xFFFF);
            }
        }
        if (m_bits.ConsumedPastData()) {
            return Fail("the data ends inside a scan");
        }
        for (int c = 0; c < count; ++c) {
            for (int x = 0; x < width; ++x) {
                output[c][x] = u16((current[c][x] & mask) << pt);
            }
            if (m_precision < 8) {
                ScaleJpegSamplesTo8(output[c], storage8.get() + size_t(width) * c, width,
                                    m_precision);
            } else if (m_precision == 8) {
                u8* narrow = storage8.get() + size_t(width) * c;
                for (int x = 0; x < width; ++x) {
                    narrow[x] = u8(output[c][x]);
                }
            }
            std::swap(previous[c], current[c]);
        }
        firstRowOfInterval = false;
        if (!m_owner.OnRows(rows, y, width)) {
            return false;
        }
    }
    return true;
}

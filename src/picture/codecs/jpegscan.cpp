// Entropy-coded scans: sequential (ITU-T T.81 F.2.2) and progressive (G.1.2).
#include "picture/codecs/jpegcontext.h"

#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Coefficients of all components together stay below this many bytes.
constexpr i64 kCoefficientByteCap = 0x7FFFFFFF;

// A DC prediction this far from zero cannot come from a valid file (every difference is
// at most 15 bits): it is refused before the 32-bit sum could overflow.
constexpr i64 kDcPredictionLimit = i64(1) << 30;

// Clears the 64 coefficients of a block before it is decoded. With unknown alignment the
// compiler makes `rep stos` of a 128-byte memset, whose start-up costs as much as decoding
// a few coefficients; eight vector stores do not.
inline void ClearBlock(i16* block)
{
#if defined(__SSE2__)
    // Written out: a loop of zero stores is turned back into the memset.
    __m128i* to = reinterpret_cast<__m128i*>(block);
    const __m128i zero = _mm_setzero_si128();
    _mm_storeu_si128(to + 0, zero);
    _mm_storeu_si128(to + 1, zero);
    _mm_storeu_si128(to + 2, zero);
    _mm_storeu_si128(to + 3, zero);
    _mm_storeu_si128(to + 4, zero);
    _mm_storeu_si128(to + 5, zero);
    _mm_storeu_si128(to + 6, zero);
    _mm_storeu_si128(to + 7, zero);
#else
    std::memset(block, 0, 64 * sizeof(i16));
#endif
}

} // namespace

bool sJpegContext::PrepareStore()
{
    if (m_kind == eJpegFrameKind::Lossless) {
        m_store = eJpegCoefficientStore::None;
        return true;
    }
    const bool singleScan = m_kind == eJpegFrameKind::Sequential &&
                            m_scanComponentCount == m_componentCount;
    m_store = singleScan ? eJpegCoefficientStore::Band : eJpegCoefficientStore::Image;

    i64 totalBytes = 0;
    for (int i = 0; i < m_componentCount; ++i) {
        sJpegComponent& component = m_components[i];
        const i64 across = i64(m_mcusAcross) * component.m_h;
        const i64 rows = singleScan ? component.m_v : i64(m_mcusDown) * component.m_v;
        totalBytes += across * rows * 64 * i64(sizeof(i16));
        if (totalBytes > kCoefficientByteCap) {
            return Fail("coefficient buffer above the size cap");
        }
    }
    for (int i = 0; i < m_componentCount; ++i) {
        sJpegComponent& component = m_components[i];
        component.m_blocksAcross = m_mcusAcross * component.m_h;
        component.m_blockRowsStored = singleScan ? component.m_v : m_mcusDown * component.m_v;
        const i64 count = i64(component.m_blocksAcross) * component.m_blockRowsStored * 64;
        if (!component.m_coefficients.AllocZeroed(count)) {
            return Fail("no memory for coefficients");
        }
    }
    return AllocatePlanes();
}

bool sJpegContext::ProcessRestart()
{
    // The interval's data must have held all of its MCUs.
    if (m_bits.ConsumedPastData()) {
        return Fail("the data ends inside a restart interval");
    }
    if (!m_bits.SeekMarker()) {
        return Fail("the data ends before a restart marker");
    }
    if (m_bits.GetMarker() != 0xD0 + (m_nextRestart & 7)) {
        return Fail("restart marker missing or out of order");
    }
    m_bits.ClearMarker();
    ++m_nextRestart;
    for (int i = 0; i < m_scanComponentCount; ++i) {
        m_components[m_scanComponents[i]].m_dcPrediction = 0;
    }
    m_eobRun = 0;
    return true;
}

bool sJpegContext::DecodeSequentialBlock(sJpegComponent& component, i16* block)
{
    i32 difference = 0;
    if (!m_bits.DecodeSequentialBlock(m_dcTables[component.m_dcTable], m_acTables[component.m_acTable],
                                      kJpegNaturalOrder, difference, block)) {
        return Fail("bad Huffman code");
    }
    const i64 prediction = i64(component.m_dcPrediction) + difference;
    if (prediction > kDcPredictionLimit || prediction < -kDcPredictionLimit) {
        return Fail("DC prediction out of range");
    }
    component.m_dcPrediction = i32(prediction);
    block[0] = i16(prediction);
    return true;
}

bool sJpegContext::DecodeDcFirst(sJpegComponent& component, i16* block)
{
    const int size = m_bits.Decode(m_dcTables[component.m_dcTable]);
    if (size < 0) {
        return Fail("bad Huffman code");
    }
    const i64 prediction = i64(component.m_dcPrediction) + cJpegBitReader::Extend(m_bits.GetBits(size), size);
    if (prediction > kDcPredictionLimit || prediction < -kDcPredictionLimit) {
        return Fail("DC prediction out of range");
    }
    component.m_dcPrediction = i32(prediction);
    block[0] = i16(prediction * (i64(1) << m_al));
    return true;
}

bool sJpegContext::DecodeDcRefine(i16* block)
{
    if (m_bits.GetBits(1) != 0) {
        block[0] = i16(block[0] | (1 << m_al));
    }
    return true;
}

bool sJpegContext::DecodeAcBlocks(sJpegComponent& component, i16* blocks, int count)
{
    const sJpegHuffmanTable& table = m_acTables[component.m_acTable];
    const bool decoded = m_ah == 0 ? m_bits.DecodeAcFirst(table, kJpegNaturalOrder, m_ss, m_se, m_al,
                                                          m_eobRun, blocks, count)
                                   : m_bits.DecodeAcRefine(table, kJpegNaturalOrder, m_ss, m_se, m_al,
                                                           m_eobRun, blocks, count);
    if (!decoded) {
        return Fail("bad Huffman code");
    }
    return true;
}

bool sJpegContext::DecodeBlock(sJpegComponent& component, i16* block)
{
    if (m_kind == eJpegFrameKind::Sequential) {
        return DecodeSequentialBlock(component, block);
    }
    if (m_ss == 0) {
        return m_ah == 0 ? DecodeDcFirst(component, block) : DecodeDcRefine(block);
    }
    return DecodeAcBlocks(component, block, 1);
}

// Whether this scan codes something for the first time or at a finer bit position, and
// if so records that it did. A sequential frame codes each component completely in one
// scan (T.81 4.10). In a progressive one each coefficient is first coded with Ah = 0 and
// then refined one bit at a time, every refinement's Ah being the previous scan's Al
// (G.1.1.1.1): at most 14 scans reach any coefficient.
bool sJpegContext::ScanAdvancesProgression()
{
    if (m_kind != eJpegFrameKind::Progressive) {
        for (int i = 0; i < m_scanComponentCount; ++i) {
            if (m_components[m_scanComponents[i]].m_scanned) {
                return false;
            }
        }
        for (int i = 0; i < m_scanComponentCount; ++i) {
            m_components[m_scanComponents[i]].m_scanned = true;
        }
        return true;
    }
    const u8 expected = m_ah == 0 ? 0 : u8(m_ah + 1);
    for (int i = 0; i < m_scanComponentCount; ++i) {
        const sJpegComponent& component = m_components[m_scanComponents[i]];
        for (int k = m_ss; k <= m_se; ++k) {
            if (component.m_codedAl[k] != expected) {
                return false;
            }
        }
    }
    for (int i = 0; i < m_scanComponentCount; ++i) {
        sJpegComponent& component = m_components[m_scanComponents[i]];
        for (int k = m_ss; k <= m_se; ++k) {
            component.m_codedAl[k] = u8(m_al + 1);
        }
    }
    return true;
}

bool sJpegContext::DecodeScan()
{
    for (int i = 0; i < m_scanComponentCount; ++i) {
        sJpegComponent& component = m_components[m_scanComponents[i]];
        if (!component.m_quantLatched) {
            std::memcpy(component.m_quant, m_quantTables[component.m_quantIndex],
                        sizeof component.m_quant);
            component.m_quantLatched = true;
        }
        component.m_dcPrediction = 0;
    }
    m_eobRun = 0;
    m_nextRestart = 0;
    m_bits.DiscardBits();

    // A scan that repeats work already done adds nothing a valid file needs, yet costs a
    // pass over every block: thousands of such scans, a few bytes each, would keep a small
    // file decoding for minutes. It is skipped up to the next marker.
    const bool complete = m_store == eJpegCoefficientStore::Band && m_imageComplete;
    if (complete || !ScanAdvancesProgression()) {
        if (!m_bits.SeekMarker()) {
            return Fail("the data ends inside a scan");
        }
        return true;
    }

    int restartsLeft = m_restartInterval;
    auto beforeUnit = [&]() {
        if (m_restartInterval == 0) {
            return true;
        }
        if (restartsLeft == 0) {
            if (!ProcessRestart()) {
                return false;
            }
            restartsLeft = m_restartInterval;
        }
        --restartsLeft;
        return true;
    };

    if (m_scanComponentCount == 1) {
        // Non-interleaved (A.2.2): one block per MCU, only the component's own blocks.
        sJpegComponent& component = m_components[m_scanComponents[0]];
        const bool band = m_store == eJpegCoefficientStore::Band;
        // Progressive AC scans without restarts take a row of blocks in one call.
        const bool wholeRows = m_kind == eJpegFrameKind::Progressive && m_ss != 0 && m_restartInterval == 0;
        auto decodeRow = [&](int storedRow) {
            if (wholeRows) {
                return DecodeAcBlocks(component, component.Block(0, storedRow), component.m_widthInBlocks);
            }
            for (int blockX = 0; blockX < component.m_widthInBlocks; ++blockX) {
                if (!beforeUnit()) {
                    return false;
                }
                i16* block = component.Block(blockX, storedRow);
                if (band) {
                    ClearBlock(block);
                }
                if (!DecodeBlock(component, block)) {
                    return false;
                }
            }
            return true;
        };
        for (int blockRow = 0; blockRow < component.m_heightInBlocks; ++blockRow) {
            if (!decodeRow(band ? 0 : blockRow)) {
                return false;
            }
            if (m_bits.ConsumedPastData()) {
                return Fail("the data ends inside a scan");
            }
            if (band) {
                // One component: its block rows are the MCU rows.
                m_bandRow = blockRow;
                if (!m_owner.OnMcuRows(0, blockRow, m_mcusAcross)) {
                    return false;
                }
            }
        }
    } else {
        // Interleaved (A.2.3): MCUs of Hi x Vi blocks per component.
        const bool band = m_store == eJpegCoefficientStore::Band;
        for (int mcuRow = 0; mcuRow < m_mcusDown; ++mcuRow) {
            for (int mcuX = 0; mcuX < m_mcusAcross; ++mcuX) {
                if (!beforeUnit()) {
                    return false;
                }
                for (int i = 0; i < m_scanComponentCount; ++i) {
                    sJpegComponent& component = m_components[m_scanComponents[i]];
                    const int rowBase = band ? 0 : mcuRow * component.m_v;
                    for (int v = 0; v < component.m_v; ++v) {
                        for (int h = 0; h < component.m_h; ++h) {
                            i16* block = component.Block(mcuX * component.m_h + h, rowBase + v);
                            if (band) {
                                ClearBlock(block);
                            }
                            if (!DecodeBlock(component, block)) {
                                return false;
                            }
                        }
                    }
                }
            }
            if (m_bits.ConsumedPastData()) {
                return Fail("the data ends inside a scan");
            }
            if (band) {
                m_bandRow = mcuRow;
                if (!m_owner.OnMcuRows(0, mcuRow, m_mcusAcross)) {
                    return false;
                }
            }
        }
    }
    if (m_store == eJpegCoefficientStore::Band) {
        m_imageComplete = true;
    }
    return true;
}

bool sJpegContext::EmitImage()
{
    for (int mcuRow = 0; mcuRow < m_mcusDown; ++mcuRow) {
        if (!m_owner.OnMcuRows(0, mcuRow, m_mcusAcross)) {
            return false;
        }
    }
    return true;
}

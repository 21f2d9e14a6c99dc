// Bands of MCUs to pixels: inverse DCT, replicating upsampling, colour conversion.
#include "picture/codecs/jpegcontext.h"

#include <new>

namespace {

// Replicates each of the first ceil(count / factor) samples `factor` times.
template <typename Sample>
void Replicate(const Sample* source, Sample* out, int count, int factor)
{
    if (factor == 2) {
        for (int x = 0; x + 1 < count; x += 2) {
            out[x] = out[x + 1] = source[x >> 1];
        }
        if (count & 1) {
            out[count - 1] = source[(count - 1) >> 1];
        }
        return;
    }
    for (int x = 0; x < count; ++x) {
        out[x] = source[x / factor];
    }
}

} // namespace

bool sJpegContext::AllocatePlanes()
{
    const bool deep = m_precision > 8;
    for (int i = 0; i < m_componentCount; ++i) {
        sJpegComponent& component = m_components[i];
        const i64 stride = i64(component.m_blocksAcross) * 8;
        const i64 planeSize = stride * component.m_v * 8;
        const i64 upsampledSize = i64(m_mcusAcross) * 8 * m_hMax;
        if (deep) {
            component.m_plane16.reset(new (std::nothrow) u16[size_t(planeSize)]);
            component.m_upsampled16.reset(new (std::nothrow) u16[size_t(upsampledSize)]);
            if (!component.m_plane16 || !component.m_upsampled16) {
                return Fail("no memory for sample planes");
            }
        } else {
            component.m_plane8.reset(new (std::nothrow) u8[size_t(planeSize)]);
            component.m_upsampled8.reset(new (std::nothrow) u8[size_t(upsampledSize)]);
            if (!component.m_plane8 || !component.m_upsampled8) {
                return Fail("no memory for sample planes");
            }
        }
    }
    return true;
}

bool sJpegContext::DecodeRegion(int mcuColumn, int mcuRow, void* const* rowPointers, int width,
                                int rows)
{
    if (!m_frameSeen || m_kind == eJpegFrameKind::Lossless || m_store == eJpegCoefficientStore::None ||
        rowPointers == nullptr) {
        return false;
    }
    const int mcuWidth = 8 * m_hMax;
    const int mcuHeight = 8 * m_vMax;
    if (mcuColumn < 0 || mcuRow < 0 || mcuColumn >= m_mcusAcross || mcuRow >= m_mcusDown ||
        width < 1 || rows < 1 || rows > mcuHeight) {
        return false;
    }
    if (i64(mcuColumn) * mcuWidth + width > m_width || i64(mcuRow) * mcuHeight + rows > m_height) {
        return false;
    }
    if (m_store == eJpegCoefficientStore::Band && mcuRow != m_bandRow) {
        return false;
    }
    const bool deep = m_precision > 8;
    const int mcuCount = (width + mcuWidth - 1) / mcuWidth;

    // Transform the blocks of the band that the requested rows reach.
    for (int i = 0; i < m_componentCount; ++i) {
        sJpegComponent& component = m_components[i];
        const int verticalFactor = m_vMax / component.m_v;
        const int sampleRows = (rows + verticalFactor - 1) / verticalFactor;
        const int blockRows = (sampleRows + 7) / 8;
        const int blocksX = mcuCount * component.m_h;
        const int firstBlockX = mcuColumn * component.m_h;
        const int rowBase = m_store == eJpegCoefficientStore::Band ? 0 : mcuRow * component.m_v;
        const int stride = component.m_blocksAcross * 8;
        for (int by = 0; by < blockRows; ++by) {
            const i64 rowOffset = i64(by) * 8 * stride;
            if (!deep) {
                u8* plane = component.m_plane8.get() + rowOffset;
                int bx = 0;
                if (m_idct8Pair != nullptr) {
                    // Blocks of a row are stored one after another.
                    for (; bx + 1 < blocksX; bx += 2) {
                        m_idct8Pair(component.Block(firstBlockX + bx, rowBase + by), component.m_quant,
                                    plane + bx * 8, stride);
                    }
                }
                for (; bx < blocksX; ++bx) {
                    m_idct8(component.Block(firstBlockX + bx, rowBase + by), component.m_quant,
                            plane + bx * 8, stride);
                }
                continue;
            }
            for (int bx = 0; bx < blocksX; ++bx) {
                IdctIslow12(component.Block(firstBlockX + bx, rowBase + by), component.m_quant,
                            m_rangeLimit, component.m_plane16.get() + rowOffset + bx * 8, stride);
            }
        }
    }

    // Upsample and convert row by row.
    const int fusedFactor = deep ? 0 : FusedChromaFactor();
    for (int row = 0; row < rows; ++row) {
        if (fusedFactor != 0) {
            ConvertFusedRow(row, static_cast<u32*>(rowPointers[row]), width, fusedFactor);
            continue;
        }
        const u8* rows8[4] = {};
        const u16* rows16[4] = {};
        for (int i = 0; i < m_componentCount; ++i) {
            sJpegComponent& component = m_components[i];
            const int sampleRow = row / (m_vMax / component.m_v);
            const i64 offset = i64(sampleRow) * component.m_blocksAcross * 8;
            const int horizontalFactor = m_hMax / component.m_h;
            if (deep) {
                const u16* source = component.m_plane16.get() + offset;
                if (horizontalFactor > 1) {
                    Replicate(source, component.m_upsampled16.get(), width, horizontalFactor);
                    source = component.m_upsampled16.get();
                }
                rows16[i] = source;
            } else {
                const u8* source = component.m_plane8.get() + offset;
                if (horizontalFactor > 1) {
                    Replicate(source, component.m_upsampled8.get(), width, horizontalFactor);
                    source = component.m_upsampled8.get();
                }
                rows8[i] = source;
            }
        }
        if (deep) {
            ConvertJpegRow16(m_colorSpace, m_precision, rows16, static_cast<u64*>(rowPointers[row]),
                             width);
        } else {
            ConvertJpegRow8(m_colorSpace, m_colorTables, rows8, static_cast<u32*>(rowPointers[row]),
                            width, 1);
        }
    }
    return true;
}

// The chroma factor (1 or 2) under which the one-pass conversion takes YCbCr rows straight
// from the sample planes, upsampling as it converts; 0 when the rows go the general way.
int sJpegContext::FusedChromaFactor() const
{
    if (m_yccRow8 == nullptr || m_colorSpace != eJpegColorSpace::YCbCr || m_componentCount != 3) {
        return 0;
    }
    const sJpegComponent& luma = m_components[0];
    const sJpegComponent& cb = m_components[1];
    const sJpegComponent& cr = m_components[2];
    if (luma.m_h != m_hMax || cb.m_h != cr.m_h || cb.m_v != cr.m_v) {
        return 0;
    }
    const int factor = m_hMax / cb.m_h;
    return factor <= 2 ? factor : 0;
}

void sJpegContext::ConvertFusedRow(int row, u32* out, int width, int factor)
{
    const u8* planes[3];
    for (int i = 0; i < 3; ++i) {
        const sJpegComponent& component = m_components[i];
        const int sampleRow = row / (m_vMax / component.m_v);
        planes[i] = component.m_plane8.get() + i64(sampleRow) * component.m_blocksAcross * 8;
    }
    const int done = m_yccRow8(planes[0], planes[1], planes[2], out, width, factor);
    const int rest = width - done;
    if (rest == 0) {
        return;
    }
    // The last pixels (fewer than 16) the scalar way, their chroma replicated here.
    u8 cb[16];
    u8 cr[16];
    for (int x = 0; x < rest; ++x) {
        cb[x] = planes[1][(done + x) / factor];
        cr[x] = planes[2][(done + x) / factor];
    }
    const u8* rows[4] = {planes[0] + done, cb, cr, nullptr};
    ConvertJpegRow8(eJpegColorSpace::YCbCr, m_colorTables, rows, out + done, rest, 1);
}

#include "platform/testfont.h"

#include <algorithm>
#include <vector>

namespace {

class cTestFontFace final : public cFontFace
{
public:
    cTestFontFace(i32 advance, i32 cellHeight) : m_advance(advance)
    {
        m_metrics.cellHeight = cellHeight;
        m_metrics.ascent = std::max(cellHeight - 3, 0);
        m_metrics.underlineTop = std::max(cellHeight - 2, 0);
        m_metrics.underlineThickness = 1;

        const i32 blockWidth = std::max(advance - 1, 0);
        const i32 blockHeight = std::max(cellHeight - 4, 0);
        m_space.advance = advance;
        m_single = MakeBlocks(1, blockWidth, blockHeight, m_singleMask);
        m_pair = MakeBlocks(2, blockWidth, blockHeight, m_pairMask);
    }

    const sFontMetrics& GetMetrics() const override { return m_metrics; }

    const sGlyphImage* GetGlyph(char32_t codePoint) override
    {
        if (codePoint == U' ') {
            return &m_space;
        }
        return codePoint >= 0x10000 ? &m_pair : &m_single;
    }

private:
    // `units` blocks side by side, one advance apart.
    sGlyphImage MakeBlocks(i32 units, i32 blockWidth, i32 blockHeight, std::vector<u8>& mask) const
    {
        sGlyphImage glyph;
        glyph.advance = m_advance * units;
        if (blockWidth == 0 || blockHeight == 0) {
            return glyph;
        }
        glyph.top = 2;
        glyph.width = m_advance * (units - 1) + blockWidth;
        glyph.height = blockHeight;
        mask.assign(size_t(glyph.width) * size_t(glyph.height), 0);
        for (i32 row = 0; row < glyph.height; ++row) {
            for (i32 unit = 0; unit < units; ++unit) {
                std::fill_n(mask.begin() + row * glyph.width + unit * m_advance, blockWidth, u8(255));
            }
        }
        glyph.coverage = mask.data();
        return glyph;
    }

    i32 m_advance;
    sFontMetrics m_metrics;
    sGlyphImage m_space;
    std::vector<u8> m_singleMask;
    std::vector<u8> m_pairMask;
    sGlyphImage m_single;
    sGlyphImage m_pair;
};

} // namespace

std::unique_ptr<cFontFace> cTestFontEngine::CreateFace(const sFontKey& key)
{
    if (key.height < 1) {
        return nullptr;
    }
    const i32 advance = key.width > 0 ? key.width : std::max(key.height / 2, 1);
    return std::make_unique<cTestFontFace>(advance, key.height);
}

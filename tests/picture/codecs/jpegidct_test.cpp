// The 8-bit IDCT's forms give the same samples for every block, hostile ones included:
// random blocks of valid photo-like, sparse and extreme coefficients and quantisers through
// the portable transform and each vector one this processor runs (single and pair).
#include "picture/codecs/jpegidct.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

struct sBlock
{
    i16 coefficients[64];
    u16 quant[64];
};

std::vector<sBlock> RandomBlocks()
{
    std::mt19937 random(20261207);
    std::vector<sBlock> blocks(3000);
    for (size_t n = 0; n < blocks.size(); ++n) {
        sBlock& block = blocks[n];
        const int kind = int(n % 3);
        for (int k = 0; k < 64; ++k) {
            if (kind == 0) { // photo-like: small quantisers, falling coefficients
                block.quant[k] = u16(1 + random() % 16);
                const int range = 1 + 1024 / (1 + k);
                block.coefficients[k] = i16(int(random() % (2 * range + 1)) - range);
            } else if (kind == 1) { // sparse: a DC term and a few AC terms
                block.quant[k] = u16(1 + random() % 255);
                block.coefficients[k] = k == 0 || random() % 16 == 0 ? i16(int(random() % 65) - 32) : 0;
            } else { // hostile: anything the 16-bit fields hold
                block.quant[k] = u16(random());
                block.coefficients[k] = i16(random());
            }
        }
    }
    return blocks;
}

TEST(JpegIdct, EveryFormGivesThePortableSamples)
{
    const std::vector<sBlock> blocks = RandomBlocks();
    const tJpegIdct8 forms[] = {JpegIdct8Sse2()};
    int tried = 0;
    for (const tJpegIdct8 form : forms) {
        if (form == nullptr) {
            continue;
        }
        ++tried;
        for (const sBlock& block : blocks) {
            u8 expected[8 * 11];
            u8 actual[8 * 11];
            IdctIslow8(block.coefficients, block.quant, expected, 11);
            form(block.coefficients, block.quant, actual, 11);
            for (int row = 0; row < 8; ++row) {
                for (int column = 0; column < 8; ++column) {
                    ASSERT_EQ(actual[row * 11 + column], expected[row * 11 + column])
                        << "block " << &block - blocks.data() << " at " << row << "," << column;
                }
            }
        }
    }
    // The pair transform on neighbouring blocks: mixed kinds, so some pairs hold a block
    // with only its DC term.
    if (const tJpegIdct8Pair pair = ChooseJpegIdct8Pair()) {
        ++tried;
        for (size_t n = 0; n + 1 < blocks.size(); n += 1 + n % 2) {
            i16 coefficients[128];
            std::copy_n(blocks[n].coefficients, 64, coefficients);
            std::copy_n(blocks[n + 1].coefficients, 64, coefficients + 64);
            u8 expected[8 * 19];
            u8 actual[8 * 19];
            IdctIslow8(coefficients, blocks[n].quant, expected, 19);
            IdctIslow8(coefficients + 64, blocks[n].quant, expected + 8, 19);
            pair(coefficients, blocks[n].quant, actual, 19);
            for (int row = 0; row < 8; ++row) {
                for (int column = 0; column < 16; ++column) {
                    ASSERT_EQ(actual[row * 19 + column], expected[row * 19 + column])
                        << "pair " << n << " at " << row << "," << column;
                }
            }
        }
    }
    if (tried == 0) {
        GTEST_SKIP() << "no vector IDCT on this processor";
    }
}

} // namespace

// The zlib decompressor against streams made by Python's zlib module, whole and step by step
// in the pieces the PNG reader uses.
#include "package/zdecompress.h"

#include "support/scratchfolder.h"
#include "support/shellcommand.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<u8>;

// Runs a Python snippet that reads `input` as `data` and makes `out`.
Bytes RunPython(const std::string& snippet, const Bytes& input)
{
    qeltest::cScratchFolder folder;
    const std::string script = "import sys, zlib\ndata = open(sys.argv[1], 'rb').read()\n" + snippet +
                               "\nsys.stdout.buffer.write(out)";
    int status = -1;
    const std::string out = qeltest::RunCommand("/usr/bin/python3 -c " + qeltest::ShellQuote(script) + " " +
                                                    folder.MakeFile("in", input),
                                                &status);
    EXPECT_EQ(status, 0) << snippet;
    return Bytes(out.begin(), out.end());
}

Bytes PythonCompress(const Bytes& data, int level)
{
    return RunPython("out = zlib.compress(data, " + std::to_string(level) + ")", data);
}

// Text-like bytes (compressible) followed by random bytes (not), so both literal-heavy and
// match-heavy blocks occur, and level 0 needs several stored blocks.
Bytes SampleData(size_t size, u64 seed)
{
    Bytes data;
    static const char kWords[] = "the picture reader inflates each chunk of image data ";
    while (data.size() < size / 2) {
        data.insert(data.end(), kWords, kWords + sizeof kWords - 1);
    }
    std::mt19937_64 random(seed);
    while (data.size() < size) {
        data.push_back(u8(random()));
    }
    data.resize(size);
    return data;
}

bool DecompressAll(const Bytes& input, Bytes& output, u64 limit = cDecompress::kNoOutputLimit)
{
    cZDecompress inflater;
    cMemIOTarget target;
    const bool ok = inflater.Decompress(input.data(), input.size(), target, limit);
    output.assign(target.GetSize(), 0);
    EXPECT_TRUE(target.Seek(0) && target.ReadExact(output.data(), u32(output.size())));
    return ok;
}

// Drives InflateStep the way the PNG reader does: input handed over in pieces of at most
// `inPiece` bytes, output taken in pieces of at most `outPiece`, the unconsumed rest passed
// again. Stops when a call makes no progress.
bool InflateInPieces(cZDecompress& inflater, const Bytes& input, u32 inPiece, u32 outPiece, Bytes& output)
{
    size_t offset = 0;
    Bytes buffer(outPiece);
    for (;;) {
        u32 inCount = u32(std::min<size_t>(inPiece, input.size() - offset));
        u32 outCount = outPiece;
        if (!inflater.InflateStep(inCount > 0 ? input.data() + offset : nullptr, inCount, buffer.data(),
                                  outCount)) {
            return false;
        }
        offset += inCount;
        output.insert(output.end(), buffer.begin(), buffer.begin() + outCount);
        if (inCount == 0 && outCount == 0) {
            return true;
        }
    }
}

class ZDecompress : public ::testing::Test
{
protected:
    void SetUp() override { QEL_REQUIRE(qeltest::PathExists("/usr/bin/python3"), "/usr/bin/python3"); }
};

} // namespace

TEST_F(ZDecompress, WholeAndInPiecesAtLevelsZeroAndNine)
{
    for (size_t size : {size_t(0), size_t(1), size_t(65535), size_t(300000)}) {
        const Bytes data = SampleData(size, size);
        for (int level : {0, 9}) {
            SCOPED_TRACE("size " + std::to_string(size) + " level " + std::to_string(level));
            const Bytes packed = PythonCompress(data, level);
            Bytes output;
            ASSERT_TRUE(DecompressAll(packed, output));
            EXPECT_EQ(output, data);
            for (auto [inPiece, outPiece] : {std::pair<u32, u32>{1, 7}, {13, 65536}, {65536, 1}}) {
                if (size > 65535 && inPiece == 1) {
                    continue; // byte by byte only where it is quick
                }
                cZDecompress inflater;
                output.clear();
                ASSERT_TRUE(InflateInPieces(inflater, packed, inPiece, outPiece, output)) << inPiece;
                EXPECT_EQ(output, data) << inPiece << "/" << outPiece;
            }
        }
    }
}

// Every cut (the Adler-32 trailer included), flipped bytes in the header, middle and
// trailer, a preset dictionary, raw deflate and empty input are refused; bytes after the
// end of the stream are ignored. (Not the first block header: in a stored block its low
// bits are padding that RFC 1951 3.2.4 tells to ignore.)
TEST_F(ZDecompress, DamagedStreamsAreRefused)
{
    const Bytes data = SampleData(20000, 2);
    Bytes output;
    for (int level : {0, 9}) {
        const Bytes packed = PythonCompress(data, level);
        for (size_t cut = 0; cut < packed.size(); cut += (cut < packed.size() - 8 ? 97 : 1)) {
            ASSERT_FALSE(DecompressAll(Bytes(packed.begin(), packed.begin() + cut), output)) << "cut " << cut;
        }
        for (size_t at : {size_t(0), size_t(1), packed.size() / 2, packed.size() - 1}) {
            Bytes damaged = packed;
            damaged[at] ^= 0x10;
            EXPECT_FALSE(DecompressAll(damaged, output)) << "level " << level << " byte " << at;
        }
        Bytes trailing = packed;
        trailing.insert(trailing.end(), {0xDE, 0xAD, 0xBE, 0xEF, 0x78, 0x9C});
        ASSERT_TRUE(DecompressAll(trailing, output));
        EXPECT_EQ(output, data);
    }
    EXPECT_FALSE(DecompressAll(
        RunPython("c = zlib.compressobj(9, zdict=b'the picture')\nout = c.compress(data) + c.flush()", data),
        output));
    EXPECT_FALSE(DecompressAll(
        RunPython("c = zlib.compressobj(9, zlib.DEFLATED, -15)\nout = c.compress(data) + c.flush()", data),
        output));
    cZDecompress inflater;
    cMemIOTarget target;
    const u8 byte = 0x78;
    EXPECT_FALSE(inflater.Decompress(nullptr, 10, target) || inflater.Decompress(&byte, 0, target));
    EXPECT_EQ(target.GetSize(), 0u);
}

TEST_F(ZDecompress, OutputLimitIsInclusiveAndStopsABomb)
{
    const Bytes data = SampleData(100000, 4);
    const Bytes packed = PythonCompress(data, 9);
    Bytes output;
    EXPECT_TRUE(DecompressAll(packed, output, data.size()));
    EXPECT_FALSE(DecompressAll(packed, output, data.size() - 1));
    // 64 MB of zeros in about 64 KB: a limit of 1 MB must stop it early.
    const Bytes bomb = RunPython("out = zlib.compress(bytes(64 << 20), 9)", {});
    ASSERT_LT(bomb.size(), 100000u);
    EXPECT_FALSE(DecompressAll(bomb, output, 1 << 20));
    EXPECT_LE(output.size(), size_t(1) << 20);
}

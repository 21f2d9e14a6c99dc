#include "package/zdecompress.h"

#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<u8>;

const char* kPython = "/usr/bin/python3";

Bytes ReadWholeFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Runs a Python snippet that reads the bytes of argv[1] and writes its answer to argv[2]; the
// peer that made the compressed data is Python's zlib module, not our code.
Bytes RunPython(const std::string& snippet, const Bytes& input)
{
    char inPath[] = "/tmp/qel_zin_XXXXXX";
    char outPath[] = "/tmp/qel_zout_XXXXXX";
    int inFd = mkstemp(inPath);
    int outFd = mkstemp(outPath);
    EXPECT_GE(inFd, 0);
    EXPECT_GE(outFd, 0);
    EXPECT_EQ(write(inFd, input.data(), input.size()), ssize_t(input.size()));
    close(inFd);
    close(outFd);
    std::string command = std::string(kPython) + " -c \"import sys, zlib\ndata = open(sys.argv[1], 'rb').read()\n" +
                          snippet + "\nopen(sys.argv[2], 'wb').write(out)\" " + inPath + " " + outPath;
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    Bytes answer = ReadWholeFile(outPath);
    unlink(inPath);
    unlink(outPath);
    return answer;
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
    data.reserve(size);
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

Bytes Contents(cMemIOTarget& target)
{
    Bytes bytes(target.GetSize());
    EXPECT_TRUE(target.Seek(0));
    EXPECT_TRUE(target.ReadExact(bytes.data(), u32(bytes.size())));
    return bytes;
}

bool DecompressAll(const Bytes& input, Bytes& output, u64 limit = cDecompress::kNoOutputLimit)
{
    cZDecompress inflater;
    cMemIOTarget target;
    bool ok = inflater.Decompress(input.data(), input.size(), target, limit);
    output = Contents(target);
    return ok;
}

// Drives InflateStep the way the PNG reader does: input handed over in pieces of at most
// `inPiece` bytes, output taken in pieces of at most `outPiece`, the unconsumed rest passed
// again. Stops when a call makes no progress.
bool InflateInPieces(cZDecompress& inflater, const Bytes& input, u32 inPiece, u32 outPiece,
                     Bytes& output)
{
    size_t offset = 0;
    Bytes buffer(outPiece);
    for (;;) {
        u32 inCount = u32(std::min<size_t>(inPiece, input.size() - offset));
        u32 outCount = outPiece;
        const u8* in = inCount > 0 ? input.data() + offset : nullptr;
        if (!inflater.InflateStep(in, inCount, buffer.data(), outCount)) {
            return false;
        }
        offset += inCount;
        output.insert(output.end(), buffer.begin(), buffer.begin() + outCount);
        if (inCount == 0 && outCount == 0) {
            return true;
        }
    }
}

class ZDecompressTest : public ::testing::Test
{
protected:
    void SetUp() override { QEL_REQUIRE(qeltest::PathExists(kPython), "/usr/bin/python3"); }
};

} // namespace

TEST_F(ZDecompressTest, DecompressesPythonOutputAtLevelsZeroAndNine)
{
    for (size_t size : {size_t(0), size_t(1), size_t(65535), size_t(300000)}) {
        Bytes data = SampleData(size, size);
        for (int level : {0, 9}) {
            SCOPED_TRACE("size " + std::to_string(size) + " level " + std::to_string(level));
            Bytes output;
            ASSERT_TRUE(DecompressAll(PythonCompress(data, level), output));
            EXPECT_EQ(output, data);
        }
    }
}

TEST_F(ZDecompressTest, TruncatedStreamIsFalseAtEveryCut)
{
    Bytes data = SampleData(5000, 1);
    for (int level : {0, 9}) {
        Bytes packed = PythonCompress(data, level);
        Bytes output;
        Bytes half(packed.begin(), packed.begin() + packed.size() / 2);
        EXPECT_FALSE(DecompressAll(half, output)) << "cut in half, level " << level;
        // Every shorter length, down to the header alone: the Adler-32 trailer included.
        for (size_t cut = 1; cut < packed.size(); cut += (cut < packed.size() - 8 ? 97 : 1)) {
            Bytes shorter(packed.begin(), packed.begin() + cut);
            ASSERT_FALSE(DecompressAll(shorter, output)) << "cut at " << cut;
        }
    }
}

TEST_F(ZDecompressTest, FlippedByteIsFalse)
{
    Bytes data = SampleData(20000, 2);
    for (int level : {0, 9}) {
        Bytes packed = PythonCompress(data, level);
        // The zlib header, the middle and the Adler-32 trailer. (Not the first block header:
        // in a stored block its low bits are padding that RFC 1951 3.2.4 tells to ignore.)
        for (size_t at : {size_t(0), size_t(1), packed.size() / 2, packed.size() - 1}) {
            Bytes damaged = packed;
            damaged[at] ^= 0x10;
            Bytes output;
            EXPECT_FALSE(DecompressAll(damaged, output)) << "level " << level << " byte " << at;
        }
    }
}

TEST_F(ZDecompressTest, BytesAfterTheStreamEndAreIgnored)
{
    Bytes data = SampleData(70000, 3);
    Bytes packed = PythonCompress(data, 9);
    packed.insert(packed.end(), {0xDE, 0xAD, 0xBE, 0xEF, 0x78, 0x9C});
    Bytes output;
    ASSERT_TRUE(DecompressAll(packed, output));
    EXPECT_EQ(output, data);
}

TEST_F(ZDecompressTest, OutputLimitIsInclusiveAndStopsABomb)
{
    Bytes data = SampleData(100000, 4);
    Bytes packed = PythonCompress(data, 9);
    Bytes output;
    EXPECT_TRUE(DecompressAll(packed, output, data.size()));
    EXPECT_FALSE(DecompressAll(packed, output, data.size() - 1));

    // 64 MB of zeros in about 64 KB: a limit of 1 MB must stop it early.
    Bytes bomb = RunPython("out = zlib.compress(bytes(64 << 20), 9)", {});
    ASSERT_LT(bomb.size(), 100000u);
    cZDecompress inflater;
    cMemIOTarget target;
    EXPECT_FALSE(inflater.Decompress(bomb.data(), bomb.size(), target, 1 << 20));
    EXPECT_LE(target.GetSize(), u64(1) << 20);
}

TEST_F(ZDecompressTest, PresetDictionaryAndRawDeflateAreRefused)
{
    Bytes data = SampleData(1000, 5);
    Bytes withDictionary = RunPython(
        "c = zlib.compressobj(9, zdict=b'the picture reader')\nout = c.compress(data) + c.flush()",
        data);
    Bytes rawDeflate = RunPython(
        "c = zlib.compressobj(9, zlib.DEFLATED, -15)\nout = c.compress(data) + c.flush()", data);
    Bytes output;
    EXPECT_FALSE(DecompressAll(withDictionary, output));
    EXPECT_FALSE(DecompressAll(rawDeflate, output));
}

TEST(ZDecompress, EmptyOrNullInputIsFalse)
{
    cZDecompress inflater;
    cMemIOTarget target;
    const u8 byte = 0x78;
    EXPECT_FALSE(inflater.Decompress(nullptr, 10, target));
    EXPECT_FALSE(inflater.Decompress(&byte, 0, target));
    EXPECT_FALSE(inflater.Decompress(&byte, 1, target));
    EXPECT_EQ(target.GetSize(), 0u);
}

TEST(ZDecompress, KindsOfTheDecompressors)
{
    struct cNoDecompress : cDecompress
    {
        bool Decompress(const void*, u64, cMemIOTarget&, u64) override { return false; }
    };
    cNoDecompress none;
    EXPECT_EQ(none.GetKind(), 0);
    cDecompress* zlibForm = new cZDecompress;
    EXPECT_EQ(zlibForm->GetKind(), 2);
    zlibForm->Delete();
}

TEST_F(ZDecompressTest, InflateStepMatchesWholeDecodeWhateverThePieces)
{
    Bytes data = SampleData(200000, 6);
    for (int level : {0, 9}) {
        Bytes packed = PythonCompress(data, level);
        for (auto [inPiece, outPiece] : {std::pair<u32, u32>{1, 7}, {13, 65536}, {65536, 1},
                                         {u32(packed.size()), u32(data.size())}}) {
            SCOPED_TRACE("level " + std::to_string(level) + " pieces " +
                         std::to_string(inPiece) + "/" + std::to_string(outPiece));
            cZDecompress inflater;
            Bytes output;
            ASSERT_TRUE(InflateInPieces(inflater, packed, inPiece, outPiece, output));
            EXPECT_EQ(output, data);
        }
    }
}

TEST_F(ZDecompressTest, InflateStepCountsAndPendingInput)
{
    Bytes data = SampleData(1000, 7);
    Bytes packed = PythonCompress(data, 0); // stored: output grows byte for byte with input
    cZDecompress inflater;
    u8 out[100];

    // Before any input, and with nothing pending: true, both counts 0.
    u32 inCount = 55;
    u32 outCount = sizeof out;
    EXPECT_TRUE(inflater.InflateStep(nullptr, inCount, out, outCount));
    EXPECT_EQ(inCount, 0u);
    EXPECT_EQ(outCount, 0u);

    // A small output buffer leaves input pending.
    inCount = u32(packed.size());
    outCount = sizeof out;
    ASSERT_TRUE(inflater.InflateStep(packed.data(), inCount, out, outCount));
    EXPECT_EQ(outCount, sizeof out);
    EXPECT_LT(inCount, packed.size());
    Bytes output(out, out + outCount);
    u32 consumed = inCount;

    // A null input continues with what is pending.
    inCount = 0;
    outCount = sizeof out;
    ASSERT_TRUE(inflater.InflateStep(nullptr, inCount, out, outCount));
    EXPECT_GT(inCount, 0u);
    EXPECT_EQ(outCount, sizeof out);
    EXPECT_TRUE(std::equal(out, out + outCount, data.begin() + output.size()));
    consumed += inCount;
    EXPECT_LE(consumed, packed.size());
}

TEST_F(ZDecompressTest, InflateStepIsFalseWhenNoProgressIsPossibleOrDataIsCorrupt)
{
    Bytes data = SampleData(5000, 8);
    Bytes packed = PythonCompress(data, 9);
    u8 out[8192];

    // The whole first half, then an empty but non-null input: zlib cannot progress.
    cZDecompress cut;
    u32 inCount = u32(packed.size() / 2);
    u32 outCount = sizeof out;
    ASSERT_TRUE(cut.InflateStep(packed.data(), inCount, out, outCount));
    ASSERT_EQ(inCount, packed.size() / 2);
    inCount = 0;
    outCount = sizeof out;
    EXPECT_FALSE(cut.InflateStep(packed.data() + packed.size() / 2, inCount, out, outCount));
    EXPECT_EQ(outCount, 0u);

    Bytes damaged = packed;
    damaged[0] = 0x77; // CM 7 is no compression method (RFC 1950 2.2)
    cZDecompress bad;
    inCount = u32(damaged.size());
    outCount = sizeof out;
    EXPECT_FALSE(bad.InflateStep(damaged.data(), inCount, out, outCount));
}

TEST_F(ZDecompressTest, ResetStartsANewStreamOnlyAfterFirstUse)
{
    cZDecompress inflater;
    EXPECT_FALSE(inflater.ResetInflateStream()) << "never initialised";

    Bytes first = SampleData(3000, 9);
    Bytes second = SampleData(4000, 10);
    Bytes packedFirst = PythonCompress(first, 9);
    Bytes packedSecond = PythonCompress(second, 0);

    Bytes output;
    ASSERT_TRUE(InflateInPieces(inflater, packedFirst, 100, 1000, output));
    EXPECT_EQ(output, first);
    // After the end of one stream the next only decodes after a reset.
    ASSERT_TRUE(inflater.ResetInflateStream());
    output.clear();
    ASSERT_TRUE(InflateInPieces(inflater, packedSecond, 100, 1000, output));
    EXPECT_EQ(output, second);

    // A reset in the middle of a stream discards it.
    ASSERT_TRUE(inflater.ResetInflateStream());
    u8 out[10];
    u32 inCount = 50;
    u32 outCount = sizeof out;
    ASSERT_TRUE(inflater.InflateStep(packedFirst.data(), inCount, out, outCount));
    ASSERT_TRUE(inflater.ResetInflateStream());
    output.clear();
    ASSERT_TRUE(InflateInPieces(inflater, packedSecond, 4096, 4096, output));
    EXPECT_EQ(output, second);

    // Decompress shares the state and resets it itself.
    cMemIOTarget target;
    ASSERT_TRUE(inflater.Decompress(packedFirst.data(), packedFirst.size(), target));
    EXPECT_EQ(Contents(target), first);
}

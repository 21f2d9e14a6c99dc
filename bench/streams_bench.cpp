// Stream costs against their peers:
// - one-byte reads over a 100 MB file: cFileIO::ReadExact (read-ahead window) against a raw
//   read(fd, &b, 1) system call and stdio's fgetc; cMemBufferedIO (4 KB window, as the JPEG
//   2000 readers use it) over cFileIO;
// - Crc32 against zlib's crc32, which it calls: the difference is the wrapper's cost;
// - cMemIOTarget write and read throughput in 4 KB pieces, with appending to a std::vector as
//   the peer for writes.
// Links: qel_base
#include "base/bufferedio.h"
#include "base/crc32.h"
#include "base/fileio.h"
#include "base/memio.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace {

constexpr size_t kFileSize = 100u << 20;

// The 100 MB file, made once per run and removed at exit.
class cBenchFile
{
public:
    cBenchFile()
    {
        char pattern[] = "/tmp/qel_streams_bench_XXXXXX";
        int descriptor = ::mkstemp(pattern);
        if (descriptor < 0) {
            std::perror("mkstemp");
            std::exit(1);
        }
        m_path = pattern;
        std::vector<u8> chunk(1 << 20);
        std::mt19937_64 random(1);
        for (u8& byte : chunk) {
            byte = u8(random());
        }
        for (size_t written = 0; written < kFileSize; written += chunk.size()) {
            if (::write(descriptor, chunk.data(), chunk.size()) != ssize_t(chunk.size())) {
                std::perror("write");
                std::exit(1);
            }
        }
        ::close(descriptor);
    }
    ~cBenchFile() { ::unlink(m_path.c_str()); }

    const char* Path() const { return m_path.c_str(); }

private:
    std::string m_path;
};

const cBenchFile& BenchFile()
{
    static cBenchFile file;
    return file;
}

// One ReadExact of one byte per iteration, starting over at the end of the file.
void ReadOneByteAtATime(benchmark::State& state, cFileIOTarget& stream)
{
    u8 byte;
    for (auto _ : state) {
        if (!stream.ReadExact(&byte, 1)) {
            (void)stream.Seek(0);
        }
        benchmark::DoNotOptimize(byte);
    }
    state.SetBytesProcessed(state.iterations());
}

void BM_FileIOReadExactOneByte(benchmark::State& state)
{
    cFileIO file;
    if (!file.Create(BenchFile().Path(), FileMode::Read)) {
        state.SkipWithError("open failed");
        return;
    }
    ReadOneByteAtATime(state, file);
}
BENCHMARK(BM_FileIOReadExactOneByte);

void BM_MemBufferedIOReadExactOneByte(benchmark::State& state)
{
    cFileIO file;
    cMemBufferedIO cache;
    if (!file.Create(BenchFile().Path(), FileMode::Read) || !cache.Attach(&file, 4096)) {
        state.SkipWithError("open failed");
        return;
    }
    ReadOneByteAtATime(state, cache);
}
BENCHMARK(BM_MemBufferedIOReadExactOneByte);

void BM_RawReadSyscallOneByte(benchmark::State& state)
{
    int descriptor = ::open(BenchFile().Path(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        state.SkipWithError("open failed");
        return;
    }
    u8 byte;
    for (auto _ : state) {
        if (::read(descriptor, &byte, 1) != 1) {
            ::lseek(descriptor, 0, SEEK_SET);
        }
        benchmark::DoNotOptimize(byte);
    }
    ::close(descriptor);
    state.SetBytesProcessed(state.iterations());
}
BENCHMARK(BM_RawReadSyscallOneByte);

void BM_StdioFgetc(benchmark::State& state)
{
    std::FILE* file = std::fopen(BenchFile().Path(), "rb");
    if (file == nullptr) {
        state.SkipWithError("open failed");
        return;
    }
    int byte;
    for (auto _ : state) {
        byte = std::fgetc(file);
        if (byte == EOF) {
            std::rewind(file);
        }
        benchmark::DoNotOptimize(byte);
    }
    std::fclose(file);
    state.SetBytesProcessed(state.iterations());
}
BENCHMARK(BM_StdioFgetc);

std::vector<u8> RandomBytes(size_t count)
{
    std::vector<u8> bytes(count);
    std::mt19937_64 random(2);
    for (u8& byte : bytes) {
        byte = u8(random());
    }
    return bytes;
}

void BM_Crc32(benchmark::State& state)
{
    auto bytes = RandomBytes(size_t(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(Crc32(bytes.data(), bytes.size()));
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Crc32)->Arg(13)->Arg(65536);

void BM_ZlibCrc32(benchmark::State& state)
{
    auto bytes = RandomBytes(size_t(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(crc32(0, bytes.data(), uInt(bytes.size())));
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ZlibCrc32)->Arg(13)->Arg(65536);

constexpr u32 kPiece = 4096;
constexpr u64 kMemoryStreamSize = 64u << 20;

void BM_MemIOTargetWrite(benchmark::State& state)
{
    auto bytes = RandomBytes(kPiece);
    cMemIOTarget stream;
    for (auto _ : state) {
        if (stream.GetSize() >= kMemoryStreamSize) {
            stream.Close(); // the page allocation is part of the cost being measured
        }
        benchmark::DoNotOptimize(stream.Write(bytes.data(), kPiece));
    }
    state.SetBytesProcessed(state.iterations() * kPiece);
}
BENCHMARK(BM_MemIOTargetWrite);

void BM_VectorAppend(benchmark::State& state)
{
    auto bytes = RandomBytes(kPiece);
    std::vector<u8> stream;
    for (auto _ : state) {
        if (stream.size() >= kMemoryStreamSize) {
            std::vector<u8>().swap(stream);
        }
        stream.insert(stream.end(), bytes.begin(), bytes.end());
        benchmark::DoNotOptimize(stream.data());
    }
    state.SetBytesProcessed(state.iterations() * kPiece);
}
BENCHMARK(BM_VectorAppend);

void BM_MemIOTargetRead(benchmark::State& state)
{
    auto bytes = RandomBytes(kPiece);
    cMemIOTarget stream;
    while (stream.GetSize() < kMemoryStreamSize) {
        (void)stream.WriteExact(bytes.data(), kPiece);
    }
    (void)stream.Seek(0);
    std::vector<u8> out(kPiece);
    for (auto _ : state) {
        if (stream.Read(out.data(), kPiece) != kPiece) {
            (void)stream.Seek(0);
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * kPiece);
}
BENCHMARK(BM_MemIOTargetRead);

} // namespace

BENCHMARK_MAIN();

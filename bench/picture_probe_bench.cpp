// Probe rejection: the format factory over 1,000 in-memory files that are not pictures (ELF
// programs from /usr/bin and texts from /usr/share/doc) against libmagic's magic_buffer on
// the same buffers. Probing must stay header-only, so a file costs microseconds whatever
// its size. Each benchmark's time is for all 1,000 files, so milliseconds read as
// microseconds per file; the ratio is factory / libmagic.
// Links: qel_base qel_package qel_picture_factory qel_picture_formats qel_picture_core qel_picture_codecs qel_picture_tiffraw
#include "base/memio.h"
#include "picture/factory/pictfactory.h"

#include <benchmark/benchmark.h>
#include <magic.h>

#include <dirent.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr size_t kFilesOfEachKind = 500;
constexpr off_t kLargestFile = 8 << 20;

bool IsElf(const std::vector<u8>& bytes)
{
    return bytes.size() > 4 && bytes[0] == 0x7F && bytes[1] == 'E' && bytes[2] == 'L' &&
           bytes[3] == 'F';
}

// Up to `count` regular files of `folder` (or of its subfolders' `leaf`) that `keep` accepts.
template <class tKeep>
void Collect(const std::string& folder, const char* leaf, size_t count, tKeep keep,
             std::vector<std::vector<u8>>& files)
{
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    size_t taken = 0;
    while (dirent* entry = readdir(dir)) {
        if (taken == count) {
            break;
        }
        const std::string path = folder + "/" + entry->d_name + (leaf ? leaf : "");
        struct stat info;
        if (entry->d_name[0] == '.' || stat(path.c_str(), &info) != 0 ||
            !S_ISREG(info.st_mode) || info.st_size == 0 || info.st_size > kLargestFile) {
            continue;
        }
        std::ifstream in(path, std::ios::binary);
        std::vector<u8> bytes((std::istreambuf_iterator<char>(in)), {});
        if (keep(bytes)) {
            files.push_back(std::move(bytes));
            ++taken;
        }
    }
    closedir(dir);
}

const std::vector<std::vector<u8>>& NonPictures()
{
    static const std::vector<std::vector<u8>> files = [] {
        std::vector<std::vector<u8>> all;
        Collect("/usr/bin", nullptr, kFilesOfEachKind, IsElf, all);
        Collect("/usr/share/doc", "/copyright", kFilesOfEachKind,
                [](const std::vector<u8>& bytes) { return !IsElf(bytes); }, all);
        return all;
    }();
    return files;
}

void SetCounters(benchmark::State& state, size_t files, size_t rejected)
{
    state.SetItemsProcessed(i64(state.iterations() * files));
    state.counters["files"] = f64(files);
    state.counters["rejected"] = f64(rejected);
}

void BM_FactoryRejects(benchmark::State& state)
{
    const std::vector<std::vector<u8>>& files = NonPictures();
    size_t rejected = 0;
    for (auto _ : state) {
        rejected = 0;
        for (const std::vector<u8>& bytes : files) {
            cBufWrapperIO stream(bytes.data(), bytes.size());
            sPictInfo info;
            cPictBase* picture = PictCreateFromStream(&stream, &info);
            if (picture == nullptr) {
                ++rejected;
            } else {
                picture->Delete();
            }
        }
    }
    SetCounters(state, files.size(), rejected);
}
BENCHMARK(BM_FactoryRejects)->Unit(benchmark::kMillisecond);

void BM_LibmagicBuffer(benchmark::State& state)
{
    const std::vector<std::vector<u8>>& files = NonPictures();
    magic_t cookie = magic_open(MAGIC_MIME_TYPE);
    if (cookie == nullptr || magic_load(cookie, nullptr) != 0) {
        state.SkipWithError("libmagic has no database");
        return;
    }
    size_t rejected = 0;
    for (auto _ : state) {
        rejected = 0;
        for (const std::vector<u8>& bytes : files) {
            const char* mime = magic_buffer(cookie, bytes.data(), bytes.size());
            if (mime != nullptr && std::string(mime).rfind("image/", 0) != 0) {
                ++rejected;
            }
        }
    }
    magic_close(cookie);
    SetCounters(state, files.size(), rejected);
}
BENCHMARK(BM_LibmagicBuffer)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

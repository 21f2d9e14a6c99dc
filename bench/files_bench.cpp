// Wildcard matching against glibc's fnmatch, the places of a 300-line mount table, and
// the configuration store loading and saving 10,000 values.
// Links: qel_system_test_hooks qel_system qel_base
#include "base/config.h"
#include "base/paths.h"
#include "system/folders.h"
#include "testhooks/systemhooks.h"

#include "../tests/base/wildcard_pairs.h"

#include <benchmark/benchmark.h>

#include <fnmatch.h>
#include <fstream>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::vector<qeltest::sWildcardPair>& Pairs()
{
    static const std::vector<qeltest::sWildcardPair> pairs = qeltest::MakeWildcardPairs(100000, 20240611);
    return pairs;
}

void BM_MatchWildcardList(benchmark::State& state)
{
    const auto& pairs = Pairs();
    for (auto _ : state) {
        size_t matches = 0;
        for (const qeltest::sWildcardPair& pair : pairs) {
            matches += MatchWildcardList(pair.m_name.c_str(), pair.m_pattern.c_str()) ? 1 : 0;
        }
        benchmark::DoNotOptimize(matches);
    }
    state.SetItemsProcessed(i64(state.iterations() * pairs.size()));
}
BENCHMARK(BM_MatchWildcardList)->Unit(benchmark::kMillisecond);

void BM_FnmatchCaseFold(benchmark::State& state)
{
    const auto& pairs = Pairs();
    locale_t utf8 = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
    locale_t previous = ::uselocale(utf8);
    for (auto _ : state) {
        size_t matches = 0;
        for (const qeltest::sWildcardPair& pair : pairs) {
            matches +=
                ::fnmatch(pair.m_patternUtf8.c_str(), pair.m_nameUtf8.c_str(), FNM_NOESCAPE | FNM_CASEFOLD) == 0;
        }
        benchmark::DoNotOptimize(matches);
    }
    ::uselocale(previous);
    ::freelocale(utf8);
    state.SetItemsProcessed(i64(state.iterations() * pairs.size()));
}
BENCHMARK(BM_FnmatchCaseFold)->Unit(benchmark::kMillisecond);

// A scratch folder for the duration of one benchmark.
class cBenchFolder
{
public:
    cBenchFolder()
    {
        char pattern[] = "/tmp/qelbench.XXXXXX";
        m_path = ::mkdtemp(pattern) != nullptr ? pattern : "/tmp";
    }
    ~cBenchFolder() { std::system(("rm -rf '" + m_path + "'").c_str()); }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// 300 lines in the shapes a desktop has: local disks at existing folders, system mounts,
// network shares.
void BM_ReadPlaces300(benchmark::State& state)
{
    cBenchFolder folder;
    std::ofstream table(folder.Path() + "/mountinfo");
    for (int line = 0; line < 300; ++line) {
        std::string point = folder.Path() + "/m" + std::to_string(line);
        switch (line % 3) {
        case 0:
            ::mkdir(point.c_str(), 0755);
            table << line + 2 << " 1 8:" << line << " / " << point << " rw,relatime shared:" << line
                  << " - ext4 /dev/sda" << line << " rw\n";
            break;
        case 1:
            table << line + 2 << " 1 0:" << line << " / /sys/fs/cgroup/c" << line << " rw - cgroup cgroup rw\n";
            break;
        default:
            table << line + 2 << " 1 0:" << line << " / /net/s" << line << " rw - nfs4 srv:/e" << line << " rw\n";
        }
    }
    table.close();
    SetPlacesSources((folder.Path() + "/mountinfo").c_str(), (folder.Path() + "/by-label").c_str());
    cFolderListing listing;
    for (auto _ : state) {
        benchmark::DoNotOptimize(listing.ReadPlaces());
    }
    SetPlacesSources(nullptr, nullptr);
}
BENCHMARK(BM_ReadPlaces300)->Unit(benchmark::kMicrosecond);

constexpr int kConfigValues = 10000;

std::string ValuePath(int index)
{
    return "install/product" + std::to_string(index) + "/ver";
}

void BM_ConfigSave10000(benchmark::State& state)
{
    cBenchFolder folder;
    cCIAppConfig store(folder.Path() + "/store", kConfigPerUser);
    for (auto _ : state) {
        for (int index = 0; index < kConfigValues; ++index) {
            store.SetInt64(ValuePath(index).c_str(), index);
        }
        benchmark::DoNotOptimize(store.Save());
    }
    state.SetItemsProcessed(i64(state.iterations()) * kConfigValues);
}
BENCHMARK(BM_ConfigSave10000)->Unit(benchmark::kMillisecond);

void BM_ConfigLoad10000(benchmark::State& state)
{
    cBenchFolder folder;
    {
        cCIAppConfig store(folder.Path() + "/store", kConfigPerUser);
        for (int index = 0; index < kConfigValues; ++index) {
            store.SetInt64(ValuePath(index).c_str(), index);
        }
        store.Save();
    }
    for (auto _ : state) {
        cCIAppConfig store(folder.Path() + "/store", kConfigPerUser);
        i64 sum = 0;
        for (int index = 0; index < kConfigValues; ++index) {
            i64 value = 0;
            (void)store.GetInt64(ValuePath(index).c_str(), value);
            sum += value;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(i64(state.iterations()) * kConfigValues);
}
BENCHMARK(BM_ConfigLoad10000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

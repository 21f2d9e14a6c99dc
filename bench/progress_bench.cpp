// Links: qel_gui_dialogs qel_gui_controls qel_gui_core qel_platform qel_base
// The progress widgets' hot and idle paths:
// - the progress form's OnProgress when it does not refresh (the downloader calls it for
//   every received piece) against a bare clock_gettime(CLOCK_MONOTONIC) read in the
//   same run; budget 2x, reported as "vs_clock_read";
// - one rebuild of a 580 x 18 bar's picture (30-60 per second while it animates);
// - ten styled, idle bars for 5 s: process CPU time from getrusage as a share of one
//   core, budget 1 %, reported as "cpu_percent".
#include "base/clock.h"
#include "gui/controls/progressbar.h"
#include "gui/dialogs/progressform.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <memory>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {

// The body never runs: the form is not created, so no job starts.
class cIdleProgressForm : public cStdBasicProgressForm
{
protected:
    i32 Run() override { return 0; }
};

// Nanoseconds per call of `call` over a million calls.
template <typename Call>
f64 NanosecondsPerCall(Call call)
{
    constexpr i32 kCalls = 1000000;
    const auto start = std::chrono::steady_clock::now();
    for (i32 i = 0; i < kCalls; ++i) {
        call();
    }
    return std::chrono::duration<f64, std::nano>(std::chrono::steady_clock::now() - start).count() / kCalls;
}

void BM_OnProgressWithoutRefresh(benchmark::State& state)
{
    cIdleProgressForm form;
    // The first report refreshes (on a form without a window); every later one within
    // 500 ms takes the fast path, and one refresh per 500 ms is all the rest.
    benchmark::DoNotOptimize(form.OnProgress(10.0));
    f64 percent = 10.0;
    for (auto _ : state) {
        percent = percent < 90.0 ? percent + 1e-6 : 10.0;
        benchmark::DoNotOptimize(form.OnProgress(percent));
    }
    // The ratio against a bare clock read, measured side by side.
    const f64 clockNs = NanosecondsPerCall([] {
        timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        benchmark::DoNotOptimize(now);
    });
    const f64 progressNs = NanosecondsPerCall([&] { benchmark::DoNotOptimize(form.OnProgress(50.0)); });
    state.counters["clock_ns"] = clockNs;
    state.counters["vs_clock_read"] = progressNs / clockNs;
}
BENCHMARK(BM_OnProgressWithoutRefresh);

void BM_RebuildBar580x18(benchmark::State& state)
{
    cProgressChild bar;
    bar.SetBounds(0, 0, 580, 18);
    bar.SetRange(1000);
    i32 position = 0;
    for (auto _ : state) {
        position = (position + 37) % 1000;
        cProgressChild::cSetProgressRequestAction action(position);
        bar.OnAction(&bar, &action); // a position action rebuilds the picture
    }
}
BENCHMARK(BM_RebuildBar580x18)->Unit(benchmark::kMicrosecond);

f64 ProcessCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return f64(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           f64(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void BM_TenIdleBars5s(benchmark::State& state)
{
    for (auto _ : state) {
        cChildElement parent;
        std::vector<std::unique_ptr<cProgressChild>> bars;
        for (i32 i = 0; i < 10; ++i) {
            bars.push_back(std::make_unique<cProgressChild>());
            parent.AttachChild(bars.back().get(), 0, i * 20, 580, 18); // styling starts the job
        }
        const f64 cpuBefore = ProcessCpuSeconds();
        const auto wallBefore = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(5));
        const f64 wall = std::chrono::duration<f64>(std::chrono::steady_clock::now() - wallBefore).count();
        state.counters["cpu_percent"] = 100.0 * (ProcessCpuSeconds() - cpuBefore) / wall;
    }
}
BENCHMARK(BM_TenIdleBars5s)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

// Links: qel_gui_dialogs qel_gui_controls qel_gui_core qel_platform qel_base
// The file chooser over a tmpfs folder of 100,000 files: refilling the list (all rows
// formatted and sorted by kind and name; budget 500 ms), and the whole round trip from
// NavigateTo to a filled list, against `find DIR -maxdepth 1 -printf '%s %T@ %y\n'`
// timed in the same run (budget 2x find). Budgets are reported as "of_budget" (below 1 =
// within).
#include "gui/core/application.h"
#include "gui/core/windowmaker.h"
#include "gui/dialogs/filechooser.h"
#include "platform/headlesshost.h"
#include "platform/softgraphics.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <string>

namespace {

constexpr i32 kFiles = 100000;
using tClock = std::chrono::steady_clock;

f64 MillisecondsSince(tClock::time_point start)
{
    return std::chrono::duration<f64, std::milli>(tClock::now() - start).count();
}

struct sChooserBench
{
    std::string folder = "/dev/shm/qel-filechooser-bench";
    std::u16string wideFolder;
    cHeadlessHost host;
    cCIApplication application;
    sFileChooseParams params;
    cFileChooseDialog dialog{&params, cFileChooseDialog::kOpenMode};

    sChooserBench()
    {
        const std::string make = "rm -rf " + folder + " && mkdir -p " + folder + " && cd " + folder + " && seq " +
                                 std::to_string(kFiles) + " | sed 's/^/f/' | xargs touch";
        if (std::system(make.c_str()) != 0) {
            std::abort();
        }
        wideFolder.assign(folder.begin(), folder.end());
        (void)params.startFolder.Assign(wideFolder.c_str());
        InstallSoftwareGraphics(eTextFont::FixedTest);
        application.SetUpWindowSystem(&host);
        sWindowParams window;
        window.screenRect = {0, 0, 500, 350};
        application.GetWindowMaker()->OpenWindow(&dialog, window);
        WaitIdle();
    }
    ~sChooserBench() { (void)std::system(("rm -rf " + folder).c_str()); }

    void WaitIdle()
    {
        (void)host.PumpUntil([&] { return dialog.GetNavigationBar()->GetState() == cNavigationChild::kStateIdle; }, 60000);
    }
    // Timed from NavigateTo to the filled list.
    f64 RoundTripMs()
    {
        const tClock::time_point start = tClock::now();
        (void)dialog.GetNavigationBar()->NavigateTo(wideFolder.c_str());
        WaitIdle();
        return MillisecondsSince(start);
    }
    f64 FindMs()
    {
        const tClock::time_point start = tClock::now();
        const std::string command = "find " + folder + " -maxdepth 1 -printf '%s %T@ %y\\n' > /dev/null";
        (void)std::system(command.c_str());
        return MillisecondsSince(start);
    }
};

sChooserBench& Bench()
{
    static sChooserBench bench;
    return bench;
}

// A typed pattern refills the list from the shown listing: rows, cells and both sorts.
void BM_FillList100k(benchmark::State& state)
{
    sChooserBench& bench = Bench();
    f64 total = 0;
    for (auto _ : state) {
        (void)bench.dialog.GetNameBox()->SetTextN(u"*", -1);
        const tClock::time_point start = tClock::now();
        bench.dialog.OnOK();
        total += MillisecondsSince(start);
    }
    state.counters["rows"] = f64(bench.dialog.GetList()->GetDisplayOrder().size());
    state.counters["of_budget"] = total / f64(state.iterations()) / 500.0;
}
BENCHMARK(BM_FillList100k)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_RoundTripAgainstFind(benchmark::State& state)
{
    sChooserBench& bench = Bench();
    f64 ours = 0;
    f64 find = 0;
    for (auto _ : state) {
        ours += bench.RoundTripMs();
        find += bench.FindMs();
    }
    state.counters["ours_ms"] = ours / f64(state.iterations());
    state.counters["find_ms"] = find / f64(state.iterations());
    state.counters["ratio_to_find"] = ours / find;
    state.counters["of_budget"] = ours / find / 2.0;
}
BENCHMARK(BM_RoundTripAgainstFind)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

BENCHMARK_MAIN();

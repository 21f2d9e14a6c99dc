// Links: qel_gui_controls qel_gui_core qel_platform qel_base
// The list view at 100,000 rows x 4 columns: the fill in one batch with its layout
// (budget 300 ms), sorting by the name provider and by a 64-bit provider (reported as
// the ratio to std::stable_sort of the same (key, index) pairs over the same input
// order; budget 5x), and one page painted at the bottom of the range with cached glyphs
// (budget 5 ms). Budgets are reported as "of_budget" (below 1 = within).
#include "base/utf.h"
#include "gui/controls/listview.h"
#include "gui/controls/sortproviders.h"
#include "gui/core/application.h"
#include "gui/core/canvas.h"
#include "gui/core/form.h"
#include "gui/core/translator.h"
#include "gui/core/windowmaker.h"
#include "platform/headlesshost.h"
#include "platform/softgraphics.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr i32 kRows = 100000;
using tClock = std::chrono::steady_clock;

f64 MillisecondsSince(tClock::time_point start)
{
    return std::chrono::duration<f64, std::milli>(tClock::now() - start).count();
}

struct sListGui
{
    cHeadlessHost host;
    cCIApplication application;
    cCustomForm form;
    cListViewChild list;
    cWindowTranslator* window = nullptr;
    std::vector<std::u16string> names;
    std::vector<u64> sizes;

    sListGui()
    {
        InstallSoftwareGraphics(eTextFont::FixedTest);
        application.SetUpWindowSystem(&host);
        sWindowParams params;
        params.screenRect = {0, 0, 640, 480};
        window = application.GetWindowMaker()->OpenWindow(&form, params);
        form.AttachChild(&list, 0, 0, 640, 480);
        list.AddColumn(0, u"Name", 200, 0);
        list.AddColumn(1, u"Size", 100, 2);
        list.AddColumn(2, u"Type", 100, 0);
        list.AddColumn(3, u"Date", 150, 0);
        std::mt19937_64 random(120);
        for (i32 id = 0; id < kRows; ++id) {
            std::u16string name;
            for (i32 i = 0; i < 8 + i32(random() % 9); ++i) {
                name += char16_t((random() % 2 ? u'a' : u'A') + random() % 26);
            }
            names.push_back(std::move(name));
            sizes.push_back(random() % (u64(1) << 40));
        }
        auto* bySize = new cListViewChild::cListViewU64PramSortProvider;
        bySize->SetKeyFunction([](void* context, const cListViewChild::sCell* cell) {
            return (*static_cast<std::vector<u64>*>(context))[size_t(cell->itemId)];
        }, &sizes);
        list.SetSortProvider(0, new cListViewChild::cListViewNameSortProvider);
        list.SetSortProvider(1, bySize);
        host.Pump();
    }

    void Fill()
    {
        list.BeginUpdate();
        for (i32 id = 0; id < kRows; ++id) {
            list.SetCell(id, 0, names[size_t(id)].c_str(), -1, 0);
            list.SetCell(id, 1, u"1,234 KB", -1, u32(sizes[size_t(id)]));
            list.SetCell(id, 2, u"Document", -1, 0);
            list.SetCell(id, 3, u"2024-01-01 12:00", -1, 0);
        }
        list.EndUpdate(true);
    }
};

void BM_ListFill100kRows(benchmark::State& state)
{
    sListGui gui;
    f64 totalMs = 0;
    for (auto _ : state) {
        gui.list.DeleteAllItems();
        const auto start = tClock::now();
        gui.Fill();
        totalMs += MillisecondsSince(start);
    }
    state.counters["of_budget"] = totalMs / f64(state.iterations()) / 300.0;
}
BENCHMARK(BM_ListFill100kRows)->Unit(benchmark::kMillisecond)->Iterations(3);

// Sorts by `column` from the order the other column's sort left, against
// std::stable_sort of (key, index) pairs in that same order.
template <class tKey, class tMakeKey>
void SortAgainstStableSort(benchmark::State& state, i32 column, i32 scrambler, tMakeKey&& makeKey)
{
    sListGui gui;
    gui.Fill();
    f64 listMs = 0;
    f64 peerMs = 0;
    for (auto _ : state) {
        gui.list.SortByColumn(scrambler);
        const std::vector<i32> order = gui.list.GetDisplayOrder();
        std::vector<std::pair<tKey, i32>> pairs;
        pairs.reserve(order.size());
        for (i32 id : order) {
            pairs.emplace_back(makeKey(gui, id), id);
        }
        auto start = tClock::now();
        gui.list.SortByColumn(column);
        listMs += MillisecondsSince(start);
        start = tClock::now();
        std::stable_sort(pairs.begin(), pairs.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        peerMs += MillisecondsSince(start);
        benchmark::DoNotOptimize(pairs.data());
    }
    state.counters["list_ms"] = listMs / f64(state.iterations());
    state.counters["stable_sort_ms"] = peerMs / f64(state.iterations());
    state.counters["ratio"] = listMs / peerMs;
    state.counters["of_budget"] = listMs / peerMs / 5.0;
}

void BM_ListSortByName100k(benchmark::State& state)
{
    SortAgainstStableSort<std::string>(state, 0, 1, [](sListGui& gui, i32 id) {
        _guardchar<char> utf8;
        (void)WideToUtf8String(gui.names[size_t(id)].c_str(), -1, utf8);
        return std::string(utf8.GetOrEmpty());
    });
}
BENCHMARK(BM_ListSortByName100k)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ListSortBySize100k(benchmark::State& state)
{
    SortAgainstStableSort<u64>(state, 1, 0, [](sListGui& gui, i32 id) { return gui.sizes[size_t(id)]; });
}
BENCHMARK(BM_ListSortBySize100k)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ListPaintBottomPage100k(benchmark::State& state)
{
    sListGui gui;
    gui.Fill();
    gui.list.ScrollTo(0, gui.list.GetScrollMaxY());
    cCanvas* canvas = gui.host.GetCanvas(gui.window);
    gui.window->Paint(*canvas, {0, 0, 640, 480}); // the glyphs are cached from here on
    f64 totalMs = 0;
    for (auto _ : state) {
        const auto start = tClock::now();
        gui.window->Paint(*canvas, {0, 0, 640, 480});
        totalMs += MillisecondsSince(start);
        benchmark::DoNotOptimize(canvas->GetPixels()[0]);
    }
    state.counters["of_budget"] = totalMs / f64(state.iterations()) / 5.0;
}
BENCHMARK(BM_ListPaintBottomPage100k)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

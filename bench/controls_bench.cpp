// Links: qel_gui_controls qel_gui_core qel_platform qel_base
// The controls' heavy paths against their budgets (no outside peer draws these widgets):
// a toolbar of 500 buttons laid out in overflow mode 1 (budget 2 ms), a 1,000-entry popup
// opened (measured, its buttons built, first painted; budget 20 ms) and a 4 KB
// word-wrapped label painted with cached glyphs (budget 1 ms). Each benchmark reports
// its time over the budget as "of_budget" (below 1 = within).
#include "gui/controls/popupmenu.h"
#include "gui/controls/statictext.h"
#include "gui/controls/toolbar.h"
#include "gui/core/application.h"
#include "gui/core/canvas.h"
#include "gui/core/form.h"
#include "gui/core/translator.h"
#include "gui/core/windowmaker.h"
#include "platform/headlesshost.h"
#include "platform/softgraphics.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

namespace {

struct sGui
{
    cHeadlessHost host;
    cCIApplication application;
    cCustomForm form;
    cWindowTranslator* window = nullptr;

    sGui(eTextFont font, i32 width, i32 height)
    {
        InstallSoftwareGraphics(font);
        application.SetUpWindowSystem(&host);
        sWindowParams params;
        params.screenRect = {0, 0, width, height};
        window = application.GetWindowMaker()->OpenWindow(&form, params);
        host.Pump();
    }
};

// Runs `body` per iteration, timed by the wall clock, and reports mean time / budget.
template <class Body>
void RunAgainstBudget(benchmark::State& state, f64 budgetMs, Body&& body)
{
    f64 totalMs = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        body();
        totalMs += std::chrono::duration<f64, std::milli>(std::chrono::steady_clock::now() - start).count();
    }
    state.counters["of_budget"] = totalMs / f64(state.iterations()) / budgetMs;
}

void BM_ToolBarLayout500Buttons(benchmark::State& state)
{
    sGui gui(eTextFont::FixedTest, 1200, 100);
    cToolBarChild bar;
    gui.form.AttachChild(&bar, 0, 0, 1000, 25);
    for (i32 id = 0; id < 500; ++id) {
        const std::u16string caption = u"Item " + std::u16string(size_t(id % 9), u'x');
        bar.SetButton(id, caption.c_str(), -1);
    }
    bar.SetLeadingIdLimit(10);
    bar.SetOverflowMode(kOverflowKeepEnds);
    i32 width = 1000;
    // Every resize of a bar that overflows lays it out once; between these widths
    // buttons move, hide and show again.
    RunAgainstBudget(state, 2.0, [&] {
        width = width == 1000 ? 700 : 1000;
        bar.SetBounds(0, 0, width, 25);
    });
    if (!bar.GetOverflowButton()->IsVisible()) {
        state.SkipWithError("the bar did not overflow");
    }
}
BENCHMARK(BM_ToolBarLayout500Buttons)->Unit(benchmark::kMillisecond);

void BM_PopupOpen1000Entries(benchmark::State& state)
{
    sGui gui(eTextFont::FixedTest, 400, 300);
    tPopupItems items;
    for (i32 id = 0; id < 1000; ++id) {
        const std::u16string text = u"Entry number " + std::u16string(size_t(id % 13), u'x');
        (void)items.GetOrAdd(id)->text.Assign(text.c_str());
        items.GetOrAdd(id)->separator = id % 50 == 0;
    }
    RunAgainstBudget(state, 20.0, [&] {
        // A run without script ends at once, after the popup was built and painted.
        benchmark::DoNotOptimize(ShowPopupMenu(&gui.form, items, 10, 10));
    });
}
BENCHMARK(BM_PopupOpen1000Entries)->Unit(benchmark::kMillisecond);

void BM_WrappedLabelPaint4K(benchmark::State& state)
{
    sGui gui(eTextFont::System, 640, 900);
    cStaticElement label;
    gui.form.AttachChild(&label, 0, 0, 640, 900);
    label.SetTextMode(kTextWrapped);
    std::u16string text;
    while (text.size() < 4096) {
        text += u"Word-wrapped labels show release notes and licence lines. ";
    }
    text.resize(4096);
    label.SetText(text.c_str(), 3u, true);
    cCanvas* canvas = gui.host.GetCanvas(gui.window);
    gui.window->Paint(*canvas, {0, 0, 640, 900}); // the glyphs are cached from here on
    RunAgainstBudget(state, 1.0, [&] {
        gui.window->Paint(*canvas, {0, 0, 640, 900});
        benchmark::DoNotOptimize(canvas->GetPixels()[0]);
    });
}
BENCHMARK(BM_WrappedLabelPaint4K)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

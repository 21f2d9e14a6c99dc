// Links: qel_gui_controls qel_gui_core qel_platform qel_base
// The controls' heavy paths against their budgets (no outside peer draws these widgets):
// a toolbar of 500 buttons laid out in overflow mode 1 (budget 2 ms), a 1,000-entry popup
// opened (measured, its buttons built, first painted; budget 20 ms) and a 4 KB
// word-wrapped label painted with cached glyphs (budget 1 ms); a grid of 100,000 16 x 16
// cells in an 800 x 600 view laid out (budget 0.1 ms) and repainted (3 ms), and its
// CellAt at 1,000 and 100,000 cells (the same time: no per-cell work); a 1024 x 768
// picture element repainted opaque (0.5 ms) and blended (the canvas benchmark's
// DrawPictureBlended line is its budget), and a mouse move over 1,000 zones (20 us).
// Each benchmark with a budget reports its time over the budget as "of_budget" (below
// 1 = within).
#include "gui/controls/grid.h"
#include "gui/controls/pictureelement.h"
#include "gui/controls/popupmenu.h"
#include "gui/controls/statictext.h"
#include "gui/controls/toolbar.h"
#include "gui/core/application.h"
#include "gui/core/canvas.h"
#include "gui/core/form.h"
#include "gui/core/hint.h"
#include "gui/core/picture.h"
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

// 16 x 16 cells, row gap 4, each painted in one fill; counts the cells painted.
class cBenchGrid : public cSimpleGridChild
{
public:
    explicit cBenchGrid(i32 count) : m_count(count) {}
    void PaintCell(cCanvas& canvas, i32 index, bool selected) override
    {
        ++painted;
        const u32 fill = selected ? 0x804020 : 0xF0E0D0 - u32(index % 8) * 0x100010;
        canvas.FillRect(0, 0, 16, 16, fill, fill);
    }
    i32 GetCellWidth() override { return 16; }
    i32 GetCellHeight() override { return 16; }
    i32 GetRowGap() override { return 4; }
    i32 GetMaxColumnGap() override { return 8; }
    i32 GetCellCount() override { return m_count; }

    i64 painted = 0;

private:
    i32 m_count;
};

void BM_GridRelayout100kCells(benchmark::State& state)
{
    sGui gui(eTextFont::FixedTest, 820, 620);
    cBenchGrid grid(100000);
    gui.form.AttachChild(&grid, 0, 0, 800, 600);
    i32 width = 800;
    // A resize lays the grid out again; the two widths give different column counts.
    RunAgainstBudget(state, 0.1, [&] {
        width = width == 800 ? 780 : 800;
        grid.SetBounds(0, 0, width, 600);
    });
}
BENCHMARK(BM_GridRelayout100kCells)->Unit(benchmark::kMicrosecond);

void BM_GridRepaint100kCells(benchmark::State& state)
{
    sGui gui(eTextFont::FixedTest, 800, 600);
    cBenchGrid grid(100000);
    gui.form.AttachChild(&grid, 0, 0, 800, 600);
    grid.SetSelection(20000, false);
    cCanvas* canvas = gui.host.GetCanvas(gui.window);
    grid.painted = 0;
    RunAgainstBudget(state, 3.0, [&] {
        gui.window->Paint(*canvas, {0, 0, 800, 600});
        benchmark::DoNotOptimize(canvas->GetPixels()[0]);
    });
    state.counters["cells_painted"] = f64(grid.painted) / f64(state.iterations());
}
BENCHMARK(BM_GridRepaint100kCells)->Unit(benchmark::kMillisecond);

void BM_GridCellAt(benchmark::State& state)
{
    sGui gui(eTextFont::FixedTest, 800, 600);
    cBenchGrid grid(i32(state.range(0)));
    gui.form.AttachChild(&grid, 0, 0, 800, 600);
    grid.SetSelection(i32(state.range(0)) - 1, false); // scrolled to the end
    i32 x = 0;
    for (auto _ : state) {
        x = (x + 37) % 780;
        benchmark::DoNotOptimize(grid.CellAt(x, x % 600));
    }
}
BENCHMARK(BM_GridCellAt)->Arg(1000)->Arg(100000);

void BM_PictureElementRepaint1024x768(benchmark::State& state)
{
    const bool blended = state.range(0) != 0;
    sGui gui(eTextFont::FixedTest, 1024, 768);
    cPictureElement element;
    gui.form.AttachChild(&element, 0, 0, 1024, 768);
    auto* picture = new cPicture;
    if (!picture->CreateFilled(blended ? 0x80406080 : 0xFF406080, 1024, 768) ||
        !element.TakePicture(picture)) {
        state.SkipWithError("no picture");
        return;
    }
    element.SetTransparent(blended);
    cCanvas* canvas = gui.host.GetCanvas(gui.window);
    // The opaque budget; the blended line compares with the canvas benchmark's.
    RunAgainstBudget(state, 0.5, [&] {
        gui.window->Paint(*canvas, {0, 0, 1024, 768});
        benchmark::DoNotOptimize(canvas->GetPixels()[0]);
    });
}
BENCHMARK(BM_PictureElementRepaint1024x768)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_PictureElementMouseMove1000Zones(benchmark::State& state)
{
    sGui gui(eTextFont::FixedTest, 1000, 1000);
    cPictureElement element;
    gui.form.AttachChild(&element, 0, 0, 1000, 1000);
    // 1,000 active and 1,000 hint zones of 30 x 20 in a 40 x 25 raster, the last id at the
    // top-left; the moves stay in it (the search goes by ascending id), so its hint stays.
    for (i32 id = 0; id < 1000; ++id) {
        const i32 left = (999 - id) % 25 * 40;
        const i32 top = (999 - id) / 25 * 25;
        (void)element.SetActiveZone(id, left, top, left + 29, top + 19);
        (void)element.SetHintZone(id, left, top, left + 29, top + 19, u"hint", 0);
    }
    gui.host.Pump();
    i32 at = 0;
    RunAgainstBudget(state, 0.02, [&] {
        at = at == 10 ? 11 : 10;
        gui.host.MouseMove(at, at, gui.window);
    });
    if (element.GetHint() == nullptr) {
        state.SkipWithError("the pointer missed the last zone");
    }
}
BENCHMARK(BM_PictureElementMouseMove1000Zones)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();

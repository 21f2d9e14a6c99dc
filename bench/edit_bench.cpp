// Links: qel_gui_controls qel_gui_core qel_platform qel_base
// The edit box against its budgets with DejaVu Sans (no outside peer draws this field):
// one keystroke into a 32,768-unit field (the path boxes' maximum) with its paint
// (budget 1 ms), and SetTextN of 32,768 units with its paint (budget 2 ms). Each
// benchmark reports its mean time over the budget as "of_budget" (below 1 = within).
#include "gui/controls/edit.h"
#include "gui/core/application.h"
#include "gui/core/form.h"
#include "gui/core/keys.h"
#include "gui/core/windowmaker.h"
#include "platform/headlesshost.h"
#include "platform/softgraphics.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

namespace {

constexpr i32 kPathUnits = 32768;

struct sField
{
    cHeadlessHost host;
    cCIApplication application;
    cCustomForm form;
    cEditChild edit;
    cWindowTranslator* window = nullptr;
    std::u16string path;

    sField()
    {
        InstallSoftwareGraphics(eTextFont::System);
        application.SetUpWindowSystem(&host);
        sWindowParams params;
        params.screenRect = {0, 0, 500, 60};
        window = application.GetWindowMaker()->OpenWindow(&form, params);
        form.AttachChild(&edit, 10, 10, 400, 21);
        (void)edit.SetMaxLength(kPathUnits);
        for (i32 i = 0; i < kPathUnits; ++i) {
            path += char16_t(i % 40 == 0 ? u'/' : u'a' + i % 26);
        }
        edit.Activate();
        host.Pump();
    }
};

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

// The field one unit short of full, the caret in the middle: a unit typed, painted, and
// taken back with Backspace (painted too), so every iteration sees the same text: two
// keystrokes, so twice the budget.
void BM_KeystrokeInto32KField(benchmark::State& state)
{
    sField field;
    (void)field.edit.SetTextN(field.path.c_str(), kPathUnits - 1);
    field.host.Pump();
    for (i32 i = 0; i < kPathUnits / 2; ++i) {
        field.host.KeyDown(kVkLeft, false, false, false, field.window);
    }
    field.host.Pump();
    RunAgainstBudget(state, 2.0, [&] {
        field.host.TypeText(u"x", field.window);
        field.host.Pump();
        field.host.KeyDown(kVkBack, false, false, false, field.window);
        field.host.Pump();
    });
    if (field.edit.GetLength() != kPathUnits - 1) {
        state.SkipWithError("the text changed");
    }
}
BENCHMARK(BM_KeystrokeInto32KField)->Unit(benchmark::kMicrosecond);

void BM_SetText32KUnits(benchmark::State& state)
{
    sField field;
    RunAgainstBudget(state, 2.0, [&] {
        (void)field.edit.SetTextN(field.path.c_str(), -1);
        field.host.Pump();
    });
}
BENCHMARK(BM_SetText32KUnits)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();

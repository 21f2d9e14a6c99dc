// The widget tree's two hot paths: actions posted by four job threads and dispatched on
// the GUI thread (target: at least 1,000,000 actions per second), and a full repaint of
// an 800 x 600 form.
#include "gui/core/actions.h"
#include "gui/core/application.h"
#include "gui/core/canvas.h"
#include "gui/core/form.h"
#include "gui/core/scrollable.h"
#include "gui/core/translator.h"
#include "gui/core/windowmaker.h"
#include "platform/headlesshost.h"
#include "platform/softgraphics.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

class cCounter : public cChildElement
{
public:
    bool OnAction(cChildElement* source, cChildAction* action) override
    {
        ++m_count;
        return true;
    }
    i64 m_count = 0;
};

struct sGui
{
    cHeadlessHost host;
    cCIApplication application;

    explicit sGui(eTextFont font)
    {
        InstallSoftwareGraphics(font);
        application.SetUpWindowSystem(&host);
    }
};

void BM_DispatchFromFourProducers(benchmark::State& state)
{
    constexpr i32 kProducers = 4;
    constexpr i32 kPerProducer = 50000;
    sGui gui(eTextFont::FixedTest);
    std::vector<std::unique_ptr<cCounter>> targets;
    for (i32 i = 0; i < 64; ++i) {
        targets.push_back(std::make_unique<cCounter>());
    }
    for (auto _ : state) {
        std::vector<std::thread> producers;
        for (i32 p = 0; p < kProducers; ++p) {
            producers.emplace_back([&, p] {
                for (i32 i = 0; i < kPerProducer; ++i) {
                    PostJobAction(targets[size_t((i + p) % 64)].get(), nullptr);
                }
            });
        }
        i64 dispatched = 0;
        while (dispatched < i64(kProducers) * kPerProducer) {
            if (DispatchNextAction()) {
                ++dispatched;
            }
        }
        for (std::thread& producer : producers) {
            producer.join();
        }
    }
    state.SetItemsProcessed(state.iterations() * kProducers * kPerProducer);
}
BENCHMARK(BM_DispatchFromFourProducers)->UseRealTime()->Unit(benchmark::kMillisecond);

// A settings-like form: a header panel, a grid of 120 framed panels with text and a
// scrolled view with both bars.
class cBusyForm : public cCustomForm
{
public:
    void OnCreate() override
    {
        cCustomForm::OnCreate();
        cPanelChild* client = GetClientPanel();
        client->AddChildAt(&m_header, 0, 0, -1, 30);
        m_header.SetText(u"Repaint benchmark");
        for (i32 i = 0; i < 120; ++i) {
            auto panel = std::make_unique<cPanelChild>();
            client->AttachChild(panel.get(), (i % 10) * 56, 36 + (i / 10) * 36, 52, 32);
            panel->SetBorderColour(0x908782);
            std::u16string text = u"Item " + std::u16string(1, char16_t(u'A' + i % 26));
            panel->SetText(text.c_str());
            m_panels.push_back(std::move(panel));
        }
        client->AttachChild(&m_view, 570, 36, 210, 420);
        m_view.SetContentWidth(400);
        m_view.SetContentHeight(2000);
    }

private:
    cPanelChild m_header;
    std::vector<std::unique_ptr<cPanelChild>> m_panels;
    cScrollableElement m_view;
};

void BM_RepaintForm800x600(benchmark::State& state)
{
    sGui gui(eTextFont::System);
    cBusyForm form;
    sWindowParams params;
    params.screenRect = {0, 0, 800, 600};
    cWindowTranslator* window = gui.application.GetWindowMaker()->OpenWindow(&form, params);
    cCanvas* canvas = gui.host.GetCanvas(window);
    if (canvas == nullptr) {
        state.SkipWithError("no window canvas");
        return;
    }
    for (auto _ : state) {
        window->Paint(*canvas, {0, 0, 800, 600});
        benchmark::DoNotOptimize(canvas->GetPixels()[0]);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RepaintForm800x600)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

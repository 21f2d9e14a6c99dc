// sdlperf: what the SDL host costs on a real X server (run it under xvfb-run), beside
// bare SDL doing the least that the same job needs.
//   Present: full repaint and present of a 1024 x 768 window through the host, against
//   SDL_UpdateTexture + SDL_RenderCopy + SDL_RenderPresent of a ready buffer; then the
//   host repainting a 20 x 20 area per frame.
//   Wake: a worker's post until OnAction starts, against SDL_PushEvent from a thread
//   until SDL_WaitEvent returns it; p50 and p99 over 10,000 rounds.
// Links: qel_base qel_gui_core qel_platform
#include "base/clock.h"
#include "gui/core/actions.h"
#include "gui/core/application.h"
#include "gui/core/canvas.h"
#include "gui/core/element.h"
#include "gui/core/translator.h"
#include "gui/core/windowmaker.h"
#include "platform/sdlhost.h"
#include "platform/softgraphics.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

using tClock = std::chrono::steady_clock;
constexpr i32 kWidth = 1024;
constexpr i32 kHeight = 768;
constexpr i32 kFrames = 200;
// Rounds of each measurement, taken in turns; the best of each counts (a shared machine
// only ever makes a round slower).
constexpr i32 kRounds = 7;
constexpr i32 kWakeRounds = 10000;

double Seconds(tClock::duration duration)
{
    return std::chrono::duration<double>(duration).count();
}

// A window-filling element with a pattern that changes every frame, so each repaint
// writes every pixel.
class cFrameElement : public cChildElement
{
public:
    void OnPaint(cCanvas& canvas) override
    {
        ++paints;
        for (i32 band = 0; band < GetHeight(); band += 16) {
            u32 colour = u32(band * 3 + paints * 7) & 0xFFFFFF;
            canvas.FillRect(0, band, GetWidth(), 16, colour, colour);
        }
    }
    i32 paints = 0;
};

// Bare SDL presenting a ready buffer: a window with its software renderer and streaming
// texture.
class cBarePresenter
{
public:
    cBarePresenter()
        : m_window(SDL_CreateWindow("bare", 0, 0, kWidth, kHeight, SDL_WINDOW_SHOWN)),
          m_renderer(SDL_CreateRenderer(m_window, -1, SDL_RENDERER_SOFTWARE)),
          m_texture(SDL_CreateTexture(m_renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, kWidth,
                                      kHeight)),
          m_pixels(size_t(kWidth) * kHeight, 0xFF336699)
    {
    }
    ~cBarePresenter()
    {
        SDL_DestroyTexture(m_texture);
        SDL_DestroyRenderer(m_renderer);
        SDL_DestroyWindow(m_window);
    }
    double FramesPerSecond()
    {
        auto start = tClock::now();
        for (i32 frame = 0; frame < kFrames; ++frame) {
            SDL_UpdateTexture(m_texture, nullptr, m_pixels.data(), kWidth * 4);
            SDL_RenderCopy(m_renderer, m_texture, nullptr, nullptr);
            SDL_RenderPresent(m_renderer);
        }
        return kFrames / Seconds(tClock::now() - start);
    }

private:
    SDL_Window* m_window;
    SDL_Renderer* m_renderer;
    SDL_Texture* m_texture;
    std::vector<u32> m_pixels;
};

// Frames per second of the host repainting `area` (null: all) of its window.
double HostPresentRate(cSdlHost& host, cFrameElement& element, const sRect* area)
{
    auto start = tClock::now();
    for (i32 frame = 0; frame < kFrames; ++frame) {
        i32 painted = element.paints;
        element.Invalidate(area);
        host.PumpUntil([&] { return element.paints > painted; }, 1000);
    }
    return kFrames / Seconds(tClock::now() - start);
}

struct sPercentiles
{
    double p50;
    double p99;
};

sPercentiles Percentiles(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2], values[values.size() * 99 / 100]};
}

// The worker waits for each round's answer, then lets the loop fall asleep again.
constexpr std::chrono::microseconds kPause{300};

sPercentiles BareWakeLatency()
{
    Uint32 type = SDL_RegisterEvents(1);
    std::vector<double> latencies;
    std::atomic<i32> answered{0};
    std::vector<tClock::time_point> posted(kWakeRounds);
    std::thread worker([&] {
        for (i32 round = 0; round < kWakeRounds; ++round) {
            std::this_thread::sleep_for(kPause);
            posted[size_t(round)] = tClock::now();
            SDL_Event event{};
            event.type = type;
            event.user.code = round;
            SDL_PushEvent(&event);
            while (answered.load() <= round) {
                std::this_thread::yield();
            }
        }
    });
    while (i32(latencies.size()) < kWakeRounds) {
        SDL_Event event;
        if (SDL_WaitEvent(&event) == 1 && event.type == type) {
            latencies.push_back(Seconds(tClock::now() - posted[size_t(event.user.code)]) * 1e3);
            answered = event.user.code + 1;
        }
    }
    worker.join();
    return Percentiles(latencies);
}

// What the wake rounds measured; outlives the target, which its run deletes.
struct sWakeRecord
{
    std::vector<tClock::time_point> posted = std::vector<tClock::time_point>(kWakeRounds);
    std::vector<double> latencies;
    std::atomic<i32> answered{0};
};

// Measures each post until its OnAction and ends the run after the last.
class cWakeTarget : public cChildElement
{
public:
    explicit cWakeTarget(sWakeRecord* record) : m_record(record) {}
    bool OnAction(cChildElement* source, cChildAction* action) override
    {
        m_record->latencies.push_back(Seconds(tClock::now() - m_record->posted[size_t(action->GetCode())]) * 1e3);
        m_record->answered = action->GetCode() + 1;
        if (i32(m_record->latencies.size()) == kWakeRounds) {
            EndModal(0);
        }
        return true;
    }

private:
    sWakeRecord* m_record;
};

sPercentiles HostWakeLatency(cWindowMaker& maker)
{
    sWakeRecord record;
    auto* target = new cWakeTarget(&record);
    std::thread worker([&record, target] {
        for (i32 round = 0; round < kWakeRounds; ++round) {
            std::this_thread::sleep_for(kPause);
            record.posted[size_t(round)] = tClock::now();
            PostJobAction(target, new cChildElement::cChildAction(round));
            while (record.answered.load() <= round) {
                std::this_thread::yield();
            }
        }
    });
    maker.RunModalOver(u"wake", 200, 100, target, nullptr, false);
    worker.join();
    return Percentiles(record.latencies);
}

} // namespace

int main()
{
    std::unique_ptr<cSdlHost> host = cSdlHost::Create();
    if (host == nullptr) {
        std::fprintf(stderr, "sdlperf: no display (run it under xvfb-run)\n");
        return 1;
    }
    (void)InstallSoftwareGraphics(eTextFont::FixedTest);
    cCIApplication application;
    if (!application.SetUpWindowSystem(host.get())) {
        return 1;
    }

    cFrameElement element;
    sWindowParams params;
    params.screenRect = {0, 0, kWidth, kHeight};
    cWindowTranslator* window = application.GetWindowMaker()->OpenWindow(&element, params);
    host->PumpUntil([&] { return element.paints > 0; }, 2000);
    double bare = 0;
    double full = 0;
    double dirty = 0;
    const sRect small{500, 380, 20, 20};
    for (i32 round = 0; round < kRounds; ++round) {
        // Each on a screen of its own: a window under another presents less.
        {
            cBarePresenter presenter;
            bare = std::max(bare, presenter.FramesPerSecond());
        }
        full = std::max(full, HostPresentRate(*host, element, nullptr));
        dirty = std::max(dirty, HostPresentRate(*host, element, &small));
    }
    application.GetWindowMaker()->CloseWindow(window);
    std::printf("present %dx%d: bare SDL %.1f fps, host full repaint %.1f fps (host/bare %.2f), "
                "host 20x20 repaint %.1f fps (frame cost %.3f of a full one)\n",
                kWidth, kHeight, bare, full, full / bare, dirty, full / dirty);

    sPercentiles bareWake = BareWakeLatency();
    sPercentiles hostWake = HostWakeLatency(*application.GetWindowMaker());
    std::printf("wake over %d rounds: bare SDL p50 %.3f ms p99 %.3f ms; host p50 %.3f ms p99 %.3f ms\n",
                kWakeRounds, bareWake.p50, bareWake.p99, hostWake.p50, hostWake.p99);
    return 0;
}

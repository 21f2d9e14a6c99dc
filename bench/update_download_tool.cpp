// update_download URL OUT: downloads URL through the update downloader, in the progress
// form on the headless host, into OUT, and prints the result code and the throughput:
// the form's cost per piece measured against curl and http_fetch (bench/update_download_bench.sh).
// update_download --stop-trials N URL: presses Escape 300 ms into each of N downloads and
// prints the latencies from the key to the end of the run, with the 99th percentile.
// Links: qel_app qel_platform
#include "app/downloadform.h"
#include "base/fileio.h"
#include "gui/core/application.h"
#include "gui/core/form.h"
#include "gui/core/translator.h"
#include "gui/core/windowmaker.h"
#include "gui/dialogs/progressform.h"
#include "platform/headlesshost.h"
#include "platform/softgraphics.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using tClock = std::chrono::steady_clock;

struct sRun
{
    i32 result = -1;
    f64 seconds = 0;
    f64 stopLatencyMs = 0;
};

// One download in the progress form over `owner`; with `stopAfterMs` >= 0, Escape then.
sRun Download(cHeadlessHost& host, cChildElement& owner, const std::string& url, const char* out,
              i32 stopAfterMs)
{
    sRun run;
    cFileIO file;
    if (!file.Create(out, FileMode::CreateReadWrite)) {
        return run;
    }
    host.PushModalScript([&](cHeadlessHost& h, cWindowTranslator& window) {
        const auto ended = [&window] { return window.IsRunEnded(); };
        if (stopAfterMs >= 0) {
            (void)h.PumpUntil([] { return false; }, u32(stopAfterMs));
            const auto pressed = tClock::now();
            h.KeyDown(0x1B);
            (void)h.PumpUntil(ended, 60000);
            run.stopLatencyMs = std::chrono::duration<f64, std::milli>(tClock::now() - pressed).count();
            return;
        }
        (void)h.PumpUntil(ended, 600000);
    });
    const std::u16string wide(url.begin(), url.end());
    const auto start = tClock::now();
    run.result = RunProgressForm(&owner, new cUpdateDownloadForm(&file, wide.c_str()), u"Downloading");
    run.seconds = std::chrono::duration<f64>(tClock::now() - start).count();
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    const bool stopTrials = argc == 4 && std::strcmp(argv[1], "--stop-trials") == 0;
    if (argc != 3 && !stopTrials) {
        std::fputs("usage: update_download URL OUT | update_download --stop-trials N URL\n", stderr);
        return 2;
    }
    if (!InstallSoftwareGraphics(eTextFont::System)) {
        return 1;
    }
    // The application closes its windows before the owner and the host go.
    cHeadlessHost host;
    cCustomForm owner;
    cCIApplication application;
    sWindowParams params;
    params.screenRect = {0, 0, 400, 300};
    if (!application.SetUpWindowSystem(&host) ||
        application.GetWindowMaker()->OpenWindow(&owner, params) == nullptr) {
        return 1;
    }
    if (!stopTrials) {
        const sRun run = Download(host, owner, argv[1], argv[2], -1);
        cFileIO file;
        const u64 size = file.Create(argv[2], FileMode::Read) ? file.GetSize() : 0;
        std::printf("result %d, %llu bytes, %.1f MiB/s\n", run.result, (unsigned long long)size,
                    f64(size) / 1048576.0 / run.seconds);
        return run.result == cUpdateDownloader::kResultComplete ? 0 : 1;
    }
    std::vector<f64> latencies;
    const std::string out = "/tmp/update_download_stop." + std::to_string(::getpid());
    for (i32 trial = 0; trial < std::atoi(argv[2]); ++trial) {
        const sRun run = Download(host, owner, argv[3], out.c_str(), 300);
        if (run.result != cUpdateDownloader::kResultStopped) {
            std::printf("trial %d ended with %d, not stopped\n", trial, run.result);
            return 1;
        }
        latencies.push_back(run.stopLatencyMs);
    }
    std::remove(out.c_str());
    std::sort(latencies.begin(), latencies.end());
    const size_t p99 = std::min(latencies.size() - 1, size_t(f64(latencies.size()) * 0.99));
    std::printf("stop latency over %zu trials: median %.1f ms, p99 %.1f ms, max %.1f ms\n",
                latencies.size(), latencies[latencies.size() / 2], latencies[p99], latencies.back());
    return 0;
}

// listing [FOLDER [COUNT]]: times a full listing of COUNT (default 100,000) empty files
// made in a new folder under FOLDER (default /tmp) against find and Python's scandir on
// the same folder in the same run, warm cache, best of five; then how fast a stop
// request ends a listing in progress.
#include "base/utf.h"
#include "system/folders.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

using tClock = std::chrono::steady_clock;

double Milliseconds(tClock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

template <typename Work>
double BestOfFive(Work work)
{
    double best = 1e300;
    for (int round = 0; round < 5; ++round) {
        auto start = tClock::now();
        work();
        best = std::min(best, Milliseconds(tClock::now() - start));
    }
    return best;
}

// Python times its own loop, so that interpreter start-up is not counted.
double PythonScandirMilliseconds(const std::string& folder)
{
    std::string command = "/usr/bin/python3 -c \"import os, sys, time\n"
                          "best = 1e300\n"
                          "for _ in range(5):\n"
                          "    start = time.perf_counter(); [e.stat() for e in os.scandir(sys.argv[1])]\n"
                          "    best = min(best, time.perf_counter() - start)\n"
                          "print(best * 1000)\" '" +
                          folder + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    double result = -1;
    if (pipe != nullptr) {
        if (std::fscanf(pipe, "%lf", &result) != 1) {
            result = -1;
        }
        ::pclose(pipe);
    }
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    std::string parent = argc > 1 ? argv[1] : "/tmp";
    long count = argc > 2 ? std::atol(argv[2]) : 100000;
    std::string folder = parent + "/qellisting.XXXXXX";
    if (::mkdtemp(folder.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    for (long index = 1; index <= count; ++index) {
        char name[32];
        std::snprintf(name, sizeof(name), "/f%06ld", index);
        int handle = ::open((folder + name).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        if (handle < 0) {
            std::perror("create");
            return 1;
        }
        ::close(handle);
    }
    _guardchar<char16_t> wide;
    if (!FileNameToWide(folder.c_str(), -1, wide)) {
        return 1;
    }
    cFolderListing listing;
    bool ok = true;
    double ours = BestOfFive([&] { ok = listing.Enumerate(wide.Get(), kListFullEntries) && ok; });
    std::string findCommand = "find '" + folder + "' -mindepth 1 -maxdepth 1 -printf '%s %T@\\n' > /dev/null";
    double find = BestOfFive([&] { ok = std::system(findCommand.c_str()) == 0 && ok; });
    double python = PythonScandirMilliseconds(folder);
    std::printf("entries %d\nEnumerate %.1f ms\nfind %.1f ms (ratio %.2f)\npython scandir+stat %.1f ms (ratio %.2f)\n",
                listing.GetCount(), ours, find, ours / find, python, ours / python);

    // Stop latency: the request comes while the listing runs.
    std::atomic<bool> stop{false};
    tClock::time_point requested;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::max(1, int(ours / 3))));
        requested = tClock::now();
        stop = true;
    });
    bool finished = listing.Enumerate(wide.Get(), kListFullEntries, &stop);
    auto ended = tClock::now();
    stopper.join();
    std::printf("stop answered in %.3f ms (%s)\n", finished ? 0.0 : Milliseconds(ended - requested),
                finished ? "listing finished first" : "stopped");
    std::system(("rm -rf '" + folder + "'").c_str());
    return ok ? 0 : 1;
}

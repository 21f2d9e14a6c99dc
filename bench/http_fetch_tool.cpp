// http_fetch URL [--out FILE] [--repeat N]: fetches URL through PerformRequest and prints
// the status, the body length and the throughput, for measuring against curl.
// Links: qel_net_http qel_base
#include "base/clock.h"
#include "net/http/httpexchange.h"
#include "net/http/tcpsocket.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

class cFetchReceiver : public cHttpResponse
{
public:
    explicit cFetchReceiver(std::FILE* out) : m_out(out) {}
    bool OnData(const u8* bytes, u32 count, u64 offset) override
    {
        m_bytes += count;
        return m_out == nullptr || std::fwrite(bytes, 1, count, m_out) == count;
    }
    u64 m_bytes = 0;

private:
    std::FILE* m_out;
};

int Usage()
{
    std::fprintf(stderr, "usage: http_fetch URL [--out FILE] [--repeat N]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        return Usage();
    }
    const char* url = argv[1];
    const char* outPath = nullptr;
    long repeat = 1;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
            outPath = argv[++i];
        } else if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
            repeat = std::strtol(argv[++i], nullptr, 10);
        } else {
            return Usage();
        }
    }
    if (repeat < 1 || !NetworkStartup()) {
        return Usage();
    }
    cHttpRequest request(url);
    if (request.m_host.IsEmpty()) {
        std::fprintf(stderr, "http_fetch: bad URL %s\n", url);
        return 2;
    }
    int failures = 0;
    for (long run = 0; run < repeat; ++run) {
        std::FILE* out = outPath != nullptr ? std::fopen(outPath, "wb") : nullptr;
        if (outPath != nullptr && out == nullptr) {
            std::fprintf(stderr, "http_fetch: cannot write %s\n", outPath);
            return 1;
        }
        cHttpTransport transport;
        cFetchReceiver receiver(out);
        const u64 start = MicrosecondClock();
        const bool ok = PerformRequest(request, transport, receiver);
        const u64 elapsed = MicrosecondClock() - start;
        if (out != nullptr) {
            std::fclose(out);
        }
        const double seconds = elapsed / 1e6;
        std::printf("%s status %d length %llu time %.3f s %.1f MB/s\n", ok ? "ok" : "FAILED",
                    receiver.m_status, static_cast<unsigned long long>(receiver.m_bytes), seconds,
                    seconds > 0 ? receiver.m_bytes / seconds / 1e6 : 0.0);
        failures += ok ? 0 : 1;
    }
    return failures == 0 ? 0 : 1;
}

// http_fetch URL [--out FILE] [--repeat N] (options in any position): fetches URL through
// PerformRequest and prints the status, the body length and the throughput, for measuring
// against curl; a failed fetch prints "FAILED <reason>". With --out the body goes to a
// temporary file beside FILE that is renamed to FILE only when the fetch succeeded, so a
// failure never leaves a file, let alone a partial one; SIGINT and SIGTERM remove it too.
// A FILE that exists and is neither a regular file nor a symbolic link (a device such as
// /dev/null, a FIFO) is written in place: a rename would replace it with a regular file.
// A symbolic link is replaced as a link, never followed.
// Links: qel_net_http qel_base
#include "base/clock.h"
#include "net/http/httpexchange.h"
#include "net/http/tcpsocket.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

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

// The temporary file of the running fetch, for the signal handler; empty when none.
char g_temporary[PATH_MAX + 1];
volatile std::sig_atomic_t g_haveTemporary = 0;

void RemoveTemporaryAndDie(int signal)
{
    if (g_haveTemporary != 0) {
        ::unlink(g_temporary);
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// True when `path` exists and is neither a regular file nor a symbolic link.
bool IsSpecialFile(const char* path)
{
    struct stat info = {};
    return ::lstat(path, &info) == 0 && !S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode);
}

int Usage()
{
    std::fprintf(stderr, "usage: http_fetch URL [--out FILE] [--repeat N]\n");
    return 2;
}

// A fresh temporary file in the folder of `path` (mkstemp), open for writing; its name
// goes to `temporary`. Null when it cannot be made.
std::FILE* OpenTemporaryBeside(const std::string& path, std::string& temporary)
{
    const size_t slash = path.rfind('/');
    const std::string pattern =
        (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + ".http_fetch.XXXXXX";
    if (pattern.size() >= sizeof(g_temporary)) {
        return nullptr;
    }
    // Made in the signal handler's own buffer and announced before it exists, so that no
    // signal finds a file it does not know of (an unlink of the bare pattern fails).
    std::memcpy(g_temporary, pattern.c_str(), pattern.size() + 1);
    g_haveTemporary = 1;
    const int handle = ::mkstemp(g_temporary);
    if (handle < 0) {
        g_haveTemporary = 0;
        return nullptr;
    }
    temporary = g_temporary;
    std::FILE* file = ::fdopen(handle, "wb");
    if (file == nullptr) {
        ::close(handle);
        std::remove(temporary.c_str());
        g_haveTemporary = 0;
    }
    return file;
}

// One fetch; the body lands at `outPath` only when all of it came and was written.
bool FetchOnce(const cHttpRequest& request, const char* outPath)
{
    std::string temporary;
    std::FILE* out = nullptr;
    if (outPath != nullptr && IsSpecialFile(outPath)) {
        if ((out = std::fopen(outPath, "wb")) == nullptr) {
            std::fprintf(stderr, "http_fetch: cannot write %s: %s\n", outPath, std::strerror(errno));
            return false;
        }
    } else if (outPath != nullptr && (out = OpenTemporaryBeside(outPath, temporary)) == nullptr) {
        std::fprintf(stderr, "http_fetch: cannot write beside %s\n", outPath);
        return false;
    }
    cHttpTransport transport;
    cFetchReceiver receiver(out);
    const u64 start = MicrosecondClock();
    bool ok = PerformRequest(request, transport, receiver);
    const u64 elapsed = MicrosecondClock() - start;
    if (out != nullptr) {
        ok = std::fclose(out) == 0 && ok;
    }
    if (!temporary.empty()) {
        ok = ok && std::rename(temporary.c_str(), outPath) == 0;
        if (!ok) {
            std::remove(temporary.c_str());
        }
        g_haveTemporary = 0;
    }
    const double seconds = elapsed / 1e6;
    if (ok) {
        std::printf("ok status %d length %llu time %.3f s %.1f MB/s\n", receiver.m_status,
                    static_cast<unsigned long long>(receiver.m_bytes), seconds,
                    seconds > 0 ? receiver.m_bytes / seconds / 1e6 : 0.0);
        return true;
    }
    const sExchangeFailure& failure = transport.GetFailure();
    std::printf("FAILED %s", ExchangeFailureText(failure.m_reason));
    if (failure.m_reason == eExchangeFailure::TlsAlert) {
        std::printf(" (%d)", failure.m_alert);
    }
    std::printf(" status %d length %llu time %.3f s\n", receiver.m_status,
                static_cast<unsigned long long>(receiver.m_bytes), seconds);
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    const char* url = nullptr;
    const char* outPath = nullptr;
    long repeat = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
            outPath = argv[++i];
        } else if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
            repeat = std::strtol(argv[++i], nullptr, 10);
        } else if (url == nullptr && std::strncmp(argv[i], "--", 2) != 0) {
            url = argv[i];
        } else {
            return Usage();
        }
    }
    if (url == nullptr || repeat < 1 || !NetworkStartup()) {
        return Usage();
    }
    std::signal(SIGINT, RemoveTemporaryAndDie);
    std::signal(SIGTERM, RemoveTemporaryAndDie);
    cHttpRequest request(url);
    if (request.m_host.IsEmpty()) {
        std::fprintf(stderr, "http_fetch: bad URL %s\n", url);
        return 2;
    }
    int failures = 0;
    for (long run = 0; run < repeat; ++run) {
        failures += FetchOnce(request, outPath) ? 0 : 1;
    }
    return failures == 0 ? 0 : 1;
}

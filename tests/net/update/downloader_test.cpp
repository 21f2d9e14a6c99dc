// The downloader against real servers on loopback: nginx and openssl s_server -HTTP.
#include "updatepeers.h"

#include "base/fileio.h"
#include "base/jobs.h"
#include "net/update/downloader.h"
#include "support/testsupport.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

using namespace updatetest;

namespace {

// The progress sink of a download: only the stop flag.
class cStopFlag : public cProgressNotifyTarget
{
public:
    bool SetProgress(f64) override { return !stopped; }
    void SetStage(i32) override {}
    bool IsCancelled() override { return stopped; }

    std::atomic<bool> stopped{false};
};

class UpdateDownloader : public ::testing::Test
{
protected:
    void SetUp() override
    {
        peers = UpdatePeers();
        QEL_REQUIRE(peers != nullptr, "nginx and openssl s_server");
    }
    static std::u16string Wide(const std::string& text) { return {text.begin(), text.end()}; }
    static i32 Download(const std::string& url, cFileIOTarget* target, std::string* reason)
    {
        cStopFlag flag;
        return cUpdateDownloader(target, Wide(url).c_str(), reason).Run(flag);
    }
    // Downloads `url` into a scratch file.
    i32 DownloadToFile(const std::string& url, std::string* reason)
    {
        cFileIO file;
        EXPECT_TRUE(file.Create(scratch.PathOf("out").c_str(), FileMode::CreateReadWrite));
        return Download(url, &file, reason);
    }

    sUpdatePeers* peers = nullptr;
    cScratchFolder scratch;
};

TEST_F(UpdateDownloader, ResultCodesAgainstRealServers)
{
    // Plain http on nginx's plain port serves the file; only https is fetched.
    const std::string plain = "http://127.0.0.1:" + peers->q + "/files/small.bin";
    const struct
    {
        std::string url;
        i32 result;
        std::string reason;
    } cases[] = {
        {peers->Tls("/files/big.bin"), 10, ""},
        {peers->Tls("/r1"), 10, ""},
        {peers->Tls("/r2"), 11, "redirected more than once"},
        {peers->Tls("/rel"), 1, "redirect target not usable"},
        {peers->Tls("/down"), 3, "redirect to a non-https address: http://127.0.0.1:" + peers->q + "/files/big.bin"},
        {plain, 3, "not an https address"},
        {"ftp://127.0.0.1/files/small.bin", 3, "not an https address"},
        {"setup.exe", 3, "not an https address"},
        {peers->Canned("/nolen"), 2, "answer without a length"},
        {peers->Canned("/short"), 2, "connection closed early after 500 of 1000 bytes"},
        {peers->Tls("/rshort"), 2, "connection closed early after 500 of 1000 bytes"}, // a short answer after a redirect asks to retry
        {peers->Canned("/nf"), 3, "HTTP status 404"},
        {"https://x/a b", 1, "address not usable"},
        {"https://127.0.0.1:1/", 2, "connection refused"},
    };
    for (const auto& entry : cases) {
        std::string reason = "untouched";
        EXPECT_EQ(DownloadToFile(entry.url, &reason), entry.result) << entry.url;
        EXPECT_EQ(reason, entry.result == 10 ? "untouched" : entry.reason) << entry.url;
        if (entry.result == 10) {
            const std::string curl =
                qeltest::RunCommand("curl -sL --max-redirs 1 --cacert " + peers->pki.Path("ca.pem") +
                                    " '" + entry.url + "' | sha256sum");
            EXPECT_EQ(qeltest::RunCommand("sha256sum < " + scratch.PathOf("out")), curl)
                << entry.url;
        }
    }
    cFileIO full;
    ASSERT_TRUE(full.Create("/dev/full", FileMode::ReadWrite));
    std::string reason;
    EXPECT_EQ(Download(peers->Tls("/files/small.bin"), &full, &reason), 4);
    EXPECT_EQ(reason, "cannot write the file: " + std::string(std::strerror(ENOSPC)));
}

// A listener that never accepts: the handshake waits for a server hello that never comes,
// until a stop from another thread aborts the connection.
TEST_F(UpdateDownloader, StopEndsABlockedHandshakeAtOnce)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t size = sizeof(address);
    auto* raw = reinterpret_cast<sockaddr*>(&address);
    ASSERT_TRUE(::bind(listener, raw, size) == 0 && ::listen(listener, 8) == 0 &&
                ::getsockname(listener, raw, &size) == 0);
    cFileIO file;
    const std::string url = "https://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/";
    cUpdateDownloader downloader(&file, Wide(url).c_str());
    cStopFlag flag;
    std::chrono::steady_clock::time_point pressed;
    // The flag first, then the abort: the order of a stop request.
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        pressed = std::chrono::steady_clock::now();
        flag.stopped = true;
        downloader.Abort();
    });
    const i32 result = downloader.Run(flag);
    const auto ended = std::chrono::steady_clock::now();
    stopper.join();
    EXPECT_EQ(result, 0);
    EXPECT_LT(ended - pressed, std::chrono::milliseconds(500));
    ::close(listener);
}

} // namespace

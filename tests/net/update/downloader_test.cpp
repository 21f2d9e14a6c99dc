// The downloader against real servers on loopback: nginx and openssl s_server -HTTP.
#include "updatetest.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>



using namespace updatetest;

namespace {

class UpdateDownloader : public cUpdateTest
{
protected:
    // Downloads `url` into a scratch file.
    i32 DownloadToFile(const std::string& url)
    {
        cFileIO file;
        EXPECT_TRUE(file.Create(scratch.PathOf("out").c_str(), FileMode::CreateReadWrite));
        return Download(url, &file);
    }

    cScratchFolder scratch;
};

TEST_F(UpdateDownloader, ResultCodesAgainstRealServers)
{
    const struct
    {
        std::string url;
        i32 result;
    } cases[] = {
        {peers->Tls("/files/big.bin"), 10},
        {peers->Tls("/r1"), 10},
        {peers->Tls("/r2"), 11},
        {peers->Tls("/rel"), 1},
        {peers->Tls("/down"), 3}, // https redirected to plain http
        {peers->Canned("/nolen"), 2},
        {peers->Canned("/short"), 2},
        {peers->Tls("/rshort"), 2}, // a short answer after a redirect asks to retry
        {peers->Canned("/nf"), 3},
        {"https://x/a b", 1},
    };
    for (const auto& entry : cases) {
        EXPECT_EQ(DownloadToFile(entry.url), entry.result) << entry.url;
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
    EXPECT_EQ(Download(peers->Tls("/files/small.bin"), &full), 4);
}

// A listener that never accepts: the handshake waits for a server hello that never comes,
// until Escape aborts the connection.
TEST_F(UpdateDownloader, StopEndsABlockedHandshakeAtOnce)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t size = sizeof(address);
    auto* raw = reinterpret_cast<sockaddr*>(&address);
    ASSERT_TRUE(::bind(listener, raw, size) == 0 && ::listen(listener, 8) == 0 &&
                ::getsockname(listener, raw, &size) == 0);
    cFileIO file;
    const auto stop = [](cHeadlessHost& h, cWindowTranslator& window) {
        (void)h.PumpUntil([] { return false; }, 300);
        const auto pressed = std::chrono::steady_clock::now();
        h.KeyDown(0x1B);
        WaitForEnd(h, window);
        EXPECT_LT(std::chrono::steady_clock::now() - pressed, std::chrono::milliseconds(500));
    };
    const std::string url = "https://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/";
    EXPECT_EQ(Download(url, &file, stop), 0);
    ::close(listener);
}

} // namespace

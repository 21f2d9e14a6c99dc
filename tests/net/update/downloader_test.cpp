// The downloader against real servers on loopback: nginx and openssl s_server -HTTP.
#include "updatepeers.h"
#include "updatetest.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

using namespace updatetest;
using nettest::cScratchFolder;

namespace {

class UpdateDownloader : public cUpdateTest
{
protected:
    void SetUp() override
    {
        cUpdateTest::SetUp();
        peers = UpdatePeers();
        QEL_REQUIRE(peers != nullptr, "nginx and openssl s_server");
    }

    // Escape one second into the download; the run must then end within 500 ms.
    i32 DownloadAndStop(const std::string& url)
    {
        cScratchFolder scratch;
        cFileIO file;
        EXPECT_TRUE(file.Create(scratch.PathOf("out").c_str(), FileMode::CreateReadWrite));
        std::chrono::milliseconds stopLatency{};
        const i32 result = Download(url, &file, [&](cHeadlessHost& h, cWindowTranslator& window) {
            (void)h.PumpUntil([] { return false; }, 1000);
            const auto pressed = std::chrono::steady_clock::now();
            h.KeyDown(0x1B);
            WaitForEnd(h, window);
            stopLatency = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - pressed);
        });
        EXPECT_LT(stopLatency.count(), 500) << url;
        return result;
    }

    sUpdatePeers* peers = nullptr;
};

TEST_F(UpdateDownloader, ResultCodesAgainstRealServers)
{
    const struct
    {
        std::string url;
        i32 result;
        bool compareWithCurl;
    } cases[] = {
        {peers->Tls("/files/big.bin"), 10, true},
        {peers->Tls("/r1"), 10, true}, // one redirect is followed
        {peers->Tls("/r2"), 11, false},
        {peers->Tls("/rel"), 1, false},
        {peers->Tls("/down"), 3, false},  // https redirected to plain http
        {peers->Canned("/nolen"), 2, false},
        {peers->Canned("/short"), 2, false},
        {peers->Tls("/rshort"), 2, false}, // a short answer after a redirect asks to retry
        {peers->Canned("/nf"), 3, false},
        {"https://x/a b", 1, false},
    };
    for (const auto& entry : cases) {
        cScratchFolder scratch;
        cFileIO file;
        ASSERT_TRUE(file.Create(scratch.PathOf("out").c_str(), FileMode::CreateReadWrite));
        EXPECT_EQ(Download(entry.url, &file), entry.result) << entry.url;
        file.Close();
        if (entry.compareWithCurl) {
            const std::string reference =
                FirstWordOf("curl -sL --max-redirs 1 --cacert " + peers->pki.m_caFile + " '" + entry.url + "' | sha256sum");
            EXPECT_EQ(FirstWordOf("sha256sum " + scratch.PathOf("out")), reference) << entry.url;
            EXPECT_EQ(reference.size(), 64u);
        }
    }
    cFileIO full;
    ASSERT_TRUE(full.Create("/dev/full", FileMode::ReadWrite));
    EXPECT_EQ(Download(peers->Tls("/files/small.bin"), &full), 4);
}

TEST_F(UpdateDownloader, StopEndsTheRunAtOnceWhileReceivingOrConnecting)
{
    EXPECT_EQ(DownloadAndStop(peers->Tls("/slow/big.bin")), 0);
    // A listener that never accepts, its queue full: the connect waits on the SYN.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(address);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size), 0);
    std::vector<int> fillers;
    for (int i = 0; i < 4; ++i) {
        fillers.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
        (void)::connect(fillers.back(), reinterpret_cast<sockaddr*>(&address), size);
    }
    EXPECT_EQ(DownloadAndStop("https://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/x"), 0);
    for (int handle : fillers) {
        ::close(handle);
    }
    ::close(listener);
}

} // namespace

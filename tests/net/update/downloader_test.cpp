// The downloader against real servers on loopback: nginx and openssl s_server -HTTP.
#include "updatetest.h"


#include <chrono>

using namespace updatetest;

namespace {

class UpdateDownloader : public cUpdateTest
{
protected:
    // Downloads `url` into a scratch file; with `stop`, presses Escape one second in and
    // expects the run to end within 500 ms.
    i32 DownloadToFile(const std::string& url, bool stop = false)
    {
        cFileIO file;
        EXPECT_TRUE(file.Create(scratch.PathOf("out").c_str(), FileMode::CreateReadWrite));
        return Download(url, &file, [stop](cHeadlessHost& h, cWindowTranslator& window) {
            (void)h.PumpUntil([] { return false; }, stop ? 1000 : 0);
            const auto pressed = std::chrono::steady_clock::now();
            stop ? h.KeyDown(0x1B) : (void)0;
            WaitForEnd(h, window);
            EXPECT_TRUE(!stop || std::chrono::steady_clock::now() - pressed <
                                     std::chrono::milliseconds(500));
        });
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
                qeltest::RunCommand("curl -sL --max-redirs 1 --cacert " + peers->pki.m_caFile +
                                    " '" + entry.url + "' | sha256sum");
            EXPECT_EQ(qeltest::RunCommand("sha256sum < " + scratch.PathOf("out")), curl)
                << entry.url;
        }
    }
    cFileIO full;
    ASSERT_TRUE(full.Create("/dev/full", FileMode::ReadWrite));
    EXPECT_EQ(Download(peers->Tls("/files/small.bin"), &full), 4);
}

TEST_F(UpdateDownloader, StopEndsTheRunAtOnce)
{
    EXPECT_EQ(DownloadToFile(peers->Tls("/slow/big.bin"), true), 0);
}

} // namespace

// The downloader against real servers on loopback: nginx and openssl s_server -HTTP.
#include "updatetest.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>



using namespace updatetest;

namespace {

class UpdateDownloader : public cUpdateTest
{
protected:
    // Downloads `url` into a scratch file.
    i32 DownloadToFile(const std::string& url, std::string* reason = nullptr)
    {
        cFileIO file;
        EXPECT_TRUE(file.Create(scratch.PathOf("out").c_str(), FileMode::CreateReadWrite));
        return Download(url, &file, WaitForEnd, reason);
    }

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
    EXPECT_EQ(Download(peers->Tls("/files/small.bin"), &full, WaitForEnd, &reason), 4);
    EXPECT_EQ(reason, "cannot write the file: " + std::string(std::strerror(ENOSPC)));
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

// http_fetch's --out target against a scripted server: a FIFO is written in place (the
// reader's SHA-256 equals sha256sum's of the body), a symbolic link is replaced as a link
// and the file it named keeps its bytes, and SIGINT or SIGTERM in the middle of a body
// leaves no temporary file behind.
#include "net/peerservers.h"
#include "net/scriptedpeer.h"
#include "support/shellcommand.h"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <thread>

extern char** environ;

using namespace nettest;

namespace {

#ifdef QEL_HTTP_FETCH

const std::string kBody = MakeBody(100000, 38);

// Serves one exchange: the whole answer, or its head and `sent` bytes, then waits for
// the client to go.
void ServeBody(cLoopbackServer& server, size_t sent)
{
    server.Serve([sent](int handle) {
        (void)ReadFd(handle, 1); // the request has begun
        const std::string answer =
            "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kBody.size()) + "\r\n\r\n" + kBody;
        (void)WriteAllFd(handle, answer.substr(0, answer.size() - kBody.size() + sent));
        (void)ReadToEndFd(handle);
    });
}

std::string Url(const cLoopbackServer& server)
{
    return "http://127.0.0.1:" + std::to_string(server.Port()) + "/body";
}

TEST(HttpFetch, SpecialTargetWrittenInPlaceLinkReplaced)
{
    cScratchFolder folder;
    folder.Write("body", kBody);
    const std::string reference = qeltest::RunCommand("sha256sum < " + folder.PathOf("body"));
    {
        cLoopbackServer server;
        ServeBody(server, kBody.size());
        ASSERT_EQ(::mkfifo(folder.PathOf("fifo").c_str(), 0600), 0);
        EXPECT_EQ(qeltest::RunCommand("cd " + folder.Path() + " && { timeout 10 sh -c \"sha256sum < fifo\" > sum & } && " QEL_HTTP_FETCH
                                      " " + Url(server) + " --out fifo > /dev/null; echo $?; wait; cat sum"),
                  "0\n" + reference);
        struct stat info = {};
        ASSERT_EQ(::lstat(folder.PathOf("fifo").c_str(), &info), 0);
        EXPECT_TRUE(S_ISFIFO(info.st_mode));
    }
    cLoopbackServer server;
    ServeBody(server, kBody.size());
    folder.Write("elsewhere", "keep");
    ASSERT_EQ(::symlink(folder.PathOf("elsewhere").c_str(), folder.PathOf("link").c_str()), 0);
    EXPECT_EQ(qeltest::RunCommand(QEL_HTTP_FETCH " " + Url(server) + " --out " + folder.PathOf("link") +
                                  " > /dev/null; echo $?"),
              "0\n");
    struct stat info = {};
    ASSERT_EQ(::lstat(folder.PathOf("link").c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(folder.Read("link"), kBody);
    EXPECT_EQ(folder.Read("elsewhere"), "keep");
    EXPECT_EQ(qeltest::RunCommand("ls -A " + folder.Path()), "body\nelsewhere\nfifo\nlink\nsum\n");
}

TEST(HttpFetch, SignalRemovesTheTemporaryFile)
{
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        cScratchFolder folder;
        cLoopbackServer server;
        ServeBody(server, 1000);
        const std::string url = Url(server), out = folder.PathOf("out");
        const char* arguments[] = {QEL_HTTP_FETCH, url.c_str(), "--out", out.c_str(), nullptr};
        pid_t child = 0;
        ASSERT_EQ(::posix_spawn(&child, QEL_HTTP_FETCH, nullptr, nullptr, const_cast<char**>(arguments), environ), 0);
        // The temporary file is there once the fetch has begun (its bytes may still sit
        // in the tool's buffer).
        std::string temporary;
        for (int wait = 0; wait < 1000 && temporary.empty(); ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
                temporary = entry.path().string();
            }
        }
        ASSERT_NE(temporary.find("/.http_fetch."), std::string::npos) << temporary;
        ::kill(child, signal);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
    }
}

#endif

} // namespace

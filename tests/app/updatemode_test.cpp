// The update mode through the built program (headless, answered by the autopilot): exit
// codes, the forms shown (read from the snapshot names) and the lines on stderr.
#include "updatetest.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace updatetest;

namespace {

// "<exit code> <snapshot names> <1 when the usage was printed, else 0>", then the other
// lines of stderr.
std::string RunProgram(const cScratchFolder& store, const std::string& arguments,
                       const std::string& baseUrl)
{
    cScratchFolder out;
    return qeltest::RunCommand(
        "cd " + out.Path() + " && env -u DISPLAY -u WAYLAND_DISPLAY QEL_AUTOPILOT=1 " +
        "QEL_SNAPSHOT_DIR=. QEL_CONFIG_HOME=" + store.Path() + " QEL_CONFIG_MACHINE=" +
        store.PathOf("m") + " QEL_UPDATE_BASE_URL=" + baseUrl + " " QEL_PROGRAM " " + arguments +
        " 2>err; echo $? $(ls | grep png) $(grep -c 'usage: qel update' err); grep -v usage: err");
}

class UpdateMode : public cUpdateTest
{
protected:
    // The update service's answer for the code name `id`.
    void Serve(const std::string& id, const std::string& answer)
    {
        peers->folder.Write("canned/autocheck.php?softwareid=" + id + "&os=win",
                            "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(answer.size()) + "\r\n\r\n" +
                                answer);
    }
};

TEST_F(UpdateMode, ExitCodesAndFormsOfTheProgram)
{
    Serve("same.app", "1.2\r\nhttps://a/b\r\nhttps://a/\r\nnotes");
    cScratchFolder store;
    ASSERT_TRUE(nettest::RunShell(
        "q=" QEL_SOURCE_DIR "/tools/qelc.py; /usr/bin/python3 $q set . install/same.app/ver "
        "i64 281483566645248 && /usr/bin/python3 $q set . install/closed.app/ver i64 1",
        store.Path()));
    const std::string canned = peers->Canned("");
    const std::string toldError = " 01-pkgm-resp.png 02-ciom-messages.png 0\n";
    const std::string unknown = "qel: unknown package 'none.app': no install/none.app/ver in the configuration store\n";
    const std::string refused = "1 0\nqel: QEL_UPDATE_BASE_URL: not an https://host[:port] origin (http://127.0.0.1:1)\n";
    const struct
    {
        std::string arguments, baseUrl, told, stderrLine;
    } cases[] = {
        {"update ''", canned, "1" + toldError, "qel: unknown package '': the code name is empty or holds '/'\n"},
        {"update a/b", canned, "1" + toldError, "qel: unknown package 'a/b': the code name is empty or holds '/'\n"},
        {"update none.app", canned, "1" + toldError, unknown},
        {"update closed.app", "https://127.0.0.1:1", "1" + toldError,
         "qel: update check failed: connection refused "
         "(https://127.0.0.1:1/autocheck.php?softwareid=closed.app&os=win)\n"},
        {"update same.app", canned, "0" + toldError, ""}, // 1.2.0.0 against "1.2": not newer
        {"update same.app", "http://127.0.0.1:1", "", refused},
    };
    for (const auto& entry : cases) {
        EXPECT_EQ(RunProgram(store, entry.arguments, entry.baseUrl), entry.told + entry.stderrLine)
            << entry.arguments;
        // "quite" silences the boxes, never stderr.
        EXPECT_EQ(RunProgram(store, entry.arguments + " quite", entry.baseUrl),
                  (entry.told.empty() ? "" : entry.told.substr(0, 1) + " 0\n") + entry.stderrLine);
    }
    for (const std::string rejected : {"update", "update a quiet", "update a quite 5", "updat a"}) {
        EXPECT_EQ(RunProgram(store, rejected, canned), "1 1\n") << rejected;
    }
}

// A stale DISPLAY: SDL would settle for a driver that shows nothing and the update form
// would wait forever for a click. The program runs as it does without a display (the
// form ends at once: exit code 0, no snapshot, as no autopilot answers), within
// seconds, and says why once on stderr.
TEST_F(UpdateMode, AnUnreachableDisplayRunsWithoutWindows)
{
    Serve("old.app", "2.0\r\nhttps://a/b\r\nhttps://a/\r\nnotes");
    cScratchFolder store;
    ASSERT_TRUE(nettest::RunShell("/usr/bin/python3 " QEL_SOURCE_DIR "/tools/qelc.py set . install/old.app/ver i64 1",
                                  store.Path()));
    // "<exit code> <snapshot names> <lines naming the display on stderr>".
    const auto run = [&](const std::string& display) {
        cScratchFolder out;
        // SDL's attempt starts the system's D-Bus library, whose one kept buffer is no
        // leak of ours (for sanitizer builds).
        return qeltest::RunCommand("cd " + out.Path() + " && timeout 5 env -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER " +
                                   display + " LSAN_OPTIONS=suppressions=" QEL_SOURCE_DIR
                                   "/tools/demo/lsan-suppressions.txt QEL_SNAPSHOT_DIR=. QEL_CONFIG_HOME=" + store.Path() +
                                   " QEL_CONFIG_MACHINE=" + store.PathOf("m") + " QEL_UPDATE_BASE_URL=" +
                                   peers->Canned("") + " " QEL_PROGRAM " update old.app 2>err; echo $? $(ls | grep png) " +
                                   "$(grep -cx \"qel: cannot open display ':999'; running without windows\" err)");
    };
    EXPECT_EQ(run("-u DISPLAY"), "0 0\n");
    EXPECT_EQ(run("DISPLAY=:999"), "0 1\n");
}

// An authenticated answer that names a plain http installer: the download is refused
// with the server-error message before any connection, and nothing is started.
TEST_F(UpdateMode, PlainInstallerAddressIsNeverFetched)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t size = sizeof(address);
    auto* raw = reinterpret_cast<sockaddr*>(&address);
    ASSERT_TRUE(::bind(listener, raw, size) == 0 && ::listen(listener, 8) == 0 &&
                ::getsockname(listener, raw, &size) == 0);
    const std::string installer =
        "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/setup.sh";
    Serve("plain.app", "2.0\r\n" + installer + "\r\nhttps://a/\r\nnotes");
    cScratchFolder store, downloads;
    ASSERT_TRUE(nettest::RunShell(
        "q=" QEL_SOURCE_DIR "/tools/qelc.py; /usr/bin/python3 $q set . install/plain.app/ver i64 1 && "
        "/usr/bin/python3 $q set . installer/temp string " + downloads.Path(),
        store.Path()));
    const std::string told = RunProgram(store, "update plain.app", peers->Canned(""));
    // The update form, the save dialog, the progress form, then the server-error box; the
    // autopilot goes round again while the form stays open, each time with the same line.
    EXPECT_EQ(told.rfind("0 01-pkgm-updi.png 02-ciom-filechoose.png 03-ciom-progress.png 04-ciom-messages.png ", 0), 0u) << told;
    const std::string line = "qel: download failed: not an https address (" + installer + ")\n";
    size_t lines = 0;
    for (size_t at = told.find('\n') + 1; at < told.size(); at += line.size(), ++lines) {
        ASSERT_EQ(told.compare(at, line.size(), line), 0) << told.substr(at);
    }
    EXPECT_GT(lines, 0u);
    EXPECT_EQ(::accept(listener, nullptr, nullptr), -1); // no connection ever came
    EXPECT_EQ(qeltest::RunCommand("ls -A " + downloads.Path()), "");
    ::close(listener);
}

} // namespace

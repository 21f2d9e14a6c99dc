// The update mode through the built program (headless, answered by the autopilot): exit
// codes and the forms shown, read from the snapshot names.
#include "updatetest.h"

using namespace updatetest;

namespace {

// "<exit code> <snapshot names> <1 when the usage was printed, else 0>".
std::string RunProgram(const cScratchFolder& store, const std::string& arguments,
                       const std::string& baseUrl)
{
    cScratchFolder out;
    return qeltest::RunCommand(
        "cd " + out.Path() + " && env -u DISPLAY -u WAYLAND_DISPLAY QEL_AUTOPILOT=1 " +
        "QEL_SNAPSHOT_DIR=. QEL_CONFIG_HOME=" + store.Path() + " QEL_CONFIG_MACHINE=" +
        store.PathOf("m") + " QEL_UPDATE_BASE_URL=" + baseUrl + " " QEL_PROGRAM " " + arguments +
        " 2>err; echo $? $(ls | grep png) $(grep -c 'usage: qel update' err)");
}

using UpdateMode = cUpdateTest;

TEST_F(UpdateMode, ExitCodesAndFormsOfTheProgram)
{
    const std::string answer = "1.2\r\nhttps://a/b\r\nhttps://a/\r\nnotes";
    peers->folder.Write("canned/autocheck.php?softwareid=same.app&os=win",
                        "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(answer.size()) +
                            "\r\n\r\n" + answer);
    cScratchFolder store;
    ASSERT_TRUE(nettest::RunShell(
        "q=" QEL_SOURCE_DIR "/tools/qelc.py; /usr/bin/python3 $q set . install/same.app/ver "
        "i64 281483566645248 && /usr/bin/python3 $q set . install/closed.app/ver i64 1",
        store.Path()));
    const std::string canned = peers->Canned("");
    const std::string toldError = " 01-pkgm-resp.png 02-ciom-messages.png 0\n";
    const struct
    {
        std::string arguments, baseUrl, told;
    } cases[] = {
        {"update ''", canned, "1" + toldError},
        {"update a/b", canned, "1" + toldError},
        {"update none.app", canned, "1" + toldError},
        {"update closed.app", "https://127.0.0.1:1", "1" + toldError},
        {"update same.app", canned, "0" + toldError}, // 1.2.0.0 against "1.2": not newer
    };
    for (const auto& entry : cases) {
        EXPECT_EQ(RunProgram(store, entry.arguments, entry.baseUrl), entry.told) << entry.arguments;
        EXPECT_EQ(RunProgram(store, entry.arguments + " quite", entry.baseUrl),
                  entry.told.substr(0, 1) + " 0\n");
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
    const std::string answer = "2.0\r\nhttps://a/b\r\nhttps://a/\r\nnotes";
    peers->folder.Write("canned/autocheck.php?softwareid=old.app&os=win",
                        "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(answer.size()) +
                            "\r\n\r\n" + answer);
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

} // namespace

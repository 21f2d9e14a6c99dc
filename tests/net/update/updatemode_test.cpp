// The update mode through the built program (headless, answered by the autopilot): exit
// codes and the forms it shows, read from the snapshot names; and the answer form.
#include "net/update/updatemode.h"
#include "updatepeers.h"
#include "updatetest.h"

#include <sys/wait.h>

#include <filesystem>

using namespace updatetest;
using nettest::cScratchFolder;

namespace {

const std::string kToldError = "01-pkgm-resp.png 02-ciom-messages.png ";

struct sModeRun
{
    i32 exitCode;
    std::string snapshots; // file names in order, each followed by a space
    std::string errors;
};

sModeRun RunProgram(const cScratchFolder& store, const std::string& arguments, const std::string& baseUrl)
{
    cScratchFolder out;
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY QEL_AUTOPILOT=1 QEL_SNAPSHOT_DIR=" + out.Path() +
                                " QEL_CONFIG_HOME=" + store.Path() + " QEL_CONFIG_MACHINE=" + store.PathOf("m") +
                                " QEL_UPDATE_BASE_URL=" + baseUrl + " " QEL_PROGRAM " " + arguments + " 2>" +
                                out.PathOf("stderr");
    const int status = std::system(command.c_str());
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(out.Path())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    sModeRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, "", out.Read("stderr")};
    for (const std::string& name : names) {
        run.snapshots += name == "stderr" ? "" : name + " ";
    }
    return run;
}

TEST(UpdateMode, ExitCodesAndFormsOfTheProgram)
{
    sUpdatePeers* peers = UpdatePeers();
    QEL_REQUIRE(peers != nullptr, "nginx and openssl s_server");
    const std::string answer = "1.2\r\nhttps://a/b\r\nhttps://a/\r\nnotes";
    peers->folder.Write("canned/autocheck.php?softwareid=same.app&os=win",
                        "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(answer.size()) + "\r\n\r\n" + answer);
    cScratchFolder store;
    for (const auto& [path, value] : {std::pair{"install/same.app/ver", 0x0001000200000000ll},
                                      std::pair{"install/closed.app/ver", 0x0001000000000000ll}}) {
        ASSERT_TRUE(nettest::RunShell("/usr/bin/python3 " QEL_SOURCE_DIR "/tools/qelc.py set . " + std::string(path) +
                                          " i64 " + std::to_string(value),
                                      store.Path()));
    }
    const std::string canned = peers->Canned("");
    const struct
    {
        std::string arguments;
        std::string baseUrl;
        i32 exitCode;
        std::string told;
    } cases[] = {
        {"update ''", canned, 1, kToldError},
        {"update a/b", canned, 1, kToldError},
        {"update none.app", canned, 1, kToldError},
        {"update closed.app", "https://127.0.0.1:1", 1, kToldError},
        {"update same.app", canned, 0, kToldError}, // 1.2.0.0 against "1.2": not newer
    };
    for (const auto& entry : cases) {
        const sModeRun told = RunProgram(store, entry.arguments, entry.baseUrl);
        EXPECT_EQ(told.exitCode, entry.exitCode) << entry.arguments;
        EXPECT_EQ(told.snapshots, entry.told) << entry.arguments;
        const sModeRun quiet = RunProgram(store, entry.arguments + " quite", entry.baseUrl);
        EXPECT_EQ(quiet.exitCode, entry.exitCode) << entry.arguments;
        EXPECT_EQ(quiet.snapshots, "") << entry.arguments;
    }
    for (const std::string rejected : {"update", "update a quiet", "update a quite 5", "updat a"}) {
        const sModeRun run = RunProgram(store, rejected, canned);
        EXPECT_EQ(run.exitCode, 1) << rejected;
        EXPECT_EQ(run.snapshots, "") << rejected;
        EXPECT_NE(run.errors.find("usage: qel update"), std::string::npos) << rejected;
    }
}

using UpdateAnswerForm = cUpdateTest;

TEST_F(UpdateAnswerForm, EndsWithTheBoxsAnswer)
{
    const struct
    {
        i32 kind;
        i32 key;
        i32 result;
        size_t runs;
    } cases[] = {{1, 0x0D, 0, 2}, {2, 0x0D, 0, 2}, {3, 0x1B, 0, 2}, {4, 0x0D, 1, 2}, {4, 0x1B, 0, 2}, {7, 0, 0, 1}};
    for (const auto& entry : cases) {
        const size_t before = host->GetRunLog().size();
        host->PushModalScript([](cHeadlessHost& h, cWindowTranslator&) { h.Pump(); });
        if (entry.runs == 2) {
            host->PushModalScript([&entry](cHeadlessHost& h, cWindowTranslator&) { h.KeyDown(entry.key); });
        }
        EXPECT_EQ(RunUpdateResultMessage(entry.kind, u"Text"), entry.result) << entry.kind;
        EXPECT_EQ(host->GetRunLog().size() - before, entry.runs) << entry.kind;
    }
}

} // namespace

// The update mode through the built program (headless, answered by the autopilot): exit
// codes and the forms shown, read from the snapshot names; and the answer form's kinds.
#include "net/update/updatemode.h"
#include "updatetest.h"

using namespace updatetest;

namespace {

// "<exit code> <snapshot names, each with a space>", and "usage" when it was printed.
std::string RunProgram(const cScratchFolder& store, const std::string& arguments,
                       const std::string& baseUrl)
{
    cScratchFolder out;
    int status = -1;
    qeltest::RunCommand(
        "env -u DISPLAY -u WAYLAND_DISPLAY QEL_AUTOPILOT=1 QEL_SNAPSHOT_DIR=" + out.Path() +
            " QEL_CONFIG_HOME=" + store.Path() + " QEL_CONFIG_MACHINE=" + store.PathOf("m") +
            " QEL_UPDATE_BASE_URL=" + baseUrl + " " QEL_PROGRAM " " + arguments + " 2>" +
            out.Path() + ".err",
        &status);
    const std::string listing = qeltest::RunCommand("ls " + out.Path() + " | tr '\\n' ' '");
    const bool usage =
        qeltest::RunCommand("cat " + out.Path() + ".err").find("usage: qel update") !=
        std::string::npos;
    return std::to_string(status) + " " + listing + (usage ? "usage" : "");
}

TEST(UpdateMode, ExitCodesAndFormsOfTheProgram)
{
    sUpdatePeers* peers = UpdatePeers();
    QEL_REQUIRE(peers != nullptr, "nginx and openssl s_server");
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
    const std::string toldError = "01-pkgm-resp.png 02-ciom-messages.png ";
    const struct
    {
        std::string arguments, baseUrl, told;
    } cases[] = {
        {"update ''", canned, "1 " + toldError},
        {"update a/b", canned, "1 " + toldError},
        {"update none.app", canned, "1 " + toldError},
        {"update closed.app", "https://127.0.0.1:1", "1 " + toldError},
        {"update same.app", canned, "0 " + toldError}, // 1.2.0.0 against "1.2": not newer
    };
    for (const auto& entry : cases) {
        EXPECT_EQ(RunProgram(store, entry.arguments, entry.baseUrl), entry.told) << entry.arguments;
        EXPECT_EQ(RunProgram(store, entry.arguments + " quite", entry.baseUrl),
                  entry.told.substr(0, 2));
    }
    for (const std::string rejected : {"update", "update a quiet", "update a quite 5", "updat a"}) {
        EXPECT_EQ(RunProgram(store, rejected, canned), "1 usage") << rejected;
    }
}

using UpdateAnswerForm = cUpdateTest;

TEST_F(UpdateAnswerForm, EndsWithTheBoxsAnswer)
{
    const struct
    {
        i32 kind, key, result;
        size_t runs;
    } cases[] = {{1, 0x0D, 0, 2}, {2, 0x0D, 0, 2}, {3, 0x1B, 0, 2},
                 {4, 0x0D, 1, 2}, {4, 0x1B, 0, 2}, {7, 0, 0, 1}};
    for (const auto& entry : cases) {
        const size_t before = host->GetRunLog().size();
        host->PushModalScript([](cHeadlessHost& h, cWindowTranslator&) { h.Pump(); });
        if (entry.runs == 2) {
            host->PushModalScript(
                [&entry](cHeadlessHost& h, cWindowTranslator&) { h.KeyDown(entry.key); });
        }
        EXPECT_EQ(RunUpdateResultMessage(entry.kind, u"Text"), entry.result) << entry.kind;
        EXPECT_EQ(host->GetRunLog().size() - before, entry.runs) << entry.kind;
    }
}

} // namespace

// The update form on the headless host: goldens, keys, buttons and links, and the install
// road against nginx and s_server.
#include "app/updateform.h"
#include "base/config.h"
#include "gui/core/application.h"
#include "gui/dialogs/messagebox.h"
#include "gui/guitest.h"
#include "platform/demoautopilot.h"
#include "support/filehelpers.h"
#include "updatetest.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

using namespace updatetest;
using qeltest::cEnvironmentVariable;

namespace {

constexpr i32 kEnter = 0x0D;
constexpr i32 kEscape = 0x1B;

class UpdateForm : public cUpdateTest
{
protected:
    void SetUp() override
    {
        cUpdateTest::SetUp();
        ASSERT_TRUE(record.m_productName.Assign(u"Demo Application") &&
                    record.m_newVersion.Assign(u"2.0") &&
                    record.m_webSiteAddress.Assign(u"https://example.com/") &&
                    record.m_releaseNotes.Assign(u"Faster downloads.\nFewer questions."));
        ASSERT_TRUE(
            application->GetConfig()->SetString("installer/temp", Wide(downloads.Path()).c_str()));
    }

    // One script per modal run, in the order the runs start: the form's own first.
    bool Show(std::string address, std::vector<cHeadlessHost::tModalScript> scripts)
    {
        EXPECT_TRUE(record.m_downloadAddress.Assign(Wide(address).c_str()));
        for (auto& script : scripts) {
            host->PushModalScript(std::move(script));
        }
        return ShowUpdateInfoForm(&record, &owner);
    }
    // The save dialog, Install locked meanwhile, accepts the proposed name in the stored
    // folder. The update form's children: the panel, Install, Not now.
    static void Save(cHeadlessHost& h, cWindowTranslator& window)
    {
        EXPECT_FALSE(h.GetWindows()[1]->GetRoot()->GetChildren()[1]->IsEnabled());
        MakeDemoAutopilot()(h, window);
    }
    static cHeadlessHost::tModalScript Key(i32 vk)
    {
        return [vk](cHeadlessHost& h, cWindowTranslator&) { h.KeyDown(vk); };
    }

    cScratchFolder config, downloads;
    cEnvironmentVariable userStore{"QEL_CONFIG_HOME", config.PathOf("user")};
    cEnvironmentVariable machineStore{"QEL_CONFIG_MACHINE", config.PathOf("machine")};
    sUpdateInfo record;
};

// The links come from the network: only allowed addresses reach the desktop's handler.
TEST_F(UpdateForm, LayoutKeysButtonsAndLinks)
{
    cScratchFolder desktop;
    desktop.Write("xdg-open", "#!/bin/sh\necho \"$1\" >> \"$(dirname \"$0\")/log\"\n");
    ::chmod(desktop.PathOf("xdg-open").c_str(), 0755);
    cEnvironmentVariable path("PATH", desktop.Path() + ":" + std::getenv("PATH"));
    const auto golden = [](const char* name) {
        return [name](cHeadlessHost& h, cWindowTranslator& window) {
            h.Pump(); // long notes get their bar with the second paint
            qeltest::ExpectMatchesGolden(*h.GetCanvas(&window), name);
            h.Click(20, 333);
            h.Click(20, 353);
            h.Pump();
            h.KeyDown(kEscape);
        };
    };
    EXPECT_FALSE(Show("https://example.com/setup.sh", {golden("updateform_short.png")}));
    EXPECT_EQ(host->GetRunLog().back().code, 0);
    EXPECT_FALSE(Show("https://x/setup.sh",
                      {[](cHeadlessHost& h, cWindowTranslator&) { h.Click(432, 430); }}));
    EXPECT_EQ(host->GetRunLog().back().code, 0);
    std::ostringstream license;
    license << std::ifstream("/usr/share/common-licenses/GPL-3").rdbuf();
    ASSERT_TRUE(record.m_releaseNotes.Assign(Wide(license.str()).c_str()));
    ASSERT_TRUE(record.m_webSiteAddress.Assign(
        Wide("sh -c \"touch " + desktop.PathOf("pwned") + "\"").c_str()));
    EXPECT_FALSE(Show("mailto:a@example.com", {golden("updateform_gpl.png")}));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(qeltest::RunCommand("sort " + desktop.PathOf("log")),
              "https://example.com/\nhttps://example.com/setup.sh\nmailto:a@example.com\n");
    EXPECT_FALSE(qeltest::PathExists(desktop.PathOf("pwned")));
}

// Without a desktop handler (no xdg-open on PATH) a link click shows the form's error
// for a failed open instead of nothing.
TEST_F(UpdateForm, ALinkWithoutADesktopHandlerSaysSo)
{
    cScratchFolder emptyPath;
    cEnvironmentVariable path("PATH", emptyPath.Path());
    std::u16string told;
    EXPECT_FALSE(Show("https://example.com/setup.sh",
                      {[](cHeadlessHost& h, cWindowTranslator&) {
                           h.Click(20, 333); // the web site link
                           h.Pump();
                           h.KeyDown(kEscape);
                       },
                       [&told](cHeadlessHost& h, cWindowTranslator& box) {
                           auto* form = dynamic_cast<cMessageForm*>(box.GetRoot());
                           ASSERT_NE(form, nullptr);
                           told = form->GetClientPanel()->GetChildren()[0]->GetText();
                           h.KeyDown(kEnter);
                       }}));
    EXPECT_EQ(told, u"For some reasons the software is unable to start update installation.");
}

// A failed download, a stopped one and a refused overwrite leave the existing file as it
// was and no temporary file beside it; a retry starts from an emptied file; a complete
// download gets mode 0775 and starts in its folder.
TEST_F(UpdateForm, InstallRoad)
{
    const std::string old(10240, 'o');
    downloads.Write("nf", old);
    downloads.Write("big.bin", old);
    // Install, overwrite: Yes, the download, the server's error message.
    EXPECT_FALSE(Show(peers->Canned("/nf"), {Key(kEnter), Save, Key(kEnter), WaitForEnd, Key(kEnter)}));
    EXPECT_FALSE(Show(peers->Tls("/slow/big.bin"),
                      {Key(kEnter), Save, Key(kEnter), [](cHeadlessHost& h, cWindowTranslator& w) {
                           (void)h.PumpUntil([] { return false; }, 500);
                           h.KeyDown(kEscape);
                           WaitForEnd(h, w); // no message after it
                       }}));
    const size_t runs = host->GetRunLog().size();
    EXPECT_FALSE(Show(peers->Tls("/files/big.bin"), {Key(kEnter), Save, Key(kEscape)}));
    EXPECT_EQ(host->GetRunLog().size(), runs + 3); // the form, the dialog, the question
    EXPECT_EQ(downloads.Read("nf") + downloads.Read("big.bin"), old + old);
    EXPECT_EQ(qeltest::RunCommand("ls -A " + downloads.Path()), "big.bin\nnf\n");

    // The first answer stops short of a length longer than the complete body.
    const std::string complete = "#!/bin/sh\npwd > marker\n" + std::string(977, '#');
    peers->folder.Write("canned/retry",
                        "HTTP/1.1 200 OK\r\nContent-Length: 3000\r\n\r\n" + complete + complete);
    EXPECT_TRUE(Show(peers->Canned("/retry"), {Key(kEnter), Save, WaitForEnd,
                                               [&](cHeadlessHost& h, cWindowTranslator&) {
                                                   peers->folder.Write("canned/retry",
                                                                       "HTTP/1.1 200 OK\r\nContent-"
                                                                       "Length: 1000\r\n\r\n" +
                                                                           complete);
                                                   h.KeyDown(kEnter);
                                               },
                                               WaitForEnd}));
    EXPECT_EQ(downloads.Read("retry"), complete);
    struct stat info = {};
    ASSERT_EQ(::stat(downloads.PathOf("retry").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0775u);
    for (i32 wait = 0; wait < 250 && !qeltest::PathExists(downloads.PathOf("marker")); ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(downloads.Read("marker"), qeltest::RunCommand("cd " + downloads.Path() + " && pwd"));
}

// The chosen path is replaced only when it is a regular file or a link: a FIFO made
// there during the download stays (the "cannot create" message, one line on stderr), a
// link is replaced as a link and the file it named elsewhere keeps its bytes.
TEST_F(UpdateForm, OnlyAFileOrALinkIsReplaced)
{
    const std::string installer = "#!/bin/sh\nexit 0\n";
    peers->folder.Write("canned/setup", "HTTP/1.1 200 OK\r\nContent-Length: " +
                                            std::to_string(installer.size()) + "\r\n\r\n" + installer);
    const std::string fifo = downloads.PathOf("setup");
    const auto fifoMeanwhile = [&fifo](cHeadlessHost& h, cWindowTranslator& window) {
        EXPECT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        WaitForEnd(h, window);
    };
    const size_t runs = host->GetRunLog().size();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(Show(peers->Canned("/setup"), {Key(kEnter), Save, fifoMeanwhile, Key(kEnter)}));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "qel: cannot save the installer: not a regular file (" + fifo + ")\n");
    EXPECT_EQ(host->GetRunLog().size(), runs + 4); // the form, the dialog, the progress, the message
    struct stat info = {};
    ASSERT_EQ(::lstat(fifo.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    EXPECT_EQ(qeltest::RunCommand("ls -A " + downloads.Path()), "setup\n");

    cScratchFolder elsewhere;
    elsewhere.Write("system", "keep");
    ASSERT_EQ(::symlink(elsewhere.PathOf("system").c_str(), downloads.PathOf("linked").c_str()), 0);
    peers->folder.Write("canned/linked", "HTTP/1.1 200 OK\r\nContent-Length: " +
                                             std::to_string(installer.size()) + "\r\n\r\n" + installer);
    // Install, the dialog, overwrite: Yes, the download.
    EXPECT_TRUE(Show(peers->Canned("/linked"), {Key(kEnter), Save, Key(kEnter), WaitForEnd}));
    ASSERT_EQ(::lstat(downloads.PathOf("linked").c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(downloads.Read("linked"), installer);
    EXPECT_EQ(elsewhere.Read("system"), "keep");
}

} // namespace

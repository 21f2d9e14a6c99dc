// The update form on the headless host: layout goldens, its keys and buttons, the
// install road against nginx and s_server, and the links' allow-list.
#include "base/config.h"
#include "gui/controls/controlstest.h"
#include "gui/core/application.h"
#include "net/scopedenvironment.h"
#include "net/update/updateform.h"
#include "updatepeers.h"
#include "updatetest.h"

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

using namespace updatetest;
using nettest::cScopedEnvironment;
using nettest::cScratchFolder;

namespace {

constexpr i32 kEnter = 0x0D;
constexpr i32 kEscape = 0x1B;

std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

class UpdateForm : public cUpdateTest
{
protected:
    void SetUp() override
    {
        cUpdateTest::SetUp();
        ASSERT_TRUE(record.m_productName.Assign(u"Demo Application") && record.m_newVersion.Assign(u"2.0") &&
                    record.m_webSiteAddress.Assign(u"https://example.com/") &&
                    record.m_releaseNotes.Assign(u"Faster downloads.\nFewer questions."));
        ASSERT_TRUE(application->GetConfig()->SetString("installer/temp", Wide(downloads.Path()).c_str()));
    }

    // Runs the form with one script per modal run, in order; the form's own run first.
    bool Show(std::vector<cHeadlessHost::tModalScript> scripts)
    {
        for (auto& script : scripts) {
            host->PushModalScript(std::move(script));
        }
        return ShowUpdateInfoForm(&record, &owner);
    }
    static cHeadlessHost::tModalScript Key(i32 vk)
    {
        return [vk](cHeadlessHost& h, cWindowTranslator&) { h.KeyDown(vk); };
    }
    bool SetAddress(const std::string& url) { return record.m_downloadAddress.Assign(Wide(url).c_str()); }
    std::vector<std::string> DownloadsListing() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(downloads.Path())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    cScratchFolder config;
    cScratchFolder downloads;
    cScopedEnvironment userStore{"QEL_CONFIG_HOME", config.PathOf("user")};
    cScopedEnvironment machineStore{"QEL_CONFIG_MACHINE", config.PathOf("machine")};
    sUpdateInfo record;
};

TEST_F(UpdateForm, LayoutKeysAndButtons)
{
    ASSERT_TRUE(SetAddress("https://127.0.0.1:1/files/setup.sh"));
    EXPECT_FALSE(Show({[](cHeadlessHost& h, cWindowTranslator& window) {
        qeltest::ExpectMatchesGolden(*h.GetCanvas(&window), "updateform_short.png");
        h.KeyDown(kEscape);
    }}));
    EXPECT_EQ(host->GetRunLog().back().code, 0);
    EXPECT_FALSE(Show({[](cHeadlessHost& h, cWindowTranslator&) { h.Click(432, 430); }}));
    EXPECT_EQ(host->GetRunLog().back().code, 0);
    // Long notes get their bar after the second paint; the layout stays.
    std::ostringstream license;
    license << std::ifstream("/usr/share/common-licenses/GPL-3").rdbuf();
    ASSERT_TRUE(record.m_releaseNotes.Assign(Wide(license.str()).c_str()));
    EXPECT_FALSE(Show({[](cHeadlessHost& h, cWindowTranslator& window) {
        h.Pump();
        qeltest::ExpectMatchesGolden(*h.GetCanvas(&window), "updateform_gpl.png");
    }}));
}

TEST_F(UpdateForm, InstallDownloadsGrantsAndStarts)
{
    sUpdatePeers* peers = UpdatePeers();
    QEL_REQUIRE(peers != nullptr, "nginx and openssl s_server");
    std::ofstream(peers->File("setup.sh")) << "#!/bin/sh\npwd > marker\n";
    ASSERT_TRUE(SetAddress(peers->Tls("/files/setup.sh")));
    cChildElement* install = nullptr;
    bool disabledWhileDownloading = false;
    EXPECT_TRUE(Show({[&](cHeadlessHost& h, cWindowTranslator& window) {
                          install = window.GetRoot()->GetChildren()[1]; // after the client panel
                          h.KeyDown(kEnter);
                      },
                      [&](cHeadlessHost& h, cWindowTranslator& window) {
                          disabledWhileDownloading = !install->IsEnabled();
                          WaitForEnd(h, window);
                      }}));
    EXPECT_TRUE(disabledWhileDownloading);
    const std::string installed = downloads.PathOf("setup.sh");
    struct stat info{};
    ASSERT_EQ(::stat(installed.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0775u);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!qeltest::PathExists(downloads.PathOf("marker")) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(downloads.Read("marker"), std::filesystem::canonical(downloads.Path()).string() + "\n");
}

// A failed download, a stopped one and a refused overwrite leave the existing file as it
// was and no temporary file beside it; a retry starts from an emptied file.
TEST_F(UpdateForm, ExistingFileSurvivesFailuresAndRetryStartsAfresh)
{
    sUpdatePeers* peers = UpdatePeers();
    QEL_REQUIRE(peers != nullptr, "nginx and openssl s_server");
    const std::string old(10240, 'o');
    downloads.Write("nf", old);
    downloads.Write("big.bin", old);
    ASSERT_TRUE(SetAddress(peers->Canned("/nf")));
    EXPECT_FALSE(Show({Key(kEnter), Key(kEnter), WaitForEnd, Key(kEnter)}));
    ASSERT_TRUE(SetAddress(peers->Tls("/slow/big.bin")));
    EXPECT_FALSE(Show({Key(kEnter), Key(kEnter),
                       [](cHeadlessHost& h, cWindowTranslator& window) {
                           (void)h.PumpUntil([] { return false; }, 500);
                           h.KeyDown(kEscape);
                           WaitForEnd(h, window);
                       }}));
    const size_t runs = host->GetRunLog().size();
    EXPECT_FALSE(Show({Key(kEnter), Key(kEscape)}));
    EXPECT_EQ(host->GetRunLog().size(), runs + 2); // the form and the question, no download
    EXPECT_EQ(downloads.Read("nf"), old);
    EXPECT_EQ(downloads.Read("big.bin"), old);
    EXPECT_EQ(DownloadsListing(), (std::vector<std::string>{"big.bin", "nf"}));

    const std::string complete = "#!/bin/sh\nexit 0\n" + std::string(983, '#');
    // The first answer stops short of a length longer than the complete body.
    peers->folder.Write("canned/retry", "HTTP/1.1 200 OK\r\nContent-Length: 3000\r\n\r\n" + complete + complete);
    ASSERT_TRUE(SetAddress(peers->Canned("/retry")));
    EXPECT_TRUE(Show({Key(kEnter), WaitForEnd,
                      [&](cHeadlessHost& h, cWindowTranslator&) {
                          peers->folder.Write("canned/retry", "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + complete);
                          h.KeyDown(kEnter);
                      },
                      WaitForEnd}));
    EXPECT_EQ(downloads.Read("retry"), complete);
}

TEST_F(UpdateForm, LinksOpenOnlyAllowedAddresses)
{
    cScratchFolder desktop;
    std::ofstream(desktop.PathOf("xdg-open")) << "#!/bin/sh\necho \"$1\" >> \"$(dirname \"$0\")/log\"\n";
    ::chmod(desktop.PathOf("xdg-open").c_str(), 0755);
    cScopedEnvironment path("PATH", desktop.Path() + ":" + std::getenv("PATH"));
    ASSERT_TRUE(SetAddress("https://example.com/files/setup.sh"));
    const auto clickLinks = [](cHeadlessHost& h, cWindowTranslator&) {
        h.Click(20, 333);
        h.Click(20, 353);
        h.Pump();
    };
    EXPECT_FALSE(Show({clickLinks}));
    const std::string command = "sh -c \"touch " + desktop.PathOf("pwned") + "\"";
    ASSERT_TRUE(record.m_webSiteAddress.Assign(Wide(command).c_str()));
    EXPECT_FALSE(Show({[](cHeadlessHost& h, cWindowTranslator&) { h.Click(20, 333); }}));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(desktop.Read("log"), "https://example.com/\nhttps://example.com/files/setup.sh\n");
    EXPECT_FALSE(qeltest::PathExists(desktop.PathOf("pwned")));
}

} // namespace

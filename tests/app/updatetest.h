#pragma once
// Shared by the program's update tests: the headless fixture with a form to run dialogs
// over and the downloader's peers (net/update/updatepeers.h).
#include "gui/guitest.h"
#include "net/update/updatepeers.h"

#include <string>

namespace updatetest {

class cUpdateTest : public qeltest::cGuiTest
{
protected:
    static std::u16string Wide(const std::string& text) { return {text.begin(), text.end()}; }
    void SetUp() override
    {
        cGuiTest::SetUp();
        Open(&owner, 400, 300);
        peers = UpdatePeers();
        QEL_REQUIRE(peers != nullptr, "nginx and openssl s_server");
    }
    // Waits for the innermost run to end (a progress form ends by itself).
    static void WaitForEnd(cHeadlessHost& host, cWindowTranslator& window)
    {
        (void)host.PumpUntil([&window] { return window.IsRunEnded(); }, 60000);
    }

    cCustomForm owner;
    sUpdatePeers* peers = nullptr;
};

} // namespace updatetest

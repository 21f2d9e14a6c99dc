#pragma once
// Shared by the update tests: the headless fixture with a form to run dialogs over, and
// the download of one address through the progress form.
#include "base/fileio.h"
#include "gui/controls/progressform.h"
#include "gui/core/guitestfixture.h"
#include "net/update/downloader.h"

#include <cstdio>
#include <string>

namespace updatetest {

class cUpdateTest : public qeltest::cGuiTest
{
protected:
    void SetUp() override
    {
        cGuiTest::SetUp();
        Open(&owner, 400, 300);
    }
    // Waits for the run of the innermost window to end (the progress form ends by itself).
    static void WaitForEnd(cHeadlessHost& host, cWindowTranslator& window)
    {
        (void)host.PumpUntil([&window] { return window.IsRunEnded(); }, 60000);
    }

    i32 Download(const std::string& url, cFileIOTarget* target, cHeadlessHost::tModalScript script = WaitForEnd)
    {
        host->PushModalScript(std::move(script));
        const std::u16string wide(url.begin(), url.end());
        return RunProgressForm(&owner, new cUpdateDownloader(target, wide.c_str()), u"Downloading");
    }

    cCustomForm owner;
};

// The first word of a command's output ("" when it fails).
inline std::string FirstWordOf(const std::string& command)
{
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof(buffer), pipe) != nullptr) {
            out += buffer;
        }
        ::pclose(pipe);
    }
    return out.substr(0, out.find_first_of(" \n"));
}

} // namespace updatetest

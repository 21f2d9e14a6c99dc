// The program's command line: "update" <codename> ["quite"]. Words are compared exactly;
// a command line that is not accepted prints the usage and exits with 1. Otherwise the
// exit code is the mode's result.
//
// Windows are real (SDL) when a display is available and headless otherwise; headless
// runs end at once unless QEL_AUTOPILOT=1 answers them (demoautopilot.h).
#include "app/tarvelapp.h"
#include "base/config.h"
#include "base/utf.h"
#include "platform/demoautopilot.h"
#include "platform/headlesshost.h"
#include "platform/softgraphics.h"
#include "platform/windowhost.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace {

void PrintUsage()
{
    std::fputs("usage: qel update <codename> [quite]\n", stderr);
}

i32 RunWithHost(cTarvelApp* application, std::unique_ptr<cApplicationConfig> config)
{
    std::unique_ptr<cWindowRequestTarget> host = CreateWindowHost();
    const char* autopilot = std::getenv("QEL_AUTOPILOT");
    auto* headless = dynamic_cast<cHeadlessHost*>(host.get());
    if (headless != nullptr && autopilot != nullptr && std::strcmp(autopilot, "1") == 0) {
        headless->SetDefaultModalScript(MakeDemoAutopilot());
    }
    return RunApplication(application, std::move(config), host.get());
}

} // namespace

int main(int argc, char** argv)
{
    const bool accepted = (argc == 3 || (argc == 4 && std::strcmp(argv[3], "quite") == 0)) &&
                          std::strcmp(argv[1], "update") == 0;
    if (!accepted) {
        PrintUsage();
        return 1;
    }
    _guardchar<char16_t> codename;
    if (!FileNameToWide(argv[2], -1, codename)) {
        std::fputs("qel: out of memory\n", stderr);
        return 1;
    }
    if (!InstallSoftwareGraphics(eTextFont::System)) {
        std::fputs("qel: cannot start: the font engine did not start\n", stderr);
        return 1;
    }
    auto* application = new (std::nothrow) cTarvelApp(codename.Get(), argc == 4);
    if (application == nullptr) {
        std::fputs("qel: out of memory\n", stderr);
        return 1;
    }
    return RunWithHost(application, OpenApplicationConfig("qel"));
}

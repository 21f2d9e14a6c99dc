// The configuration pair as the program reaches it, through the application object: what
// one process saves the next one reads, and nothing unsaved survives the application.
#include "base/config.h"
#include "gui/core/application.h"

#include "support/filehelpers.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

namespace {

using qeltest::cEnvironmentVariable;
using qeltest::cScratchFolder;

// Runs `body` in a child process with an application object of its own; true when the
// child reported success.
template <typename Body>
bool InAnotherProcess(Body body)
{
    pid_t child = ::fork();
    if (child == 0) {
        cCIApplication application;
        ::_exit(body(*GetApplication()->GetConfig()) ? 0 : 1);
    }
    int status = -1;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

TEST(ApplicationConfig, InstallerFolderSurvivesIntoTheNextProcess)
{
    cScratchFolder folder;
    cEnvironmentVariable user("QEL_CONFIG_HOME", folder.PathOf("user").c_str());
    cEnvironmentVariable machine("QEL_CONFIG_MACHINE", folder.PathOf("machine").c_str());
    ASSERT_TRUE(InAnotherProcess([](cApplicationConfig& config) {
        return config.SetString("installer/temp", u"/home/\u00fc/Downloads") && config.Save() &&
               config.SetString("installer/unsaved", u"x");
    }));
    ASSERT_TRUE(InAnotherProcess([](cApplicationConfig& config) {
        _guardchar<char16_t> text;
        _guardchar<char16_t> unsaved;
        return config.GetString("installer/temp", text) &&
               std::u16string(text.GetOrEmpty()) == u"/home/\u00fc/Downloads" &&
               !config.GetString("installer/unsaved", unsaved);
    }));
}

#include "testsupport.h"

#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace qeltest {

std::string SharedDataPath(const std::string& relative)
{
    return std::string(QEL_TESTDATA_DIR) + "/" + relative;
}

std::string LocalDataPath(const std::string& relative)
{
    return std::string(QEL_SOURCE_DIR) + "/tests/data/" + relative;
}

bool IsCiRun()
{
    const char* value = std::getenv("CI");
    return value != nullptr && std::strcmp(value, "true") == 0;
}

bool PathExists(const std::string& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}

bool HaveTool(const std::string& tool)
{
    return std::system(("command -v '" + tool + "' >/dev/null 2>&1").c_str()) == 0;
}

} // namespace qeltest

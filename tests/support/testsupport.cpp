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
    const char* path = std::getenv("PATH");
    if (path == nullptr) {
        return false;
    }
    std::string list = path;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(':', start);
        if (end == std::string::npos) {
            end = list.size();
        }
        std::string candidate = list.substr(start, end - start) + "/" + tool;
        if (::access(candidate.c_str(), X_OK) == 0) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

} // namespace qeltest

#pragma once
// The server authentication tests' PKI (make_pki.sh): made with the openssl command once
// per UTC day in a folder of the working directory, shared by the test processes. Its
// certificates live two days, so the day's folder is always valid.
#include "peers.h"

#include <ctime>
#include <filesystem>
#include <string>

namespace nettest {

struct sAuthPki
{
    std::string m_folder; // empty when openssl is missing or failed
    std::string Path(const std::string& name) const { return m_folder + "/" + name; }
    std::string Read(const std::string& name) const
    {
        std::ifstream file(Path(name), std::ios::binary);
        std::ostringstream bytes;
        bytes << file.rdbuf();
        return bytes.str();
    }
};

inline sAuthPki AuthPki()
{
    char day[16];
    const std::time_t now = std::time(nullptr);
    std::tm utc;
    std::strftime(day, sizeof(day), "%Y%m%d", ::gmtime_r(&now, &utc));
    const std::string folder = std::filesystem::absolute(std::string("net_authpki_") + day).string();
    if (!qeltest::PathExists(folder + "/ready")) {
        if (!qeltest::HaveTool("openssl")) {
            return {};
        }
        // Made in a private folder and renamed into place: test processes run in parallel.
        cScratchFolder scratch;
        if (!RunShell("sh '" QEL_SOURCE_DIR "/tests/net/make_pki.sh'", scratch.Path())) {
            return {};
        }
        std::error_code error;
        std::filesystem::rename(scratch.Path(), folder, error);
        if (error && !qeltest::PathExists(folder + "/ready")) {
            return {};
        }
    }
    return {folder};
}

} // namespace nettest

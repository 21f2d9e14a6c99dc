#pragma once
// The net tests' PKI (make_pki.sh): a CA, an intermediate, an RSA-2048 leaf for localhost
// and 127.0.0.1 (the client offers only RSA signature schemes and ECDHE_RSA suites) and
// leaves that fail for one reason each, with signatures made by `openssl dgst`. Made with
// the openssl command once per UTC day in a folder of the working directory, shared by the
// test processes; its certificates live two days, so the day's folder is always valid.
#include "peers.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

namespace nettest {

struct sTestPki
{
    std::string m_folder;     // empty when openssl is missing or failed
    std::string m_leafCert;   // leaf.pem
    std::string m_leafKey;    // leaf.key
    std::string m_keyAndCert; // key+cert.pem (lighttpd)

    std::string Path(const std::string& name) const { return m_folder + "/" + name; }
    std::string Read(const std::string& name) const { return qeltest::ReadText(Path(name)); }
};

// Also points QEL_EXTRA_CA_FILE at the CA, so that every peer test authenticates its
// server.
inline sTestPki TestPki()
{
    char day[16];
    const std::time_t now = std::time(nullptr);
    std::tm utc;
    std::strftime(day, sizeof(day), "%Y%m%d", ::gmtime_r(&now, &utc));
    const std::string folder = std::filesystem::absolute(std::string("net_pki_") + day).string();
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
    ::setenv("QEL_EXTRA_CA_FILE", (folder + "/ca.pem").c_str(), 1);
    return {folder, folder + "/leaf.pem", folder + "/leaf.key", folder + "/key+cert.pem"};
}

} // namespace nettest

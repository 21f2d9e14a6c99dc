#pragma once
// The test PKI of the peer tests: a CA and an RSA-2048 leaf for localhost and 127.0.0.1
// (the client offers only RSA signature schemes and ECDHE_RSA suites), made once with the
// openssl command and shared by every test process through a folder in the working
// directory. Every peer test points QEL_EXTRA_CA_FILE at the CA, so that it keeps passing
// once the server is authenticated.
#include "peers.h"

#include <cstdlib>
#include <filesystem>
#include <string>

namespace nettest {

struct sTestPki
{
    std::string m_folder;
    std::string m_caFile;      // ca.pem
    std::string m_leafCert;    // leaf.pem
    std::string m_leafKey;     // leaf.key
    std::string m_keyAndCert;  // key+cert.pem (lighttpd)
};

// Empty folder when openssl is missing or fails.
inline sTestPki TestPki()
{
    const std::string folder = std::filesystem::absolute("net_pki").string();
    sTestPki pki{folder, folder + "/ca.pem", folder + "/leaf.pem", folder + "/leaf.key",
                 folder + "/key+cert.pem"};
    if (!qeltest::PathExists(pki.m_keyAndCert)) {
        if (!qeltest::HaveTool("openssl")) {
            return {};
        }
        // Made in a private folder and renamed into place: test processes run in parallel.
        cScratchFolder scratch;
        const std::string commands =
            "openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 3650 "
            "-subj '/CN=QEL Test CA' 2>/dev/null && "
            "openssl req -newkey rsa:2048 -nodes -keyout leaf.key -out leaf.csr "
            "-subj '/CN=localhost' 2>/dev/null && "
            "printf 'subjectAltName=DNS:localhost,IP:127.0.0.1\\n' > san.ext && "
            "openssl x509 -req -in leaf.csr -CA ca.pem -CAkey ca.key -CAcreateserial "
            "-out leaf.pem -days 3650 -extfile san.ext 2>/dev/null && "
            "cat leaf.key leaf.pem > key+cert.pem";
        if (!RunShell(commands, scratch.Path())) {
            return {};
        }
        std::error_code error;
        std::filesystem::rename(scratch.Path(), folder, error);
        if (error && !qeltest::PathExists(pki.m_keyAndCert)) {
            return {};
        }
        // The scratch folder was renamed away (or lost the race); nothing left to remove.
    }
    ::setenv("QEL_EXTRA_CA_FILE", pki.m_caFile.c_str(), 1);
    return pki;
}

} // namespace nettest

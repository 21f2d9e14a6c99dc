#pragma once
// Shared by the update tests. The downloader's peers, started once per program: nginx
// (TLS on P, plain on Q) serving random files with the redirect routes, and openssl
// s_server -HTTP on S answering canned responses (the file named by the path is the whole
// response).
#include "net/peerservers.h"
#include "net/pki.h"
#include "support/shellcommand.h"

#include <memory>
#include <string>

namespace updatetest {

using nettest::cScratchFolder;

struct sUpdatePeers
{
    nettest::sTestPki pki = nettest::TestPki();
    cScratchFolder folder;
    nettest::cChildProcess nginx, sServer;
    std::string p, q, s; // nginx TLS, nginx plain, s_server ports

    bool Start()
    {
        const std::string d = folder.Path();
        if (pki.m_folder.empty() ||
            !nettest::RunShell(
                "mkdir -p www/files canned && head -c 16M /dev/urandom > "
                "www/files/big.bin && head -c 20000 /dev/urandom > www/files/small.bin",
                d)) {
            return false;
        }
        folder.Write("canned/nolen", "HTTP/1.1 200 OK\r\n\r\n" + std::string(1000, 'n'));
        folder.Write("canned/short",
                     "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + std::string(500, 's'));
        folder.Write("canned/nf", "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
        s = std::to_string(nettest::StartOpenSslServer(sServer, pki, d + "/canned", 1000, {}));
        q = std::to_string(nettest::FindFreeLoopbackPort());
        p = std::to_string(nettest::StartNginx(nginx, d, [&](uint16_t port) {
            return "listen 127.0.0.1:" + std::to_string(port) + " ssl; listen 127.0.0.1:" + q +
                   "; ssl_certificate " + pki.m_leafCert + "; ssl_certificate_key " +
                   pki.m_leafKey + "; location /slow/ { alias " + d + "/www/files/; limit_rate " +
                   "200k; }\n location = /down { return 302 http://127.0.0.1:" + q +
                   "/files/big.bin; }\n location = /rshort { return 302 https://127.0.0.1:" + s +
                   "/short; }\n" + R"(
 location = /r1 { return 302 https://127.0.0.1:$server_port/files/big.bin; }
 location = /r2 { return 302 https://127.0.0.1:$server_port/r1; }
 location = /rel { absolute_redirect off; return 302 /files/big.bin; }
)";
        }));
        return s != "0" && p != "0";
    }
    std::string Tls(const std::string& path) const { return "https://127.0.0.1:" + p + path; }
    std::string Canned(const std::string& path) const { return "https://127.0.0.1:" + s + path; }
};

// Started on first use; null when a peer is missing.
inline sUpdatePeers* UpdatePeers()
{
    static std::unique_ptr<sUpdatePeers> peers = [] {
        auto made = std::make_unique<sUpdatePeers>();
        return made->Start() ? std::move(made) : nullptr;
    }();
    return peers.get();
}

} // namespace updatetest

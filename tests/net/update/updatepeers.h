#pragma once
// The downloader's peers, started once per test program: nginx (TLS on P, plain on Q)
// serving a 16 MiB random file with the redirect routes, and openssl s_server -HTTP on S
// answering canned responses (the file named by the path is the whole response).
#include "net/peerservers.h"
#include "net/pki.h"

#include <memory>
#include <string>

namespace updatetest {

struct sUpdatePeers
{
    nettest::sTestPki pki = nettest::TestPki();
    nettest::cScratchFolder folder;
    nettest::cPeerProcess nginx;
    nettest::cPeerProcess sServer;
    uint16_t p = 0; // nginx TLS
    uint16_t q = 0; // nginx plain
    uint16_t s = 0; // s_server

    bool Start()
    {
        const std::string d = folder.Path();
        if (pki.m_folder.empty() || !nettest::RunShell("mkdir -p www/files canned && head -c 16M /dev/urandom > "
                                                       "www/files/big.bin && head -c 20000 /dev/urandom > www/files/small.bin", d)) {
            return false;
        }
        folder.Write("canned/nolen", "HTTP/1.1 200 OK\r\n\r\n" + std::string(1000, 'n'));
        folder.Write("canned/short", "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + std::string(500, 's'));
        folder.Write("canned/nf", "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
        s = nettest::StartOpenSslServer(sServer, pki, d + "/canned", 1000, {});
        q = nettest::FindFreeLoopbackPort();
        p = nettest::StartNginx(nginx, d, [&](uint16_t port) {
            const std::string tls = "https://127.0.0.1:" + std::to_string(port);
            return "    listen 127.0.0.1:" + std::to_string(port) + " ssl;\n    listen 127.0.0.1:" + std::to_string(q) +
                   ";\n    ssl_certificate " + pki.m_leafCert + ";\n    ssl_certificate_key " + pki.m_leafKey +
                   ";\n    location = /r1 { return 302 " + tls + "/files/big.bin; }\n"
                   "    location = /r2 { return 302 " + tls + "/r1; }\n"
                   "    location = /rel { absolute_redirect off; return 302 /files/big.bin; }\n"
                   "    location = /down { return 302 http://127.0.0.1:" + std::to_string(q) + "/files/big.bin; }\n"
                   "    location = /rshort { return 302 https://127.0.0.1:" + std::to_string(s) + "/short; }\n"
                   "    location /slow/ { alias " + d + "/www/files/; limit_rate 200k; }\n";
        });
        return s != 0 && p != 0;
    }
    std::string Tls(const std::string& path) const { return "https://127.0.0.1:" + std::to_string(p) + path; }
    std::string Canned(const std::string& path) const { return "https://127.0.0.1:" + std::to_string(s) + path; }
    std::string File(const std::string& name) const { return folder.PathOf("www/files/" + name); }
};

// One instance per test program, started on first use; null when a peer is missing.
inline sUpdatePeers* UpdatePeers()
{
    static std::unique_ptr<sUpdatePeers> peers = [] {
        auto made = std::make_unique<sUpdatePeers>();
        return made->Start() ? std::move(made) : nullptr;
    }();
    return peers.get();
}

} // namespace updatetest

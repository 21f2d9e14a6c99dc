#pragma once
// The real peers of the interop tests, each started in a folder of its own on a loopback
// port: openssl s_server, gnutls-serv, nginx, lighttpd (with wolfSSL or mbedTLS) and
// Python's http.server. Each start gives the port, or 0 when the peer did not come up.
#include "pki.h"

#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace nettest {

// `size` pseudo-random bytes from a fixed seed.
inline std::string MakeBody(size_t size, uint32_t seed)
{
    std::mt19937 random(seed);
    std::string body(size, '\0');
    for (size_t i = 0; i + 4 <= size; i += 4) {
        const uint32_t word = random();
        std::memcpy(&body[i], &word, 4);
    }
    for (size_t i = size & ~size_t(3); i < size; ++i) {
        body[i] = static_cast<char>(random());
    }
    return body;
}

// RFC 9112 7.1 chunked coding with chunk sizes from 1 to 40000 bytes, in either case.
inline std::string ChunkedEncode(const std::string& body, uint32_t seed)
{
    std::mt19937 random(seed);
    std::string out;
    size_t at = 0;
    char size[32];
    while (at < body.size()) {
        const size_t piece = std::min<size_t>(body.size() - at, 1 + random() % 40000);
        std::snprintf(size, sizeof(size), (random() & 1) ? "%zx\r\n" : "%zX\r\n", piece);
        out += size;
        out.append(body, at, piece);
        out += "\r\n";
        at += piece;
    }
    return out + "0\r\n\r\n";
}

// A server that listens on a port picked for it: one retry with a new port when the
// first was taken in the meantime.
template <class Launch>
uint16_t StartOnFreePort(cChildProcess& peer, Launch launch)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        const uint16_t port = FindFreeLoopbackPort();
        if (port != 0 && launch(port) && WaitForLoopbackPort(port, 5000)) {
            return port;
        }
        peer.Stop();
    }
    return 0;
}

// openssl s_server -HTTP in `folder`: the file named by the request path is the whole
// response. It ends after `accepts` connections; -keylogfile writes k.txt.
inline uint16_t StartOpenSslServer(cChildProcess& peer, const sTestPki& pki, const std::string& folder,
                                   int accepts, const std::vector<std::string>& extra)
{
    std::vector<std::string> args = {"openssl", "s_server", "-accept", "127.0.0.1:0", "-cert",
                                     pki.m_leafCert, "-key", pki.m_leafKey, "-HTTP", "-naccept",
                                     std::to_string(accepts), "-groups", "X25519", "-keylogfile", "k.txt"};
    bool groupsGiven = false;
    for (const std::string& arg : extra) {
        groupsGiven = groupsGiven || arg == "-groups";
    }
    if (groupsGiven) {
        args.erase(args.begin() + 11, args.begin() + 13);
    }
    args.insert(args.end(), extra.begin(), extra.end());
    if (!peer.Start(args, folder)) {
        return 0;
    }
    const std::string line = peer.WaitForOutput("ACCEPT 127.0.0.1:", 5000);
    return line.empty() ? 0 : static_cast<uint16_t>(std::stoi(line.substr(line.rfind(':') + 1)));
}

enum class eClientCertificate { NotAsked, Asked };

// gnutls-serv --http answering every request with `dataFile` as the body; it writes its
// key log to k.txt. It binds every interface; the tests connect on 127.0.0.1 only. By
// default it asks for a client certificate (and takes a connection without one).
inline uint16_t StartGnutlsServer(cChildProcess& peer, const sTestPki& pki, const std::string& folder,
                                  const std::string& priority, const std::string& dataFile,
                                  eClientCertificate request = eClientCertificate::NotAsked)
{
    return StartOnFreePort(peer, [&](uint16_t port) {
        std::vector<std::string> args = {"gnutls-serv", "-p", std::to_string(port), "--x509certfile",
                                         pki.m_leafCert, "--x509keyfile", pki.m_leafKey, "--http", "--httpdata",
                                         dataFile, "--priority", priority};
        if (request == eClientCertificate::NotAsked) {
            args.push_back("--disable-client-cert");
        }
        return peer.Start(args, folder, {"SSLKEYLOGFILE=" + folder + "/k.txt"});
    });
}

// nginx in the foreground with one server block, made by `server(port)`, and the document
// root `folder`/www.
template <class ServerBlock>
uint16_t StartNginx(cChildProcess& peer, const std::string& folder, ServerBlock server)
{
    return StartOnFreePort(peer, [&](uint16_t port) {
        const std::string d = folder;
        std::string conf = "daemon off;\nmaster_process off;\nworker_processes 1;\n";
        conf += ::geteuid() == 0 ? "user root;\n" : "";
        conf += "pid " + d + "/nginx.pid;\nerror_log " + d + "/error.log;\n"
                "events { worker_connections 64; }\nhttp {\n"
                "  access_log off;\n  default_type application/octet-stream;\n"
                "  client_body_temp_path " + d + "/body;\n  proxy_temp_path " + d + "/proxy;\n"
                "  fastcgi_temp_path " + d + "/fastcgi;\n  uwsgi_temp_path " + d + "/uwsgi;\n"
                "  scgi_temp_path " + d + "/scgi;\n  ssl_ecdh_curve X25519;\n"
                "  server {\n    root " + d + "/www;\n" + server(port) + "  }\n}\n";
        std::ofstream(d + "/nginx.conf") << conf;
        return peer.Start({"nginx", "-p", d, "-c", d + "/nginx.conf", "-e", d + "/error.log"}, folder);
    });
}

// lighttpd with mod_wolfssl or mod_mbedtls ("wolfssl", "mbedtls"), serving `folder`/www
// with CGI for ".sh" scripts and streamed (chunked) response bodies.
inline uint16_t StartLighttpd(cChildProcess& peer, const sTestPki& pki, const std::string& folder,
                              const std::string& module, const std::string& sslConfCommands)
{
    return StartOnFreePort(peer, [&](uint16_t port) {
        std::ofstream(folder + "/lighttpd.conf")
            << "server.document-root = \"" << folder << "/www\"\n"
            << "server.bind = \"127.0.0.1\"\nserver.port = " << port << "\n"
            << "server.modules = (\"mod_" << module << "\", \"mod_cgi\")\n"
            << "server.errorlog = \"" << folder << "/error.log\"\n"
            << "server.stream-response-body = 2\n"
            << "cgi.assign = (\".sh\" => \"/bin/sh\")\n"
            << "ssl.engine = \"enable\"\nssl.pemfile = \"" << pki.m_keyAndCert << "\"\n"
            << "ssl.openssl.ssl-conf-cmd = (" << sslConfCommands << ")\n";
        return peer.Start({"lighttpd", "-D", "-f", folder + "/lighttpd.conf"}, folder);
    });
}

// python3 -m http.server on 127.0.0.1 serving `folder`/www (HTTP/1.0, Content-Length).
inline uint16_t StartPythonHttpServer(cChildProcess& peer, const std::string& folder)
{
    return StartOnFreePort(peer, [&](uint16_t port) {
        return peer.Start({"/usr/bin/python3", "-m", "http.server", std::to_string(port), "--bind",
                           "127.0.0.1", "--directory", folder + "/www"},
                          folder);
    });
}

} // namespace nettest

// Download throughput and handshake rate against the peers on loopback, in one run:
// nginx (one worker) serves a body over TLS 1.3 (AES-128-GCM, AES-256-GCM) and TLS 1.2
// (AES128-SHA, AES256-SHA); our client and curl fetch it; our handshakes are timed
// against `openssl s_time -new` on the same server. The body is QEL_TLS_BENCH_MIB MiB
// (256 by default). Skipped, with a message, when a peer tool is missing.
// Links: qel_net_http qel_base
#include "net/http/httpexchange.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

struct sListener
{
    const char* m_name;
    const char* m_directives;
    uint16_t m_port;
};

sListener g_listeners[] = {
    {"tls13_aes128gcm", "ssl_protocols TLSv1.3; ssl_conf_command Ciphersuites TLS_AES_128_GCM_SHA256;", 0},
    {"tls13_aes256gcm", "ssl_protocols TLSv1.3; ssl_conf_command Ciphersuites TLS_AES_256_GCM_SHA384;", 0},
    {"tls12_aes128sha", "ssl_protocols TLSv1.2; ssl_ciphers ECDHE-RSA-AES128-SHA;", 0},
    {"tls12_aes256sha", "ssl_protocols TLSv1.2; ssl_ciphers ECDHE-RSA-AES256-SHA;", 0},
};

// Runs a program and waits; its output goes to `output` (or /dev/null).
int RunProgram(const std::vector<std::string>& argv, const std::string& output = "/dev/null")
{
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int error = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (error != 0 || ::waitpid(pid, &status, 0) != pid) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

uint16_t FreePort()
{
    const int handle = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(address);
    ::bind(handle, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    ::getsockname(handle, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(handle);
    return ntohs(address.sin_port);
}

// The nginx peer with its folder, certificate and body; stopped at exit.
class cPeerSetup
{
public:
    cPeerSetup()
    {
        char pattern[] = "/tmp/qel_tls_bench_XXXXXX";
        if (::mkdtemp(pattern) == nullptr) {
            return;
        }
        m_folder = pattern;
        const char* mib = std::getenv("QEL_TLS_BENCH_MIB");
        m_bodySize = u64(mib != nullptr ? std::strtoul(mib, nullptr, 10) : 256) << 20;
        const std::string d = m_folder;
        if (RunProgram({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", d + "/key.pem",
                        "-out", d + "/cert.pem", "-days", "2", "-subj", "/CN=localhost", "-addext",
                        "subjectAltName=DNS:localhost,IP:127.0.0.1"}) != 0) {
            m_error = "openssl is missing";
            return;
        }
        // The client authenticates its server: the self-signed certificate is the anchor.
        ::setenv("QEL_EXTRA_CA_FILE", (d + "/cert.pem").c_str(), 1);
        std::filesystem::create_directory(d + "/www");
        {
            std::ofstream body(d + "/www/body.bin", std::ios::binary);
            std::vector<char> block(1 << 20);
            for (size_t i = 0; i < block.size(); ++i) {
                block[i] = char(i * 2654435761u >> 24);
            }
            for (u64 done = 0; done < m_bodySize; done += block.size()) {
                body.write(block.data(), std::streamsize(block.size()));
            }
        }
        std::string conf = "daemon off;\nmaster_process off;\nworker_processes 1;\n";
        conf += ::geteuid() == 0 ? "user root;\n" : "";
        conf += "pid " + d + "/nginx.pid;\nerror_log " + d + "/error.log;\nevents { worker_connections 256; }\n"
                "http {\n  access_log off;\n  ssl_ecdh_curve X25519;\n  ssl_session_tickets off;\n"
                "  client_body_temp_path " + d + "/t1;\n  proxy_temp_path " + d + "/t2;\n"
                "  fastcgi_temp_path " + d + "/t3;\n  uwsgi_temp_path " + d + "/t4;\n  scgi_temp_path " + d + "/t5;\n";
        for (sListener& listener : g_listeners) {
            listener.m_port = FreePort();
            conf += "  server {\n    listen 127.0.0.1:" + std::to_string(listener.m_port) + " ssl;\n    root " + d +
                    "/www;\n    ssl_certificate " + d + "/cert.pem;\n    ssl_certificate_key " + d + "/key.pem;\n    " +
                    listener.m_directives + "\n  }\n";
        }
        conf += "}\n";
        std::ofstream(d + "/nginx.conf") << conf;
        std::vector<std::string> argv = {"nginx", "-p", d, "-c", d + "/nginx.conf", "-e", d + "/error.log"};
        std::vector<char*> args;
        for (std::string& arg : argv) {
            args.push_back(arg.data());
        }
        args.push_back(nullptr);
        if (::posix_spawnp(&m_nginx, "nginx", nullptr, nullptr, args.data(), environ) != 0) {
            m_nginx = -1;
            m_error = "nginx is missing";
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    ~cPeerSetup()
    {
        if (m_nginx > 0) {
            ::kill(m_nginx, SIGTERM);
            int status = 0;
            ::waitpid(m_nginx, &status, 0);
        }
        if (!m_folder.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(m_folder, ignored);
        }
    }
    bool Ready(benchmark::State& state) const
    {
        if (!m_error.empty() || m_folder.empty()) {
            state.SkipWithError(m_error.empty() ? "no scratch folder" : m_error.c_str());
            return false;
        }
        return true;
    }
    std::string Url(const sListener& listener) const
    {
        return "https://127.0.0.1:" + std::to_string(listener.m_port) + "/body.bin";
    }
    u64 m_bodySize = 0;

private:
    std::string m_folder;
    std::string m_error;
    pid_t m_nginx = -1;
};

cPeerSetup& Peers()
{
    static cPeerSetup peers;
    return peers;
}

class cCountingReceiver : public cHttpResponse
{
public:
    bool OnData(const u8*, u32 count, u64) override
    {
        m_bytes += count;
        return true;
    }
    u64 m_bytes = 0;
};

void BM_DownloadOurs(benchmark::State& state)
{
    cPeerSetup& peers = Peers();
    if (!peers.Ready(state)) {
        return;
    }
    const sListener& listener = g_listeners[state.range(0)];
    state.SetLabel(listener.m_name);
    cHttpRequest request(peers.Url(listener).c_str());
    for (auto _ : state) {
        cHttpTransport transport;
        cCountingReceiver receiver;
        if (!PerformRequest(request, transport, receiver) || receiver.m_bytes != peers.m_bodySize) {
            state.SkipWithError("download failed");
            return;
        }
    }
    state.SetBytesProcessed(i64(state.iterations() * peers.m_bodySize));
}

void BM_DownloadCurl(benchmark::State& state)
{
    cPeerSetup& peers = Peers();
    if (!peers.Ready(state)) {
        return;
    }
    const sListener& listener = g_listeners[state.range(0)];
    state.SetLabel(listener.m_name);
    for (auto _ : state) {
        if (RunProgram({"curl", "-sk", "--http1.1", "-o", "/dev/null", peers.Url(listener)}) != 0) {
            state.SkipWithError("curl failed or is missing");
            return;
        }
    }
    state.SetBytesProcessed(i64(state.iterations() * peers.m_bodySize));
}

// One full handshake per iteration (connect, handshake, close), TLS 1.3 AES-128-GCM.
void BM_HandshakeOurs(benchmark::State& state)
{
    cPeerSetup& peers = Peers();
    if (!peers.Ready(state)) {
        return;
    }
    const u8 loopback[4] = {127, 0, 0, 1};
    for (auto _ : state) {
        cHttpTransport transport;
        if (!transport.SetHost("localhost")) {
            return;
        }
        transport.SetUseTls(true);
        if (!transport.Connect(loopback, g_listeners[0].m_port, 5000)) {
            state.SkipWithError("handshake failed");
            return;
        }
    }
}

// openssl s_time -new against the same server: each iteration is one s_time run of one
// second; the time per handshake is the wall time divided by the connections it made.
void BM_HandshakeOpenSslSTime(benchmark::State& state)
{
    cPeerSetup& peers = Peers();
    if (!peers.Ready(state)) {
        return;
    }
    const std::string output = "/tmp/qel_tls_bench_stime_" + std::to_string(::getpid()) + ".txt";
    u64 connections = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (RunProgram({"openssl", "s_time", "-connect", "127.0.0.1:" + std::to_string(g_listeners[0].m_port),
                        "-new", "-time", "1"},
                       output) != 0) {
            state.SkipWithError("openssl s_time failed");
            return;
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::ifstream file(output);
        u64 made = 0;
        for (std::string line; std::getline(file, line);) {
            if (line.find("connections in") != std::string::npos && line.find("real") != std::string::npos) {
                made = std::strtoull(line.c_str(), nullptr, 10);
            }
        }
        connections += made;
        state.SetIterationTime(made != 0 ? seconds / double(made) : seconds);
    }
    std::remove(output.c_str());
    state.counters["handshakes"] = double(connections);
}

} // namespace

BENCHMARK(BM_DownloadOurs)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DownloadCurl)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HandshakeOurs)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_HandshakeOpenSslSTime)->Unit(benchmark::kMicrosecond)->UseManualTime()->Iterations(2);

BENCHMARK_MAIN();

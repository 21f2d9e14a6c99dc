// One update check against a local openssl s_server -HTTP (connect, handshake, chain and
// signature checks, GET, parse), TLS 1.3 and TLS 1.2, beside `curl -s --cacert ca.pem` on
// the same URL; and the cost of loading the trust store (the system bundle and the test
// CA), which the check pays once per process and settings. The PKI comes from
// tests/net/make_pki.sh. Skipped, with a message, when a peer tool is missing.
// Links: qel_net_update qel_base
#include "net/tls/truststore.h"
#include "net/update/updatecheck.h"
#include "net/update/updatehosts.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
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

pid_t Spawn(const std::vector<std::string>& argv, const std::string& folder, const std::string& output)
{
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    if (::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int Wait(pid_t pid)
{
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The PKI, the canned answer and one s_server per TLS version; stopped at exit.
class cSetup
{
public:
    cSetup()
    {
        char pattern[] = "/tmp/qel_update_bench_XXXXXX";
        if (::mkdtemp(pattern) == nullptr) {
            m_error = "no scratch folder";
            return;
        }
        m_folder = pattern;
        const std::string script = QEL_SOURCE_DIR "/tests/net/make_pki.sh";
        if (Wait(Spawn({"sh", script}, m_folder, m_folder + "/pki.log")) != 0) {
            m_error = "openssl is missing or failed";
            return;
        }
        const std::string body = "2.1\r\nhttps://dl.example/setup.exe\r\nhttps://w/\r\n";
        std::ofstream(m_folder + "/autocheck.php?softwareid=demo&os=win")
            << "HTTP/1.1 200 OK\r\nContent-Length: " << body.size() << "\r\n\r\n" << body;
        const std::vector<std::string> versions[2] = {
            {"-tls1_3", "-ciphersuites", "TLS_AES_128_GCM_SHA256"},
            {"-tls1_2", "-cipher", "ECDHE-RSA-AES256-SHA"}};
        for (int i = 0; i < 2; ++i) {
            std::vector<std::string> argv = {"openssl", "s_server", "-accept", "127.0.0.1:0", "-cert", "leaf.pem",
                                             "-key", "leaf.key", "-HTTP", "-groups", "X25519"};
            argv.insert(argv.end(), versions[i].begin(), versions[i].end());
            const std::string log = m_folder + "/server" + std::to_string(i) + ".log";
            m_servers[i] = Spawn(argv, m_folder, log);
            m_ports[i] = WaitForPort(log);
            if (m_ports[i] == 0) {
                m_error = "openssl s_server did not start";
                return;
            }
        }
        ::setenv(kExtraCaFileVariable, (m_folder + "/ca.pem").c_str(), 1);
    }
    ~cSetup()
    {
        for (const pid_t server : m_servers) {
            if (server > 0) {
                ::kill(server, SIGTERM);
                Wait(server);
            }
        }
        if (!m_folder.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(m_folder, ignored);
        }
    }
    bool Ready(benchmark::State& state) const
    {
        if (!m_error.empty()) {
            state.SkipWithError(m_error.c_str());
        }
        return m_error.empty();
    }
    std::string Origin(int version) const { return "https://127.0.0.1:" + std::to_string(m_ports[version]); }
    const std::string& Folder() const { return m_folder; }

private:
    static uint16_t WaitForPort(const std::string& log)
    {
        for (int i = 0; i < 500; ++i) {
            std::ifstream file(log);
            for (std::string line; std::getline(file, line);) {
                if (line.rfind("ACCEPT 127.0.0.1:", 0) == 0) {
                    return uint16_t(std::stoi(line.substr(line.rfind(':') + 1)));
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return 0;
    }

    std::string m_folder;
    std::string m_error;
    pid_t m_servers[2] = {-1, -1};
    uint16_t m_ports[2] = {0, 0};
};

cSetup& Setup()
{
    static cSetup setup;
    return setup;
}

// Arg 0: TLS 1.3, 1: TLS 1.2.
void BM_CheckForUpdate(benchmark::State& state)
{
    cSetup& setup = Setup();
    if (!setup.Ready(state)) {
        return;
    }
    ::setenv(kUpdateBaseUrlVariable, setup.Origin(int(state.range(0))).c_str(), 1);
    for (auto _ : state) {
        u64 version = 0;
        _guardchar<char16_t> download, site, notes;
        if (!CheckForUpdate("demo", version, download, site, notes)) {
            state.SkipWithError("the check failed");
            break;
        }
    }
    state.SetLabel(state.range(0) == 0 ? "TLS 1.3, trust store cached" : "TLS 1.2, trust store cached");
}
BENCHMARK(BM_CheckForUpdate)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CurlSameUrl(benchmark::State& state)
{
    cSetup& setup = Setup();
    if (!setup.Ready(state)) {
        return;
    }
    const std::string url = setup.Origin(int(state.range(0))) + "/autocheck.php?softwareid=demo&os=win";
    for (auto _ : state) {
        if (Wait(Spawn({"curl", "-s", "--cacert", setup.Folder() + "/ca.pem", "-o", "/dev/null", url}, setup.Folder(),
                       "/dev/null")) != 0) {
            state.SkipWithError("curl failed");
            break;
        }
    }
    state.SetLabel(state.range(0) == 0 ? "TLS 1.3, process start included" : "TLS 1.2, process start included");
}
BENCHMARK(BM_CurlSameUrl)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The store for new settings each time: what the first check of a process pays.
void BM_TrustStoreLoad(benchmark::State& state)
{
    cSetup& setup = Setup();
    if (!setup.Ready(state)) {
        return;
    }
    const std::string files[2] = {setup.Folder() + "/ca.pem", setup.Folder() + "/./ca.pem"};
    int turn = 0;
    for (auto _ : state) {
        ::setenv(kExtraCaFileVariable, files[turn ^= 1].c_str(), 1);
        x509_store_st* store = AcquireTrustStore();
        if (store == nullptr) {
            state.SkipWithError("no store");
            break;
        }
        ReleaseTrustStore(store);
    }
    ::setenv(kExtraCaFileVariable, files[0].c_str(), 1);
}
BENCHMARK(BM_TrustStoreLoad)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();

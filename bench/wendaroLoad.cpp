// deps: wendaro_core
// Load on the stand-in machines server over loop-back: N raw-socket clients
// each greet, then every 350 ms send a status poll and a command 12 (as the
// client device polls), for a bounded time. From the server's own processor
// time (every thread of this process but the clients') it reports how many
// such clients one core serves, and, with clients that send back to back,
// the exchanges per second the server sustains.
#include "bench/temporaryPrefix.h"
#include "standins/wendaro/wendaroServer.h"

#include <benchmark/benchmark.h>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using bytes_t = std::vector<std::uint8_t>;
using clock_t_ = std::chrono::steady_clock;

constexpr auto pollPeriod = std::chrono::milliseconds(350);
constexpr auto measureTime = std::chrono::seconds(3);

bytes_t wide(const std::string& text)
{
    bytes_t out{0xFF, 0xFE, 0xFF, static_cast<std::uint8_t>(text.size())};
    for (char c : text) {
        out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(0);
    }
    return out;
}

bytes_t command(std::uint8_t code)
{
    bytes_t out = wide("CMND");
    out.push_back(1);
    out.push_back(code);
    return out;
}

bytes_t connectWord()
{
    bytes_t out = wide("QVRcontrolConnect");
    out.insert(out.end(), {0, 0, 0, 0});
    const bytes_t user = wide("bench");
    out.insert(out.end(), user.begin(), user.end());
    const double version = 12.0;
    std::uint8_t bits[8];
    std::memcpy(bits, &version, sizeof bits);
    out.insert(out.end(), bits, bits + 8);
    return out;
}

long long threadCpuNs()
{
    timespec cpu{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
    return static_cast<long long>(cpu.tv_sec) * 1000000000LL + cpu.tv_nsec;
}

long long processCpuNs()
{
    timespec cpu{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
    return static_cast<long long>(cpu.tv_sec) * 1000000000LL + cpu.tv_nsec;
}

// One client: greeting, answer, then exchanges until told to stop.
struct loadClient_t {
    std::atomic<long long> exchanges{0};
    std::atomic<long long> cpuNs{0};
    std::atomic<bool> ready{false};
    std::atomic<bool> failed{false};

    void run(int port, bool paced, const std::atomic<bool>& stop)
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        std::vector<std::uint8_t> buffer(65536);
        auto exchange = [&](const bytes_t& request) {
            return ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size()) &&
                   ::recv(fd, buffer.data(), buffer.size(), 0) > 0;
        };
        const bytes_t poll = command(1);
        const bytes_t info = command(12);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            ::recv(fd, buffer.data(), buffer.size(), 0) <= 0 || !exchange(connectWord())) {
            failed.store(true);
            ready.store(true);
            ::close(fd);
            return;
        }
        ready.store(true);
        auto next = clock_t_::now();
        while (!stop.load()) {
            if (!exchange(poll) || !exchange(info)) {
                failed.store(true);
                break;
            }
            exchanges.fetch_add(2);
            if (paced) {
                next += pollPeriod;
                std::this_thread::sleep_until(next);
            }
        }
        cpuNs.store(threadCpuNs());
        ::close(fd);
    }
};


struct result_t {
    double wallSeconds = 0;
    double serverCpuSeconds = 0;
    long long exchanges = 0;
    bool failed = false;
};

// Runs `count` clients against a fresh server for the measuring time.
result_t runLoad(int count, bool paced)
{
    static temporaryPrefix_t prefix("wendaro-");
    wendaroConfig_t config;
    config.port = 0;
    wendaroMachineConfig_t machine;
    machine.printer.actionMs = 0;
    config.machines.push_back(machine);
    wendaroServer_t server(config);
    result_t result;
    if (!server.start()) {
        result.failed = true;
        return result;
    }
    std::atomic<bool> stop{false};
    std::vector<std::unique_ptr<loadClient_t>> clients;
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i) {
        clients.push_back(std::make_unique<loadClient_t>());
        loadClient_t* client = clients.back().get();
        threads.emplace_back([client, &server, paced, &stop] { client->run(server.port(), paced, stop); });
    }
    for (const auto& client : clients) {
        while (!client->ready.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    long long before = 0;
    for (const auto& client : clients)
        before += client->exchanges.load();
    const long long cpuBefore = processCpuNs();
    const auto start = clock_t_::now();
    std::this_thread::sleep_for(measureTime);
    long long after = 0;
    for (const auto& client : clients)
        after += client->exchanges.load();
    const long long cpuAfter = processCpuNs();
    const auto end = clock_t_::now();
    stop.store(true);
    for (std::thread& thread : threads)
        thread.join();
    // The clients' own time is not the server's; what they spent before the
    // window is small against the window and counted out with the rest.
    long long clientCpu = 0;
    for (const auto& client : clients) {
        clientCpu += client->cpuNs.load();
        result.failed = result.failed || client->failed.load();
    }
    result.wallSeconds = std::chrono::duration<double>(end - start).count();
    result.exchanges = after - before;
    result.serverCpuSeconds = std::max(0.0, static_cast<double>(cpuAfter - cpuBefore - clientCpu) / 1e9);
    server.stop();
    return result;
}

void BM_PolledClientsPerCore(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    result_t result;
    for (auto _ : state) {
        result = runLoad(count, true);
        state.SetIterationTime(result.wallSeconds);
    }
    if (result.failed)
        state.SkipWithError("a client lost its connection");
    const double coreShare = result.serverCpuSeconds / result.wallSeconds;
    state.counters["exchanges_per_s"] = static_cast<double>(result.exchanges) / result.wallSeconds;
    state.counters["server_core_share"] = coreShare;
    state.counters["clients_per_core"] = coreShare > 0 ? count / coreShare : 0;
}
BENCHMARK(BM_PolledClientsPerCore)->Arg(20)->Arg(100)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void BM_SustainedExchanges(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    result_t result;
    for (auto _ : state) {
        result = runLoad(count, false);
        state.SetIterationTime(result.wallSeconds);
    }
    if (result.failed)
        state.SkipWithError("a client lost its connection");
    state.counters["exchanges_per_s"] = static_cast<double>(result.exchanges) / result.wallSeconds;
    state.counters["exchanges_per_server_cpu_s"] =
        result.serverCpuSeconds > 0 ? static_cast<double>(result.exchanges) / result.serverCpuSeconds : 0;
}
BENCHMARK(BM_SustainedExchanges)->Arg(1)->Arg(8)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();

// deps: link
// Stop-and-wait exchanges per second between a client device and a machines
// server on loopback (send-and-wait commands in state 5, each answered by a
// status reply), next to a plain TCP ping-pong of the same message sizes on
// the same machine, the physical limit, in alternating rounds; "ratio" is
// device / ping-pong.
#include "link/qvrClientDev.h"
#include "bench/loopbackMachine.h"
#include "bench/temporaryPrefix.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <utility>
#include <unistd.h>
#include <vector>

namespace {

using namespace loopbackMachine;

// The "CMND" message of command 129 with a byte and an int32, as the device sends it.
bytes_t commandMessage()
{
    bytes_t out = wide("CMND");
    append(out, bytes_t{6, 129, 2, 1, 0, 0, 0});
    return out;
}

// Reads exactly n bytes (false when the link ends first).
bool receiveExactly(int fd, std::uint8_t* into, std::size_t n)
{
    std::size_t done = 0;
    while (done < n) {
        const ssize_t got = ::recv(fd, into + done, n - done, 0);
        if (got <= 0)
            return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

// The machines server's side: greeting, access, then a status reply to
// every command and "ERROR" to any other request.
void serveMachine(int fd, const std::atomic<bool>& stop)
{
    std::vector<std::uint8_t> buffer(65536);
    if (!openSession(fd, buffer))
        return;
    const bytes_t reply = statusReply(10, 5);
    const bytes_t error = wide("ERROR");
    const bytes_t command = wide("CMND");
    while (!stop.load()) {
        const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (n <= 0)
            return;
        const bool isCommand = static_cast<std::size_t>(n) >= command.size() &&
                               std::memcmp(buffer.data(), command.data(), command.size()) == 0;
        if (!sendAll(fd, isCommand ? reply : error))
            return;
    }
}

// The plain ping-pong's server: the reply of the same size to every message
// of the command's size.
void servePingPong(int fd, const std::atomic<bool>& stop)
{
    const bytes_t reply = statusReply(10, 5);
    std::vector<std::uint8_t> buffer(commandMessage().size());
    while (!stop.load()) {
        if (!receiveExactly(fd, buffer.data(), buffer.size()) || !sendAll(fd, reply))
            return;
    }
}


// A plain blocking TCP ping-pong of these sizes on its own connection.
class pingPong_t {
public:
    pingPong_t() : server_(servePingPong)
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(server_.port()));
        ok_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        noDelay(fd_);
    }
    ~pingPong_t() { ::close(fd_); }
    bool exchange()
    {
        return ok_ && sendAll(fd_, request_) && receiveExactly(fd_, reply_.data(), reply_.size());
    }

private:
    loopbackListener_t server_;
    int fd_ = -1;
    bool ok_ = false;
    const bytes_t request_ = commandMessage();
    std::vector<std::uint8_t> reply_ = std::vector<std::uint8_t>(statusReply(10, 5).size());
};

// The ping-pong's rounds, run on a thread that does nothing else. The
// scheduler judges a thread by its recent past: one that has just spun or
// slept through device exchanges is placed and woken differently from one
// that only ever ping-pongs, and the yardstick must not depend on what the
// device did before it.
class pingPongThread_t {
public:
    pingPongThread_t() : thread_([this] { serve(); }) {}
    ~pingPongThread_t()
    {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            quit_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    // Runs n exchanges on the thread; the exchanges made and their time.
    std::pair<std::int64_t, std::chrono::steady_clock::duration> round(int n)
    {
        std::unique_lock<std::mutex> guard(mutex_);
        asked_ = n;
        changed_.notify_all();
        changed_.wait(guard, [this] { return asked_ == 0; });
        return {done_, took_};
    }

private:
    void serve()
    {
        pingPong_t tcp;
        std::unique_lock<std::mutex> guard(mutex_);
        for (;;) {
            changed_.wait(guard, [this] { return quit_ || asked_ > 0; });
            if (quit_)
                return;
            const int n = asked_;
            guard.unlock();
            std::int64_t done = 0;
            const auto begun = std::chrono::steady_clock::now();
            for (int i = 0; i < n && tcp.exchange(); ++i)
                ++done;
            const auto took = std::chrono::steady_clock::now() - begun;
            guard.lock();
            done_ = done;
            took_ = took;
            asked_ = 0;
            changed_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    int asked_ = 0;
    bool quit_ = false;
    std::int64_t done_ = 0;
    std::chrono::steady_clock::duration took_{};
    std::thread thread_;
};

// The machine is shared and its load changes from second to second, so
// the device and the plain ping-pong take turns in short rounds and each
// side's rate is its exchanges over its own time.
void BM_ClientDeviceExchanges(benchmark::State& state)
{
    static temporaryPrefix_t prefix("client-");
    loopbackListener_t server(serveMachine);
    sharedLock_t lock;
    qvrClientDev_t device(0, lock);
    // Only the benchmark's own commands go out.
    device.setPollInterval(0);
    device.connect(L"localhost", 1, true, server.port());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!(device.isConnected() && device.getMachineState() == 5)) {
        if (std::chrono::steady_clock::now() > deadline) {
            state.SkipWithError("the client device did not reach state 5");
            return;
        }
        device.sendCommand(1);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // Let what the connection queued by itself drain.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    pingPongThread_t yardstick;

    using clock = std::chrono::steady_clock;
    constexpr int round = 200;
    std::int64_t value = 0;
    std::int64_t deviceCount = 0;
    std::int64_t tcpCount = 0;
    clock::duration deviceTime{};
    clock::duration tcpTime{};
    for (auto _ : state) {
        auto started = clock::now();
        for (int i = 0; i < round; ++i)
            device.sendCommandWait(129, 1, 2, 4, static_cast<std::int32_t>(++value));
        deviceTime += clock::now() - started;
        deviceCount += round;
        state.PauseTiming();
        const auto [done, took] = yardstick.round(round);
        tcpCount += done;
        tcpTime += took;
        state.ResumeTiming();
    }
    const double deviceRate = deviceCount / std::chrono::duration<double>(deviceTime).count();
    const double tcpRate = tcpCount > 0 ? tcpCount / std::chrono::duration<double>(tcpTime).count() : 0.0;
    state.counters["device_exchanges_per_s"] = deviceRate;
    state.counters["tcp_pingpong_per_s"] = tcpRate;
    state.counters["ratio"] = tcpRate > 0 ? deviceRate / tcpRate : 0.0;
    state.SetItemsProcessed(deviceCount);
}
BENCHMARK(BM_ClientDeviceExchanges)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();

// deps: machine
// The device core over an in-process packet source: stop-and-wait exchanges
// per second, and the device thread's processor time while it idles on a
// connected machine (polling every 350 ms).
#include "machine/machineHostIDname.h"
#include "machine/qvrCommDev.h"
#include "bench/temporaryPrefix.h"
#include "platform/ticks.h"

#include <benchmark/benchmark.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace {

struct lockHolder_t {
    sharedLock_t deviceLock;
};

// Answers every packet at once: a status (type 1) for a status request,
// type 2 for anything else.
class loopbackDevice_t : private lockHolder_t, public qvrCommDev_t {
public:
    loopbackDevice_t() : qvrCommDev_t(0, 100, deviceLock) {}
    ~loopbackDevice_t() override { stop(); }

    void sendPending() override
    {
        packetBuffer_t out(64);
        {
            lockGuard_t guard(getLock());
            if (!queue.popFront(out))
                return;
            queue.setAwaitingReply();
            lastSendTick = tickCount();
        }
        packetBuffer_t reply(64);
        if (out.u8(1) == 1) {
            std::uint8_t status[61] = {1, 12};
            status[1 + 12] = 1u << 5;
            status[1 + 50] = 7;
            reply.append(status, sizeof status);
        } else {
            reply.pushByte(2);
        }
        queue.setCurrent(reply);
        inputArrived.set();
        {
            std::lock_guard<std::mutex> guard(countLock);
            ++exchanges;
        }
        counted.notify_all();
    }

    void onTick() override
    {
        qvrCommDev_t::onTick();
        timespec cpu{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
        threadCpuNs.store(static_cast<long long>(cpu.tv_sec) * 1000000000LL + cpu.tv_nsec);
    }

    void waitForExchanges(long long target)
    {
        std::unique_lock<std::mutex> guard(countLock);
        counted.wait(guard, [&] { return exchanges >= target; });
    }
    long long exchangeCount()
    {
        std::lock_guard<std::mutex> guard(countLock);
        return exchanges;
    }

    void onLinkTimeout() override {}
    void createFoldersIfIdKnown() override {}
    void setMachineName(const std::wstring&) override {}
    void setEmbeddedVersionText(const std::wstring&) override {}
    std::wstring accessModeText() override { return L""; }
    void stopSlicing() override {}
    void sendModelFile(const std::wstring&, std::int32_t, std::int32_t, const std::wstring&, std::int32_t,
                       std::int32_t, std::int32_t, std::int32_t, const std::wstring&) override
    {
    }
    bool isSameMachine(const machineHostIDname_t&) override { return false; }

    std::atomic<long long> threadCpuNs{0};

private:
    std::mutex countLock;
    std::condition_variable counted;
    long long exchanges = 0;
};

void useTemporaryPrefix() { static temporaryPrefix_t prefix(""); }

void BM_StopAndWaitExchanges(benchmark::State& state)
{
    useTemporaryPrefix();
    loopbackDevice_t device;
    device.setPollInterval(0);
    device.open();
    const int batch = static_cast<int>(state.range(0));
    long long done = device.exchangeCount();
    for (auto _ : state) {
        // Distinct packets, so the duplicate rule keeps every one.
        for (int i = 0; i < batch; ++i)
            device.sendCommandArgs(128, 1, 0, 4, i);
        done += batch;
        device.waitForExchanges(done);
    }
    device.stop();
    state.SetItemsProcessed(state.iterations() * batch);
}
BENCHMARK(BM_StopAndWaitExchanges)->Arg(1)->Arg(100)->UseRealTime();

void BM_IdleDeviceThreadCpu(benchmark::State& state)
{
    useTemporaryPrefix();
    loopbackDevice_t device;
    device.open();
    // Connected: the first status has been answered.
    device.waitForExchanges(2);
    double cpuSeconds = 0;
    double wallSeconds = 0;
    for (auto _ : state) {
        const long long cpuBefore = device.threadCpuNs.load();
        const auto wallBefore = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(2));
        cpuSeconds += (device.threadCpuNs.load() - cpuBefore) / 1e9;
        wallSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    }
    device.stop();
    state.counters["device_cpu_percent"] = wallSeconds > 0 ? 100.0 * cpuSeconds / wallSeconds : 0.0;
    state.counters["exchanges_per_s"] = wallSeconds > 0 ? device.exchangeCount() / wallSeconds : 0.0;
}
BENCHMARK(BM_IdleDeviceThreadCpu)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

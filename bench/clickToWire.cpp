// deps: technician
// From a technician's click on the Motors page to the command's bytes
// arriving at the machines server: the page's handler, the manual-command
// gate, the device's queue, its thread and the socket, against a loopback
// server that notes when each command arrives. Reports the median, the 90th
// percentile and the largest of the click-to-arrival times.
//
// The machine answers every command with a status in state 2, so the gate
// sends nothing ahead of the clicked command.
#include "bench/loopbackMachine.h"
#include "bench/temporaryPrefix.h"
#include "link/currentClientDevice.h"
#include "link/qvrClientDev.h"
#include "platform/qt/dlgItem.h"
#include "technician/pages/motorsDlg.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <clocale>
#include <cstring>
#include <filesystem>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace loopbackMachine;
using clock_t_ = std::chrono::steady_clock;

// What the machines server saw: the arrivals of commands with each code so
// far, and the time of the last.
class commandArrivals_t {
public:
    std::uint64_t arrivals(std::uint8_t code) const { return counts_[code].load(); }
    clock_t_::time_point lastArrival(std::uint8_t code) const
    {
        return clock_t_::time_point(clock_t_::duration(stamps_[code].load()));
    }
    void note(std::uint8_t code, clock_t_::time_point at)
    {
        stamps_[code].store(at.time_since_epoch().count());
        counts_[code].fetch_add(1);
    }

private:
    std::atomic<std::uint64_t> counts_[256] = {};
    std::atomic<clock_t_::rep> stamps_[256] = {};
};

// The machines server: greeting, control access, then a status for every
// command (noting when each arrives and its code) and "ERROR" for any other
// request.
void serveMachine(int fd, const std::atomic<bool>& stop, commandArrivals_t& seen)
{
    std::vector<std::uint8_t> buffer(65536);
    if (!openSession(fd, buffer))
        return;
    const bytes_t reply = statusReply(1, 2);
    const bytes_t error = wide("ERROR");
    const bytes_t command = wide("CMND");
    // "CMND", then the packet's length byte and its code.
    const std::size_t codeAt = command.size() + 1;
    while (!stop.load()) {
        const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (n <= 0)
            return;
        const auto now = clock_t_::now();
        const bool isCommand = static_cast<std::size_t>(n) > codeAt &&
                               std::memcmp(buffer.data(), command.data(), command.size()) == 0;
        if (isCommand)
            seen.note(buffer[codeAt], now);
        if (!sendAll(fd, isCommand ? reply : error))
            return;
    }
}


void pressArrow(QWidget* arrow)
{
    const QPoint at(3, 3);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), QPointF(arrow->mapToGlobal(at)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(arrow, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), QPointF(arrow->mapToGlobal(at)), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(arrow, &release);
}

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit)
{
    const auto deadline = clock_t_::now() + limit;
    while (!condition()) {
        if (clock_t_::now() > deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}

// One click per iteration on the control with that id; the command code it
// sends is the one timed.
void clickToWire(benchmark::State& state, int controlId, std::uint8_t code)
{
    static temporaryPrefix_t prefix("click-");
    commandArrivals_t seen;
    loopbackListener_t listener([&seen](int fd, const std::atomic<bool>& stop) { serveMachine(fd, stop, seen); });
    sharedLock_t lock;
    qvrClientDev_t device(0, lock);
    // Only the clicks' commands go out.
    device.setPollInterval(0);
    device.connect(L"localhost", 1, true, listener.port());
    setCurrentClientDevice(&device);
    if (!waitFor([&] { return device.isConnected() && device.getMachineState() == 2; }, std::chrono::seconds(20))) {
        state.SkipWithError("the client device did not see the machine");
        setCurrentClientDevice(nullptr);
        return;
    }
    motorsDlg_t page;
    page.onInitDialog();
    QWidget* control = dlgItem(&page, controlId);
    auto* button = qobject_cast<QPushButton*>(control);

    std::vector<double> micros;
    for (auto _ : state) {
        const std::uint64_t before = seen.arrivals(code);
        const std::uint64_t pollsBefore = seen.arrivals(12);
        const auto clicked = clock_t_::now();
        if (button != nullptr)
            button->click();
        else
            pressArrow(control);
        if (!waitFor([&] { return seen.arrivals(code) > before; }, std::chrono::seconds(5))) {
            state.SkipWithError("the command did not arrive");
            break;
        }
        const double seconds = std::chrono::duration<double>(seen.lastArrival(code) - clicked).count();
        state.SetIterationTime(seconds);
        micros.push_back(seconds * 1e6);
        // The status requests that follow the command drain, and the reply
        // to the last one is handled, before the next click: each click
        // finds the link idle, as a technician's does.
        if (!waitFor([&] { return seen.arrivals(12) > pollsBefore; }, std::chrono::seconds(5))) {
            state.SkipWithError("the status requests did not follow");
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    setCurrentClientDevice(nullptr);
    device.stop();
    if (micros.empty())
        return;
    std::sort(micros.begin(), micros.end());
    state.counters["median_us"] = micros[micros.size() / 2];
    state.counters["p90_us"] = micros[micros.size() * 9 / 10];
    state.counters["max_us"] = micros.back();
}

void BM_ClickToWire_FindHomeXY(benchmark::State& state) { clickToWire(state, 1050, 130); }
void BM_ClickToWire_RightArrow(benchmark::State& state) { clickToWire(state, 1039, 128); }
BENCHMARK(BM_ClickToWire_FindHomeXY)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(500);
BENCHMARK(BM_ClickToWire_RightArrow)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(500);

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    std::setlocale(LC_ALL, "C");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

#include "tests/batches/batchMachineSupport.h"

#include "link/currentClientDevice.h"
#include "machine/machineParam.h"
#include "platform/codePage.h"
#include "procedures/batches/baseStaticBatch.h"
#include "tests/support/waitUntil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <utility>

stageWindow_t::~stageWindow_t()
{
    // No post may reach this part once it is gone.
    destroy();
}

void stageWindow_t::onStage(std::function<bool(int, int)> when, std::function<void()> action)
{
    std::lock_guard<std::mutex> guard(lock_);
    when_ = std::move(when);
    action_ = std::move(action);
}

void stageWindow_t::onStage(int stage, int state, int occurrence, std::function<void()> action)
{
    onStage(
        [stage, state, remaining = occurrence](int s, int st) mutable {
            return s == stage && st == state && remaining > 0 && --remaining == 0;
        },
        std::move(action));
}

void stageWindow_t::recordShown(const baseStaticBatch_t* batch)
{
    std::lock_guard<std::mutex> guard(lock_);
    shownOf_ = batch;
    shown_.clear();
}

std::vector<std::wstring> stageWindow_t::takeShown()
{
    std::lock_guard<std::mutex> guard(lock_);
    return std::exchange(shown_, {});
}

void stageWindow_t::deliver(unsigned message, WPARAM wParam, LPARAM lParam)
{
    std::function<void()> action;
    {
        std::lock_guard<std::mutex> guard(lock_);
        const int index = static_cast<int>(wParam);
        if (shownOf_ != nullptr && message == baseStaticBatch_t::stageMessage && index < shownOf_->stageCount()) {
            const batchStage_t stage = shownOf_->stage(index);
            shown_.push_back(stage.name + L": " + stage.statusText);
        }
        if (action_ && message == baseStaticBatch_t::stageMessage &&
            when_(static_cast<int>(wParam), static_cast<int>(lParam)))
            action.swap(action_);
    }
    if (action)
        action();
    queueWindow_t::deliver(message, wParam, lParam);
}

void batchMachineThreadsTest::SetUp()
{
    wendaroConfig_t config;
    config.port = 0;
    wendaroMachineConfig_t machine;
    machine.printer.machineID = machineId;
    machine.printer.actionMs = 25;
    machine.printer.initMs = 0;
    configure(machine.printer);
    config.machines.push_back(machine);
    server_ = std::make_unique<wendaroServer_t>(config);
    ASSERT_TRUE(server_->start());
    // Steps of another size on Y than on X (the factory's are equal), so
    // that a conversion that takes one axis's step size for the other's
    // shows. The hand where the technician leaves the head stays a whole
    // number of steps: 1090 of 21892 nm on X, 16840 of 22841 nm on Y.
    server_->printer(machineId).setMemoryWord(yStepSizeWord, yStepSize);

    device_ = std::make_unique<packetRecorder_t<qvrClientDev_t>>(deviceWindow_.handle(), lock_);
    device_->recordEveryCaller();
    ASSERT_TRUE(device_->connect(L"localhost", machineId, true, server_->port()));
    setCurrentClientDevice(device_.get());
    ASSERT_TRUE(waitDeviceState(7));
    // A device on this computer takes its parameters from the machine's
    // files, not from the printer: it is given the printer's step size.
    setDeviceParam(L"Y Step Size", yStepSize);
    ASSERT_TRUE(enterTechnicianMode());
}

void batchMachineThreadsTest::TearDown()
{
    setCurrentClientDevice(nullptr);
    device_.reset();
    if (server_)
        server_->stop();
}

std::uint64_t batchMachineThreadsTest::mark() const
{
    return server_->printer(machineId).trace().mark();
}

std::vector<int> batchMachineThreadsTest::codesSince(std::uint64_t from,
                                                    const std::function<bool(std::uint32_t)>& over) const
{
    std::vector<int> codes;
    for (const simTraceEntry_t& entry : server_->printer(machineId).trace().since(from))
        if (entry.kind == simTraceEntry_t::kind_e::commandIn_e && entry.code != 1 && entry.code != 12 &&
            (!over || over(entry.connection)))
            codes.push_back(entry.code);
    return codes;
}

std::uint64_t batchMachineThreadsTest::flushDevice()
{
    const std::uint64_t from = mark();
    device_->sendCommand(147);
    const std::optional<simTraceEntry_t> entry = printer().trace().waitFor(
        [](const simTraceEntry_t& e) { return e.kind == simTraceEntry_t::kind_e::commandIn_e && e.code == 147; }, 20s,
        from);
    EXPECT_TRUE(entry.has_value()) << "the device's queue did not drain";
    return entry ? entry->sequence : mark();
}

std::uint64_t batchMachineThreadsTest::stopPollsAndMark()
{
    device_->setPollInterval(0);
    return flushDevice() + 1;
}

commandList_t batchMachineThreadsTest::commandsSince(std::uint64_t from,
                                                    const std::function<bool(std::uint32_t)>& over)
{
    const std::uint64_t end = flushDevice();
    commandList_t commands;
    for (const simTraceEntry_t& entry : printer().trace().since(from))
        if (entry.kind == simTraceEntry_t::kind_e::commandIn_e && entry.sequence < end &&
            (!over || over(entry.connection)))
            commands.push_back(entry.bytes);
    return commands;
}

void batchMachineThreadsTest::setDeviceParam(const wchar_t* name, std::int32_t value)
{
    const machineParam_t* param = device_->findParameter(-1, name);
    ASSERT_NE(param, nullptr) << wideToUtf8(name);
    device_->setParameterWord(param->index(), value);
}

void batchMachineThreadsTest::failNextCommand(int code)
{
    simFaultRule_t rule;
    rule.code = code;
    rule.action = simFaultRule_t::action_e::setError_e;
    rule.value = 7;
    printer().addFault(rule);
}

bool batchMachineThreadsTest::waitDeviceState(int state)
{
    return waitUntil([&] { return device_->getMachineState() == state; }, 20s);
}

bool batchMachineThreadsTest::enterTechnicianMode()
{
    device_->prepareForBatch();
    return waitDeviceState(5);
}

bool batchMachineThreadsTest::leaveTechnicianMode()
{
    device_->sendCommand(132);
    return waitDeviceState(7);
}

std::vector<std::pair<int, int>> batchMachineThreadsTest::drive(baseStaticBatch_t& batch, queueWindow_t& window,
                                                                const std::function<void(int, int)>& onPost)
{
    constexpr unsigned deviceNotice = WM_USER + 222;
    constexpr WPARAM statusReplyNotice = 141;
    baseStaticBatch_t::setCurrent(&batch);
    batch.setOwnerWindow(window.handle());
    deviceWindow_.takeAll();
    std::atomic<bool> done{false};
    std::thread worker([&] {
        batch.execute();
        done.store(true);
    });
    std::vector<std::pair<int, int>> posted;
    const auto deadline = std::chrono::steady_clock::now() + 120s;
    while (!done.load() || window.count() > 0) {
        for (const postedMessage_t& m : deviceWindow_.takeAll())
            if (m.message == deviceNotice && m.wParam == statusReplyNotice && baseStaticBatch_t::current() != nullptr)
                baseStaticBatch_t::current()->secondEvent().set();
        for (const postedMessage_t& m : window.takeAll()) {
            if (m.message != baseStaticBatch_t::stageMessage)
                continue;
            const std::pair<int, int> s{static_cast<int>(m.wParam), static_cast<int>(m.lParam)};
            posted.push_back(s);
            if (onPost)
                onPost(s.first, s.second);
            if (s.second == baseStaticBatch_t::completed_e)
                batch.onStageCompleted(s.first);
        }
        window.waitFor([](const std::vector<postedMessage_t>& q) { return !q.empty(); }, 20ms);
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "the procedure did not end";
            batch.abortEvent().set();
        }
    }
    worker.join();
    baseStaticBatch_t::setCurrent(nullptr);
    return posted;
}

#include "tests/script/scriptMachineSupport.h"

#include "procedures/script/batchRunContext.h"
#include "tests/support/waitUntil.h"

#include <gtest/gtest.h>

namespace {

constexpr int statusPoll = 1;
constexpr int infoPoll = 12;
constexpr int flushCommand = 19;

bool isOwnTraffic(int code)
{
    return code == statusPoll || code == infoPoll || code == flushCommand;
}

}  // namespace

bytes_t u8(std::int32_t value)
{
    return {static_cast<std::uint8_t>(value)};
}

bytes_t i16(std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    return {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8)};
}

bytes_t i32(std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    return {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
            static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)};
}

bytes_t command(std::uint8_t code, std::initializer_list<bytes_t> fields)
{
    bytes_t packet{code};
    for (const bytes_t& field : fields)
        packet.insert(packet.end(), field.begin(), field.end());
    return packet;
}

std::string describe(const bytes_t& packet)
{
    std::string text;
    for (std::size_t i = 0; i < packet.size(); ++i) {
        text += std::to_string(packet[i]);
        text += i == 0 ? ":" : "";
        if (i + 1 < packet.size())
            text += ' ';
    }
    return text;
}

std::vector<std::string> describe(const std::vector<bytes_t>& packets)
{
    std::vector<std::string> texts;
    for (const bytes_t& packet : packets)
        texts.push_back(describe(packet));
    return texts;
}

void scriptMachineThreadsTest::SetUp()
{
    scriptTest::SetUp();
    wendaroConfig_t config;
    config.port = 0;
    wendaroMachineConfig_t machine;
    machine.printer.machineID = machineId;
    machine.printer.actionMs = actionMs;
    machine.printer.initMs = 0;
    config.machines.push_back(machine);
    server_ = std::make_unique<wendaroServer_t>(config);
    ASSERT_TRUE(server_->start());

    device_ = std::make_unique<qvrClientDev_t>(window_.handle(), lock_);
    ASSERT_TRUE(device_->connect(L"localhost", machineId, true, server_->port()));
    ASSERT_TRUE(waitDeviceState(7));
    ASSERT_TRUE(enterTechnicianMode());
}

void scriptMachineThreadsTest::TearDown()
{
    // The device goes first: its thread still talks to the server.
    device_.reset();
    if (server_)
        server_->stop();
}

scriptRun_t scriptMachineThreadsTest::runOnMachine(const std::string& source, batchStopTest_t stopTest)
{
    scriptRun_t result;
    EXPECT_TRUE(writeRawFile(scriptPath, source));
    {
        coutCapture_t capture;
        batchRunContext_t context(device_.get(), scriptPath);
        try {
            context.run(std::move(stopTest));
            result.ok = true;
        } catch (const std::runtime_error& error) {
            result.error = error.what();
        }
        result.out = capture.text();
    }
    result.trace = readRawFile(L"\\batchTrace.log").value_or("<no trace log>");
    return result;
}

std::uint64_t scriptMachineThreadsTest::mark() const
{
    return server_->printer(machineId).trace().mark();
}

std::vector<bytes_t> scriptMachineThreadsTest::commandsSince(std::uint64_t from) const
{
    std::vector<bytes_t> commands;
    for (const simTraceEntry_t& entry : server_->printer(machineId).trace().since(from))
        if (entry.kind == simTraceEntry_t::kind_e::commandIn_e && !isOwnTraffic(entry.code))
            commands.push_back(entry.bytes);
    return commands;
}

std::vector<bytes_t> scriptMachineThreadsTest::answeredSince(std::uint64_t from) const
{
    // One client sends one packet at a time, so the reply that follows a
    // command in the trace is that command's.
    std::vector<bytes_t> answered;
    const bytes_t* open = nullptr;
    int openCode = -1;
    const auto entries = server_->printer(machineId).trace().since(from);
    for (const simTraceEntry_t& entry : entries) {
        if (entry.kind == simTraceEntry_t::kind_e::commandIn_e) {
            open = &entry.bytes;
            openCode = entry.code;
        } else if (entry.kind == simTraceEntry_t::kind_e::replyOut_e && open != nullptr) {
            if (entry.code == 10 && !isOwnTraffic(openCode))
                answered.push_back(*open);
            open = nullptr;
        }
    }
    return answered;
}

bool scriptMachineThreadsTest::flush()
{
    const std::uint64_t from = mark();
    device_->sendCommand(flushCommand);
    return printer()
        .trace()
        .waitFor(
            [](const simTraceEntry_t& entry) {
                return entry.kind == simTraceEntry_t::kind_e::commandIn_e && entry.code == flushCommand;
            },
            20s, from)
        .has_value();
}

bool scriptMachineThreadsTest::waitDeviceState(int state)
{
    return waitUntil([&] { return device_->getMachineState() == state; }, 20s);
}

bool scriptMachineThreadsTest::enterTechnicianMode()
{
    device_->prepareForBatch();
    return waitDeviceState(5);
}

bool scriptMachineThreadsTest::leaveTechnicianMode()
{
    device_->sendCommand(132);
    return waitDeviceState(7);
}

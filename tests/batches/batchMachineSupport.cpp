#include "tests/batches/batchMachineSupport.h"

#include "link/currentClientDevice.h"
#include "tests/support/waitUntil.h"

#include <gtest/gtest.h>

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

    device_ = std::make_unique<packetRecorder_t<qvrClientDev_t>>(deviceWindow_.handle(), lock_);
    device_->recordEveryCaller();
    ASSERT_TRUE(device_->connect(L"localhost", machineId, true, server_->port()));
    setCurrentClientDevice(device_.get());
    ASSERT_TRUE(waitDeviceState(7));
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

std::vector<int> batchMachineThreadsTest::codesSince(std::uint64_t from) const
{
    std::vector<int> codes;
    for (const simTraceEntry_t& entry : server_->printer(machineId).trace().since(from))
        if (entry.kind == simTraceEntry_t::kind_e::commandIn_e && entry.code != 1 && entry.code != 12)
            codes.push_back(entry.code);
    return codes;
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

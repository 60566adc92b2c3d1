#include "machine/machineParam.h"
#include "tests/machine/scriptedDevice.h"
#include "tests/support/queueWindow.h"
#include "tests/support/tempPrefix.h"
#include "tests/support/waitUntil.h"

#include <gtest/gtest.h>
#include <future>
#include <thread>

namespace {

class qvrCommDevThreadsTest : public prefixTest {};

bool hasCode(const std::vector<postedMessage_t>& messages, WPARAM code)
{
    for (const postedMessage_t& m : messages)
        if (m.wParam == code)
            return true;
    return false;
}

TEST_F(qvrCommDevThreadsTest, PollsAndDispatchesOnItsOwnThread)
{
    queueWindow_t window;
    scriptedDevice_t device(window.handle(), 100);
    fakeMachine_t machine;
    machine.setMachineId(12);
    machine.setState(7);
    machine.status[12] = 1u << 5;
    le::putU16(&machine.info[6], 1120);
    device.setResponder([&](const packetBuffer_t& sent) { return machine.respond(sent); });
    ASSERT_TRUE(device.open());
    EXPECT_TRUE(window.waitFor([](const std::vector<postedMessage_t>& m) { return hasCode(m, 151); }));
    EXPECT_TRUE(window.waitFor([](const std::vector<postedMessage_t>& m) { return hasCode(m, 111); }));
    EXPECT_TRUE(device.isConnected());
    EXPECT_EQ(device.getMachineID(), 12u);
    EXPECT_EQ(device.getStatusText(), L"Ready");
    device.stop();
    EXPECT_FALSE(device.isRunning());
    // Every notification carries the device.
    for (const postedMessage_t& m : window.messages())
        EXPECT_EQ(m.lParam, reinterpret_cast<LPARAM>(static_cast<basicComm_t*>(&device)));
}

TEST_F(qvrCommDevThreadsTest, StopReturnsWithPacketsQueuedAndAReplyAwaited)
{
    scriptedDevice_t device;
    ASSERT_TRUE(device.open());
    for (int i = 0; i < 20; ++i)
        device.sendCommandArgs(129, 1, 2, 4, i);
    ASSERT_TRUE(waitUntil([&] { return device.getQueue().isAwaitingReply(); }));
    auto stopped = std::async(std::launch::async, [&] { device.stop(); });
    ASSERT_EQ(stopped.wait_for(10s), std::future_status::ready);
    EXPECT_FALSE(device.isRunning());
    EXPECT_GT(device.getQueue().count(), 1);
    // Stopping a stopped device does not block either; it can start again.
    device.stop();
    ASSERT_TRUE(device.open());
    EXPECT_TRUE(device.isRunning());
    device.stop();
}

TEST_F(qvrCommDevThreadsTest, OtherThreadsSendAndReadWhileTheDeviceExchanges)
{
    queueWindow_t window;
    scriptedDevice_t device(window.handle(), 10);
    fakeMachine_t machine;
    machine.setMachineId(12);
    device.setResponder([&](const packetBuffer_t& sent) { return machine.respond(sent); });
    ASSERT_TRUE(device.open());
    const machineParam_t* wait = parameterAt(15);
    ASSERT_NE(wait, nullptr);
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                device.sendCommandArgs(128, 1, t, 4, i);
                (void)device.getStatus();
                (void)device.getStatusText();
                (void)device.getParamValue(*wait);
                device.setParameterWord(100 + t, i);
                if (i % 50 == 0)
                    device.requestParameters();
            }
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    EXPECT_TRUE(waitUntil([&] { return device.getQueue().isEmpty(); }, 30s));
    device.stop();
    EXPECT_TRUE(device.isConnected());
}

TEST_F(qvrCommDevThreadsTest, ARefusedFirstMachineEndsTheLoop)
{
    scriptedDevice_t device;
    device.acceptMachines = false;
    fakeMachine_t machine;
    machine.setMachineId(3);
    device.setResponder([&](const packetBuffer_t& sent) { return machine.respond(sent); });
    ASSERT_TRUE(device.open());
    EXPECT_TRUE(waitUntil([&] { return !device.isRunning(); }));
    device.stop();
    // A new start clears the old request and runs again.
    device.acceptMachines = true;
    ASSERT_TRUE(device.open());
    EXPECT_TRUE(waitUntil([&] { return device.getMachineID() == 3u; }));
    EXPECT_TRUE(device.isRunning());
    device.stop();
}

}  // namespace
